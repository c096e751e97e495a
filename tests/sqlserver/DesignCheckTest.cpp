// The design check: each rule on its smallest case, silent on its nearest valid neighbour; cells; order.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "document/clsExcelDBDoc.h"
#include "sqlserver/DefaultValue.h"
#include "sqlserver/DesignCheck.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/DesignBook.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

struct Row {
  std::string name, type, size;
  bool key = false;
  bool nullable = false;
  std::string reference = {};
};

// A table as the reader makes it in the default layout (name in C3, fields from row 6 in D to G and I).
TablePtr sheetTable(std::int32_t sheetNo, const std::string& name, const std::vector<Row>& rows) {
  std::vector<test::FieldRow> fields;
  std::vector<std::string> keys;
  for (const Row& r : rows) {
    const auto row = static_cast<std::int32_t>(6 + fields.size());
    fields.push_back({r.name, r.type, r.size, r.nullable, "", r.reference, "", "", "", "", row});
    if (r.key) keys.push_back(r.name);
  }
  auto table = std::make_shared<clsTableInfo>(test::makeTable(name, fields, keys));
  table->setSheet(sheetNo, "Sheet" + std::to_string(sheetNo));
  return table;
}

std::vector<Finding> check(const std::vector<TablePtr>& tables, const clsSQLServerFieldAttr& types = {},
                           const clsExcelDBDocInfo& layout = {}) {
  clsDBInfo db;
  for (const auto& table : tables) db.setTable(table);
  return checkDesign(db, types, layout);
}

// The rules found, as "rule@cell", blank-separated.
std::string found(const std::vector<Finding>& findings) {
  std::string out;
  for (const auto& finding : findings) out += (out.empty() ? "" : " ") + finding.rule + "@" + finding.cell;
  return out;
}

// One keyed table with an id column and the field under test in row 7.
std::string fieldRules(const Row& field) {
  return found(check({sheetTable(1, "T", {{"id", "int", "", true}, field})}));
}

TEST(DesignCheck, EachFieldRuleFiresOnItsCellOnlyPastItsEdge) {
  const std::string invalid = "size-invalid@F7", required = "size-required@F7", ignored = "size-ignored@F7";
  const std::string tooLong = "name-too-long@D7", undefined = "undefined-type@E7";
  std::string kanji;
  for (int i = 0; i < 128; ++i) kanji += "項";
  const std::pair<Row, std::string> cases[] = {
      {{"f", "varchar", "8000"}, ""}, {{"f", "varchar", "8001"}, invalid}, {{"f", "varchar", "1"}, ""},
      {{"f", "varchar", "0"}, invalid}, {{"f", "varchar", "MAX"}, ""}, {{"f", "char", "max"}, invalid},
      {{"f", "char", " "}, required}, {{"f", "float", "53"}, ""}, {{"f", "float", "54"}, invalid},
      {{"f", "decimal", "38,38"}, ""}, {{"f", "decimal", "10,11"}, invalid}, {{"f", "decimal", "39,2"}, invalid},
      {{"f", "decimal", "0,0"}, invalid}, {{"f", "decimal", " 10 , 2 "}, ""}, {{"f", "decimal", "10"}, invalid},
      {{"f", "decimal", "18,4,1"}, invalid}, {{"f", "decimal", ""}, required}, {{"f", "identity", "1,1"}, ""},
      {{"f", "identity", "-5,-1"}, ""}, {{"f", "identity", "1,0"}, invalid}, {{"f", "identity", "1"}, invalid},
      {{"f", "identity", ",1"}, invalid}, {{"f", "identity", "2147483648,1"}, invalid}, {{"f", "int", "10"}, ignored},
      {{"f", "INT ", ""}, ""},
      // An undefined column is left out of the script: its size is not judged.
      {{"f", "text", ""}, undefined}, {{"f", "nvarchar", "99999"}, undefined},
      // Names up to 128 characters as the server counts them.
      {{std::string(128, 'a'), "int", ""}, ""}, {{std::string(129, 'a'), "int", ""}, tooLong},
      {{kanji, "int", ""}, ""}, {{"memo", "int", "", false, true}, ""},
      // Blanks around a name are a warning of their own; the name is judged without them.
      {{"id2\xE3\x80\x80", "int", ""}, "untrimmed-name@D7"},
      {{" order", "int", ""}, "untrimmed-name@D7 reserved-word@D7"},
  };
  for (const auto& [row, rules] : cases) EXPECT_EQ(fieldRules(row), rules) << row.name << " " << row.type << row.size;

  // Reserved words and names that are no regular identifier, and their nearest regular neighbours.
  for (const std::string name : {"order", "USER", "Key", "current_timestamp", "a b", "1st", "a-b", "#tmp", "顧客・名"}) {
    EXPECT_EQ(fieldRules({name, "int", ""}), "reserved-word@D7") << name;
  }
  for (const std::string name : {"orders", "user_id", "_x", "a$1", "x#y", "顧客ID", "ｶﾅ名", "Ａ１", "番号々"}) {
    EXPECT_EQ(fieldRules({name, "int", ""}), "") << name;
  }
  const auto reserved = check({sheetTable(1, "T", {{"id", "int", "", true}, {"order", "int", ""}})});
  EXPECT_EQ(reserved.at(0).severity, Severity::Warning);
}

