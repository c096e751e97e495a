// Every kind of script the program writes, parsed by a complete T-SQL grammar (grammars-v4's, as
// npm's antlr4ts-sql ships it), with Japanese and ASCII names.
#include <gtest/gtest.h>

#include <filesystem>

#include "sqlserver/ChangeScript.h"
#include "sqlserver/ServerCatalog.h"
#include "sqlserver/ForeignKeys.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/app/Batch.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/Command.h"
#include "tests/support/DesignBook.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::dbOf;
using test::makeTable;

TEST(ScriptGrammar, AcceptsEveryScriptTheProgramWrites) {
  if (!test::haveCommand("node") || !test::haveCommand("npm")) GTEST_SKIP() << "node and npm are needed for the T-SQL grammar";
  // Installed beside the test program, once, and only for the tests.
  const fs::path modules = fs::read_symlink("/proc/self/exe").parent_path() / "tsql-grammar";
  if (!fs::exists(modules / "node_modules/antlr4ts-sql/package.json")) {
    const auto install = test::run("timeout 300 npm install --no-audit --no-fund --no-save --prefix " +
                                   test::quote(modules.string()) + " antlr4ts-sql@1.1.0 antlr4ts@0.5.0-alpha.4 2>&1");
    if (install.status != 0) GTEST_SKIP() << "antlr4ts-sql could not be installed from npm:\n" << install.out;
  }
  test::TempDir dir;
  // What a keyless table would give with the constraint kept: the grammar must refuse it.
  test::writeBytes(dir.file("broken.sql"), "CREATE TABLE dbo.Log \r\n\t(\r\n\tAt datetime  NOT NULL \r\n\t) ON [PRIMARY] \r\n"
                                           "ALTER TABLE dbo.Log ADD CONSTRAINT \r\n\tPK_Log PRIMARY KEY CLUSTERED \r\n\t(\r\n\t) \r\n");
  // Every statement a table can get, its foreign keys' file and the deployment script in each
  // encoding (Bad, whose default is injected text, is not selected).
  const std::string book = test::writeDesignBook(dir.file("schema.xlsx"), test::schemaSheets());
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--sql", dir.file("schema"), "--deploy", dir.file("deploy.sql")},
                                               {"--encoding", "utf-8-bom", "--eol", "lf", "--deploy", dir.file("deploy-utf8.sql")}}) {
    std::vector<std::string> all = {"--layout-extra", test::kFullLayoutExtra, "--table", "顧客", "--table", "Orders"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back(book);
    const test::BatchRun run = test::batch(all);
    EXPECT_EQ(run.status, 0) << run.err;
  }
  // Every kind of change script: a new table, a gone one, columns added, altered and dropped, a
  // key changed, a rebuild for an identity with a column renamed, attributes added, changed and gone.
  test::FieldRow code{"Code", "char", "5", false, "'A'", "", "1", "", "", "コード"};
  test::FieldRow moved = code;
  moved.defaultValue = "'B'";
  moved.unique = "";
  moved.index = "1";
  moved.logicalName = "区分";
  ChangeOptions options;
  options.allowDrop = true;
  auto changes = compareRevisions(
      dbOf({makeTable("OrderLine", {{"OrderNo", "int", "", false}, {"LineNumber", "int", "", false}, {"Memo", "varchar", "10", true}},
                      {"OrderNo", "LineNumber"}),
            makeTable("Audit", {{"At", "date", "", false}}), makeTable("Kinds", {code})}),
      dbOf({makeTable("OrderLine", {{"OrderNo", "int", "", false}, {"Memo", "varchar", "max", true}, {"Rate", "float", "24", true},
                                    {"Seq", "identity", "1,1", false}},
                      {"OrderNo"}),
            test::customerTable(), makeTable("Kinds", {moved})}),
      nullptr, options);
  options.allowRebuild = true;
  options.renames = {{"Ledger", "Name", "Title"}};
  const auto rebuilt = compareRevisions(
      dbOf({makeTable("Ledger", {{"ID", "int", "", false}, {"Name", "varchar", "10", true}, code}, {"ID"})}),
      dbOf({makeTable("Ledger", {{"ID", "identity", "1,1", false}, {"Title", "varchar", "10", true}, code}, {"ID"})}), nullptr,
      options);
  ASSERT_EQ(changes.size() + rebuilt.size(), 5u);
  ASSERT_TRUE(rebuilt[0].rebuilt);
  changes.push_back(rebuilt[0]);
  for (const auto& change : changes) test::writeBytes(dir.file("change-" + change.name + ".sql"), change.script);
  // The queries the server commands send (the test server only looks for the views' names).
  int files = 0;
  for (const char* query : {kCatalogColumnsQuery, kCatalogKeysQuery, kTableNamesQuery}) {
    test::writeBytes(dir.file("query" + std::to_string(++files) + ".sql"), query);
  }
  // Tables with one key, none and several.
  clsSQLServerDB generator;
  for (const auto& table : {test::customerTable(), makeTable("Log", {{"At", "date", "", false}, {"Amount", "money", "", true}}),
                            makeTable("Line", {{"No", "int", "", false}, {"Item", "int", "", false}}, {"No", "Item"})}) {
    ASSERT_TRUE(generator.fnSaveCreateSQL(table, dir.path().string()));
  }

  std::string command = "NODE_PATH=" + test::quote((modules / "node_modules").string()) + " timeout 300 node " +
                        test::quote(std::string(MORVANE_SOURCE_DIR) + "/tests/sqlserver/parse-tsql.cjs");
  files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
    if (entry.path().extension() != ".sql") continue;
    command += " " + test::quote(entry.path().string());
    ++files;
  }
  EXPECT_EQ(files, 17);
  // Errors in broken.sql only, one a line as "FILE:LINE:COLUMN: message".
  const std::string errors = test::run(command + " 2>&1").out;
  ASSERT_FALSE(errors.empty());
  for (std::size_t at = 0; at < errors.size(); at = errors.find('\n', at) + 1) {
    EXPECT_EQ(errors.compare(at, dir.file("broken.sql:").size(), dir.file("broken.sql:")), 0) << errors.substr(at);
  }
}

}  // namespace
}  // namespace morvane
