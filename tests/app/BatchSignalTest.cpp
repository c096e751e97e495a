// morvane-batch's progress on a terminal, and signals: the first Ctrl+C lets the table under way
// finish, a second one or SIGTERM ends the program and takes its temporary files away.
#include <gtest/gtest.h>

#include <regex>

#include "Batch.h"
#include "app/batch/TerminalProgress.h"
#include "platform/files/Files.h"
#include "platform/files/TemporaryFiles.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/support/DesignBook.h"

// Catalog rows and configs name only the fields that matter; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace morvane::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A child set up as morvane-batch is, with a page half written while a run's progress is shown;
// it says the temporary file's name, then waits for Ctrl+C, then says it stops after this table.
[[noreturn]] void writeHalfAPage(const std::string& path, int to) {
  auto say = [to](const std::string& text) {
    if (::write(to, (text + "\n").data(), text.size() + 1) != static_cast<ssize_t>(text.size() + 1)) ::_exit(3);
  };
  ::signal(SIGINT, SIG_DFL);  // as in a foreground job, however the tests were started
  platform::removeTemporaryFilesOnSignals();
  batch::TerminalProgress progress("ドキュメント作成");
  platform::PendingFile pending(path);
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

// (What SIGKILL leaves, a hidden temporary name, is the file replacement's to pin.)
TEST(BatchSignal, ASecondCtrlCOrSigtermRemovesTheTemporaryFile) {
  for (const int last : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(last);
    TempDir dir;
    const std::string path = dir.file("a.htm");
    writeBytes(path, "old");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) writeHalfAPage(path, fds[1]);
    ::close(fds[1]);
    std::string said = readUntil(fds[0], "\n");
    const std::string temp = said.substr(0, said.find('\n'));
    EXPECT_TRUE(fs::exists(temp)) << temp;
    if (last == SIGINT) {
      ::kill(pid, SIGINT);
      EXPECT_EQ(readUntil(fds[0], "table\n", said), temp + "\nstopping after this table\n");
      EXPECT_TRUE(fs::exists(temp));  // the first one never cuts the write short
    }
    ::kill(pid, last);
    EXPECT_EQ(waitFor(pid), 128 + last);
    ::close(fds[0]);
    EXPECT_EQ(readBytes(path), "old");
    EXPECT_EQ(filesIn(dir.path()), Names{"a.htm"});
  }
}

TEST(BatchSignal, ASignalDuringTheLoginTakesThePrivateDataSourceAway) {
  for (const int signal : {SIGTERM, SIGINT}) {
    TempDir dir;
    TdsTestServer server({.mode = TdsTestServer::Mode::silent});
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::setenv("TMPDIR", dir.path().c_str(), 1);
      ::signal(SIGINT, SIG_DFL);
      platform::removeTemporaryFilesOnSignals();
      clsSQLServerDB db;
      db.fnOpenDB(server.address(), "販売", "sa", "pw");
      ::_exit(3);
    }
    ASSERT_TRUE(server.waitForConnections(1, 10s));
    EXPECT_EQ(filesIn(dir.path()).size(), 1u);  // the data source's folder, while it logs in
    ::kill(pid, signal);
    EXPECT_EQ(waitFor(pid), 128 + signal);
    EXPECT_EQ(filesIn(dir.path()), Names{}) << signal;
  }
}

// The example with its layout and type notations, so that no warning interleaves with the progress.
const Names kExampleRun = {"--layout", kExamples + "design-document.edf", "--types", kExamples + "types-ja.sfa",
                           kExampleBook};

TEST(BatchSignal, TheTerminalSeesOneLineRewrittenPerTableThenTheSummary) {
  TempDir sql;
  Names args = kExampleRun;
  args.insert(args.begin(), {"--sql", sql.path().string()});
  const BatchRun run = batchOnTerminal(args);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(std::regex_search(run.out, std::regex("\r\x1b\\[Kスクリプト作成 1 / 4 顧客[\\s\\S]*\r\x1b\\[Kスクリプト作成 2 / 4 "
                                                     "[\\s\\S]*\r\x1b\\[Kスクリプト作成 4 / 4 [\\s\\S]*\r\x1b\\[K")))
      << run.out;
  EXPECT_EQ(run.out.substr(run.out.rfind("\x1b[K") + 3),
            "morvane-batch: スクリプト作成を終了しました (完了 4、失敗 0、未処理 0)\r\n");
  EXPECT_EQ(filesIn(sql.path()).size(), 5u);  // with _foreign_keys.sql
}

TEST(BatchSignal, CtrlCStopsAfterTheTableUnderWayWithTheSummaryAndNoForeignKeys) {
  TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .batchDelay = 1s});
  TempDir dir;
  auto args = login(server);
  args.insert(args.end(), {"--html", dir.file("html")});
  args.insert(args.end(), kExampleRun.begin(), kExampleRun.end());
  const pid_t pid = startBatch(args, {"MORVANE_PASSWORD=pw"}, "/dev/null", "/dev/null", dir.file("err"));
  // SET XACT_ABORT ON, then the first table, whose answer is held back for a second.
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (server.batches().size() < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
  ::kill(pid, SIGINT);
  EXPECT_EQ(waitFor(pid), 1);
  // However late the signal came, the tables made are those the summary counts as done.
  const std::string err = readBytes(dir.file("err"));
  std::smatch tally;
  ASSERT_TRUE(std::regex_match(err, tally, std::regex("morvane-batch: テーブル作成を中止しました \\(完了 (\\d)、失敗 0、未処理 (\\d)\\)\n"
                                                      "morvane-batch: 中止したため、外部キーは作成しません\n")))
      << err;
  const std::size_t done = std::stoul(tally[1]);
  EXPECT_EQ(done + std::stoul(tally[2]), 4u);
  EXPECT_GE(done, 1u);
  EXPECT_EQ(server.tables().size(), done);
  EXPECT_EQ(server.batches().size(), done + 1);
  // The documentation came before the server and is whole: no file half written or left aside.
  EXPECT_EQ(filesIn(dir.file("html")).size(), 8u);  // with the diagram of the references
}

TEST(BatchSignal, EachChangedTablesLineComesAsItFinishesSoASigtermLeavesThem) {
  TempDir dir;
  const std::vector<Row> id = {{"ID", "int"}};
  const std::string old = writeDesignBook(dir.file("old.xlsx"), {{"A", id}});
  const std::string book = writeDesignBook(dir.file("new.xlsx"), {{"A", id}, {"B", id}, {"C", id}});
  TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .batchDelay = 3s});
  auto args = login(server);
  args.insert(args.end(), {"--since", old, book});
  int out[2];
  ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
  const pid_t pid = startBatch(args, {"MORVANE_PASSWORD=pw"}, "/dev/null", "/dev/fd/" + std::to_string(out[1]),
                               dir.file("err"));
  ::close(out[1]);
  const std::string seen = readUntil(out[0], "テーブル「B」: 新規 (CREATE TABLE)\n");
  EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "C's batch is still under way";
  ::kill(pid, SIGTERM);
  EXPECT_EQ(waitFor(pid), 128 + SIGTERM);
  EXPECT_EQ(readUntil(out[0], "", seen), "テーブル「A」: 変更なし\nテーブル「B」: 新規 (CREATE TABLE)\n");
  ::close(out[0]);
}

}  // namespace
}  // namespace morvane::test
