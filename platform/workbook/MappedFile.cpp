#include "platform/workbook/MappedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

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
  // The allocator maps large buffers on its own and takes small ones from its heap, without a
  // call to the system.
  unsigned char* copy = reason ? nullptr : new (std::nothrow) unsigned char[length];
  if (!reason && copy == nullptr) reason = "メモリが足りません";
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
    delete[] copy;
    throw WorkbookOpenError(reason);
  }
  return {copy, length};
}

void unmapFile(const MappedBytes& bytes) { delete[] bytes.data; }

}  // namespace morvane::platform
