// morvane-batch --against-server and --write-workbook against the TDS test server's catalog.
#include <gtest/gtest.h>

#include <functional>

#include "Batch.h"
#include "document/clsExcel.h"
#include "tests/support/DesignBook.h"

// Catalog rows and configs name only the fields that matter; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace morvane::test {
namespace {

using Catalog = TdsTestServer::Catalog;

// Every kind, an identity, float(10), a composite key.
const std::vector<Row> kOrders = {{"OrderID", "identity", "1,1", "○", ""}, {"Kind", "char", "2", "", "○"},
                                  {"Name", "varchar", "50", "", ""},         {"Memo", "varchar", "max", "", "○"},
                                  {"Qty", "int", "", "", ""},                {"Ordered", "date", "", "", "○"},
                                  {"Price", "money", "", "", "○"},           {"Rate", "real", "", "", "○"},
                                  {"Ratio", "float", "10", "", "○"},         {"Unit", "decimal", "10,2", "", "○"}};
const std::vector<Row> kLines = {{"OrderID", "int", "", "○", ""}, {"LineNo", "int", "", "○", ""}};

// The design as deployed, or revised: Orders.Name widened, Rate gone, Shipped new; Lines keyed
// on OrderID alone; Items new.
std::string writeDesign(const TempDir& dir, bool revised = false, const std::string& orderIdSize = "1,1") {
  if (!revised) return writeDesignBook(dir.file("design.xlsx"), {{"Orders", kOrders}, {"Lines", kLines}});
  auto orders = kOrders;
  orders[0].size = orderIdSize;
  orders[2].size = "100";
  orders.erase(orders.begin() + 7);
  orders.push_back({"Shipped", "date", "", "", "○"});
  auto lines = kLines;
  lines[1].key = "";
  return writeDesignBook(dir.file("revised.xlsx"), {{"Orders", orders}, {"Lines", lines}, {"Items", {{"ItemNo", "int"}}}});
}

// What the server reports once the design's own CREATE scripts have run.
Catalog deployed() {
  Catalog catalog;
  catalog.columns = {
      {"Lines", "LineNo", 2, "int", {}, 10, 0, "NO"},           {"Lines", "OrderID", 1, "int", {}, 10, 0, "NO"},
      {"Orders", "OrderID", 1, "int", {}, 10, 0, "NO", 1, 1, 1}, {"Orders", "Kind", 2, "char", 2, {}, {}, "YES"},
      {"Orders", "Name", 3, "varchar", 50, {}, {}, "NO"},       {"Orders", "Memo", 4, "varchar", -1, {}, {}, "YES"},
      {"Orders", "Qty", 5, "int", {}, 10, 0, "NO"},             {"Orders", "Ordered", 6, "datetime", {}, {}, {}, "YES"},
      {"Orders", "Price", 7, "money", {}, 19, 4, "YES"},        {"Orders", "Rate", 8, "real", {}, 24, {}, "YES"},
      {"Orders", "Ratio", 9, "real", {}, 24, {}, "YES"},        {"Orders", "Unit", 10, "decimal", {}, 10, 2, "YES"}};
  catalog.keys = {{"Lines", "OrderID", 1}, {"Lines", "LineNo", 2}, {"Orders", "OrderID", 1}};
  return catalog;
}

TdsTestServer::Config serverWith(Catalog catalog) {
  return {.user = "sa", .password = "pw", .database = "販売", .catalog = std::move(catalog)};
}

BatchRun against(const TdsTestServer& server, const std::string& workbook, std::vector<std::string> extra = {},
                 const std::string& password = "pw") {
  auto args = login(server);
  args.push_back("--against-server");
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(workbook);
  return batch(args, {"MORVANE_PASSWORD=" + password});
}

TEST(DriftCommand, PrintsTheDriftPerTableWithExitOneNoneWithZeroAndAnUnreadableServerWithTwo) {
  TempDir dir;
  const std::string workbook = writeDesign(dir);
  auto catalog = deployed();
  catalog.integersAsText = true;  // as some servers and proxies send them
  TdsTestServer same(serverWith(catalog));
  const BatchRun none = against(same, workbook);
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "ブックとデータベースに違いはありません\n");
  EXPECT_EQ(none.err, "");
  EXPECT_EQ(same.batches().size(), 5u);  // the catalog queries, each its own batch, and nothing else
  catalog = deployed();
  catalog.columns[4].length = 100;      // Orders.Name widened by hand
  catalog.columns[0].column = "LINENO";  // case only: a warning
  catalog.columns.push_back({"Audit", "At", 1, "datetime", {}, {}, {}, "NO"});
  TdsTestServer server(serverWith(catalog));
  const BatchRun run = against(server, workbook);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "テーブル「Orders」: 列「Name」はドキュメントでは varchar(50) NOT NULL、データベースでは varchar(100) NOT NULL\n"
            "テーブル「Audit」: データベースにだけあります\n");
  EXPECT_EQ(run.err, "morvane-batch: テーブル「Lines」の列「LineNo」はデータベースでは「LINENO」です (サーバの照合順序では同じ名前です)\n");
  EXPECT_EQ(against(server, workbook, {"--table", "Lines"}).status, 0);  // --table narrows both sides
  TdsTestServer empty(serverWith({}));
  EXPECT_EQ(against(empty, workbook).out, "テーブル「Orders」: ドキュメントにだけあります\nテーブル「Lines」: ドキュメントにだけあります\n");

  catalog.hangUpInColumns = true;
  TdsTestServer dropping(serverWith(catalog));
  const BatchRun dropped = against(dropping, workbook);
  EXPECT_EQ(dropped.status, 2);
  EXPECT_EQ(dropped.out, "");
  EXPECT_EQ(dropped.errLines(), 1) << dropped.err;
  EXPECT_TRUE(dropped.err.starts_with("morvane-batch: サーバ「" + dropping.address() +
                                      "」のデータベース「販売」のテーブル定義を読めません: "))
      << dropped.err;
  TdsTestServer refusing(serverWith(deployed()));
  const BatchRun refused = against(refusing, workbook, {}, "wrong");
  EXPECT_EQ(refused.status, 2);
  EXPECT_HAS(refused.err, "Login failed for user 'sa'.");
  EXPECT_EQ(against(refusing, dir.file("missing.xlsx")).status, 2);
  EXPECT_TRUE(refusing.batches().empty());
}

