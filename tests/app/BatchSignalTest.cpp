// Signals during a write of morvane-batch: the first Ctrl+C lets the write finish; a second one
// or SIGTERM ends the program and takes the temporary file away; nothing stops SIGKILL, which
// leaves the old file and a hidden temporary file only.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "Batch.h"
#include "app/batch/TerminalProgress.h"
#include "platform/files/Files.h"
#include "platform/files/TemporaryFiles.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/support/DesignBook.h"
#include "tests/support/TdsTestServer.h"
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

// A child set up as morvane-batch is, with a.htm half written while a run's progress is shown.
class HalfWrittenPage : public ::testing::Test {
 protected:
  void SetUp() override {
    writeBytes(path_, "old");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_ = ::fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) child(fds[1]);
    ::close(fds[1]);
    from_ = fds[0];
    temp_ = readLine(from_);
    ASSERT_TRUE(fs::exists(temp_)) << temp_;
  }
  void TearDown() override { ::close(from_); }

  [[noreturn]] void child(int to) {
    auto say = [to](const std::string& text) {
      if (::write(to, (text + "\n").data(), text.size() + 1) != static_cast<ssize_t>(text.size() + 1)) ::_exit(3);
    };
    platform::removeTemporaryFilesOnSignals();
    batch::TerminalProgress progress("ドキュメント作成");
    platform::PendingFile pending(path_);
    pending.write("half");
    // Held back until the wait, so that a Ctrl+C just before it cannot be missed.
    sigset_t held, waiting;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    ::sigprocmask(SIG_BLOCK, &held, &waiting);
    say(pending.temporaryPath());
    while (!batch::interrupted()) ::sigsuspend(&waiting);
    ::sigprocmask(SIG_SETMASK, &waiting, nullptr);
    say("stopping after this table");
    for (;;) ::pause();
  }

  // The signal that ended the child, or -1.
  int endedBy() const {
    int status = 0;
    if (::waitpid(pid_, &status, 0) != pid_ || !WIFSIGNALED(status)) return -1;
    return WTERMSIG(status);
  }

  TempDir dir_;
  const std::string path_ = dir_.file("a.htm");
  pid_t pid_ = -1;
  int from_ = -1;
  std::string temp_;
};

TEST_F(HalfWrittenPage, ASecondCtrlCEndsAtOnceAndRemovesTheTemporaryFile) {
  ::kill(pid_, SIGINT);
  EXPECT_EQ(readLine(from_), "stopping after this table");
  EXPECT_TRUE(fs::exists(temp_));  // the first one never cuts the write short
  ::kill(pid_, SIGINT);
  EXPECT_EQ(endedBy(), SIGINT);
  EXPECT_FALSE(fs::exists(temp_));
  EXPECT_EQ(filesIn(dir_.path().string()), std::vector<std::string>{"a.htm"});
  EXPECT_EQ(readBytes(path_), "old");
}

TEST_F(HalfWrittenPage, SigtermRemovesTheTemporaryFileAndSigkillLeavesNothingLikeOutput) {
  ::kill(pid_, SIGTERM);
  EXPECT_EQ(endedBy(), SIGTERM);
  EXPECT_FALSE(fs::exists(temp_));
  EXPECT_EQ(readBytes(path_), "old");

  ::close(from_);
  SetUp();
  ::kill(pid_, SIGKILL);
  EXPECT_EQ(endedBy(), SIGKILL);
  EXPECT_EQ(readBytes(path_), "old");
  const auto left = filesIn(dir_.path().string());
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].rfind(".a.htm.tmp", 0), 0u) << left[0];  // hidden, and not a page's name
  EXPECT_FALSE(left[0].ends_with(".htm"));
}

TEST(BatchSignal, ASignalDuringTheLoginTakesThePrivateDataSourceAway) {
  for (const int signal : {SIGTERM, SIGINT}) {
    TempDir dir;
    TdsTestServer server({.mode = TdsTestServer::Mode::silent});
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::setenv("TMPDIR", dir.path().c_str(), 1);
      platform::removeTemporaryFilesOnSignals();
      clsSQLServerDB db;
      db.fnOpenDB(server.address(), "販売", "sa", "pw");
      ::_exit(3);
    }
    ASSERT_TRUE(server.waitForConnections(1, std::chrono::seconds(10)));
    ASSERT_EQ(filesIn(dir.path().string()).size(), 1u);  // the data source's folder, while it logs in
    ::kill(pid, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(filesIn(dir.path().string()), std::vector<std::string>{}) << signal;
  }
}

TEST(BatchSignal, EachChangedTablesLineComesAsItFinishesSoASigtermLeavesThem) {
  TempDir dir;
  const std::vector<Row> id = {{"ID", "int", ""}};
  const std::string old = writeDesignBook(dir.file("old.xlsx"), {{"A", id}});
  const std::string book = writeDesignBook(dir.file("new.xlsx"), {{"A", id}, {"B", id}, {"C", id}});
  TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .batchDelay = std::chrono::seconds(3)});
  std::vector<std::string> args = {MORVANE_BATCH, "--layout-values", kExampleLayout, "--since", old, "--server",
                                   server.address(), "--database", "販売", "--user", "sa", book};
  auto argv = pointers(args);
  auto envTexts = batchEnvironment({"MORVANE_PASSWORD=pw"});
  auto envp = pointers(envTexts);
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::setsid();
    ::dup2(out[1], 1);
    ::execve(MORVANE_BATCH, argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  const std::string seen = readUntil(out[0], "テーブル「B」: 新規 (CREATE TABLE)\n");
  EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "C's batch is still under way";
  ::kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(readUntil(out[0], "", seen), "テーブル「A」: 変更なし\nテーブル「B」: 新規 (CREATE TABLE)\n");
  ::close(out[0]);
}

}  // namespace
}  // namespace morvane::test
