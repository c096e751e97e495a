// The document against a live schema: the same column said two ways is no drift, every real
// difference is.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "document/clsExcelDBDoc.h"
#include "sqlserver/ServerDrift.h"
#include "sqlserver/StoredColumn.h"
#include "sqlserver/reverse/DesignBookPlan.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/TempDir.h"

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
clsDBInfo document(std::vector<test::FieldRow> lineRows = kLineRows) {
  return test::dbOf({test::makeTable("Orders",
                                     {{"OrderID", "identity", "1,1", false}, {"Kind", " CHAR ", "2", true},
                                      {"Name", "varchar", "50", false}, {"Memo", "varchar", "max", true},
                                      {"Qty", "int", "", false}, {"Ordered", "日付", "", true},
                                      {"Price", "通貨", "", true}, {"Rate", "real", "", true},
                                      {"Ratio", "float", "24", true}, {"Value", "float", "53", true},
                                      {"Unit", "decimal", "10,2", true}},
                                     {"OrderID"}),
                     test::makeTable("Lines", lineRows, {"OrderID", "LineNo"})});
}

ServerColumn column(std::string name, int ordinal, std::string type, std::optional<long long> length,
                    std::optional<long long> precision, std::optional<long long> scale, bool nullable) {
  return {std::move(name), ordinal, std::move(type), length, precision, scale, nullable};
}

// What SQL Server reports after running the document's own CREATE scripts.
std::vector<ServerTable> deployed() {
  ServerColumn id = column("OrderID", 1, "int", {}, 10, 0, false);
  id.identity = true;
  id.seed = id.increment = 1;
  return {
      {"Lines", {column("OrderID", 1, "int", {}, 10, 0, false), column("LineNo", 2, "int", {}, 10, 0, false)}, {"OrderID", "LineNo"}},
      {"Orders",
       {id, column("Kind", 2, "char", 2, {}, {}, true), column("Name", 3, "varchar", 50, {}, {}, false),
        column("Memo", 4, "varchar", -1, {}, {}, true), column("Qty", 5, "int", {}, 10, 0, false),
        column("Ordered", 6, "datetime", {}, {}, {}, true), column("Price", 7, "money", {}, 19, 4, true),
        column("Rate", 8, "real", {}, 24, {}, true), column("Ratio", 9, "real", {}, 24, {}, true),
        column("Value", 10, "float", {}, 53, {}, true), column("Unit", 11, "decimal", {}, 10, 2, true)},
       {"OrderID"}},
  };
}

ServerColumn& columnOf(std::vector<ServerTable>& server, const std::string& name) {
  for (auto& c : server[1].columns) {
    if (c.name == name) return c;
  }
  throw std::logic_error(name);
}

Lines lines(const Drift& drift) {
  Lines out;
  for (const auto& table : drift.tables) out.push_back(driftLine(table));
  return out;
}

