// The document against a live schema: the same column said two ways is no drift, every real
// difference is.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "sqlserver/ServerChanges.h"
#include "sqlserver/ServerDrift.h"
#include "sqlserver/StoredColumn.h"
#include "tests/sqlserver/ScriptTables.h"

// Server columns name only the fields that matter; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace morvane {
namespace {

using Lines = std::vector<std::string>;

// Notations of a team that writes Japanese words for two kinds.
clsSQLServerFieldAttr teamTypes() {
  clsSQLServerFieldAttr types;
  types.setDate("日付");
  types.setMoney("通貨");
  return types;
}

// Every kind, an identity, float(24) and float(53), a composite key.
const std::vector<test::FieldRow> kLineRows = {{"OrderID", "int", "", false}, {"LineNo", "int", "", false}};
clsDBInfo document(std::vector<test::FieldRow> lineRows = kLineRows, std::vector<std::string> lineKeys = {"OrderID", "LineNo"}) {
  return test::dbOf({test::makeTable("Orders",
                                     {{"OrderID", "identity", "1,1", false}, {"Kind", " CHAR ", "2", true},
                                      {"Name", "varchar", "50", false}, {"Memo", "varchar", "max", true},
                                      {"Qty", "int", "", false}, {"Ordered", "日付", "", true},
                                      {"Price", "通貨", "", true}, {"Rate", "real", "", true},
                                      {"Ratio", "float", "24", true}, {"Value", "float", "53", true},
                                      {"Unit", "decimal", "10,2", true}},
                                     {"OrderID"}),
                     test::makeTable("Lines", lineRows, lineKeys)});
}

// What SQL Server reports after running the document's own CREATE scripts.
std::vector<ServerTable> deployed() {
  const ServerColumn id{"OrderID", 1, "int", {}, 10, 0, false, true, 1, 1};
  return {
      {"Lines", {{"OrderID", 1, "int", {}, 10, 0, false}, {"LineNo", 2, "int", {}, 10, 0, false}}, {"OrderID", "LineNo"}},
      {"Orders",
       {id, {"Kind", 2, "char", 2, {}, {}, true}, {"Name", 3, "varchar", 50, {}, {}, false},
        {"Memo", 4, "varchar", -1, {}, {}, true}, {"Qty", 5, "int", {}, 10, 0, false},
        {"Ordered", 6, "datetime", {}, {}, {}, true}, {"Price", 7, "money", {}, 19, 4, true},
        {"Rate", 8, "real", {}, 24, {}, true}, {"Ratio", 9, "real", {}, 24, {}, true},
        {"Value", 10, "float", {}, 53, {}, true}, {"Unit", 11, "decimal", {}, 10, 2, true}},
       {"OrderID"}},
  };
}

ServerColumn& columnOf(std::vector<ServerTable>& server, const std::string& name) {
  return *std::ranges::find(server[1].columns, name, &ServerColumn::name);  // Orders's
}

Lines lines(const Drift& drift) {
  Lines out;
  for (const auto& table : drift.tables) out.push_back(driftLine(table));
  return out;
}

TEST(ServerDrift, EachKindOfDriftAndWhatIsNone) {
  const std::string orders = "テーブル「Orders」: 列「";
  const struct {
    const char* what;
    std::function<void(std::vector<ServerTable>&)> change;
    Lines lines;
    Lines warnings = {};
    std::vector<test::FieldRow> moreLineRows = {};
  } cases[] = {
      {"as deployed", [](auto&) {}, {}},
      {"moved", [](auto& s) { std::swap(s[1].columns[1], s[1].columns[2]); }, {}},
      {"numeric and case", [](auto& s) {
         columnOf(s, "Unit").dataType = "NUMERIC";
         s[1].name = "ORDERS";
         columnOf(s, "Qty").name = "qty";
         s[0].keys = {"orderid", "LineNo"};
       }, {}, {"テーブル「Orders」はデータベースでは「ORDERS」です (サーバの照合順序では同じ名前です)",
               "テーブル「Orders」の列「Qty」はデータベースでは「qty」です (サーバの照合順序では同じ名前です)"}},
      {"sizes, nulls and types", [](auto& s) {
         columnOf(s, "Name").length = 100;
         columnOf(s, "Memo").length = 4000;
         columnOf(s, "Qty").nullable = true;
         columnOf(s, "Ordered").dataType = "datetime2";
         columnOf(s, "Ratio") = {"Ratio", 9, "float", {}, 53, {}, true};
         columnOf(s, "Unit").scale = 3;
       }, {orders + "Name」はドキュメントでは varchar(50) NOT NULL、データベースでは varchar(100) NOT NULL; "
           "列「Memo」はドキュメントでは varchar(max) NULL、データベースでは varchar(4000) NULL; "
           "列「Qty」はドキュメントでは int NOT NULL、データベースでは int NULL; "
           "列「Ordered」はドキュメントでは datetime NULL、データベースでは datetime2 NULL; "
           "列「Ratio」はドキュメントでは real NULL、データベースでは float NULL; "
           "列「Unit」はドキュメントでは decimal(10,2) NULL、データベースでは decimal(10,3) NULL"}},
      {"seed", [](auto& s) { columnOf(s, "OrderID").seed = 100; },
       {orders + "OrderID」はドキュメントでは int IDENTITY(1,1) NOT NULL、データベースでは int IDENTITY(100,1) NOT NULL"}},
      {"identity lost", [](auto& s) { columnOf(s, "OrderID").identity = false; },
       {orders + "OrderID」はドキュメントでは int IDENTITY(1,1) NOT NULL、データベースでは int NOT NULL"}},
      {"columns on one side", [](auto& s) {
         s[1].columns.pop_back();
         s[1].columns.push_back({"Note", 12, "nvarchar", 20, {}, {}, true});
       }, {orders + "Unit」はドキュメントにだけあります (decimal(10,2) NULL); 列「Note」はデータベースにだけあります (nvarchar(20) NULL)"}},
      {"key", [](auto& s) { s[0].keys = {"OrderID"}; },
       {"テーブル「Lines」: 主キーはドキュメントでは (OrderID, LineNo)、データベースでは (OrderID)"}},
      {"key order", [](auto& s) { s[0].keys = {"LineNo", "OrderID"}; },
       {"テーブル「Lines」: 主キーはドキュメントでは (OrderID, LineNo)、データベースでは (LineNo, OrderID)"}},
      {"tables on one side", [](auto& s) { s[0] = {"Audit", {{"At", 1, "datetime", {}, {}, {}, false}}, {}}; },
       {"テーブル「Lines」: ドキュメントにだけあります", "テーブル「Audit」: データベースにだけあります"}},
      // An undefined notation is warned about; a size the server cannot take never matches.
      {"undefined notation", [](auto& s) { s[0].columns.push_back({"Code", 3, "char", 3, {}, {}, true}); },
       {"テーブル「Lines」: 列「Code」はドキュメントでは char(abc)、データベースでは char(3) NULL"}, {"テーブル「Lines」: textは未定義です"},
       {{"Extra", "text", "", true}, {"Code", "char", "abc", true}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto server = deployed();
    c.change(server);
    auto lineRows = kLineRows;
    lineRows.insert(lineRows.end(), c.moreLineRows.begin(), c.moreLineRows.end());
    const Drift drift = compareWithServer(document(lineRows), server, teamTypes());
    EXPECT_EQ(lines(drift), c.lines);
    EXPECT_EQ(drift.warnings, c.warnings);
  }
}

// Customers with a default, a two-column unique key, two indexes and descriptions; Sales with a
// default and a reference to them. idType: the type of 顧客.ID and of Sales.CustomerID.
clsDBInfo attributed(const std::string& code = "'000'", const std::string& idType = "int", const std::string& size = "") {
  clsTableInfo customers = test::makeTable("顧客",
                                           {{"ID", idType, size, false, "", "", "", "", "", "顧客ID"},
                                            {"Code", "char", "5", false, code, "", "U1", "", "", "コード"},
                                            {"Branch", "char", "3", false, "", "", "U1", "IX1", "", "支店"},
                                            {"Name", "varchar", "40", false, "", "", "", "IX2", "", "名前"}},
                                           {"ID"});
  customers.setLogicalName("顧客マスタ");
  return test::dbOf({std::move(customers), test::makeTable("売上",
                                                           {{"No", "int", "", false, "0", "", "", "", "", "番号"},
                                                            {"CustomerID", idType, size, false, "", "顧客.ID", "", "", "", "顧客"}},
                                                           {"No"})});
}

// What the server reports once that design's scripts ran: defaults in their stored form, the key
// and one default under system names.
std::vector<ServerTable> attributedServer() {
  auto col = [](std::string name, int at, std::string type, std::optional<long long> length, std::string description,
                std::optional<std::string> stored = {}, std::string defaultName = {}) {
    return ServerColumn{name, at, type, length, {}, {}, false, false, {}, {}, description, stored, defaultName};
  };
  ServerTable sales{"売上", {col("No", 1, "int", {}, "番号", "((0))", "DF_売上_No"), col("CustomerID", 2, "int", {}, "顧客")},
                    {"No"}, "PK_売上", {}, "", {{"FK_売上_CustomerID", {"CustomerID"}, "顧客", {"ID"}}}};
  ServerTable customers{"顧客",
                        {col("ID", 1, "int", {}, "顧客ID"), col("Code", 2, "char", 5, "コード", "('000')", "DF__顧客__Code__5EBF139D"),
                         col("Branch", 3, "char", 3, "支店"), col("Name", 4, "varchar", 40, "名前")},
                        {"ID"}, "PK__顧客__3214EC27",
                        {{"IX_顧客_Branch", false, false, false, {"Branch"}}, {"IX_顧客_Name", false, false, false, {"Name"}},
                         {"UQ_顧客_Code_Branch", false, true, true, {"Code", "Branch"}}},
                        "顧客マスタ"};
  return {sales, customers};
}

TEST(ServerDrift, EachAttributeChangedOnTheServerIsDriftAndItsStoredFormIsNot) {
  const struct {
    const char* what;
    std::function<void(std::vector<ServerTable>&)> change;
    Lines lines;
  } cases[] = {
      {"system names", [](auto& s) { s[1].indexes[0].name = "別名"; s[1].indexes[2].name = "UQ__顧客__A25C5AA7"; }, {}},
      {"defaults and descriptions", [](auto& s) {
         s[1].columns[1].defaultValue.reset();
         s[1].columns[3].description = "氏名";
         s[1].description.clear();
       }, {"テーブル「顧客」: 列「Code」の既定値 ('000')はドキュメントにだけあります; テーブルの説明「顧客マスタ」はドキュメントに"
           "だけあります; 列「Name」の説明はドキュメントでは「名前」、データベースでは「氏名」"}},
      {"unique key narrowed", [](auto& s) { s[1].indexes[2].columns = {"Code"}; },
       {"テーブル「顧客」: 一意キー (Code, Branch)はドキュメントにだけあります; 一意キー UQ_顧客_Code_Branch (Code)はデータベースにだけあります"}},
      {"index moved", [](auto& s) { s[1].indexes[1].columns = {"Code"}; },
       {"テーブル「顧客」: インデックス (Name)はドキュメントにだけあります; インデックス IX_顧客_Name (Code)はデータベースにだけあります"}},
      {"default and reference", [](auto& s) { s[0].columns[0].defaultValue = "((1))"; s[0].foreignKeys[0].referencedColumns = {"Code"}; },
       {"テーブル「売上」: 列「No」の既定値はドキュメントでは (0)、データベースでは ((1)); 外部キー (CustomerID) → 顧客 (ID)は"
        "ドキュメントにだけあります; 外部キー FK_売上_CustomerID (CustomerID) → 顧客 (Code)はデータベースにだけあります"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto server = attributedServer();
    c.change(server);
    EXPECT_EQ(lines(compareWithServer(attributed(), server, teamTypes())), c.lines);
  }
}

// A default and a key under system names are dropped by them; the new ones come as the CREATE
// script writes them, and the foreign key to the altered key column goes first and comes back last.
TEST(ServerDrift, ChangesFromTheServerDropBySystemNamesAndBracketOddNames) {
  const auto types = std::make_shared<const clsSQLServerFieldAttr>(teamTypes());
  auto scripts = [&](const std::vector<ServerTable>& server, const clsDBInfo& document, ChangeOptions options = {}) {
    std::string all;
    for (const auto& change : changesFromServer(server, document, types, options)) all += change.name + "\n" + change.script + "\n";
    return all;
  };
  const std::string frame = "SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\n", end = "COMMIT \n";
  EXPECT_EQ(scripts(attributedServer(), attributed("'001'", "decimal", "12,0")),
            "顧客\n" + frame + "ALTER TABLE dbo.売上 DROP CONSTRAINT FK_売上_CustomerID \r\nALTER TABLE dbo.顧客 DROP CONSTRAINT "
            "DF__顧客__Code__5EBF139D \r\nALTER TABLE dbo.顧客 DROP CONSTRAINT PK__顧客__3214EC27 \r\n"
            "ALTER TABLE dbo.顧客 ALTER COLUMN ID decimal(12,0)  NOT NULL \r\nALTER TABLE dbo.顧客 ADD CONSTRAINT \r\n"
            "\tPK_顧客 PRIMARY KEY CLUSTERED \r\n\t( \r\n\tID\r\n\t) ON [PRIMARY] \r\nALTER TABLE dbo.顧客 ADD CONSTRAINT "
            "\r\n\tDF_顧客_Code DEFAULT ('001') FOR Code\r\n" + end + "売上\n" + frame +
            "ALTER TABLE dbo.売上 ALTER COLUMN CustomerID decimal(12,0)  NOT NULL \r\n" + end + "_foreign_keys\n" + frame +
            "ALTER TABLE dbo.売上 ADD CONSTRAINT \r\n\tFK_売上_CustomerID FOREIGN KEY (CustomerID) REFERENCES dbo.顧客 (ID) \r\n" +
            end);

  // Names on the server that are no plain token, dropped as a script must write them.
  auto server = deployed();
  server[0].keyName = "PK__Lines]1";
  Lines drops = {"ALTER TABLE dbo.Lines DROP CONSTRAINT [PK__Lines]]1] \r\n"};
  for (const auto& [name, quoted] : std::vector<std::pair<std::string, std::string>>{
           {"a; DROP TABLE users --", "[a; DROP TABLE users --]"}, {"sales.Customers", "[sales.Customers]"},
           {"x]y", "[x]]y]"}, {"two\nlines", "[two\nlines]"}, {"Plain", "Plain"}}) {
    server.push_back({name, {{"ID", 1, "int", {}, 10, 0, false}}, {}});
    server[1].columns.push_back({name, 12, "int", {}, 10, 0, true});
    drops.push_back("ALTER TABLE dbo.Orders DROP COLUMN " + quoted + " \r\n");
    drops.push_back("DROP TABLE dbo." + quoted + " \r\n");
  }
  const std::string all = scripts(server, document(kLineRows, {"OrderID"}), serverChangeOptions(true));
  for (const auto& drop : drops) EXPECT_NE(all.find(drop), std::string::npos) << drop << all;
}

TEST(ServerDrift, NamesFoldAsTheServersUsualCollationFoldsThem) {
  const std::tuple<std::string, std::string, bool> pairs[] = {
      {"Ä", "ä", true},          {"Étude", "étude", true}, {"ＴＢＬ", "tbl", true}, {"ｶﾞｯｺｳ", "ガッコウ", true},
      {"がっこう", "ガッコウ", true}, {"ﾊﾟﾝ", "パン", true},     {"ΣΑΣ", "σας", true},  {"ä", "a", false},
      {"ﾊﾞ", "パ", false},        {"T1", "T2", false},      {"\xFF", "\xFF", true}};
  for (const auto& [a, b, same] : pairs) EXPECT_EQ(sameName(a, b), same) << a << " " << b;
}

TEST(ServerDrift, ServerModelSpeaksTheNotationsInEffectAndTheDocumentsSpelling) {
  auto server = deployed();
  server[1].name = "orders";
  columnOf(server, "Name").name = "NAME";
  columnOf(server, "Ordered").dataType = "xml";
  const clsDBInfo model = serverModel(server, document(), teamTypes());
  ASSERT_EQ(model.getTables().size(), 2u);
  const auto& orders = *model.getTables()[1];
  EXPECT_EQ(orders.getName(), "Orders");
  EXPECT_EQ(orders.getPrimaryKeys(), Lines{"OrderID"});
  std::string fields;
  for (const auto& field : orders.getFields()) fields += field.getName() + " " + field.getAttr() + "(" + field.getSize() + ") ";
  EXPECT_EQ(fields, "OrderID identity(1,1) Kind char(2) Name varchar(50) Memo varchar(max) Qty int() Ordered xml() "
                    "Price 通貨() Rate real() Ratio real() Value float(53) Unit decimal(10,2) ");
}

}  // namespace
}  // namespace morvane
