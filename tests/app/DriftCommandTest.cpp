// morvane-batch --against-server and --write-workbook against the TDS test server's catalog: the
// wiring to the terminal, the files and the exit status; the drift itself is pinned in tests/sqlserver.
#include <gtest/gtest.h>

#include "Batch.h"
#include "document/clsExcel.h"
#include "tests/support/DesignBook.h"

// Catalog rows and configs name only the fields that matter; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace morvane::test {
namespace {

using Catalog = TdsTestServer::Catalog;

// An identity, a composite key; each kind's notation is pinned in ServerDriftTest.
const std::vector<Row> kOrders = {{"OrderID", "identity", "1,1", "○", ""}, {"Name", "varchar", "50", "", ""},
                                  {"Rate", "real", "", "", "○"}, {"Unit", "decimal", "10,2", "", "○"}};
const std::vector<Row> kLines = {{"OrderID", "int", "", "○", ""}, {"LineNo", "int", "", "○", ""}};

// The design as deployed, or revised: Orders.Name widened, Rate gone, Shipped new; Lines keyed
// on OrderID alone; Items new.
std::string writeDesign(const TempDir& dir, bool revised = false, const std::string& orderIdSize = "1,1") {
  if (!revised) return writeDesignBook(dir.file("design.xlsx"), {{"Orders", kOrders}, {"Lines", kLines}});
  auto orders = kOrders;
  orders[0].size = orderIdSize;
  orders[1].size = "100";
  orders.erase(orders.begin() + 2);
  orders.push_back({"Shipped", "date", "", "", "○"});
  auto lines = kLines;
  lines[1].key = "";
  return writeDesignBook(dir.file("revised.xlsx"), {{"Orders", orders}, {"Lines", lines}, {"Items", {{"ItemNo", "int"}}}});
}

// What the server reports once the design's own CREATE scripts have run.
TdsTestServer::Config deployed(std::vector<TdsTestServer::CatalogColumn> more = {}) {
  Catalog catalog;
  catalog.columns = {
      {"Lines", "LineNo", 2, "int", {}, 10, 0, "NO"},           {"Lines", "OrderID", 1, "int", {}, 10, 0, "NO"},
      {"Orders", "OrderID", 1, "int", {}, 10, 0, "NO", 1, 1, 1}, {"Orders", "Name", 2, "varchar", 50, {}, {}, "NO"},
      {"Orders", "Rate", 3, "real", {}, 24, {}, "YES"},         {"Orders", "Unit", 4, "decimal", {}, 10, 2, "YES"}};
  catalog.columns.insert(catalog.columns.end(), more.begin(), more.end());
  catalog.keys = {{"Lines", "OrderID", 1}, {"Lines", "LineNo", 2}, {"Orders", "OrderID", 1}};
  return {.user = "sa", .password = "pw", .database = "販売", .catalog = catalog};
}

BatchRun against(const TdsTestServer& server, const std::string& workbook, std::vector<std::string> extra = {},
                 const std::string& password = "pw") {
  auto args = login(server);
  args.push_back("--against-server");
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(workbook);
  return batch(args, {"MORVANE_PASSWORD=" + password});
}

TEST(DriftCommand, PrintsTheDriftEscapedWithExitOneNoneWithZeroAndAnUnreadableServerWithTwo) {
  TempDir dir;
  const std::string workbook = writeDesign(dir);
  TdsTestServer same(deployed());
  const BatchRun none = against(same, workbook);
  EXPECT_EQ(std::tie(none.status, none.out, none.err), std::tuple(0, "ブックとデータベースに違いはありません\n", ""));
  // What the server names reaches the terminal escaped: no colour, no forged line.
  auto config = deployed({{"\x1B[31mFake\nテーブル「Forged」: ドキュメントにだけあります", "ID", 1, "int", {}, 10, 0, "NO"}});
  config.catalog->columns[3].length = 100;      // Orders.Name widened by hand
  config.catalog->columns[0].column = "LINENO";  // case only: a warning
  TdsTestServer server(config);
  const BatchRun run = against(server, workbook);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "テーブル「Orders」: 列「Name」はドキュメントでは varchar(50) NOT NULL、データベースでは varchar(100) NOT NULL\n"
                     "テーブル「\\x1B[31mFake\\nテーブル「Forged」: ドキュメントにだけあります」: データベースにだけあります\n");
  EXPECT_EQ(run.err, "morvane-batch: テーブル「Lines」の列「LineNo」はデータベースでは「LINENO」です (サーバの照合順序では同じ名前です)\n");
  EXPECT_EQ(against(server, workbook, {"--table", "Lines"}).status, 0);  // --table narrows both sides

