#pragma once
#include <stdexcept>
#include <string>

#include "document/clsExcelDBDocInfo.h"
#include "model/clsHash.h"

namespace morvane {

// A layout file whose key is missing or whose value is not a usable number.
class LayoutFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The layout as the ten pairs of a layout file, in file order (StartSheetNo ... ColNull).
clsHash layoutToHash(const clsExcelDBDocInfo& layout);

// Writes the layout file; false when it cannot be written (the previous file then stays).
bool saveLayoutFile(const clsExcelDBDocInfo& layout, const std::string& path);

}  // namespace morvane
