// morvane-batch's Ctrl+C handling and the temporary files of a write under way: the first Ctrl+C
// lets the write finish, a second one or SIGTERM ends the program and takes the file away.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/batch/TerminalProgress.h"
#include "platform/files/Files.h"
#include "platform/files/TemporaryFiles.h"
#include "tests/support/TempDir.h"

namespace morvane::test {
namespace {

namespace fs = std::filesystem;

std::string readLine(int fd) {
  std::string line;
  char c;
  while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

void sendLine(int fd, const std::string& text) {
  const std::string line = text + "\n";
  if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) ::_exit(3);
}

// A child set up as morvane-batch is, with a page half written while a run's progress is shown.
struct HalfWrittenRun {
  pid_t pid = -1;
  int from = -1;
  std::string temp;

  explicit HalfWrittenRun(const std::string& path) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return;
    pid = ::fork();
    if (pid == 0) {
      ::close(pipeFds[0]);
      platform::removeTemporaryFilesOnSignals();
      batch::TerminalProgress progress("ドキュメント作成");
      platform::PendingFile pending(path);
      pending.write("half");
      // Held back until the wait, so that a Ctrl+C just before it cannot be missed.
      sigset_t held, waiting;
      sigemptyset(&held);
      sigaddset(&held, SIGINT);
      ::sigprocmask(SIG_BLOCK, &held, &waiting);
      sendLine(pipeFds[1], pending.temporaryPath());
      while (!batch::interrupted()) ::sigsuspend(&waiting);
      ::sigprocmask(SIG_SETMASK, &waiting, nullptr);
      sendLine(pipeFds[1], "stopping after this table");
      for (;;) ::pause();
    }
    ::close(pipeFds[1]);
    from = pipeFds[0];
    temp = readLine(from);
  }
  ~HalfWrittenRun() {
    if (from >= 0) ::close(from);
  }
  // The signal that ended the child, or -1 when it was not a signal.
  int endSignal() const {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFSIGNALED(status)) return -1;
    return WTERMSIG(status);
  }
};

TEST(BatchSignals, ASecondCtrlCEndsAtOnceAndRemovesTheTemporaryFile) {
  TempDir dir;
  const std::string path = dir.file("a.htm");
  writeBytes(path, "old");
  HalfWrittenRun run(path);
  ASSERT_GT(run.pid, 0);
  ASSERT_TRUE(fs::exists(run.temp)) << run.temp;
  ::kill(run.pid, SIGINT);
  EXPECT_EQ(readLine(run.from), "stopping after this table");
  EXPECT_TRUE(fs::exists(run.temp));  // the first one never cuts the write short
  ::kill(run.pid, SIGINT);
  EXPECT_EQ(run.endSignal(), SIGINT);
  EXPECT_FALSE(fs::exists(run.temp));
  EXPECT_EQ(readBytes(path), "old");
}

TEST(BatchSignals, SigtermDuringARunRemovesTheTemporaryFile) {
  TempDir dir;
  const std::string path = dir.file("a.htm");
  writeBytes(path, "old");
  HalfWrittenRun run(path);
  ASSERT_GT(run.pid, 0);
  ASSERT_TRUE(fs::exists(run.temp)) << run.temp;
  ::kill(run.pid, SIGTERM);
  EXPECT_EQ(run.endSignal(), SIGTERM);
  EXPECT_FALSE(fs::exists(run.temp));
  EXPECT_EQ(readBytes(path), "old");
}

}  // namespace
}  // namespace morvane::test
