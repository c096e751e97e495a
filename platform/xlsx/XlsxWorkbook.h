#pragma once
#include <memory>
#include <string>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {

// Office Open XML workbooks (.xlsx), read part by part from the zip package with an in-place
// XML scanner. Throws WorkbookOpenError with the reason when the file is not a readable .xlsx.
std::unique_ptr<Workbook> openXlsxWorkbook(const std::string& path);

}  // namespace morvane::platform
