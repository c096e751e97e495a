#pragma once
#include <memory>
#include <string>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {

// Office Open XML workbooks (.xlsx), read through libgsf's zip reader and libxml2's streaming
// reader. Null when the file is not a readable .xlsx.
std::unique_ptr<Workbook> openXlsxWorkbook(const std::string& path);

}  // namespace morvane::platform
