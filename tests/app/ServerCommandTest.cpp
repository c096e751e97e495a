// morvane-batch --server against the TDS test server.
#include <gtest/gtest.h>

#include <set>

#include "Batch.h"
#include "platform/text/Cp932.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/TdsTestServer.h"

namespace morvane::test {
namespace {

// A password that would break an unquoted connection string.
const std::string kPassword = "p;w={x}";

TdsTestServer::Config account() { return {.user = "sa", .password = kPassword, .database = "販売"}; }

std::vector<std::string> serverArgs(const TdsTestServer& server) {
  return {"--layout",   kExamples + "design-document.edf", "--types", kExamples + "types-ja.sfa",
          "--server",   server.address(),                  "--database", "販売",
          "--user",     "sa",                              kExampleBook};
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    out.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
  }
  return out;
}

// The scripts --sql writes for the example with the same settings, in sheet order, as sent.
std::vector<std::string> exampleScripts() {
  TempDir dir;
  std::vector<std::string> args = {"--layout", kExamples + "design-document.edf", "--types",
                                   kExamples + "types-ja.sfa", "--sql", dir.path().string(), kExampleBook};
  if (batch(args).status != 0) return {};
  std::vector<std::string> scripts;
  const clsDBInfo model = exampleModel();
  for (const auto& table : model.getTables()) {
    const std::string file = platform::fromCp932(readBytes(dir.file(table->getName() + ".sql")));
    scripts.push_back(file.substr(0, file.size() - 2));  // without the file's last CR LF
  }
  return scripts;
}

TEST(ServerCommand, CreatesTheExamplesTablesThenReportsEachExistingOne) {
  TdsTestServer server(account());
  // The driver library is found even where no ODBC driver is registered.
  TempDir emptyConfig;
  const BatchRun first =
      batch(serverArgs(server), {"MORVANE_PASSWORD=" + kPassword, "ODBCSYSINI=" + emptyConfig.path().string()});
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.err, "");
  const auto scripts = exampleScripts();
  ASSERT_EQ(scripts.size(), 4u);
  EXPECT_EQ(server.batches(), scripts);
  EXPECT_EQ(server.tables(), (std::set<std::string>{"顧客", "受注", "受注明細", "商品"}));

  const BatchRun second = batch(serverArgs(server), {"MORVANE_PASSWORD=" + kPassword});
  EXPECT_EQ(second.status, 1);
  const auto errors = lines(second.err);
  ASSERT_EQ(errors.size(), scripts.size()) << second.err;
  for (const auto& line : errors) {
    EXPECT_TRUE(line.starts_with("morvane-batch: テーブル「")) << line;
    EXPECT_NE(line.find("」を作成できません: [FreeTDS][SQL Server]There is already an object named '"), std::string::npos)
        << line;
  }
}

TEST(ServerCommand, PasswordProblemsStopBeforeAnyTable) {
  TdsTestServer server(account());
  const BatchRun wrong = batch(serverArgs(server), {"MORVANE_PASSWORD=wrong"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.err.find("Login failed for user 'sa'."), std::string::npos) << wrong.err;
  EXPECT_EQ(wrong.errLines(), 1) << wrong.err;
  // No password and no terminal to ask on.
  const BatchRun none = batch(serverArgs(server));
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("MORVANE_PASSWORD"), std::string::npos) << none.err;
  EXPECT_EQ(server.connectionCount(), 1u);
  EXPECT_TRUE(server.batches().empty());
}

TEST(ServerCommand, AsksForThePasswordOnTheTerminalWithoutEcho) {
  TdsTestServer server(account());
  const std::string prompt = server.address() + " の sa のパスワード: ";
  const BatchRun run = batchOnTerminal(serverArgs(server), prompt, kPassword + "\n");
  const std::string& screen = run.out;
  EXPECT_NE(screen.find(prompt), std::string::npos) << screen;
  EXPECT_EQ(run.status, 0) << screen;
  EXPECT_EQ(screen.find(kPassword), std::string::npos) << "the password was echoed: " << screen;
  ASSERT_EQ(server.logins().size(), 1u);
  EXPECT_EQ(server.logins()[0].password, kPassword);
}

}  // namespace
}  // namespace morvane::test