// The catalog written as a design document reads back as the same database: every kind, a
// composite key, an identity, Japanese and odd names, a type with no notation, too few sheets.
TEST(DriftCommand, WorkbookWrittenFromTheServerReadsBackWithoutDrift) {
  TempDir dir;
  auto catalog = deployed();
  const std::string odd = "Very[Long]:Name*With?Odd/Chars\\And'More";
  catalog.columns.push_back({"受注", "受注番号", 1, "int", {}, {}, {}, "NO"});
  catalog.columns.push_back({"受注", "備考", 2, "nvarchar", 200});
  catalog.columns.push_back({odd, "x", 1, "char", 3, {}, {}, "NO"});
  catalog.columns.push_back({"very[long]:name*with?odd/chars__x", "y", 1, "int", {}, {}, {}, "NO"});
  catalog.keys.push_back({"受注", "受注番号", 1});
  TdsTestServer server(serverWith(catalog));
  // Tables from sheet 3 to 6 with the mark meaning NOT NULL: five tables need sheet 7.
  auto args = login(server);
  args.insert(args.end(), {"--write-workbook", dir.file("db.xlsx"), "--layout-values", "3,6,6,3,3,4,5,6,7,9",
                           "--layout-extra", "NullMarkMeansNotNull=1", "--save-layout", dir.file("db.edf")});
  const BatchRun written = batch(args, {"MORVANE_PASSWORD=pw"});
  EXPECT_EQ(written.status, 0);
  EXPECT_HAS(written.out, "終了シートを 7 にするとすべて読めます");
  EXPECT_EQ(written.err,
            "morvane-batch: 警告: テーブル「受注」の列「備考」: 型「nvarchar」は型の表記にないため、サーバの型名のまま書きます\n");
  const BatchRun back = against(server, dir.file("db.xlsx"), {"--layout", dir.file("db.edf")});
  EXPECT_EQ(back.status, 0);
  EXPECT_EQ(back.out, "ブックとデータベースに違いはありません\n");
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

  // No dbo table: said, and nothing written.
  TdsTestServer empty(serverWith({}));
  const BatchRun none = batch({"--write-workbook", dir.file("empty.xlsx"), "--server", empty.address(), "--database",
                               "販売", "--user", "sa"}, {"MORVANE_PASSWORD=pw"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "morvane-batch: データベース「販売」に dbo のテーブルがないため、何も書きません\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("empty.xlsx")));
}

TEST(DriftCommand, ChangeScriptsFromTheServerAreThoseFromTheDeployedRevisionAndApplySendsThem) {
  TempDir dir;
  const std::string deployedBook = writeDesign(dir), revised = writeDesign(dir, true);
  TdsTestServer server(serverWith(deployed()));
  const BatchRun live = against(server, revised, {"--allow-drop", "--sql", dir.file("live")});
  EXPECT_EQ(live.status, 0);
  const BatchRun since =
      batch({"--since", deployedBook, "--allow-drop", "--sql", dir.file("since"), revised});
  EXPECT_EQ(live.out, since.out);
  const std::string scripts = folderBytes(dir.file("live"));
  EXPECT_EQ(scripts, folderBytes(dir.file("since")));
  EXPECT_HAS(scripts, "ALTER TABLE dbo.Orders DROP COLUMN Rate \r\n");
  EXPECT_HAS(scripts, "ALTER TABLE dbo.Lines DROP CONSTRAINT PK_Lines \r\n");
  EXPECT_HAS(scripts, "CREATE TABLE dbo.Items");
  EXPECT_EQ(server.batches().size(), 5u);  // reading the schema is all it sends
  // Nothing drifted, nothing to write.
  EXPECT_EQ(against(server, deployedBook, {"--sql", dir.file("same")}).status, 0);
  EXPECT_EQ(folderBytes(dir.file("same")), "");

  TdsTestServer applied(serverWith(deployed()));
  // A new seed of Orders' identity cannot be made in place.
  const BatchRun run = against(applied, writeDesign(dir, true, "100,1"), {"--apply"});
  EXPECT_EQ(run.status, 1);
  EXPECT_HAS(run.out, "テーブル「Orders」: 変更できません: ");
  const auto batches = applied.batches();
  ASSERT_EQ(batches.size(), 7u);  // five catalog queries, Lines, Items
  EXPECT_TRUE(batches[5].starts_with("SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\nALTER TABLE dbo.Lines DROP CONSTRAINT PK_Lines"))
      << batches[5];
  EXPECT_HAS(batches[6], "CREATE TABLE dbo.Items");
  EXPECT_TRUE(applied.tables().contains("Items"));
}

TEST(DriftCommand, ServerNamesThatAreNotPlainTokensAreBracketedAndShownEscaped) {
  // A name on the server, and as a script writes it.
  const std::vector<std::pair<std::string, std::string>> names = {
      {"a; DROP TABLE users --", "[a; DROP TABLE users --]"}, {"sales.Customers", "[sales.Customers]"},
      {"x]y", "[x]]y]"}, {"two\nlines", "[two\nlines]"}, {"Plain", "Plain"}};
  TempDir dir;
  const std::string workbook = writeDesign(dir, true);
  auto catalog = deployed();
  for (const auto& [name, written] : names) {
    catalog.columns.push_back({"Orders", name, static_cast<int>(catalog.columns.size()), "int", {}, 10, 0, "NO", 0, 1, 1});
    if (name.find('\n') == std::string::npos) catalog.columns.push_back({name, "ID", 1, "int", {}, 10, 0, "NO"});
  }
  catalog.keys[0].index = catalog.keys[1].index = "PK__Lines]1";  // the key under a name of the server's own
  catalog.columns[4].dataType = "nvarchar";                       // Orders.Name: becoming varchar loses text
  TdsTestServer server(serverWith(catalog));
  // Without the rows' checks, so that the lossy conversion is warned about instead.
  const BatchRun written =
      against(server, workbook, {"--allow-drop", "--allow-data-loss", "--sql", dir.file("out")});
  const BatchRun applied = against(server, workbook, {"--allow-drop", "--allow-data-loss", "--apply"});
  std::string sent;
  for (const auto& batch : server.batches()) sent += batch + "\n";
  for (const std::string& scripts : {folderBytes(dir.file("out")), sent}) {
    for (const auto& [name, quoted] : names) {
      EXPECT_HAS(scripts, "ALTER TABLE dbo.Orders DROP COLUMN " + quoted + " \r\n");
      const bool dropped = scripts.find("DROP TABLE dbo." + quoted + " \r\n") != std::string::npos;
      EXPECT_TRUE(dropped || name.find('\n') != std::string::npos) << quoted;
    }
    EXPECT_HAS(scripts, "ALTER TABLE dbo.Lines DROP CONSTRAINT [PK__Lines]]1] \r\n");
  }
  for (const BatchRun& run : {written, applied}) {
    EXPECT_HAS(run.err, "列「Name」をデータベースの nvarchar(50) NOT NULL から varchar(100) NOT NULL に変えると");
    EXPECT_LACKS(run.err, "nvarcharは未定義です");
  }
  // What the server says reaches the terminal escaped: no colour, no forged line.
  catalog.columns.push_back({"\x1B[31mFake\nテーブル「Forged」: ドキュメントにだけあります", "ID", 1, "int", {}, 10, 0, "NO"});
  TdsTestServer hostile(serverWith(catalog));
  const BatchRun report = against(hostile, workbook);
  EXPECT_EQ(report.status, 1);
  EXPECT_LACKS(report.out, '\x1B');
  EXPECT_LACKS(report.out, "\nテーブル「Forged」");
  EXPECT_HAS(report.out, "\\x1B[31mFake\\nテーブル「Forged」");
}

// A design with every attribute; code: 顧客.Code's default; idSize: when given, 顧客.ID and
// 売上.CustomerID that refers to it are decimal.
std::string writeAttributes(const TempDir& dir, const std::string& code = "'000'", const std::string& idSize = "") {
  const std::string id = idSize.empty() ? "int" : "decimal";
  return writeDesignBook(
      dir.file("attributes.xlsx"),
      {{"顧客",
        {{"ID", id, idSize, "○", "", "顧客ID"}, {"Code", "char", "5", "", "", "コード", code, "", "U1"},
         {"Branch", "char", "3", "", "", "支店", "", "", "U1", "IX1"}, {"Name", "varchar", "40", "", "", "名前", "", "", "", "IX2"}},
        "顧客マスタ"},
       {"売上", {{"No", "int", "", "○", "", "番号", "0"}, {"CustomerID", id, idSize, "", "", "顧客", "", "", "", "", "顧客.ID"}}}});
}

// What the server reports once that design's scripts ran: defaults in their stored form, one
// under a system name, Japanese descriptions.
Catalog deployedAttributes() {
  Catalog catalog;
  catalog.columns = {{"売上", "No", 1, "int", {}, 10, 0, "NO"},      {"売上", "CustomerID", 2, "int", {}, 10, 0, "NO"},
                     {"顧客", "ID", 1, "int", {}, 10, 0, "NO"},      {"顧客", "Code", 2, "char", 5, {}, {}, "NO"},
                     {"顧客", "Branch", 3, "char", 3, {}, {}, "NO"}, {"顧客", "Name", 4, "varchar", 40, {}, {}, "NO"}};
  catalog.keys = {{"売上", "No", 1}, {"顧客", "ID", 1, "PK__顧客__3214EC27"},
                  {"顧客", "Code", 1, "UQ_顧客_Code_Branch", false, true}, {"顧客", "Branch", 2, "UQ_顧客_Code_Branch", false, true},
                  {"顧客", "Branch", 1, "IX_顧客_Branch", false, false, false}, {"顧客", "Name", 1, "IX_顧客_Name", false, false, false}};
  catalog.defaults = {{"売上", "No", "DF_売上_No", "((0))"}, {"顧客", "Code", "DF__顧客__Code__5EBF139D", "('000')"}};
  catalog.foreignKeys = {{"売上", "FK_売上_CustomerID", "CustomerID", "顧客", "ID", "1"}};
  catalog.descriptions = {{"売上", "No", "番号"},  {"売上", "CustomerID", "顧客"}, {"顧客", std::nullopt, "顧客マスタ"},
                          {"顧客", "ID", "顧客ID"}, {"顧客", "Code", "コード"},   {"顧客", "Branch", "支店"},
                          {"顧客", "Name", "名前"}};
  return catalog;
}

TEST(DriftCommand, EachAttributeChangedOnTheServerIsDriftAndTheStoredFormIsNot) {
  TempDir dir;
  const std::string workbook = writeAttributes(dir);
  const std::vector<std::string> everyCell = {"--layout-extra", kFullLayoutExtra};
  const std::pair<std::function<void(Catalog&)>, std::string> cases[] = {
      {[](Catalog&) {}, "ブックとデータベースに違いはありません\n"},
      {[](Catalog& c) { c.defaults.pop_back(); }, "テーブル「顧客」: 列「Code」の既定値 ('000')はドキュメントにだけあります\n"},
      {[](Catalog& c) { c.descriptions.back()[2] = "氏名"; },
       "テーブル「顧客」: 列「Name」の説明はドキュメントでは「名前」、データベースでは「氏名」\n"},
      {[](Catalog& c) { c.descriptions.erase(c.descriptions.begin() + 2); },
       "テーブル「顧客」: テーブルの説明「顧客マスタ」はドキュメントにだけあります\n"},
      {[](Catalog& c) { c.keys[3].index = c.keys[2].index = "UQ__顧客__A25C5AA7"; c.keys[4].index = "別名"; },
       "ブックとデータベースに違いはありません\n"},
      {[](Catalog& c) { c.keys.erase(c.keys.begin() + 3); },
       "テーブル「顧客」: 一意キー (Code, Branch)はドキュメントにだけあります; 一意キー UQ_顧客_Code_Branch (Code)はデータベースにだけあります\n"},
      {[](Catalog& c) { c.keys.back().column = "Code"; },
       "テーブル「顧客」: インデックス (Name)はドキュメントにだけあります; インデックス IX_顧客_Name (Code)はデータベースにだけあります\n"},
      {[](Catalog& c) { c.defaults[0][3] = "((1))"; c.foreignKeys[0][4] = "Code"; },
       "テーブル「売上」: 列「No」の既定値はドキュメントでは (0)、データベースでは ((1)); 外部キー (CustomerID) → 顧客 (ID)は"
       "ドキュメントにだけあります; 外部キー FK_売上_CustomerID (CustomerID) → 顧客 (Code)はデータベースにだけあります\n"}};
  for (const auto& [change, expected] : cases) {
    Catalog catalog = deployedAttributes();
    change(catalog);
    TdsTestServer server(serverWith(catalog));
    EXPECT_EQ(against(server, workbook, everyCell).out, expected);
  }

  // A default and a key under system names are dropped by them; the new ones come as the CREATE
  // script writes them, and the foreign key to the altered key column is dropped first and made again last.
  TdsTestServer server(serverWith(deployedAttributes()));
  const BatchRun run = against(server, writeAttributes(dir, "'001'", "12,0"),
                               {"--layout-extra", kFullLayoutExtra, "--sql", dir.file("out"), "--encoding", "utf-8"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(folderBytes(dir.file("out")),
            "_foreign_keys.sql\nSET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\nALTER TABLE dbo.売上 ADD CONSTRAINT \r\n"
            "\tFK_売上_CustomerID FOREIGN KEY (CustomerID) REFERENCES dbo.顧客 (ID) \r\nCOMMIT \r\n"
            "売上.sql\nSET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\nALTER TABLE dbo.売上 ALTER COLUMN CustomerID decimal(12,0)  NOT NULL \r\n"
            "COMMIT \r\n"
            "顧客.sql\nSET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\nALTER TABLE dbo.売上 DROP CONSTRAINT FK_売上_CustomerID \r\n"
            "ALTER TABLE dbo.顧客 DROP CONSTRAINT DF__顧客__Code__5EBF139D \r\nALTER TABLE dbo.顧客 DROP CONSTRAINT "
            "PK__顧客__3214EC27 \r\nALTER TABLE dbo.顧客 ALTER COLUMN ID decimal(12,0)  NOT NULL \r\nALTER TABLE dbo.顧客 ADD CONSTRAINT \r\n"
            "\tPK_顧客 PRIMARY KEY CLUSTERED \r\n\t( \r\n\tID\r\n\t) ON [PRIMARY] \r\n"
            "ALTER TABLE dbo.顧客 ADD CONSTRAINT \r\n\tDF_顧客_Code DEFAULT ('001') FOR Code\r\nCOMMIT \r\n");
}

}  // namespace
}  // namespace morvane::test
