#include "platform/files/Files.h"

#include "platform/files/SystemError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace morvane::platform {
namespace {

[[noreturn]] void fail(const std::string& path, int error) {
  throw FileError(path + ": " + describeSystemError(error), error);
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

}  // namespace

void replaceFile(const std::string& path, std::string_view bytes) {
  std::string pattern = path + ".XXXXXX";
  std::vector<char> temp(pattern.begin(), pattern.end());
  temp.push_back('\0');
  Fd fd(::mkstemp(temp.data()));
  if (fd.get() < 0) fail(path, errno);
  const std::string tempPath(temp.data());
  auto cleanUp = [&](int error) {
    ::unlink(tempPath.c_str());
    fail(path, error);
  };
  // mkstemp creates 0600; a generated file should be as readable as any other new file.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd.get(), 0666 & ~mask) != 0) cleanUp(errno);
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd.get(), bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      cleanUp(errno);
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.get()) != 0) cleanUp(errno);
  if (::close(fd.release()) != 0) cleanUp(errno);
  if (::rename(tempPath.c_str(), path.c_str()) != 0) cleanUp(errno);
}

std::string readFile(const std::string& path, std::size_t maxBytes) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) fail(path, errno);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) fail(path, errno);
  if (S_ISDIR(info.st_mode)) fail(path, EISDIR);
  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(path, errno);
    }
    if (n == 0) break;
    if (content.size() + static_cast<std::size_t>(n) > maxBytes) fail(path, EFBIG);
    content.append(buffer, static_cast<std::size_t>(n));
  }
  return content;
}

std::string joinPath(const std::string& folder, const std::string& name) { return folder + "/" + name; }

bool isSafeFileStem(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

}  // namespace morvane::platform
