// --server: creates the selected tables on a SQL Server, one batch per table.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "app/batch/BatchOptions.h"
#include "app/batch/TerminalProgress.h"
#include "platform/text/VisibleText.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane::batch {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Turns echo off for as long as it lives.
class EchoOff {
 public:
  explicit EchoOff(int fd) : fd_(fd) {
    if (::tcgetattr(fd_, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    active_ = ::tcsetattr(fd_, TCSANOW, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_) ::tcsetattr(fd_, TCSANOW, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  int fd_;
  termios saved_{};
  bool active_ = false;
};

// Asks on the controlling terminal, so that redirected input and output stay untouched.
std::optional<std::string> askPassword(const std::string& user, const std::string& server) {
  const FileDescriptor tty(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (tty.get() < 0) return std::nullopt;
  // Echo goes off before the prompt shows, so nothing typed after it is echoed or lost.
  const EchoOff echoOff(tty.get());
  const std::string prompt = server + " の " + user + " のパスワード: ";
  if (::write(tty.get(), prompt.data(), prompt.size()) < 0) return std::nullopt;
  std::string password;
  for (;;) {
    char c = 0;
    const ssize_t got = ::read(tty.get(), &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    if (c == '\n') return password;
    password += c;
  }
}

}  // namespace

std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

std::optional<std::string> serverPassword(const BatchOptions& options) {
  if (const char* fromEnvironment = std::getenv("MORVANE_PASSWORD")) return std::string(fromEnvironment);
  if (auto typed = askPassword(options.user, options.server)) return typed;
  std::cerr << "morvane-batch: パスワードがありません: MORVANE_PASSWORD を設定するか端末から実行してください\n";
  return std::nullopt;
}

int createOnServer(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& selected) {
  if (interrupted()) return 1;
  const auto typed = serverPassword(options);
  if (!typed) return 2;
  const std::string& password = *typed;

  clsSQLServerDB db;
  db.setQueryTimeout(options.queryTimeoutSeconds);
  db.sbSetFieldAttr(settings.types);
  if (!db.fnOpenDB(options.server, options.database, options.user, password)) {
    std::cerr << "morvane-batch: サーバ「" << platform::visibleText(options.server)
              << "」に接続できません: " << platform::visibleText(oneLine(db.getFailReason())) << "\n";
    return 1;
  }
  TerminalProgress progress("テーブル作成");
  const ProgressTally tally = db.fnMakeTables(selected, progress, [&](const clsTableInfo& table, bool created) {
    for (const auto& notation : db.getUndefinedNotations()) {
      progress.message() << "morvane-batch: テーブル「" << platform::visibleText(table.getName()) << "」: " << platform::visibleText(notation) << "は未定義です\n";
    }
    if (created) return;
    const std::string reason = platform::visibleText(oneLine(db.getFailReason()));
    progress.message() << "morvane-batch: テーブル「" << platform::visibleText(table.getName()) << "」を作成できません: " << reason << "\n";
  });
  for (const auto& line : db.getForeignKeyFailures()) std::cerr << "morvane-batch: " << platform::visibleText(oneLine(line)) << "\n";
  const int status = tally.failed > 0 || tally.cancelled || !db.getForeignKeyFailures().empty() ? 1 : 0;
  db.fnCloseDB();
  return status;
}

}  // namespace morvane::batch
