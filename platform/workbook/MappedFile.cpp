#include "platform/workbook/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {

MappedBytes mapWorkbookFile(const std::string& path) {
  // Not blocking: a FIFO put in the file's place since it was looked at is refused, not waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw WorkbookOpenError("ファイルを開けません (読み取りが許可されていません)");
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  const auto length = static_cast<std::size_t>(regular && info.st_size > 0 ? info.st_size : 0);
  const char* reason = !regular ? "通常のファイルではありません"
                       : length == 0 ? "ファイルが空です (0 バイト)"
                       : length > kMaxWorkbookBytes ? "ファイルが大きすぎます (ブックは 1024 MiB まで)"
                                                     : nullptr;
  // Memory of its own, its pages made in one call: touched one by one as read() fills them, they
  // would cost more than the reading.
  void* pages = reason ? MAP_FAILED
                       : ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (!reason && pages == MAP_FAILED) reason = "メモリが足りません";
  auto* copy = pages == MAP_FAILED ? nullptr : static_cast<unsigned char*>(pages);
  std::size_t done = 0;
  while (!reason && done < length) {
    const ssize_t n = ::read(fd, copy + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) reason = "ファイルを読めません";
    else if (n == 0) reason = "ファイルが読み込み中に変更されました (短くなりました)";
    else done += static_cast<std::size_t>(n);
  }
  char more = 0;
  if (!reason && ::read(fd, &more, 1) > 0) reason = "ファイルが読み込み中に変更されました (長くなりました)";
  ::close(fd);
  if (reason) {
    if (copy) ::munmap(copy, length);
    throw WorkbookOpenError(reason);
  }
  return {copy, length};
}

void unmapFile(const MappedBytes& bytes) {
  if (bytes.data) ::munmap(const_cast<unsigned char*>(bytes.data), bytes.length);
}

}  // namespace morvane::platform
