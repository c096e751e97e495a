#pragma once
#include <cstddef>
#include <string>

namespace morvane::platform {

struct MappedBytes {
  const unsigned char* data = nullptr;
  std::size_t length = 0;
};

// Maps a workbook file read-only, whole; the caller unmaps it with unmapFile. Throws
// WorkbookOpenError with the reason (no access, empty file, cannot be mapped).
MappedBytes mapWorkbookFile(const std::string& path);
void unmapFile(const MappedBytes& bytes);

}  // namespace morvane::platform
