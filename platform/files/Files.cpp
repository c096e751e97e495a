#include "platform/files/Files.h"

#include "platform/files/SystemError.h"
#include "platform/files/TemporaryFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <utility>
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

namespace {

// The final path once symbolic links are followed, as the kernel would for open(); a link that
// leads nowhere yet gives the path of the file it would create.
std::string followLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) {
      if (errno == ENOENT) return current;
      fail(path, errno);
    }
    if (!S_ISLNK(info.st_mode)) return current;
    std::vector<char> buffer(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
    const ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size());
    if (n < 0) fail(path, errno);
    if (static_cast<std::size_t>(n) >= buffer.size()) fail(path, ENAMETOOLONG);
    const std::string link(buffer.data(), static_cast<std::size_t>(n));
    const std::size_t slash = current.rfind('/');
    current = link.starts_with('/') || slash == std::string::npos ? link : current.substr(0, slash + 1) + link;
  }
  fail(path, ELOOP);
}

// The longest file name the target's folder takes.
std::size_t nameMax(const std::string& folder) {
  const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

// Cut to at most max bytes without splitting a UTF-8 character.
std::string_view cutName(std::string_view name, std::size_t max) {
  if (name.size() <= max) return name;
  std::size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  return name.substr(0, end);
}

std::string randomSuffix() {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  std::string suffix(6, 'X');
  for (char& c : suffix) c = kLetters[generator() % (sizeof kLetters - 1)];
  return suffix;
}

// The signals that remove temporary files, held back while one is made and listed.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace

PendingFile::PendingFile(const std::string& path) : path_(path), target_(followLinks(path)) {
  struct stat existing {};
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) fail(path_, errno);
  if (exists) {
    if (S_ISDIR(existing.st_mode)) fail(path_, EISDIR);
    if (!S_ISREG(existing.st_mode)) throw FileError(path_ + ": 通常のファイルではないので置き換えません", EINVAL);
    // Root may write anything: the mode bits still say what the user meant.
    const bool readOnly = (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                          ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0;
    if (readOnly) throw FileError(path_ + ": 読み取り専用のファイルなので置き換えません", EACCES);
  }
  const std::size_t slash = target_.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
  const std::string_view name = std::string_view(target_).substr(folder.size());
  const std::size_t decoration = std::string_view(".").size() + std::string_view(".tmp").size() + 6;
  const std::size_t max = nameMax(folder);
  const std::string stem(cutName(name, max > decoration ? max - decoration : 1));
  {
    const SignalsHeld held;
    for (int attempt = 0; attempt < 100 && file_.fd < 0; ++attempt) {
      const std::string temp = folder + "." + stem + ".tmp" + randomSuffix();
      // 0666 less the umask, as for any new file; an existing file's bits are copied below.
      file_.fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (file_.fd >= 0) temp_.path = temp;
      if (file_.fd < 0 && errno != EEXIST) fail(path_, errno);
    }
    if (file_.fd < 0) fail(path_, EEXIST);
    entry_.emplace(temp_.path.c_str());
  }
  if (exists) {
    if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
      // Only root or a member of the group may; otherwise the new file is the user's own.
      [[maybe_unused]] const int ignored = ::fchown(file_.fd, existing.st_uid, existing.st_gid);
    }
    if (::fchmod(file_.fd, existing.st_mode & 07777) != 0) fail(path_, errno);
  }
}

PendingFile::~PendingFile() = default;

PendingFile::Removal::~Removal() {
  if (!path.empty()) ::unlink(path.c_str());
}

PendingFile::Descriptor::~Descriptor() {
  if (fd >= 0) ::close(fd);
}

void PendingFile::write(std::string_view bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(file_.fd, bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(path_, errno);
    }
    if (n == 0) fail(path_, ENOSPC);
    written += static_cast<std::size_t>(n);
  }
}

void PendingFile::commit() {
  // The data is on the disk before the name is: a crash leaves the old file or the new one.
  if (::fsync(file_.fd) != 0) fail(path_, errno);
  const int fd = std::exchange(file_.fd, -1);
  if (::close(fd) != 0) fail(path_, errno);
  if (::rename(temp_.path.c_str(), target_.c_str()) != 0) fail(path_, errno);
  temp_.path.clear();
}

void replaceFile(const std::string& path, std::string_view bytes) {
  PendingFile file(path);
  file.write(bytes);
  file.commit();
}

std::string specialFileReason(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return {};
  if (S_ISFIFO(info.st_mode)) return "ファイルではなく名前付きパイプ (FIFO) です";
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "ファイルではなくデバイスです";
  if (S_ISSOCK(info.st_mode)) return "ファイルではなくソケットです";
  if (!S_ISREG(info.st_mode)) return "通常のファイルではありません";
  struct statfs system {};
  if (::statfs(path.c_str(), &system) == 0 && (system.f_type == PROC_SUPER_MAGIC || system.f_type == SYSFS_MAGIC)) {
    return "通常のファイルではなくシステムの疑似ファイル (/proc, /sys) です";
  }
  return {};
}

std::string readFile(const std::string& path, std::size_t maxBytes) {
  if (const std::string reason = specialFileReason(path); !reason.empty()) throw FileError(path + ": " + reason, EINVAL);
  // Not blocking: a FIFO put in the file's place since the look above is refused, not waited on.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) fail(path, errno);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) fail(path, errno);
  if (S_ISDIR(info.st_mode)) fail(path, EISDIR);
  if (!S_ISREG(info.st_mode)) throw FileError(path + ": 通常のファイルではありません", EINVAL);
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
