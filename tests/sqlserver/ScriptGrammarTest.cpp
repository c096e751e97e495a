// Every kind of script the program writes, parsed by a complete T-SQL grammar (grammars-v4's, as
// npm's antlr4ts-sql ships it), with Japanese and ASCII names.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "sqlserver/CatalogAttributes.h"
#include "sqlserver/ChangeScript.h"
#include "sqlserver/ForeignKeys.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/app/Batch.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/DesignBook.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::makeTable;

TEST(ScriptGrammar, AcceptsEveryScriptTheProgramWrites) {
  if (test::run("command -v node && command -v npm").first != 0) GTEST_SKIP() << "node and npm are needed";
  // Installed beside the test program, once, and only for the tests.
  const fs::path modules = fs::read_symlink("/proc/self/exe").parent_path() / "tsql-grammar";
  if (!fs::exists(modules / "node_modules/antlr4ts-sql/package.json")) {
    const auto [status, out] = test::run("timeout 300 npm install --no-audit --no-fund --no-save --prefix " +
                                         test::quote(modules.string()) +
                                         " antlr4ts-sql@1.1.0 antlr4ts@0.5.0-alpha.4 2>&1");
    if (status != 0) GTEST_SKIP() << "antlr4ts-sql could not be installed from npm:\n" << out;
  }
  test::TempDir dir;
  // What a keyless table would give with the constraint kept: the grammar must refuse it.
  test::writeBytes(dir.file("broken.sql"), "CREATE TABLE dbo.Log (At datetime NOT NULL)\r\n"
                                           "ALTER TABLE dbo.Log ADD CONSTRAINT PK_Log PRIMARY KEY CLUSTERED ( )\r\n");
  // Every statement a table can get, its foreign keys' file and the deployment script, in each
  // encoding (Bad, whose default is injected text, is not selected).
  const std::string book = test::writeDesignBook(dir.file("schema.xlsx"), test::schemaSheets());
  for (const std::string encoding : {"cp932", "utf-8-bom"}) {
    const test::BatchRun run = test::batch({"--layout-extra", test::kFullLayoutExtra, "--table", "顧客", "--table",
                                            "Orders", "--encoding", encoding, "--sql", dir.file(encoding), "--deploy",
                                            dir.file(encoding + "-deploy.sql"), book});
    EXPECT_EQ(run.status, 0) << run.err;
  }
  // Every kind of change script: a new table, a gone one, columns added, altered and dropped, a key
  // changed, attributes added, changed and gone, and a rebuild for an identity with a column renamed.
  const test::FieldRow code{"Code", "char", "5", false, "'A'", "", "1", "", "", "コード"};
  const test::FieldRow moved{"Code", "char", "5", false, "'B'", "", "", "1", "", "区分"};
  ChangeOptions options;
  options.allowDrop = options.allowRebuild = true;
  options.renames = {{"Ledger", "Name", "Title"}};
  const auto changes = compareRevisions(
      test::dbOf({makeTable("OrderLine", {{"OrderNo", "int"}, {"LineNumber", "int"}, {"Memo", "varchar", "10", true}},
                            {"OrderNo", "LineNumber"}),
                  makeTable("Audit", {{"At", "date"}}), makeTable("Kinds", {code}),
                  makeTable("Ledger", {{"ID", "int"}, {"Name", "varchar", "10", true}, code}, {"ID"})}),
      test::dbOf({makeTable("OrderLine",
                            {{"OrderNo", "int"}, {"Memo", "varchar", "max", true}, {"Rate", "float", "24", true},
                             {"Seq", "identity", "1,1"}},
                            {"OrderNo"}),
                  test::customerTable(), makeTable("Kinds", {moved}),
                  makeTable("Ledger", {{"ID", "identity", "1,1"}, {"Title", "varchar", "10", true}, code}, {"ID"})}),
      nullptr, options);
  ASSERT_EQ(changes.size(), 5u);
  EXPECT_TRUE(std::any_of(changes.begin(), changes.end(), [](const TableChange& change) { return change.rebuilt; }));
  for (const auto& change : changes) test::writeBytes(dir.file("change-" + change.name + ".sql"), change.script);
  // The queries the server commands send (the test server only looks for the views' names).
  int files = 0;
  for (const char* query : {kCatalogColumnsQuery, kCatalogKeysQuery, kTableNamesQuery, kCatalogDefaultsQuery,
                            kCatalogForeignKeysQuery, kCatalogDescriptionsQuery}) {
    test::writeBytes(dir.file("query" + std::to_string(++files) + ".sql"), query);
  }
  // Tables with one key, none and several.
  clsSQLServerDB generator;
  for (const auto& table : {test::customerTable(), makeTable("Log", {{"At", "date"}, {"Amount", "money", "", true}}),
                            makeTable("Line", {{"No", "int"}, {"Item", "int"}}, {"No", "Item"})}) {
    ASSERT_TRUE(generator.fnSaveCreateSQL(table, dir.path().string()));
  }
  std::string command = "NODE_PATH=" + test::quote((modules / "node_modules").string()) + " timeout 300 node " +
                        test::quote(MORVANE_SOURCE_DIR "/tests/sqlserver/parse-tsql.cjs");
  files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
    if (entry.path().extension() != ".sql") continue;
    command += " " + test::quote(entry.path().string());
    ++files;
  }
  // broken.sql; in each encoding two tables, their foreign keys and the deploy script; the changes,
  // queries and generated tables.
  EXPECT_EQ(files, 1 + 2 * 4 + 5 + 6 + 3);
  // Errors in broken.sql only, one a line as "FILE:LINE:COLUMN: message".
  const std::string errors = test::run(command + " 2>&1").second;
  ASSERT_FALSE(errors.empty());
  for (std::size_t at = 0; at < errors.size(); at = errors.find('\n', at) + 1) {
    EXPECT_EQ(errors.compare(at, dir.file("broken.sql:").size(), dir.file("broken.sql:")), 0) << errors.substr(at);
  }
}

}  // namespace
}  // namespace morvane
