// The document against a live schema: the same column said two ways is no drift, every real
// difference is.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "document/clsExcelDBDoc.h"
#include "sqlserver/ServerDrift.h"
#include "sqlserver/StoredColumn.h"
#include "sqlserver/reverse/DesignBookPlan.h"
#include "tests/support/TempDir.h"
#include "tests/sqlserver/ScriptTables.h"

namespace morvane {
namespace {

// Notations of a team that writes Japanese words for two kinds.
clsSQLServerFieldAttr teamTypes() {
  clsSQLServerFieldAttr types;
  types.setDate("日付");
  types.setMoney("通貨");
  return types;
}

// Every kind, an identity, float(10) and float(53), a composite key.
const std::vector<test::FieldRow> kLineRows = {{"OrderID", "int", "", false}, {"LineNo", "int", "", false}};
clsDBInfo document(std::vector<test::FieldRow> lineRows = kLineRows) {
  return test::dbOf({test::makeTable("Orders",
                                     {{"OrderID", "identity", "1,1", false}, {"Kind", " CHAR ", "2", true},
                                      {"Name", "varchar", "50", false}, {"Memo", "varchar", "max", true},
                                      {"Qty", "int", "", false}, {"Ordered", "日付", "", true},
                                      {"Price", "通貨", "", true}, {"Rate", "real", "", true},
                                      {"Ratio", "float", "10", true}, {"Value", "float", "53", true},
                                      {"Unit", "decimal", "10,2", true}},
                                     {"OrderID"}),
                     test::makeTable("Lines", lineRows, {"OrderID", "LineNo"})});
}

ServerColumn column(std::string name, int ordinal, std::string type, std::optional<long long> length,
                    std::optional<long long> precision, std::optional<long long> scale, bool nullable) {
  return {std::move(name), ordinal, std::move(type), length, precision, scale, nullable, false, {}, {}};
}

// What SQL Server reports after running the document's own CREATE scripts.
std::vector<ServerTable> deployed() {
  ServerColumn id = column("OrderID", 1, "int", {}, 10, 0, false);
  id.identity = true;
  id.seed = 1;
  id.increment = 1;
  return {
      {"Lines",
       {column("OrderID", 1, "int", {}, 10, 0, false), column("LineNo", 2, "int", {}, 10, 0, false)},
       {"OrderID", "LineNo"}},
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

std::vector<std::string> lines(const Drift& drift) {
  std::vector<std::string> out;
  for (const auto& table : drift.tables) out.push_back(driftLine(table));
  return out;
}

TEST(ServerDrift, WhatTheDocumentsScriptsCreateIsNoDrift) {
  const Drift drift = compareWithServer(document(), deployed(), teamTypes());
  EXPECT_EQ(lines(drift), std::vector<std::string>{});
  EXPECT_EQ(drift.warnings, std::vector<std::string>{});
  // Moving a column is no drift either.
  auto moved = deployed();
  std::swap(moved[1].columns[1], moved[1].columns[2]);
  EXPECT_TRUE(compareWithServer(document(), moved, teamTypes()).tables.empty());
}

TEST(ServerDrift, EachKindOfDriftAlone) {
  const struct {
    const char* what;
    std::function<void(std::vector<ServerTable>&)> change;
    std::string line;
  } cases[] = {
      {"widened", [](auto& s) { columnOf(s, "Name").length = 100; },
       "テーブル「Orders」: 列「Name」はドキュメントでは varchar(50) NOT NULL、データベースでは varchar(100) NOT NULL"},
      {"max to sized", [](auto& s) { columnOf(s, "Memo").length = 4000; },
       "テーブル「Orders」: 列「Memo」はドキュメントでは varchar(max) NULL、データベースでは varchar(4000) NULL"},
      {"nullable", [](auto& s) { columnOf(s, "Qty").nullable = true; },
       "テーブル「Orders」: 列「Qty」はドキュメントでは int NOT NULL、データベースでは int NULL"},
      {"seed", [](auto& s) { columnOf(s, "OrderID").seed = 100; },
       "テーブル「Orders」: 列「OrderID」はドキュメントでは int IDENTITY(1,1) NOT NULL、データベースでは int "
       "IDENTITY(100,1) NOT NULL"},
      {"identity lost", [](auto& s) { columnOf(s, "OrderID").identity = false; },
       "テーブル「Orders」: 列「OrderID」はドキュメントでは int IDENTITY(1,1) NOT NULL、データベースでは int NOT NULL"},
      {"float(10) as float", [](auto& s) { columnOf(s, "Ratio") = column("Ratio", 9, "float", {}, 53, {}, true); },
       "テーブル「Orders」: 列「Ratio」はドキュメントでは real NULL、データベースでは float NULL"},
      {"scale", [](auto& s) { columnOf(s, "Unit").scale = 3; },
       "テーブル「Orders」: 列「Unit」はドキュメントでは decimal(10,2) NULL、データベースでは decimal(10,3) NULL"},
      {"datetime2", [](auto& s) { columnOf(s, "Ordered").dataType = "datetime2"; },
       "テーブル「Orders」: 列「Ordered」はドキュメントでは datetime NULL、データベースでは datetime2 NULL"},
      {"column only in the database", [](auto& s) { s[1].columns.push_back(column("Note", 12, "nvarchar", 20, {}, {}, true)); },
       "テーブル「Orders」: 列「Note」はデータベースにだけあります (nvarchar(20) NULL)"},
      {"column only in the document", [](auto& s) { s[1].columns.pop_back(); },
       "テーブル「Orders」: 列「Unit」はドキュメントにだけあります (decimal(10,2) NULL)"},
      {"key", [](auto& s) { s[0].keys = {"OrderID"}; },
       "テーブル「Lines」: 主キーはドキュメントでは (OrderID, LineNo)、データベースでは (OrderID)"},
      {"key order", [](auto& s) { s[0].keys = {"LineNo", "OrderID"}; },
       "テーブル「Lines」: 主キーはドキュメントでは (OrderID, LineNo)、データベースでは (LineNo, OrderID)"},
      {"table only in the document", [](auto& s) { s.erase(s.begin()); }, "テーブル「Lines」: ドキュメントにだけあります"},
      {"table only in the database", [](auto& s) { s.push_back({"Audit", {column("At", 1, "datetime", {}, {}, {}, false)}, {}}); },
       "テーブル「Audit」: データベースにだけあります"},
  };
  for (const auto& c : cases) {
    auto server = deployed();
    c.change(server);
    EXPECT_EQ(lines(compareWithServer(document(), server, teamTypes())), std::vector<std::string>{c.line}) << c.what;
  }
}

TEST(ServerDrift, NumericIsDecimalAndNamesCompareWithoutCase) {
  auto server = deployed();
  columnOf(server, "Unit").dataType = "NUMERIC";
  server[1].name = "ORDERS";
  columnOf(server, "Qty").name = "qty";
  server[0].keys = {"orderid", "LineNo"};
  const Drift drift = compareWithServer(document(), server, teamTypes());
  EXPECT_TRUE(drift.tables.empty()) << driftLine(drift.tables.front());
  EXPECT_EQ(drift.warnings, (std::vector<std::string>{
                                "テーブル「Orders」はデータベースでは「ORDERS」です (サーバの照合順序では同じ名前です)",
                                "テーブル「Orders」の列「Qty」はデータベースでは「qty」です (サーバの照合順序では同じ名前です)"}));
}

TEST(ServerDrift, NamesFoldAsTheServersUsualCollationFoldsThem) {
  const std::vector<std::tuple<std::string, std::string, bool>> pairs = {
      {"Ä", "ä", true},       {"Étude", "étude", true}, {"ＴＢＬ", "tbl", true},     {"ｶﾞｯｺｳ", "ガッコウ", true},
      {"がっこう", "ガッコウ", true}, {"ﾊﾟﾝ", "パン", true},   {"ΣΑΣ", "σας", true},       {"ä", "a", false},
      {"ﾊﾞ", "パ", false},     {"T1", "T2", false},      {"\xFF", "\xFF", true}};
  for (const auto& [a, b, same] : pairs) EXPECT_EQ(sameName(a, b), same) << a << " " << b;
}

TEST(ServerDrift, EmptyDatabaseHasEveryTableOnlyInTheDocument) {
  EXPECT_EQ(lines(compareWithServer(document(), {}, teamTypes())),
            (std::vector<std::string>{"テーブル「Orders」: ドキュメントにだけあります", "テーブル「Lines」: ドキュメントにだけあります"}));
}

TEST(ServerDrift, UndefinedNotationIsWarnedAndSizesTheServerCannotTakeNeverMatch) {
  auto lineRows = kLineRows;
  lineRows.push_back({"Extra", "text", "", true});
  lineRows.push_back({"Code", "char", "abc", true});
  const clsDBInfo changed = document(lineRows);
  auto server = deployed();
  server[0].columns.push_back(column("Code", 3, "char", 3, {}, {}, true));
  const Drift drift = compareWithServer(changed, server, teamTypes());
  EXPECT_EQ(lines(drift), std::vector<std::string>{
                              "テーブル「Lines」: 列「Code」はドキュメントでは char(abc)、データベースでは char(3) NULL"});
  EXPECT_EQ(drift.warnings, std::vector<std::string>{"テーブル「Lines」: textは未定義です"});
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
  const auto& fields = orders.getFields();
  ASSERT_EQ(fields.size(), 11u);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"identity", "1,1"}, {"char", "2"}, {"varchar", "50"}, {"varchar", "max"}, {"int", ""}, {"xml", ""},
      {"通貨", ""},        {"real", ""},  {"real", ""},      {"float", "53"},    {"decimal", "10,2"}};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(std::pair(fields[i].getAttr(), fields[i].getSize()), expected[i]) << fields[i].getName();
  }
  EXPECT_EQ(fields[2].getName(), "Name");
  EXPECT_EQ(orders.getPrimaryKeys(), std::vector<std::string>{"OrderID"});
  // Read back through the same notations, every defined column is stored as the server has it.
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto stored = storedColumn(fields[i], teamTypes());
    if (i == 5) {
      EXPECT_FALSE(stored);
    } else {
      ASSERT_TRUE(stored) << i;
      EXPECT_EQ(*stored, storedColumn(server[1].columns[i])) << fields[i].getName();
    }
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
    ServerColumn column;
    column.name = name;
    column.dataType = "int";
    column.description = description;
    column.defaultValue = stored;
    table.columns.push_back(column);
  }
  table.columns[1].referenceTable = "Days";
  table.columns[1].referenceColumn = "Day";
  table.indexes = {{"PK", true, false, true, {"ID"}},  {"UQ1", false, true, true, {"Day", "Code"}},
                   {"UQ2", false, false, true, {"Sum"}}, {"IX", false, false, false, {"Code"}}};
  clsExcelDBDocInfo layout;
  int column = 10;
  for (auto set : {&clsExcelDBDocInfo::setColLogicalName, &clsExcelDBDocInfo::setColDefault,
                   &clsExcelDBDocInfo::setColUnique, &clsExcelDBDocInfo::setColIndex,
                   &clsExcelDBDocInfo::setColReference}) {
    (layout.*set)(column++);
  }
  layout.setRowTableLogicalName(2);
  layout.setColTableLogicalName(3);
  ASSERT_EQ(designLayoutProblem(layout), "");
  test::TempDir dir;
  const DesignBookPlan plan = writeDesignBook(dir.file("db.xlsx"), {table}, layout, {}, {"s", "d", "today"});
  EXPECT_TRUE(plan.warnings.empty());
  clsExcelDBDoc reader;
  reader.sbSetDocInfo(layout);
  ASSERT_TRUE(reader.fnReadDBDoc(dir.file("db.xlsx")));
  const auto& read = *reader.getDBInfo().getTables().at(0);
  EXPECT_EQ(read.getLogicalName(), "受注の見出し");
  std::string cells;
  for (const auto& field : read.getFields()) {
    cells += field.getLogicalName() + "|" + field.getDefault() + "|" + field.getUnique() + "|" + field.getIndex() +
             "|" + field.getReference() + "\n";
  }
  EXPECT_EQ(cells, "番号|0|||\n|getdate()|1||Days.Day\n|'a(b''c)'|1|○|\n|(1)+(2)|2||\n");
  layout.setColDefault(layout.getColUnique());
  EXPECT_EQ(designLayoutProblem(layout), "レイアウトの列 12 に項目の 2 つのセルが重なっています");
}

}  // namespace
}  // namespace morvane