  config.catalog->hangUpInColumns = true;
  TdsTestServer dropping(config);
  const BatchRun dropped = against(dropping, workbook);
  EXPECT_EQ(std::tie(dropped.status, dropped.out), std::tuple(2, ""));
  EXPECT_EQ(dropped.errLines(), 1) << dropped.err;
  EXPECT_TRUE(dropped.err.starts_with("morvane-batch: サーバ「" + dropping.address() +
                                      "」のデータベース「販売」のテーブル定義を読めません: "))
      << dropped.err;
  const BatchRun refused = against(same, workbook, {}, "wrong");
  EXPECT_EQ(refused.status, 2);
  EXPECT_HAS(refused.err, "Login failed for user 'sa'.");
  EXPECT_EQ(same.batches().size(), 5u);  // the catalog queries of the first run, and nothing else
}

// The catalog written as a design document reads back as the same database: a composite key, an
// identity, Japanese and odd names, a type with no notation, too few sheets, and every optional
// attribute (defaults lose only their outer parentheses, which a wrong cell would show as drift).
TEST(DriftCommand, WorkbookWrittenFromTheServerReadsBackWithoutDrift) {
  TempDir dir;
  const std::string odd = "Very[Long]:Name*With?Odd/Chars\\And'More";
  const std::string odd2 = "very[long]:name*with?odd/chars__x";
  auto config = deployed({{"受注", "受注番号", 1, "int", {}, {}, {}, "NO"}, {"受注", "備考", 2, "nvarchar", 200},
                          {"受注", "区分", 3, "char", 2}, {odd, "x", 1, "char", 3, {}, {}, "NO"}, {odd2, "y", 1, "int"}});
  Catalog& c = *config.catalog;
  c.keys.insert(c.keys.end(), {{"受注", "受注番号", 1}, {"受注", "受注番号", 1, "UQ1", false, true},
                               {"受注", "区分", 2, "UQ1", false, true}, {"受注", "区分", 1, "IX", false, false, false}});
  c.defaults = {{"Lines", "LineNo", "DF1", "((0))"}, {"受注", "受注番号", "DF2", "((1)+(2))"},
                {"受注", "区分", "DF3", "('a(b''c)')"}};
  c.foreignKeys = {{"受注", "FK_受注", "受注番号", "Orders", "OrderID", "1"}};
  c.descriptions = {{"受注", std::nullopt, "受注の見出し"}, {"受注", "区分", "メモ"}};
  TdsTestServer server(config);
  // Tables from sheet 3 to 6 with the mark meaning NOT NULL: five tables need sheet 7.
  auto args = login(server);
  const std::string extra = "NullMarkMeansNotNull=1," + kFullLayoutExtra;
  args.insert(args.end(), {"--write-workbook", dir.file("db.xlsx"), "--layout-values", "3,6,6,3,3,4,5,6,7,9",
                           "--layout-extra", extra, "--save-layout", dir.file("db.edf")});
  const BatchRun written = batch(args, {"MORVANE_PASSWORD=pw"});
  EXPECT_EQ(written.status, 0);
  EXPECT_HAS(written.out, "終了シートを 7 にするとすべて読めます");
  EXPECT_EQ(written.err,
            "morvane-batch: 警告: テーブル「受注」の列「備考」: 型「nvarchar」は型の表記にないため、サーバの型名のまま書きます\n");
  const BatchRun back = against(server, dir.file("db.xlsx"), {"--layout", dir.file("db.edf")});
  EXPECT_EQ(std::tie(back.status, back.out), std::tuple(0, "ブックとデータベースに違いはありません\n"));
  EXPECT_EQ(back.err, "morvane-batch: テーブル「受注」: nvarcharは未定義です\n");
  clsExcel book;
  ASSERT_TRUE(book.fnOpenBook(dir.file("db.xlsx")));
  Names names;
  for (int n = 1; book.fnOpenSheet(n); ++n) names.push_back(book.SheetName());
  EXPECT_EQ(names, (Names{"表紙", "テーブル一覧", "Lines", "Orders", "Very_Long__Name_With_Odd_Chars_",
                          "very_long__name_with_odd_cha(2)", "受注"}));
  ASSERT_TRUE(book.fnOpenSheet(1));
  EXPECT_EQ(book.Cells(4, 3) + "|" + book.Cells(5, 3), "販売|" + server.address());
  ASSERT_TRUE(book.fnOpenSheet(5));
  EXPECT_EQ(book.Cells(3, 3) + "|" + book.Cells(5, 4) + book.Cells(5, 9) + "|" + book.Cells(6, 9), odd + "|項目名NOT NULL|○");

  // No dbo table: said, and nothing written; nor where two cells of a field overlap.
  TdsTestServer empty({.user = "sa", .password = "pw", .database = "販売", .catalog = Catalog{}});
  auto toEmpty = login(empty);
  toEmpty.insert(toEmpty.end(), {"--write-workbook", dir.file("empty.xlsx")});
  const BatchRun none = batch(toEmpty, {"MORVANE_PASSWORD=pw"});
  EXPECT_EQ(std::tie(none.status, none.err),
            std::tuple(1, "morvane-batch: データベース「販売」に dbo のテーブルがないため、何も書きません\n"));
  auto overlapping = toEmpty;
  overlapping.insert(overlapping.end(), {"--layout-extra", "ColDefault=8,ColUnique=8"});
  const BatchRun overlap = batch(overlapping);
  EXPECT_EQ(std::tie(overlap.status, overlap.err),
            std::tuple(2, "morvane-batch: レイアウトの列 8 に項目の 2 つのセルが重なっています\n"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("empty.xlsx")));
}

