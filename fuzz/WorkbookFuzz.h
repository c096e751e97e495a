#pragma once
// Shared body of the workbook fuzz targets: the bytes go to a file, since the backends open
// paths, and every sheet and every cell within the reader's limits is read through clsExcel.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/clsExcel.h"
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

inline int readWholeWorkbook(const std::uint8_t* data, std::size_t size) {
  static const bool cleanup = [] { return std::atexit(removeScratch) == 0; }();
  (void)cleanup;
  {
    std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
    if (!file) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
  }
  clsExcel excel;
  if (!excel.fnOpenBook(scratchPath())) return 0;
  // A million sheets of empty cells would make one input take minutes: read them all, but
  // walk the cells of the first ones only.
  constexpr std::int32_t kSheetsWithCells = 16;
  // Every other sheet within a design document's reach, as the reader asks for it.
  platform::SheetReach layout = platform::SheetReach::rowsUpTo(99);
  for (const std::int32_t col : {2, 3, 4, 5, 6, 9}) layout.addColumn(col);
  for (std::int32_t n = 1;; ++n) {
    excel.setReach(n % 2 == 0 ? layout : platform::SheetReach());
    try {
      if (!excel.fnOpenSheet(n)) break;
    } catch (const platform::WorkbookError&) {
      continue;
    }
    if (n > kSheetsWithCells) continue;
    for (std::int32_t row = 1; row <= platform::SheetCells::kMaxRow; ++row) {
      for (std::int32_t col = 1; col <= platform::SheetCells::kMaxCol; ++col) {
        try {
          (void)excel.Cells(row, col);
        } catch (const platform::WorkbookError&) {
        }
      }
    }
    excel.CloseSheet();
  }
  (void)excel.SheetName();
  excel.CloseBook();
  return 0;
}

}  // namespace morvane::fuzz
