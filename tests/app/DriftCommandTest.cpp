// morvane-batch --against-server against the TDS test server's catalog.
#include <filesystem>
#include <gtest/gtest.h>

#include <xlsxwriter.h>

#include "Batch.h"
#include "tests/support/TdsTestServer.h"
#include "tests/support/XlsxPackage.h"

namespace morvane::test {
namespace {

using Column = TdsTestServer::CatalogColumn;

struct Row {
  std::string name, type, size, key, null;
};

// Default layout: the table name in C3, fields from row 6 in D (name), E, F, G (key), I (NULL).
void writeTable(XlsxWriterBook& book, const std::string& table, const std::vector<Row>& rows) {
  lxw_worksheet* sheet = book.addSheet(table);
  writeCell(sheet, "C3", table);
  int at = 6;
  for (const auto& row : rows) {
    const std::string n = std::to_string(at++);
    writeCell(sheet, "D" + n, row.name);
    writeCell(sheet, "E" + n, row.type);
    if (!row.size.empty()) writeCell(sheet, "F" + n, row.size);
    if (!row.key.empty()) writeCell(sheet, "G" + n, row.key);
    if (!row.null.empty()) writeCell(sheet, "I" + n, row.null);
  }
}

// Every kind, an identity, float(10), a composite key.
std::string writeDesign(const TempDir& dir) {
  const std::string path = dir.file("design.xlsx");
  XlsxWriterBook book(path);
  writeTable(book, "Orders",
             {{"OrderID", "identity", "1,1", "○", ""},
              {"Kind", "char", "2", "", "○"},
              {"Name", "varchar", "50", "", ""},
              {"Memo", "varchar", "max", "", "○"},
              {"Qty", "int", "", "", ""},
              {"Ordered", "date", "", "", "○"},
              {"Price", "money", "", "", "○"},
              {"Rate", "real", "", "", "○"},
              {"Ratio", "float", "10", "", "○"},
              {"Unit", "decimal", "10,2", "", "○"}});
  writeTable(book, "Lines", {{"OrderID", "int", "", "○", ""}, {"LineNo", "int", "", "○", ""}});
  book.close();
  return path;
}

// What the server reports once the workbook's own CREATE scripts have run.
TdsTestServer::Catalog deployed() {
  TdsTestServer::Catalog catalog;
  catalog.columns = {
      {"Lines", "LineNo", 2, "int", {}, 10, 0, "NO", 0, {}, {}},
      {"Lines", "OrderID", 1, "int", {}, 10, 0, "NO", 0, {}, {}},
      {"Orders", "OrderID", 1, "int", {}, 10, 0, "NO", 1, 1, 1},
      {"Orders", "Kind", 2, "char", 2, {}, {}, "YES", 0, 1, 1},
      {"Orders", "Name", 3, "varchar", 50, {}, {}, "NO", 0, 1, 1},
      {"Orders", "Memo", 4, "varchar", -1, {}, {}, "YES", 0, 1, 1},
      {"Orders", "Qty", 5, "int", {}, 10, 0, "NO", 0, 1, 1},
      {"Orders", "Ordered", 6, "datetime", {}, {}, {}, "YES", 0, 1, 1},
      {"Orders", "Price", 7, "money", {}, 19, 4, "YES", 0, 1, 1},
      {"Orders", "Rate", 8, "real", {}, 24, {}, "YES", 0, 1, 1},
      {"Orders", "Ratio", 9, "real", {}, 24, {}, "YES", 0, 1, 1},
      {"Orders", "Unit", 10, "decimal", {}, 10, 2, "YES", 0, 1, 1},
  };
  catalog.keys = {{"Lines", "OrderID", 1}, {"Lines", "LineNo", 2}, {"Orders", "OrderID", 1}};
  return catalog;
}

TdsTestServer::Config serverWith(TdsTestServer::Catalog catalog) {
  return {.user = "sa", .password = "pw", .database = "販売", .catalog = std::move(catalog)};
}

BatchRun against(const TdsTestServer& server, const std::string& workbook, std::vector<std::string> extra = {},
                 const std::string& password = "pw") {
  std::vector<std::string> args = {"--against-server", "--server", server.address(), "--database", "販売",
                                   "--user",           "sa"};
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(workbook);
  return batch(args, {"MORVANE_PASSWORD=" + password});
}

TEST(DriftCommand, NoDriftExitsZeroWhetherIntegersComeAsIntOrText) {
  TempDir dir;
  const std::string workbook = writeDesign(dir);
  for (const bool asText : {false, true}) {
    auto catalog = deployed();
    catalog.integersAsText = asText;
    TdsTestServer server(serverWith(catalog));
    const BatchRun run = against(server, workbook);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "ブックとデータベースに違いはありません\n");
    EXPECT_EQ(run.err, "");
    // Two queries, each its own batch, and nothing else sent.
    EXPECT_EQ(server.batches().size(), 2u);
  }
}

TEST(DriftCommand, DriftIsPrintedPerTableAndExitsOne) {
  TempDir dir;
  const std::string workbook = writeDesign(dir);
  auto catalog = deployed();
  catalog.columns[4].length = 100;      // Orders.Name widened by hand
  catalog.columns[0].column = "LINENO";  // case only: a warning
  catalog.columns.push_back({"Audit", "At", 1, "datetime", {}, {}, {}, "NO", 0, {}, {}});
  TdsTestServer server(serverWith(catalog));
  const BatchRun run = against(server, workbook);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out,
            "テーブル「Orders」: 列「Name」はドキュメントでは varchar(50) NOT NULL、データベースでは varchar(100) NOT NULL\n"
            "テーブル「Audit」: データベースにだけあります\n");
  EXPECT_EQ(run.err, "morvane-batch: テーブル「Lines」の列「LineNo」はデータベースでは「LINENO」です (大文字小文字の違いだけです)\n");

