#include "platform/XlsWorkbook.h"

namespace morvane::platform {

// Placeholder until the .xls backend lands.
std::unique_ptr<Workbook> openXlsWorkbook(const std::string&) { return nullptr; }

}  // namespace morvane::platform
