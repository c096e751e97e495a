// Table creation on a server through clsSQLServerDB, against the TDS test server.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sqlserver/clsSQLServerDB.h"
#include "tests/support/TdsTestServer.h"

namespace morvane {
namespace {

using test::TdsTestServer;

clsFieldInfo field(std::string name, std::string attr, std::string size, bool nullable) {
  clsFieldInfo f;
  f.setName(std::move(name));
  f.setAttr(std::move(attr));
  f.setSize(std::move(size));
  f.setNull(nullable);
  return f;
}

clsTableInfo table(const std::string& name, const std::string& idSize = "1,1") {
  clsTableInfo t;
  t.setName(name);
  t.setField(field(name + "ID", "identity", idSize, false));
  t.setField(field("名前", "varchar", "50", false));
  t.setField(field("Rank", "Char ", "2", true));
  t.setField(field("残高", "decimal", "10,2", true));
  t.sbAddPKey(name + "ID");
  return t;
}

TdsTestServer::Config account(const std::string& password) {
  TdsTestServer::Config config;
  config.user = "sa";
  config.password = password;
  config.database = "販売";
  return config;
}

TEST(ServerTables, EachTableIsOneBatchExactlyAsScripted) {
  TdsTestServer server(account("pw"));
  clsSQLServerDB db;
  ASSERT_TRUE(db.fnOpenDB(server.address(), "販売", "sa", "pw")) << db.getServerMessage();
  const std::vector<clsTableInfo> tables = {table("顧客"), table("Orders")};
  std::vector<std::string> expected;
  for (const auto& t : tables) {
    EXPECT_TRUE(db.fnMakeTable(t)) << db.getServerMessage();
    EXPECT_EQ(db.getServerMessage(), "");
    expected.push_back(db.makeCreateSQL(t).value());
  }
  EXPECT_TRUE(db.fnCloseDB());

  const auto batches = server.batches();
  EXPECT_EQ(batches, expected);
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_TRUE(batches[0].starts_with("BEGIN TRANSACTION \r\nCREATE TABLE dbo.顧客 \r\n\t(\r\n\t顧客ID "));
  EXPECT_TRUE(batches[0].ends_with(") ON [PRIMARY] \r\nCOMMIT ")) << "nothing may follow the script";
  EXPECT_EQ(server.tables(), (std::set<std::string>{"顧客", "Orders"}));
}

TEST(ServerTables, ExistingTableFailsWithTheServersReasonAndTheNextStillRuns) {
  TdsTestServer server(account("pw"));
  clsSQLServerDB db;
  ASSERT_TRUE(db.fnOpenDB(server.address(), "販売", "sa", "pw")) << db.getServerMessage();
  EXPECT_TRUE(db.fnMakeTable(table("顧客")));
  EXPECT_FALSE(db.fnMakeTable(table("顧客")));
  EXPECT_NE(db.getServerMessage().find("There is already an object named '顧客' in the database."), std::string::npos)
      << db.getServerMessage();
  EXPECT_EQ(db.getErrMsg(), "") << "a server failure is not a notation failure";
  EXPECT_TRUE(db.fnMakeTable(table("注文")));
  EXPECT_EQ(db.getServerMessage(), "");
  EXPECT_TRUE(db.fnCloseDB());
  EXPECT_EQ(server.batches().size(), 3u);
}

TEST(ServerTables, FailedOpenGivesTheReasonAndLaterTablesFailSilently) {
  TdsTestServer first(account("pw"));
  TdsTestServer second(account("pw"));
  clsSQLServerDB db;
  ASSERT_TRUE(db.fnOpenDB(first.address(), "販売", "sa", "pw")) << db.getServerMessage();
  EXPECT_EQ(db.getServerMessage(), "");

  EXPECT_FALSE(db.fnOpenDB(second.address(), "販売", "sa", "wrong"));
  EXPECT_NE(db.getServerMessage().find("Login failed for user 'sa'."), std::string::npos) << db.getServerMessage();
  // The failed open replaced the earlier connection: nothing reaches either server.
  EXPECT_FALSE(db.fnMakeTable(table("顧客")));
  EXPECT_EQ(db.getServerMessage(), "");
  EXPECT_TRUE(first.batches().empty());
  EXPECT_TRUE(second.batches().empty());
}

TEST(ServerTables, MakeTableWithoutAnOpenFailsSilently) {
  clsSQLServerDB db;
  EXPECT_FALSE(db.fnMakeTable(table("顧客")));
  EXPECT_EQ(db.getServerMessage(), "");
  EXPECT_TRUE(db.fnCloseDB());
}

TEST(ServerTables, ValueThatCannotBePassedIsRefusedBeforeConnecting) {
  TdsTestServer server(account("a};b"));
  clsSQLServerDB db;
  EXPECT_FALSE(db.fnOpenDB(server.address(), "販売", "sa", "a};b"));
  EXPECT_NE(db.getServerMessage().find("The password cannot be passed"), std::string::npos) << db.getServerMessage();
  EXPECT_EQ(server.connectionCount(), 0u);

  // Everything else a password may hold arrives as typed.
  const std::string awkward = "p;w=d{x}}y}";
  TdsTestServer other(account(awkward));
  EXPECT_TRUE(db.fnOpenDB(other.address(), "販売", "sa", awkward)) << db.getServerMessage();
  ASSERT_EQ(other.logins().size(), 1u);
  EXPECT_EQ(other.logins()[0].password, awkward);
  EXPECT_EQ(other.logins()[0].database, "販売");
}

TEST(ServerTables, ScriptThatCannotBeBuiltSendsNothing) {
  TdsTestServer server(account("pw"));
  clsSQLServerDB db;
  ASSERT_TRUE(db.fnOpenDB(server.address(), "販売", "sa", "pw")) << db.getServerMessage();
  EXPECT_FALSE(db.fnMakeTable(table("顧客", "1")));  // identity size without a comma
  EXPECT_EQ(db.getServerMessage(), "");
  EXPECT_TRUE(server.batches().empty());
}

// Takes the full login timeout (15 seconds): the server accepts and never answers.
TEST(ServerTables, OpenGivesUpOnAServerThatNeverAnswers) {
  auto config = account("pw");
  config.mode = TdsTestServer::Mode::silent;
  TdsTestServer server(config);
  clsSQLServerDB db;
  EXPECT_FALSE(db.fnOpenDB(server.address(), "販売", "sa", "pw"));
  EXPECT_NE(db.getServerMessage().find("Timeout expired"), std::string::npos) << db.getServerMessage();
  EXPECT_FALSE(db.fnMakeTable(table("顧客")));
}

}  // namespace
}  // namespace morvane
