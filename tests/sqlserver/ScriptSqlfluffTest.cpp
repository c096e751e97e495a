// Generated scripts checked by a real T-SQL parser (sqlfluff).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>

#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

struct ParseResult {
  int status = -1;
  std::string output;
};

bool haveSqlfluff() { return std::system("command -v sqlfluff >/dev/null 2>&1") == 0; }

ParseResult sqlfluffParse(const std::string& path) {
  ParseResult result;
  FILE* pipe = ::popen(("sqlfluff parse --dialect tsql '" + path + "' 2>&1").c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer{};
  while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) result.output.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

void expectParses(const std::string& path) {
  const ParseResult result = sqlfluffParse(path);
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(result.output.find("unparsable"), std::string::npos) << result.output;
}

class ScriptSqlfluff : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveSqlfluff()) GTEST_SKIP() << "sqlfluff is not installed (Debian package sqlfluff); T-SQL parse check skipped";
  }
  test::TempDir dir_;
};

TEST_F(ScriptSqlfluff, AcceptsTheExampleScript) {
  clsSQLServerDB generator;
  ASSERT_TRUE(generator.fnSaveCreateSQL(test::customerTable(), dir_.path().string()));
  expectParses(dir_.file("Customer.sql"));
}

TEST_F(ScriptSqlfluff, AcceptsScriptsWithoutKeysAndWithSeveralKeys) {
  clsSQLServerDB generator;
  const auto noKey = test::makeTable("Log", {{"At", "date", "", false}, {"Amount", "money", "", true}}, {});
  ASSERT_TRUE(generator.fnSaveCreateSQL(noKey, dir_.path().string()));
  expectParses(dir_.file("Log.sql"));
  const auto twoKeys = test::makeTable(
      "OrderLine", {{"OrderNo", "int", "", false}, {"ItemNo", "int", "", false}, {"Qty", "float", "53", true}},
      {"OrderNo", "ItemNo"});
  ASSERT_TRUE(generator.fnSaveCreateSQL(twoKeys, dir_.path().string()));
  expectParses(dir_.file("OrderLine.sql"));
}

TEST_F(ScriptSqlfluff, RejectsAnEmptyKeyList) {
  // What a keyless table would give with the constraint kept: the check must catch it.
  const std::string broken =
      "BEGIN TRANSACTION \r\nCREATE TABLE dbo.Log \r\n\t(\r\n\tAt datetime  NOT NULL \r\n\t) ON [PRIMARY] \r\n"
      "ALTER TABLE dbo.Log ADD CONSTRAINT \r\n\tPK_Log PRIMARY KEY CLUSTERED \r\n\t(\r\n\t) ON [PRIMARY] \r\n"
      "COMMIT \r\n";
  test::writeBytes(dir_.file("broken.sql"), broken);
  const ParseResult result = sqlfluffParse(dir_.file("broken.sql"));
  EXPECT_TRUE(result.status != 0 || result.output.find("unparsable") != std::string::npos) << result.output;
}

}  // namespace
}  // namespace morvane
