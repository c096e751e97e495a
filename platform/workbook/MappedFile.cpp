#include "platform/workbook/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {

MappedBytes mapWorkbookFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw WorkbookOpenError("ファイルを開けません (読み取りが許可されていません)");
  struct stat info {};
  if (::fstat(fd, &info) != 0 || info.st_size <= 0) {
    ::close(fd);
    throw WorkbookOpenError("ファイルが空です (0 バイト)");
  }
  const auto length = static_cast<std::size_t>(info.st_size);
  // A workbook of ordinary size is mapped whole at once: faulting it in page by page costs
  // more than reading it.
  constexpr std::size_t kPopulateUpTo = std::size_t{64} << 20;
  void* mapped = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | (length <= kPopulateUpTo ? MAP_POPULATE : 0), fd, 0);
  ::close(fd);
  if (mapped == MAP_FAILED) throw WorkbookOpenError("ファイルを読めません");
  return {static_cast<const unsigned char*>(mapped), length};
}

void unmapFile(const MappedBytes& bytes) {
  if (bytes.data != nullptr) ::munmap(const_cast<unsigned char*>(bytes.data), bytes.length);
}

}  // namespace morvane::platform
