#include <algorithm>
#include <fstream>

#include "platform/Workbook.h"
#include "platform/XlsWorkbook.h"
#include "platform/XlsxWorkbook.h"

namespace morvane::platform {

std::unique_ptr<Workbook> openWorkbook(const std::string& path) {
  if (path.find_first_not_of(" ") == std::string::npos) return nullptr;
  unsigned char magic[8] = {};
  {
    std::ifstream file(path, std::ios::binary);
    if (!file) return nullptr;
    file.read(reinterpret_cast<char*>(magic), sizeof magic);
    if (file.gcount() != sizeof magic) return nullptr;
  }
  static constexpr unsigned char kZip[4] = {0x50, 0x4B, 0x03, 0x04};
  static constexpr unsigned char kCompound[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  try {
    if (std::equal(kZip, kZip + 4, magic)) return openXlsxWorkbook(path);
    if (std::equal(kCompound, kCompound + 8, magic)) return openXlsWorkbook(path);
  } catch (...) {
    // A backend that trips over a damaged file still means "cannot be opened".
  }
  return nullptr;
}

}  // namespace morvane::platform
