// Every kind of script the program writes, parsed by a complete T-SQL grammar (grammars-v4's, as
// npm's antlr4ts-sql ships it), with Japanese and ASCII names.
#include <gtest/gtest.h>

#include <filesystem>

#include "sqlserver/ChangeScript.h"
#include "sqlserver/ForeignKeys.h"
#include "sqlserver/ServerCatalog.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/app/Batch.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/Command.h"
#include "tests/support/DesignBook.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

class ScriptGrammar : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::haveCommand("node") || !test::haveCommand("npm")) GTEST_SKIP() << "node and npm are needed for the T-SQL grammar";
    // Installed beside the test program, once, and only for the tests.
    modules_ = fs::read_symlink("/proc/self/exe").parent_path() / "tsql-grammar";
    if (!fs::exists(modules_ / "node_modules/antlr4ts-sql/package.json")) {
      const auto install = test::run("timeout 300 npm install --no-audit --no-fund --no-save --prefix " +
                                     test::quote(modules_.string()) + " antlr4ts-sql@1.1.0 antlr4ts@0.5.0-alpha.4 2>&1");
      if (install.status != 0) GTEST_SKIP() << "antlr4ts-sql could not be installed from npm:\n" << install.out;
    }
  }

  // Each syntax error of the files as "FILE:LINE:COLUMN: message", one a line.
  std::string syntaxErrors(const std::vector<std::string>& files) {
    std::string command = "NODE_PATH=" + test::quote((modules_ / "node_modules").string()) + " timeout 300 node " +
                          test::quote(std::string(MORVANE_SOURCE_DIR) + "/tests/sqlserver/parse-tsql.cjs");
    for (const auto& file : files) command += " " + test::quote(file);
    return test::run(command + " 2>&1").out;
  }

  fs::path modules_;
};

TEST_F(ScriptGrammar, AcceptsEveryScriptTheProgramWrites) {
  test::TempDir dir;
  // What a keyless table would give with the constraint kept: the grammar must refuse it.
  test::writeBytes(dir.file("broken.sql"),
                   "BEGIN TRANSACTION \r\nCREATE TABLE dbo.Log \r\n\t(\r\n\tAt datetime  NOT NULL \r\n\t) ON [PRIMARY] \r\n"
                   "ALTER TABLE dbo.Log ADD CONSTRAINT \r\n\tPK_Log PRIMARY KEY CLUSTERED \r\n\t(\r\n\t) ON [PRIMARY] \r\n"
                   "COMMIT \r\n");
  // Tables with one key, none and several.
  clsSQLServerDB generator;
  for (const auto& table :
       {test::customerTable(), test::makeTable("Log", {{"At", "date", "", false}, {"Amount", "money", "", true}}, {}),
        test::makeTable("OrderLine",
                        {{"OrderNo", "int", "", false}, {"ItemNo", "int", "", false}, {"Qty", "float", "53", true}},
                        {"OrderNo", "ItemNo"})}) {
    ASSERT_TRUE(generator.fnSaveCreateSQL(table, dir.path().string()));
  }
  // Every statement a table can get, its foreign keys' file and the deployment script in each
  // encoding (Bad, whose default is injected text, is not selected).
  const std::string book = test::writeDesignBook(dir.file("schema.xlsx"), test::schemaSheets());
  const std::vector<std::string> schema = {"--layout-extra", test::kFullLayoutExtra, "--table", "顧客", "--table", "Orders"};
  auto batch = [&](std::vector<std::string> args) {
    args.insert(args.begin(), schema.begin(), schema.end());
    const test::BatchRun run = test::batch(args);
    EXPECT_EQ(run.status, 0) << run.err;
  };
  batch({"--sql", dir.file("schema"), "--deploy", dir.file("deploy.sql"), book});
  batch({"--encoding", "utf-8-bom", "--eol", "lf", "--deploy", dir.file("deploy-utf8.sql"), book});
  // Every kind of change script.
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
  auto changes = compareRevisions(before, after, nullptr, options);
  ASSERT_EQ(changes.size(), 3u);
  // A rebuild for an identity with a column renamed, and attributes added, changed and gone.
  test::FieldRow code{"Code", "char", "5", false, "'A'", "", "1"};
  code.logicalName = "コード";
  test::FieldRow moved = code;
  moved.defaultValue = "'B'";
  moved.unique = "";
  moved.index = "1";
  moved.logicalName = "区分";
  options.allowRebuild = true;
  options.renames = {{"Ledger", "Name", "Title"}};
  const auto rebuilt = compareRevisions(
      test::dbOf({test::makeTable("Ledger", {{"ID", "int", "", false}, {"Name", "varchar", "10", true}, code}, {"ID"})}),
      test::dbOf({test::makeTable("Ledger", {{"ID", "identity", "1,1", false}, {"Title", "varchar", "10", true}, code}, {"ID"})}),
      nullptr, options);
  const auto attributes = compareRevisions(test::dbOf({test::makeTable("Kinds", {code}, {})}),
                                           test::dbOf({test::makeTable("Kinds", {moved}, {})}), nullptr, ChangeOptions{});
  ASSERT_EQ(rebuilt.size() + attributes.size(), 2u);
  ASSERT_TRUE(rebuilt[0].rebuilt);
  changes.push_back(rebuilt[0]);
  changes.push_back(attributes[0]);
  fs::create_directory(dir.path() / "change");
  for (const auto& change : changes) {
    ASSERT_TRUE(generator.fnSaveScript(change.name, change.script, dir.file("change"))) << generator.getFailReason();
  }
  // The queries the server commands send (the test server only looks for the views' names).
  int queries = 0;
  for (const char* query : {kCatalogColumnsQuery, kCatalogKeysQuery, kTableNamesQuery}) {
    test::writeBytes(dir.file("query" + std::to_string(++queries) + ".sql"), std::string(query) + "\n");
  }

  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
    if (entry.path().extension() == ".sql") files.push_back(entry.path().string());
  }
  EXPECT_EQ(files.size(), 17u);
  // Errors in broken.sql only.
  const std::string errors = syntaxErrors(files);
  ASSERT_FALSE(errors.empty());
  bool onlyBroken = true;
  for (std::size_t at = 0; at < errors.size(); at = errors.find('\n', at) + 1) {
    onlyBroken = onlyBroken && errors.compare(at, dir.file("broken.sql:").size(), dir.file("broken.sql:")) == 0;
  }
  EXPECT_TRUE(onlyBroken) << errors;
}

}  // namespace
}  // namespace morvane