TEST(DesignCheck, TableAndOptionalCellRulesNameTheirCells) {
  const Row key{"id", "int", "", true};
  // A keyed table's constraint is PK_ and its name: 125 characters is the most that fits.
  const std::pair<TablePtr, std::string> cases[] = {
      {sheetTable(1, "table", {key}), "reserved-word@C3"}, {sheetTable(1, std::string(125, 't'), {key}), ""},
      {sheetTable(1, std::string(126, 't'), {key}), "name-too-long@C3"},
      {sheetTable(1, "T", {{"a", "int", ""}}), "no-key@C3"},
      {sheetTable(1, "T", {{"id", "int", "", true, true}}), "nullable-key@I6"}};
  for (const auto& [table, rules] : cases) EXPECT_EQ(found(check({table})), rules) << table->getName();
  clsExcelDBDocInfo markMeansNotNull;
  markMeansNotNull.setNullMarkMeansNotNull(1);
  EXPECT_HAS(check({sheetTable(1, "T", {{"id", "int", "", true, true}})}, {}, markMeansNotNull).at(0).message,
             "NOT NULL の印がありません");
  EXPECT_EQ(found(check({sheetTable(1, "T", {{"a", "identity", "1,1", true}, {"b", "int", ""}, {"c", "IDENTITY", "1,1"},
                                             {"d", "identity", "1,1"}})})),
            "multiple-identity@E8 multiple-identity@E9");

  // Duplicates ignore case and point at the second.
  const auto fields = check({sheetTable(1, "T", {{"ID", "int", "", true}, {"name", "int", ""}, {"id ", "int", ""}})});
  EXPECT_EQ(found(fields), "duplicate-field@D8 untrimmed-name@D8");
  EXPECT_HAS(fields.front().message, "6 行目");
  const auto tables = check({sheetTable(1, "T1", {key}), sheetTable(2, "T2", {key}), sheetTable(3, "t1", {key})});
  EXPECT_EQ(found(tables), "duplicate-table@C3");
  EXPECT_EQ(tables.front().sheet, "Sheet3");
  EXPECT_HAS(tables.front().message, "Sheet1");

  // Notations in effect decide what is undefined, and the message lists them.
  clsSQLServerFieldAttr japanese;
  japanese.setDate("日付");
  const auto undefined = check({sheetTable(1, "T", {key, {"a", "日付", ""}, {"b", "date", ""}})}, japanese);
  EXPECT_EQ(found(undefined), "undefined-type@E8");
  EXPECT_HAS(undefined.front().message, "日付");

  // Given out of sheet order: the sheet numbers decide, then the rows.
  const Row bad{"x", "text", ""};
  const auto ordered = check({sheetTable(2, "B", {key, bad}), sheetTable(1, "A", {bad, {"y", "varchar", ""}})});
  EXPECT_EQ(found(ordered), "no-key@C3 undefined-type@E6 size-required@F7 undefined-type@E7");
  EXPECT_EQ(ordered[3].tableIndex, 0u);

  // The cells follow the layout.
  clsExcelDBDocInfo layout;
  layout.sbSetTableNmPos(2, 27);
  layout.sbSetFieldDefPos(1, 2, 3, 4, 99);
  EXPECT_EQ(found(check({sheetTable(1, "T", {{"id", "int", "", false, true}, {"s", "char", ""}})}, {}, layout)),
            "no-key@AA2 size-required@C7");
  EXPECT_EQ(columnLetters(703), "AAA");

  // One mistake for each rule on the optional cells of the full book, and none on the valid forms around them.
  test::TempDir dir;
  clsExcelDBDoc reader;
  reader.sbSetDocInfo(test::fullLayout());
  ASSERT_TRUE(reader.fnReadDBDoc(test::writeDesignBook(dir.file("full.xlsx"), test::fullDesignSheets())));
  const auto findings = checkDesign(reader.getDBInfo(), {}, test::fullLayout());
  EXPECT_EQ(found(findings), "unique-nullable@K7 logical-name-missing@B9 default-invalid@H14 default-invalid@H15 "
                             "default-invalid@H6 reference-not-key@M9 reference-type@M10 reference-unknown@M11 "
                             "reference-syntax@M12");
  EXPECT_EQ(countFindings(findings).warnings, 2u);

  // The server refuses a foreign key between kinds (1778) or sizes (1753) that differ.
  layout = {};
  layout.setColReference(13);
  const std::tuple<const char*, const char*, const char*, const char*, bool> references[] = {
      {"identity", "1,1", "int", "", true}, {"char", "3", "char", "4", false}, {"char", "3", "varchar", "3", false},
      {"decimal", "10,2", "decimal", " 10 , 2 ", true}, {"varchar", "max", "VARCHAR", "MAX", true}};
  for (const auto& [type, size, childType, childSize, fine] : references) {
    const auto child = sheetTable(2, "C", {{"id", "int", "", true}, {"p", childType, childSize, false, false, "p.ID"}});
    const auto parent = sheetTable(1, "P", {{"id", type, size, true}});
    EXPECT_EQ(found(check({parent, child}, {}, layout)), fine ? "" : "reference-type@M7") << childType;
  }
}

