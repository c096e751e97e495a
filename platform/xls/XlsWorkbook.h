#pragma once
#include <memory>
#include <string>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {

// BIFF8 (and BIFF5) workbooks (.xls) in a compound file, read in place from the file in memory.
// Throws WorkbookOpenError with the reason when the file is not a readable .xls (encrypted,
// damaged, another format).
std::unique_ptr<Workbook> openXlsWorkbook(const std::string& path);

}  // namespace morvane::platform