  // --table narrows both sides.
  const BatchRun one = against(server, workbook, {"--table", "Lines"});
  EXPECT_EQ(one.status, 0) << one.out;
}

TEST(DriftCommand, EmptyDatabaseHasEverythingOnlyInTheDocument) {
  TempDir dir;
  const std::string workbook = writeDesign(dir);
  TdsTestServer server(serverWith({}));
  const BatchRun run = against(server, workbook);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "テーブル「Orders」: ドキュメントにだけあります\nテーブル「Lines」: ドキュメントにだけあります\n");
}

TEST(DriftCommand, ServerThatCannotBeReadExitsTwoWithTheReason) {
  TempDir dir;
  const std::string workbook = writeDesign(dir);
  auto catalog = deployed();
  catalog.hangUpInColumns = true;
  TdsTestServer dropping(serverWith(catalog));
  const BatchRun dropped = against(dropping, workbook);
  EXPECT_EQ(dropped.status, 2);
  EXPECT_EQ(dropped.out, "");
  EXPECT_TRUE(dropped.err.starts_with("morvane-batch: サーバ「" + dropping.address() +
                                      "」のデータベース「販売」のテーブル定義を読めません: "))
      << dropped.err;
  EXPECT_EQ(dropped.errLines(), 1) << dropped.err;

  TdsTestServer server(serverWith(deployed()));
  const BatchRun refused = against(server, workbook, {}, "wrong");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("Login failed for user 'sa'."), std::string::npos) << refused.err;
  EXPECT_EQ(against(server, dir.file("missing.xlsx")).status, 2);
  EXPECT_TRUE(server.batches().empty());
}

TEST(DriftCommand, OptionsThatDoNotGoTogetherAreRefused) {
  TempDir dir;
  const std::string workbook = writeDesign(dir);
  TdsTestServer server(serverWith(deployed()));
  EXPECT_EQ(against(server, workbook, {"--apply", "--sql", dir.file("out")}).status, 2);
  EXPECT_EQ(batch({"--apply", workbook}).status, 2);
  EXPECT_EQ(batch({"--against-server", workbook}).status, 2);
  // Change scripts from the live schema are not made: asking for them must not pass for done.
  const BatchRun scripts = against(server, workbook, {"--sql", dir.file("out")});
  EXPECT_EQ(scripts.status, 2);
  EXPECT_NE(scripts.err.find("--sql"), std::string::npos) << scripts.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
  EXPECT_EQ(against(server, workbook, {"--apply"}).status, 2);
  EXPECT_EQ(server.connectionCount(), 0u);
}

}  // namespace
}  // namespace morvane::test
