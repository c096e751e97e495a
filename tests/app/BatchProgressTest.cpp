// morvane-batch's progress: a line rewritten on a terminal, nothing in a log, and Ctrl+C.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "Batch.h"
#include "tests/support/TdsTestServer.h"

namespace morvane::test {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> exampleArgs(std::vector<std::string> jobs) {
  std::vector<std::string> args = {"--layout", kExamples + "design-document.edf", "--types", kExamples + "types-ja.sfa"};
  args.insert(args.end(), jobs.begin(), jobs.end());
  args.push_back(kExampleBook);
  return args;
}

TEST(BatchProgress, NothingExtraWhenStderrIsNotATerminal) {
  TempDir sql, html;
  const BatchRun run = batch(exampleArgs({"--sql", sql.path().string(), "--html", html.path().string()}));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(filesIn(sql.path().string()).size(), 5u);  // with _foreign_keys.sql
}

TEST(BatchProgress, TheTerminalSeesOneLineRewrittenPerTableThenTheSummary) {
  TempDir sql;
  const BatchRun run = batchOnTerminal(exampleArgs({"--sql", sql.path().string()}));
  const std::string& screen = run.out;
  EXPECT_EQ(run.status, 0) << screen;
  std::size_t at = 0;
  for (const std::string line : {"\r\x1b[Kスクリプト作成 1 / 4 顧客", "\r\x1b[Kスクリプト作成 2 / 4 ",
                                 "\r\x1b[Kスクリプト作成 4 / 4 ", "\r\x1b[K"}) {
    at = screen.find(line, at);
    ASSERT_NE(at, std::string::npos) << "missing in order: " << line << "\n" << screen;
    at += line.size();
  }
  EXPECT_EQ(screen.substr(screen.rfind("\x1b[K") + 3),
            "morvane-batch: スクリプト作成を終了しました (完了 4、失敗 0、未処理 0)\r\n");
}

TEST(BatchProgress, CtrlCStopsAfterTheCurrentTableWithTheSummary) {
  TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .batchDelay = 700ms});
  TempDir dir;
  std::vector<std::string> args = exampleArgs(
      {"--server", server.address(), "--database", "販売", "--user", "sa", "--html", dir.file("html")});
  args.insert(args.begin(), MORVANE_BATCH);
  auto argv = pointers(args);
  auto envTexts = batchEnvironment({"MORVANE_PASSWORD=pw"});
  auto envp = pointers(envTexts);
  const std::string errPath = dir.file("err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, MORVANE_BATCH, &actions, nullptr, argv.data(), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);

  const auto deadline = std::chrono::steady_clock::now() + 30s;
  // SET XACT_ABORT ON, then the first table.
  while (server.batches().size() < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(server.batches().size(), 2u);
  ::kill(pid, SIGINT);  // while the first table's batch waits for its answer
  EXPECT_EQ(waitFor(pid), 1);
  EXPECT_EQ(server.batches().size(), 2u);
  EXPECT_EQ(server.tables(), (std::set<std::string>{"顧客"}));
  EXPECT_EQ(readBytes(errPath), "morvane-batch: テーブル作成を中止しました (完了 1、失敗 0、未処理 3)\n"
                                "morvane-batch: 中止したため、外部キーは作成しません\n");
  // The documentation came before the server and is whole: no file half written or left aside.
  EXPECT_EQ(filesIn(dir.file("html")).size(), 8u);  // with the diagram of the references
}

}  // namespace
}  // namespace morvane::test
