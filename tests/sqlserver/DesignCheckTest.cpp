// The design check: each rule on its smallest case and silent on its nearest valid neighbour,
// the cells it names, and the order of its findings.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "document/clsExcelDBDoc.h"
#include "sqlserver/DefaultValue.h"
#include "sqlserver/DesignCheck.h"
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

// A table as the reader makes it in the default layout (name in C3, fields from row 6, columns
// D to G and I), on the given sheet.
TablePtr sheetTable(std::int32_t sheetNo, const std::string& name, const std::vector<Row>& rows) {
  auto table = std::make_shared<clsTableInfo>();
  table->setName(name);
  table->setSheet(sheetNo, "Sheet" + std::to_string(sheetNo));
  std::int32_t row = 6;
  for (const Row& r : rows) {
    clsFieldInfo field;
    field.setName(r.name);
    field.setAttr(r.type);
    field.setSize(r.size);
    field.setNull(r.nullable);
    field.setRow(row++);
    field.setReference(r.reference);
    if (r.key) table->sbAddPKey(r.name);
    table->setField(field);
  }
  return table;
}

std::vector<Finding> check(const std::vector<TablePtr>& tables, const clsSQLServerFieldAttr& types = {}) {
  clsDBInfo db;
  for (const auto& table : tables) db.setTable(table);
  return checkDesign(db, types, clsExcelDBDocInfo());
}

// The rules found, as "rule@cell".
std::vector<std::string> found(const std::vector<Finding>& findings) {
  std::vector<std::string> out;
  for (const auto& finding : findings) out.push_back(finding.rule + "@" + finding.cell);
  return out;
}

// One keyed table with an id column and the field under test in row 7.
std::vector<std::string> fieldRules(const Row& field) {
  return found(check({sheetTable(1, "T", {{"id", "int", "", true}, field})}));
}

using Rules = std::vector<std::string>;

struct SizeCase {
  std::string type, size;
  Rules expected;
};

class SizeRules : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeRules, FireOnTheSizeCellOnlyWhenTheSizeIsWrong) {
  const SizeCase& c = GetParam();
  EXPECT_EQ(fieldRules({"f", c.type, c.size}), c.expected) << c.type << "(" << c.size << ")";
}

const Rules kFine{};
const Rules kInvalid{"size-invalid@F7"};
const Rules kRequired{"size-required@F7"};
const Rules kIgnored{"size-ignored@F7"};

INSTANTIATE_TEST_SUITE_P(
    EdgesOfEachKind, SizeRules,
    ::testing::Values(SizeCase{"varchar", "8000", kFine}, SizeCase{"varchar", "8001", kInvalid},
                      SizeCase{"varchar", "1", kFine}, SizeCase{"varchar", "0", kInvalid},
                      SizeCase{"varchar", "MAX", kFine}, SizeCase{"char", "max", kInvalid},
                      SizeCase{"char", "8000", kFine}, SizeCase{"char", "50.5", kInvalid},
                      SizeCase{"char", " ", kRequired}, SizeCase{"varchar", "", kRequired},
                      SizeCase{"float", "53", kFine}, SizeCase{"float", "54", kInvalid},
                      SizeCase{"float", "", kRequired}, SizeCase{"decimal", "38,38", kFine},
                      SizeCase{"decimal", "10,11", kInvalid}, SizeCase{"decimal", "39,2", kInvalid},
                      SizeCase{"decimal", "0,0", kInvalid}, SizeCase{"decimal", " 10 , 2 ", kFine},
                      SizeCase{"decimal", "10", kInvalid}, SizeCase{"decimal", "18,4,1", kInvalid},
                      SizeCase{"decimal", "", kRequired}, SizeCase{"identity", "1,1", kFine},
                      SizeCase{"identity", "-5,-1", kFine}, SizeCase{"identity", "1,0", kInvalid},
                      SizeCase{"identity", "1", kInvalid}, SizeCase{"identity", ",1", kInvalid},
                      SizeCase{"identity", "2147483648,1", kInvalid}, SizeCase{"identity", "", kRequired},
                      SizeCase{"int", "10", kIgnored}, SizeCase{"int", "", kFine},
                      SizeCase{"date", "8", kIgnored}, SizeCase{"money", "", kFine},
                      SizeCase{"real", "4", kIgnored}, SizeCase{"INT ", "", kFine}));

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
  for (const auto& [stored, cell, same] : pairs) EXPECT_EQ(defaultKey(stored) == defaultKey(cell), same) << stored << cell;
}

