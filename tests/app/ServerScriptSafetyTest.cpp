// morvane-batch on hostile workbooks: cell text that would be T-SQL on a server, a server that
// stops answering, and control characters on the way to the terminal.
#include <gtest/gtest.h>

#include <set>

#include <nlohmann/json.hpp>

#include "Batch.h"
#include "platform/text/Cp932.h"
#include "tests/support/TdsTestServer.h"
#include "tests/support/DesignBook.h"

namespace morvane::test {
namespace {

// In the example's layout (up to five sheets).
std::string writeBook(const TempDir& dir, const std::vector<DesignSheet>& sheets) {
  return writeDesignBook(dir.file("hostile.xlsx"), sheets);
}

std::vector<std::string> serverArgs(const TdsTestServer& server, const std::string& book) {
  return {"--layout-values", kExampleLayout, "--server", server.address(), "--database", "販売", "--user", "sa", book};
}

const std::vector<std::string> kPassword = {"MORVANE_PASSWORD=pw"};

TdsTestServer::Config account() { return {.user = "sa", .password = "pw", .database = "販売"}; }

const std::vector<DesignSheet> kHostile = {
    {"Good", {{"ID", "int", ""}}},
    {"x;DROP TABLE y--", {{"ID", "int", ""}}},
    {"Sized", {{"Name", "varchar", "10); DROP TABLE w;--"}}},
    {"Named", {{"a int) DROP TABLE w", "int", ""}}},
    {"Last", {{"ID", "int", ""}, {"Memo", "varchar", "max"}}},
};

TEST(ServerScriptSafety, InjectedTextIsRefusedOnTheServerAndTheOtherTablesAreMade) {
  TempDir dir;
  const std::string book = writeBook(dir, kHostile);
  TdsTestServer server(account());
  const BatchRun run = batch(serverArgs(server, book), kPassword);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(server.tables(), (std::set<std::string>{"Good", "Last"}));
  EXPECT_EQ(server.batches().size(), 3u);  // SET XACT_ABORT ON and the two tables
  for (const auto& batch : server.batches()) EXPECT_EQ(batch.find("DROP"), std::string::npos) << batch;
  EXPECT_EQ(run.errLines(), 3) << run.err;
  for (const std::string table : {"x;DROP TABLE y--", "Sized", "Named"}) {
    const std::string start = "morvane-batch: テーブル「" + table + "」を作成できません: ";
    const auto at = run.err.find(start);
    ASSERT_NE(at, std::string::npos) << run.err;
    EXPECT_LT(run.err.find("サーバでは実行しません", at), run.err.find('\n', at)) << run.err;
  }
}

TEST(ServerScriptSafety, ScriptFilesKeepTheCellsTextExactly) {
  TempDir dir;
  const std::string book = writeBook(dir, kHostile);
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--sql", dir.file("out"), book});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string injected = platform::fromCp932(readBytes(dir.file("out/x;DROP TABLE y--.sql")));
  EXPECT_NE(injected.find("CREATE TABLE dbo.x;DROP TABLE y-- \r\n"), std::string::npos) << injected;
  const std::string sized = platform::fromCp932(readBytes(dir.file("out/Sized.sql")));
  EXPECT_NE(sized.find("\tName varchar(10); DROP TABLE w;--) "), std::string::npos) << sized;
  const std::string named = platform::fromCp932(readBytes(dir.file("out/Named.sql")));
  EXPECT_NE(named.find("\ta int) DROP TABLE w int "), std::string::npos) << named;
}

TEST(ServerScriptSafety, AServerThatStopsAnsweringFailsEachTableAndTheRunEnds) {
  TempDir dir;
  const std::string book = writeBook(dir, {{"First", {{"ID", "int", ""}}}, {"Second", {{"ID", "int", ""}}}});
  auto config = account();
  config.mode = TdsTestServer::Mode::mute;
  TdsTestServer server(config);
  std::vector<std::string> args = serverArgs(server, book);
  args.insert(args.begin(), {"--query-timeout", "1"});
  const BatchRun run = batch(args, kPassword);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errLines(), 2) << run.err;
  EXPECT_TRUE(run.err.starts_with("morvane-batch: テーブル「First」を作成できません: サーバが 1 秒以内に応答しませんでした"))
      << run.err;
  EXPECT_NE(run.err.find("テーブル「Second」を作成できません: "), std::string::npos) << run.err;
  ASSERT_FALSE(server.batches().empty());
  EXPECT_EQ(server.batches()[0], "SET XACT_ABORT ON");

  for (const std::string bad : {"x", "-1", "1.5", "", "99999999999"}) {
    const BatchRun refused = batch({"--query-timeout", bad, "--list", book});
    EXPECT_EQ(refused.status, 2) << bad;
    EXPECT_TRUE(refused.err.starts_with("morvane-batch: --query-timeout: 「" + bad + "」は 0 以上の秒数ではありません\n"))
        << refused.err;
  }
}

TEST(ServerScriptSafety, ControlCharactersReachTheTerminalEscaped) {
  TempDir dir;
  const std::string book =
      writeBook(dir, {{"\x1B[31mred", {{"ID", "int", ""}, {"M", "\x1B]x", ""}}}, {"two\nlines", {{"ID", "int", ""}}}, {"Plain", {}}});
  const BatchRun list = batch({"--list", book});
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out, "\\x1B[31mred\ntwo\\nlines\nPlain\n");

  const BatchRun dump = batch({"--dump", book});
  EXPECT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.out.find('\x1B'), std::string::npos);
  EXPECT_NE(dump.out.find("\"\\u001b[31mred\""), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("\"two\\nlines\""), std::string::npos) << dump.out;
  const auto json = nlohmann::json::parse(dump.out);
  EXPECT_EQ(json["tables"][0]["name"], "\x1B[31mred");

  const BatchRun deploy = batch({"--deploy", dir.file("all.sql"), book});
  EXPECT_EQ(deploy.err.find('\x1B'), std::string::npos) << deploy.err;
  EXPECT_NE(deploy.err.find("テーブル「\\x1B[31mred」: \\x1B]xは未定義です"), std::string::npos) << deploy.err;

  // The messages of a server run: the escape is refused there, and named visibly.
  TdsTestServer server(account());
  const BatchRun created = batch(serverArgs(server, book), kPassword);
  EXPECT_EQ(created.status, 1);
  EXPECT_EQ(created.err.find('\x1B'), std::string::npos) << created.err;
  EXPECT_NE(created.err.find("テーブル「\\x1B[31mred」を作成できません: テーブル名「\\x1B[31mred」に制御文字"),
            std::string::npos)
      << created.err;
  EXPECT_NE(created.err.find("テーブル「two\\nlines」を作成できません"), std::string::npos) << created.err;
}

}  // namespace
}  // namespace morvane::test
