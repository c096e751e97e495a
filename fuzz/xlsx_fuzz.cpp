// libFuzzer target for the .xlsx backend: open by content, read every sheet and cell.
#include "fuzz/WorkbookFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return morvane::fuzz::readWholeWorkbook(data, size);
}