TEST(DesignCheck, UndefinedTypesFollowTheGeneratorsComparison) {
  EXPECT_EQ(fieldRules({"f", "text", ""}), (Rules{"undefined-type@E7"}));
  EXPECT_EQ(fieldRules({"f", "", ""}), (Rules{"undefined-type@E7"}));
  // An undefined column is left out of the script: its size is not judged.
  EXPECT_EQ(fieldRules({"f", "nvarchar", "99999"}), (Rules{"undefined-type@E7"}));
  clsSQLServerFieldAttr japanese;
  japanese.setDate("日付");
  const auto table = sheetTable(1, "T", {{"id", "int", "", true}, {"a", "日付", ""}, {"b", "date", ""}});
  EXPECT_EQ(found(check({table}, japanese)), (Rules{"undefined-type@E8"}));
  // The message lists the notations in effect.
  EXPECT_NE(check({table}, japanese).front().message.find("日付"), std::string::npos);
}

TEST(DesignCheck, DuplicateFieldsIgnoreCaseAndPointAtTheSecond) {
  const auto twice = check({sheetTable(1, "T", {{"ID", "int", "", true}, {"name", "int", ""}, {"id ", "int", ""}})});
  EXPECT_EQ(found(twice), (Rules{"duplicate-field@D8", "untrimmed-name@D8"}));
  EXPECT_EQ(twice.front().field, "id ");
  EXPECT_NE(twice.front().message.find("6 行目"), std::string::npos);
  EXPECT_EQ(fieldRules({"id2", "int", ""}), kFine);
}

TEST(DesignCheck, DuplicateTablesIgnoreCaseAndPointAtTheSecondNameCell) {
  const Row key{"id", "int", "", true};
  const auto findings = check({sheetTable(1, "T1", {key}), sheetTable(2, "T2", {key}), sheetTable(3, "t1", {key})});
  EXPECT_EQ(found(findings), (Rules{"duplicate-table@C3"}));
  EXPECT_EQ(findings.front().sheet, "Sheet3");
  EXPECT_FALSE(findings.front().field.has_value());
  EXPECT_NE(findings.front().message.find("Sheet1"), std::string::npos);
}

TEST(DesignCheck, KeysAndIdentities) {
  EXPECT_EQ(found(check({sheetTable(1, "T", {{"id", "int", "", true, true}})})), (Rules{"nullable-key@I6"}));
  EXPECT_EQ(fieldRules({"memo", "int", "", false, true}), kFine);
  clsDBInfo keyed;
  keyed.setTable(sheetTable(1, "T", {{"id", "int", "", true, true}}));
  clsExcelDBDocInfo markMeansNotNull;
  markMeansNotNull.setNullMarkMeansNotNull(1);
  EXPECT_NE(checkDesign(keyed, {}, markMeansNotNull).at(0).message.find("NOT NULL の印がありません"), std::string::npos);
  EXPECT_EQ(found(check({sheetTable(1, "T", {{"a", "int", ""}})})), (Rules{"no-key@C3"}));
  const auto identities = check({sheetTable(1, "T", {{"a", "identity", "1,1", true}, {"b", "int", ""},
                                                     {"c", "IDENTITY", "1,1"}, {"d", "identity", "1,1"}})});
  EXPECT_EQ(found(identities), (Rules{"multiple-identity@E8", "multiple-identity@E9"}));
  EXPECT_EQ(fieldRules({"n", "identity", "1,1"}), kFine);
}

TEST(DesignCheck, NamesUpTo128CharactersAsTheServerCountsThem) {
  EXPECT_EQ(fieldRules({std::string(128, 'a'), "int", ""}), kFine);
  EXPECT_EQ(fieldRules({std::string(129, 'a'), "int", ""}), (Rules{"name-too-long@D7"}));
  std::string japanese;
  for (int i = 0; i < 128; ++i) japanese += "項";
  EXPECT_EQ(fieldRules({japanese, "int", ""}), kFine);
  EXPECT_EQ(fieldRules({japanese + "目", "int", ""}), (Rules{"name-too-long@D7"}));
  // A keyed table's constraint is PK_ and its name: 125 characters is the most that fits.
  const Row key{"id", "int", "", true};
  EXPECT_EQ(found(check({sheetTable(1, std::string(125, 't'), {key})})), kFine);
  EXPECT_EQ(found(check({sheetTable(1, std::string(126, 't'), {key})})), (Rules{"name-too-long@C3"}));
}