TEST(ServerDrift, EachKindOfDriftAloneAndWhatIsNone) {
  const std::string orders = "テーブル「Orders」: 列「";
  const struct {
    const char* what;
    std::function<void(std::vector<ServerTable>&)> change;
    Lines lines;
    Lines warnings = {};
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
      {"widened", [](auto& s) { columnOf(s, "Name").length = 100; },
       {orders + "Name」はドキュメントでは varchar(50) NOT NULL、データベースでは varchar(100) NOT NULL"}},
      {"max to sized", [](auto& s) { columnOf(s, "Memo").length = 4000; },
       {orders + "Memo」はドキュメントでは varchar(max) NULL、データベースでは varchar(4000) NULL"}},
      {"nullable", [](auto& s) { columnOf(s, "Qty").nullable = true; },
       {orders + "Qty」はドキュメントでは int NOT NULL、データベースでは int NULL"}},
      {"seed", [](auto& s) { columnOf(s, "OrderID").seed = 100; },
       {orders + "OrderID」はドキュメントでは int IDENTITY(1,1) NOT NULL、データベースでは int IDENTITY(100,1) NOT NULL"}},
      {"identity lost", [](auto& s) { columnOf(s, "OrderID").identity = false; },
       {orders + "OrderID」はドキュメントでは int IDENTITY(1,1) NOT NULL、データベースでは int NOT NULL"}},
      {"float(24) as float", [](auto& s) { columnOf(s, "Ratio") = column("Ratio", 9, "float", {}, 53, {}, true); },
       {orders + "Ratio」はドキュメントでは real NULL、データベースでは float NULL"}},
      {"scale", [](auto& s) { columnOf(s, "Unit").scale = 3; },
       {orders + "Unit」はドキュメントでは decimal(10,2) NULL、データベースでは decimal(10,3) NULL"}},
      {"datetime2", [](auto& s) { columnOf(s, "Ordered").dataType = "datetime2"; },
       {orders + "Ordered」はドキュメントでは datetime NULL、データベースでは datetime2 NULL"}},
      {"column only in the database", [](auto& s) { s[1].columns.push_back(column("Note", 12, "nvarchar", 20, {}, {}, true)); },
       {orders + "Note」はデータベースにだけあります (nvarchar(20) NULL)"}},
      {"column only in the document", [](auto& s) { s[1].columns.pop_back(); },
       {orders + "Unit」はドキュメントにだけあります (decimal(10,2) NULL)"}},
      {"key", [](auto& s) { s[0].keys = {"OrderID"}; },
       {"テーブル「Lines」: 主キーはドキュメントでは (OrderID, LineNo)、データベースでは (OrderID)"}},
      {"key order", [](auto& s) { s[0].keys = {"LineNo", "OrderID"}; },
       {"テーブル「Lines」: 主キーはドキュメントでは (OrderID, LineNo)、データベースでは (LineNo, OrderID)"}},
      {"table only in the document", [](auto& s) { s.erase(s.begin()); }, {"テーブル「Lines」: ドキュメントにだけあります"}},
      {"table only in the database", [](auto& s) { s.push_back({"Audit", {column("At", 1, "datetime", {}, {}, {}, false)}, {}}); },
       {"テーブル「Audit」: データベースにだけあります"}},
      {"empty database", [](auto& s) { s.clear(); },
       {"テーブル「Orders」: ドキュメントにだけあります", "テーブル「Lines」: ドキュメントにだけあります"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto server = deployed();
    c.change(server);
    const Drift drift = compareWithServer(document(), server, teamTypes());
    EXPECT_EQ(lines(drift), c.lines);
    EXPECT_EQ(drift.warnings, c.warnings);
  }

  // An undefined notation is warned about; a size the server cannot take never matches.
  auto lineRows = kLineRows;
  lineRows.push_back({"Extra", "text", "", true});
  lineRows.push_back({"Code", "char", "abc", true});
  auto server = deployed();
  server[0].columns.push_back(column("Code", 3, "char", 3, {}, {}, true));
  const Drift drift = compareWithServer(document(lineRows), server, teamTypes());
  EXPECT_EQ(lines(drift), Lines{"テーブル「Lines」: 列「Code」はドキュメントでは char(abc)、データベースでは char(3) NULL"});
  EXPECT_EQ(drift.warnings, Lines{"テーブル「Lines」: textは未定義です"});
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
  // Read back through the same notations, every defined column is stored as the server has it.
  for (std::size_t i = 0; i < orders.getFields().size(); ++i) {
    const auto stored = storedColumn(orders.getFields()[i], teamTypes());
    EXPECT_EQ(stored.has_value(), i != 5) << i;
    if (stored) EXPECT_EQ(*stored, storedColumn(server[1].columns[i])) << i;
  }
}

// The attributes beyond the five cells, where the catalog gives them, read back from the written
// workbook as the document's own; defaults lose only their outer parentheses.
TEST(ServerDrift, WrittenWorkbookCarriesTheOptionalAttributes) {
  ServerTable table{"受注", {}, {"ID"}};
  table.description = "受注の見出し";
  for (const auto& [name, description, stored] :
       {std::tuple<std::string, std::string, std::string>{"ID", "番号", "((0))"}, {"Day", "", "(getdate())"},
        {"Code", "", "('a(b''c)')"}, {"Sum", "", "((1)+(2))"}}) {
    table.columns.push_back({.name = name, .dataType = "int", .description = description, .defaultValue = stored});
  }
  table.columns[1].referenceTable = "Days";
  table.columns[1].referenceColumn = "Day";
  table.indexes = {{"PK", true, false, true, {"ID"}},  {"UQ1", false, true, true, {"Day", "Code"}},
                   {"UQ2", false, false, true, {"Sum"}}, {"IX", false, false, false, {"Code"}}};
  clsExcelDBDocInfo layout;
  int column = 10;
  for (auto set : {&clsExcelDBDocInfo::setColLogicalName, &clsExcelDBDocInfo::setColDefault, &clsExcelDBDocInfo::setColUnique,
                   &clsExcelDBDocInfo::setColIndex, &clsExcelDBDocInfo::setColReference}) {
    (layout.*set)(column++);
  }
  layout.setRowTableLogicalName(2);
  layout.setColTableLogicalName(3);
  ASSERT_EQ(designLayoutProblem(layout), "");
  test::TempDir dir;
  EXPECT_TRUE(writeDesignBook(dir.file("db.xlsx"), {table}, layout, {}, {"s", "d", "today"}).warnings.empty());
  clsExcelDBDoc reader;
  reader.sbSetDocInfo(layout);
  ASSERT_TRUE(reader.fnReadDBDoc(dir.file("db.xlsx")));
  const auto& read = *reader.getDBInfo().getTables().at(0);
  EXPECT_EQ(read.getLogicalName(), "受注の見出し");
  std::string cells;
  for (const auto& field : read.getFields()) {
    cells += field.getLogicalName() + "|" + field.getDefault() + "|" + field.getUnique() + "|" + field.getIndex() + "|" +
             field.getReference() + "\n";
  }
  EXPECT_EQ(cells, "番号|0|||\n|getdate()|1||Days.Day\n|'a(b''c)'|1|○|\n|(1)+(2)|2||\n");
  layout.setColDefault(layout.getColUnique());
  EXPECT_EQ(designLayoutProblem(layout), "レイアウトの列 12 に項目の 2 つのセルが重なっています");
}

}  // namespace
}  // namespace morvane
