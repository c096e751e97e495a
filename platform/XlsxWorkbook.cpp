#include "platform/XlsxWorkbook.h"

namespace morvane::platform {

// Placeholder until the .xlsx backend lands.
std::unique_ptr<Workbook> openXlsxWorkbook(const std::string&) { return nullptr; }

}  // namespace morvane::platform