// The scripts from the live database are those from the deployed revision; --apply sends them.
TEST(DriftCommand, ChangeScriptsFromTheServerAreThoseFromTheDeployedRevisionAndApplySendsThem) {
  TempDir dir;
  const std::string deployedBook = writeDesign(dir), revised = writeDesign(dir, true);
  TdsTestServer server(deployed());
  const BatchRun live = against(server, revised, {"--allow-drop", "--sql", dir.file("live")});
  EXPECT_EQ(live.status, 0);
  const BatchRun since = batch({"--since", deployedBook, "--allow-drop", "--sql", dir.file("since"), revised});
  EXPECT_EQ(live.out, since.out);
  EXPECT_EQ(folderBytes(dir.file("live")), folderBytes(dir.file("since")));
  EXPECT_HAS(folderBytes(dir.file("live")), "ALTER TABLE dbo.Orders DROP COLUMN Rate \r\n");
  EXPECT_EQ(server.batches().size(), 5u);  // reading the schema is all it sends
  // Nothing drifted, nothing to write.
  EXPECT_EQ(against(server, deployedBook, {"--sql", dir.file("same")}).status, 0);
  EXPECT_EQ(folderBytes(dir.file("same")), "");

  TdsTestServer applied(deployed());
  // A new seed of Orders' identity cannot be made in place.
  const BatchRun run = against(applied, writeDesign(dir, true, "100,1"), {"--apply"});
  EXPECT_EQ(run.status, 1);
  EXPECT_HAS(run.out, "テーブル「Orders」: 変更できません: ");
  const auto batches = applied.batches();
  ASSERT_EQ(batches.size(), 7u);  // five catalog queries, Lines, Items
  EXPECT_HAS(batches[5], "ALTER TABLE dbo.Lines DROP CONSTRAINT PK_Lines");
  EXPECT_TRUE(applied.tables().contains("Items"));
}

}  // namespace
}  // namespace morvane::test
