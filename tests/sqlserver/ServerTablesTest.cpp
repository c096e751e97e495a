// Table creation on a server through clsSQLServerDB, against the TDS test server.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TdsTestServer.h"

namespace morvane {
namespace {

using test::TdsTestServer;

clsTableInfo table(const std::string& name, const std::string& idSize = "1,1") {
  return test::makeTable(name,
                         {{name + "ID", "identity", idSize, false},
                          {"名前", "varchar", "50", false},
                          {"Rank", "Char ", "2", true},
                          {"残高", "decimal", "10,2", true}},
                         {name + "ID"});
}

TdsTestServer::Config account(const std::string& password) { return {.user = "sa", .password = password, .database = "販売"}; }

TEST(ServerTables, EachTableIsOneBatchAndAnExistingOneFailsWithTheServersReason) {
  TdsTestServer server(account("pw"));
  clsSQLServerDB db;
  ASSERT_TRUE(db.fnOpenDB(server.address(), "販売", "sa", "pw")) << db.getFailReason();
  EXPECT_EQ(db.getFailReason(), "");
  EXPECT_TRUE(db.fnMakeTable(table("顧客"))) << db.getFailReason();
  EXPECT_FALSE(db.fnMakeTable(table("顧客")));
  EXPECT_NE(db.getFailReason().find("There is already an object named '顧客' in the database."), std::string::npos)
      << db.getFailReason();
  EXPECT_EQ(db.getErrMsg(), "") << "a server failure is not a notation failure";
  // A script that cannot be built sends nothing (identity size without a comma).
  EXPECT_FALSE(db.fnMakeTable(table("Bad", "1")));
  EXPECT_NE(db.getFailReason().find("カンマがありません"), std::string::npos) << db.getFailReason();
  EXPECT_TRUE(db.fnMakeTable(table("Orders")));
  EXPECT_EQ(db.getFailReason(), "");
  EXPECT_TRUE(db.fnCloseDB());

  const std::string first = db.makeCreateSQL(table("顧客")).value();
  EXPECT_TRUE(first.ends_with(") ON [PRIMARY] \r\nCOMMIT ")) << "nothing may follow the script";
  // Each table all or nothing: set once for the connection, before its first script.
  EXPECT_EQ(server.batches(),
            (std::vector<std::string>{"SET XACT_ABORT ON", first, first, db.makeCreateSQL(table("Orders")).value()}));
  EXPECT_EQ(server.tables(), (std::set<std::string>{"顧客", "Orders"}));
}

TEST(ServerTables, CancelAfterTheFirstOfThreeTablesSendsNoOther) {
  TdsTestServer server(account("pw"));
  clsSQLServerDB db;
  ASSERT_TRUE(db.fnOpenDB(server.address(), "販売", "sa", "pw")) << db.getFailReason();
  test::RecordingProgress afterFirst(1);
  std::vector<std::string> reported;
  const ProgressTally tally = db.fnMakeTables(test::dbOf({table("顧客"), table("受注"), table("商品")}), afterFirst,
                                              [&](const clsTableInfo& t, bool ok) {
                                                reported.push_back(t.getName() + (ok ? " ok" : " failed"));
                                              });
  EXPECT_EQ(reported, (std::vector<std::string>{"顧客 ok"}));
  EXPECT_EQ(afterFirst.calls(), (std::vector<std::string>{"begin 3", "step 0 顧客", "end 1/0/2 cancelled"}));
  EXPECT_TRUE(tally.cancelled);
  EXPECT_EQ(server.batches(), (std::vector<std::string>{"SET XACT_ABORT ON", db.makeCreateSQL(table("顧客")).value()}));
}

TEST(ServerTables, AfterAFailedOpenOrNoneTablesFailSilently) {
  clsSQLServerDB db;
  EXPECT_FALSE(db.fnMakeTable(table("顧客")));
  EXPECT_EQ(db.getFailReason(), "");

  TdsTestServer first(account("pw"));
  TdsTestServer second(account("pw"));
  ASSERT_TRUE(db.fnOpenDB(first.address(), "販売", "sa", "pw")) << db.getFailReason();
  EXPECT_FALSE(db.fnOpenDB(second.address(), "販売", "sa", "wrong"));
  EXPECT_NE(db.getFailReason().find("Login failed for user 'sa'."), std::string::npos) << db.getFailReason();
  // The failed open replaced the earlier connection: nothing reaches either server.
  EXPECT_FALSE(db.fnMakeTable(table("顧客")));
  EXPECT_EQ(db.getFailReason(), "");
  EXPECT_TRUE(first.batches().empty());
  EXPECT_TRUE(second.batches().empty());
  EXPECT_TRUE(db.fnCloseDB());
}

TEST(ServerTables, PasswordThatWouldEndABracedValueOpensAndAnUnsafeServerNameIsRefused) {
  TdsTestServer server(account("a};b"));
  clsSQLServerDB db;
  EXPECT_TRUE(db.fnOpenDB(server.address(), "販売", "sa", "a};b")) << db.getFailReason();
  EXPECT_FALSE(db.fnOpenDB("127.0.0.1;Port=1," + std::to_string(server.port()), "販売", "sa", "a};b"));
  EXPECT_NE(db.getFailReason().find("サーバ名に「;」"), std::string::npos) << db.getFailReason();
  EXPECT_EQ(server.connectionCount(), 1u);
}

// Takes the full login timeout (15 seconds): the server accepts and never answers.
TEST(ServerTables, OpenGivesUpOnAServerThatNeverAnswers) {
  auto config = account("pw");
  config.mode = TdsTestServer::Mode::silent;
  TdsTestServer server(config);
  clsSQLServerDB db;
  EXPECT_FALSE(db.fnOpenDB(server.address(), "販売", "sa", "pw"));
  EXPECT_NE(db.getFailReason().find("Timeout expired"), std::string::npos) << db.getFailReason();
  EXPECT_FALSE(db.fnMakeTable(table("顧客")));
}

}  // namespace
}  // namespace morvane