TEST(DefaultValue, TheFormsSqlServerTakesWithoutTheirParentheses) {
  using F = DefaultForm;
  const std::tuple<const char*, F, const char*> cases[] = {
      {" ", F::None, ""}, {"0", F::Number, "0"}, {"((-1.5e3))", F::Number, "-1.5e3"}, {".5", F::Number, ".5"},
      {"'it''s'", F::String, "'it''s'"}, {"( N'な' )", F::String, "N'な'"}, {"''", F::String, "''"},
      {"null", F::Null, "null"}, {"(getdate())", F::Function, "getdate()"}, {"NewId ( )", F::Function, "NewId ( )"},
      {"Current_Timestamp", F::Function, "Current_Timestamp"}, {"SYSUTCDATETIME()", F::Function, "SYSUTCDATETIME()"},
      {"'a'b'", F::Invalid, "'a'b'"}, {"(1)+(2)", F::Invalid, "(1)+(2)"}, {"now()", F::Invalid, "now()"},
      {"GETDATE", F::Invalid, "GETDATE"}, {"1e", F::Invalid, "1e"}, {"(')')", F::String, "')'"},
      {"current_timestamp()", F::Invalid, "current_timestamp()"}, {"((0)", F::Invalid, "((0)"},
      {"(((((((((((((((((0)))))))))))))))))", F::Invalid, "(0)"}};
  for (const auto& [text, form, inner] : cases) {
    const DefaultValue value = classifyDefault(text);
    EXPECT_EQ(value.form, form) << text;
    EXPECT_EQ(value.text, inner) << text;
  }
  // Said two ways, one default: as SQL Server stores it and as a cell says it.
  const std::tuple<const char*, const char*, bool> pairs[] = {
      {"((0))", "0.0", true}, {"(getdate())", "GETDATE ( )", true}, {"('1')", "'1'", true}, {"(N'なし')", "n'なし'", true},
      {"((1e2))", "100", true}, {"(NULL)", "null", true}, {"('1')", "N'1'", false}, {"('a')", "'A'", false},
      {"((1))", "2", false}, {"(-0)", "0", true}};
  for (const auto& [stored, cell, same] : pairs) EXPECT_EQ(defaultKey(stored) == defaultKey(cell), same) << cell;
}

}  // namespace
}  // namespace morvane