TEST(DesignCheck, ReservedWordsAndIrregularNamesAreWarnings) {
  for (const std::string name : {"order", "USER", "Key", "current_timestamp", "a b", "1st", "a-b", "#tmp",
                                 "顧客・名", "名前（カナ）"}) {
    const auto findings = check({sheetTable(1, "T", {{"id", "int", "", true}, {name, "int", ""}})});
    ASSERT_EQ(found(findings), (Rules{"reserved-word@D7"})) << name;
    EXPECT_EQ(findings.front().severity, Severity::Warning);
  }
  for (const std::string name : {"orders", "user_id", "_x", "a$1", "x#y", "顧客ID", "ｶﾅ名", "Ａ１", "番号々"}) {
    EXPECT_EQ(fieldRules({name, "int", ""}), kFine) << name;
  }
  EXPECT_EQ(found(check({sheetTable(1, "table", {{"id", "int", "", true}})})), (Rules{"reserved-word@C3"}));
  // Blanks around a name are a warning of their own; the name is judged without them.
  EXPECT_EQ(fieldRules({"id2\xE3\x80\x80", "int", ""}), (Rules{"untrimmed-name@D7"}));
  EXPECT_EQ(fieldRules({" order", "int", ""}), (Rules{"untrimmed-name@D7", "reserved-word@D7"}));
}

TEST(DesignCheck, FindingsComeInSheetThenRowOrder) {
  const Row bad{"x", "text", ""};
  // Given out of sheet order: the sheet numbers decide.
  const auto findings = check({sheetTable(2, "B", {{"id", "int", "", true}, bad}),
                               sheetTable(1, "A", {bad, {"y", "varchar", ""}})});
  EXPECT_EQ(found(findings), (Rules{"no-key@C3", "undefined-type@E6", "size-required@F7", "undefined-type@E7"}));
  EXPECT_EQ(findings[3].sheet, "Sheet2");
  EXPECT_EQ(findings[3].tableIndex, 0u);
  EXPECT_EQ(countFindings(findings).warnings, 1u);
}

// One mistake for each rule on the optional cells, and none on the valid forms around them.
TEST(DesignCheck, OptionalCellsOfTheFullBook) {
  test::TempDir dir;
  clsExcelDBDoc reader;
  reader.sbSetDocInfo(test::fullLayout());
  ASSERT_TRUE(reader.fnReadDBDoc(test::writeDesignBook(dir.file("full.xlsx"), test::fullDesignSheets())));
  const auto findings = checkDesign(reader.getDBInfo(), {}, test::fullLayout());
  EXPECT_EQ(found(findings), (Rules{"unique-nullable@K7", "logical-name-missing@B9", "default-invalid@H14",
                                    "default-invalid@H15", "default-invalid@H6", "reference-not-key@M9",
                                    "reference-type@M10", "reference-unknown@M11", "reference-syntax@M12"}));
  EXPECT_EQ(countFindings(findings).warnings, 2u);
}

// The server refuses a foreign key between kinds (1778) or sizes (1753) that differ.
TEST(DesignCheck, ReferenceTypesMatchAsTheServerRequires) {
  clsExcelDBDocInfo layout;
  layout.setColReference(13);
  const std::tuple<const char*, const char*, const char*, const char*, bool> cases[] = {
      {"identity", "1,1", "int", "", true},           {"char", "3", "char", "4", false},
      {"char", "3", "varchar", "3", false},           {"decimal", "10,2", "decimal", " 10 , 2 ", true},
      {"varchar", "max", "VARCHAR", "MAX", true},     {"int", "", "money", "", false}};
  for (const auto& [type, size, childType, childSize, fine] : cases) {
    clsDBInfo checked, all;
    all.setTable(sheetTable(1, "P", {{"id", type, size, true}}));
    checked.setTable(sheetTable(2, "C", {{"id", "int", "", true}, {"p", childType, childSize, false, false, "p.ID"}}));
    all.setTable(checked.getTables()[0]);
    EXPECT_EQ(found(checkDesign(checked, {}, layout, all)), fine ? Rules{} : Rules{"reference-type@M7"}) << childType;
  }
}

TEST(DesignCheck, CellsFollowTheLayout) {
  clsExcelDBDocInfo layout;
  layout.sbSetTableNmPos(2, 27);
  layout.sbSetFieldDefPos(1, 2, 3, 4, 99);
  clsDBInfo db;
  db.setTable(sheetTable(1, "T", {{"id", "int", "", false, true}, {"s", "char", ""}}));
  EXPECT_EQ(found(checkDesign(db, {}, layout)), (Rules{"no-key@AA2", "size-required@C7"}));
  EXPECT_EQ(columnLetters(99), "CU");
  EXPECT_EQ(columnLetters(703), "AAA");
}

}  // namespace
}  // namespace morvane
