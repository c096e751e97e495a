#pragma once
// Shared body of the workbook fuzz targets: the bytes go to a file, since the backends open paths.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/clsExcelDBDoc.h"
#include "platform/workbook/Workbook.h"

namespace morvane::fuzz {

inline const std::string& scratchPath() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/morvane-fuzz-" + std::to_string(::getpid());
  }();
  return path;
}

inline void removeScratch() { std::remove(scratchPath().c_str()); }

// Reads the workbook as the program does: the design document reader over every sheet, asking
// for the layout's cells only, through the getter that does not copy. Two layouts: the default
// one, and one at the sheet's top-left corner.
inline int readWholeWorkbook(const std::uint8_t* data, std::size_t size) {
  static const bool cleanup = [] { return std::atexit(removeScratch) == 0; }();
  (void)cleanup;
  {
    std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
    if (!file) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
  }
  clsExcelDBDocInfo corner;
  corner.sbSetPage(1, 2147483647);
  corner.sbSetFieldPos(2);
  corner.sbSetTableNmPos(1, 1);
  corner.sbSetFieldDefPos(1, 2, 3, 4, 5);
  clsExcelDBDocInfo standard;
  standard.sbSetPage(1, 2147483647);
  for (const clsExcelDBDocInfo& layout : {standard, corner}) {
    clsExcelDBDoc reader;
    reader.sbSetDocInfo(layout);
    try {
      if (!reader.fnReadDBDoc(scratchPath())) return 0;
    } catch (const platform::WorkbookError&) {
    }
  }
  return 0;
}

}  // namespace morvane::fuzz
