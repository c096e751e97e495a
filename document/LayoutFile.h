#pragma once
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "document/clsExcelDBDocInfo.h"
#include "model/clsHash.h"

namespace morvane {

// A layout file whose key is missing or whose value is not a usable number.
class LayoutFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An optional position of the layout, by the name its tag and --layout-extra use.
struct LayoutExtra {
  const char* name;  // "ColLogicalName", ...
  std::int32_t (clsExcelDBDocInfo::*get)() const;
  void (clsExcelDBDocInfo::*set)(std::int32_t);
  std::int32_t maxValue;  // 1 for the NULL mark's meaning; any position otherwise
};
// The nine optional positions in file order; every value is 0 or more, 0 meaning not used.
std::span<const LayoutExtra> layoutExtras();
// The entry of that name (exact case); null for an unknown name.
const LayoutExtra* findLayoutExtra(std::string_view name);
// Why a value cannot go into that position; empty when it can.
std::string layoutExtraProblem(const LayoutExtra& extra, std::int32_t value);

// The layout as the pairs of a layout file, in file order: the ten keys (StartSheetNo ...
// ColNull), then each optional position that is not 0, so a layout without them writes the
// ten-line file it always wrote.
clsHash layoutToHash(const clsExcelDBDocInfo& layout);

// Writes the layout file; false when it cannot be written (the previous file then stays).
bool saveLayoutFile(const clsExcelDBDocInfo& layout, const std::string& path);

}  // namespace morvane
