#include "platform/files/FileTime.h"

#include <sys/stat.h>

#include <cerrno>
#include <ctime>

#include "platform/files/Files.h"
#include "platform/files/SystemError.h"

namespace morvane::platform {

std::string modificationTimeText(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    throw FileError(path + ": " + describeSystemError(error), error);
  }
  std::tm local{};
  if (!::localtime_r(&info.st_mtime, &local)) throw FileError(path + ": 更新日時を表せません");
  char buffer[64];
  const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S %z", &local);
  return std::string(buffer, length);
}

}  // namespace morvane::platform
