#pragma once
#include <cstddef>
#include <string>

namespace morvane::platform {

struct MappedBytes {
  const unsigned char* data = nullptr;
  std::size_t length = 0;
};

// A workbook file read whole into memory of its own, never mapped (the names stay from when it
// was): a mapped file cut short by another program while it is read would kill the reader with
// SIGBUS. The caller frees it with unmapFile. Throws WorkbookOpenError with the reason (no
// access, not a regular file, empty, over kMaxWorkbookBytes, changed while it was read).
inline constexpr std::size_t kMaxWorkbookBytes = std::size_t{1} << 30;
MappedBytes mapWorkbookFile(const std::string& path);
void unmapFile(const MappedBytes& bytes);

}  // namespace morvane::platform
