// Generated scripts checked by a real T-SQL parser (sqlfluff).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "sqlserver/ChangeScript.h"
#include "sqlserver/DeployScript.h"
#include "sqlserver/ServerCatalog.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

// sqlfluff's output when it finds the file unparsable, or empty when it parses.
std::string parseFailure(const std::string& path) {
  FILE* pipe = ::popen(("sqlfluff parse --dialect tsql '" + path + "' 2>&1").c_str(), "r");
  if (!pipe) return "popen failed";
  std::string output;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = ::pclose(pipe);
  const bool parsed = WIFEXITED(status) && WEXITSTATUS(status) == 0 && output.find("unparsable") == std::string::npos;
  return parsed ? "" : output;
}

class ScriptSqlfluff : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v sqlfluff >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "sqlfluff is not installed (Debian package sqlfluff); T-SQL parse check skipped";
    }
  }
};

TEST_F(ScriptSqlfluff, AcceptsScriptsWithOneKeyNoKeyAndSeveralKeys) {
  test::TempDir dir;
  // What a keyless table would give with the constraint kept: the check must catch it.
  test::writeBytes(dir.file("broken.sql"),
                   "BEGIN TRANSACTION \r\nCREATE TABLE dbo.Log \r\n\t(\r\n\tAt datetime  NOT NULL \r\n\t) ON [PRIMARY] \r\n"
                   "ALTER TABLE dbo.Log ADD CONSTRAINT \r\n\tPK_Log PRIMARY KEY CLUSTERED \r\n\t(\r\n\t) ON [PRIMARY] \r\n"
                   "COMMIT \r\n");
  EXPECT_NE(parseFailure(dir.file("broken.sql")), "");

  clsSQLServerDB generator;
  for (const auto& table :
       {test::customerTable(), test::makeTable("Log", {{"At", "date", "", false}, {"Amount", "money", "", true}}, {}),
        test::makeTable("OrderLine",
                        {{"OrderNo", "int", "", false}, {"ItemNo", "int", "", false}, {"Qty", "float", "53", true}},
                        {"OrderNo", "ItemNo"})}) {
    ASSERT_TRUE(generator.fnSaveCreateSQL(table, dir.path().string()));
    EXPECT_EQ(parseFailure(dir.file(table.getName() + ".sql")), "") << table.getName();
  }
}

TEST_F(ScriptSqlfluff, AcceptsTheDeploymentScriptInEachEncoding) {
  test::TempDir dir;
  clsSQLServerDB generator;
  for (const platform::OutputEncoding encoding :
       {platform::OutputEncoding{}, platform::OutputEncoding{platform::Charset::Utf8Bom, platform::LineEnd::Lf}}) {
    DeployScript deploy({"design.xlsx", "2026-01-02 03:04:05 +0900", "0.1"}, encoding);
    for (const auto& table :
         {test::customerTable(), test::makeTable("Log", {{"At", "date", "", false}}, {}),
          test::makeTable("OrderLine", {{"OrderNo", "int", "", false}, {"ItemNo", "int", "", false}},
                          {"OrderNo", "ItemNo"})}) {
      const auto script = generator.fnEncodeCreateSQL(table, encoding);
      ASSERT_TRUE(script) << generator.getFailReason();
      deploy.add(*script);
    }
    test::writeBytes(dir.file("deploy.sql"), deploy.bytes());
    EXPECT_EQ(parseFailure(dir.file("deploy.sql")), "");
  }
}

TEST_F(ScriptSqlfluff, AcceptsEveryKindOfChangeScript) {
  const clsDBInfo before = test::dbOf(
      {test::makeTable("OrderLine",
                       {{"OrderNo", "int", "", false}, {"LineNumber", "int", "", false}, {"Memo", "varchar", "10", true}},
                       {"OrderNo", "LineNumber"}),
       test::makeTable("Audit", {{"At", "date", "", false}})});
  const clsDBInfo after = test::dbOf({test::makeTable("OrderLine",
                                                      {{"OrderNo", "int", "", false}, {"Memo", "varchar", "max", true},
                                                       {"Rate", "float", "24", true}, {"Seq", "identity", "1,1", false}},
                                                      {"OrderNo"}),
                                      test::customerTable()});
  ChangeOptions options;
  options.allowDrop = true;
  const auto changes = compareRevisions(before, after, nullptr, options);
  ASSERT_EQ(changes.size(), 3u);
  test::TempDir dir;
  clsSQLServerDB db;
  for (const auto& change : changes) {
    ASSERT_NE(change.script, "") << change.name;
    ASSERT_TRUE(db.fnSaveScript(change.name, change.script, dir.path().string())) << db.getFailReason();
    EXPECT_EQ(parseFailure(dir.file(change.name + ".sql")), "") << change.script;
  }
}

// The test server only looks for the catalog views' names; a real server must parse the rest.
TEST_F(ScriptSqlfluff, AcceptsTheCatalogQueries) {
  test::TempDir dir;
  for (const char* query : {kCatalogColumnsQuery, kCatalogKeysQuery}) {
    test::writeBytes(dir.file("q.sql"), std::string(query) + "\n");
    EXPECT_EQ(parseFailure(dir.file("q.sql")), "") << query;
  }
}

}  // namespace
}  // namespace morvane
