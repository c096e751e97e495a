// The reader's rules over real .xlsx workbooks: which sheets make tables, where a table's
// fields end, what marks a key or a nullable field, and what reaches the caller.
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <map>

#include "document/clsExcelDBDoc.h"
#include "model/KeyLabels.h"
#include "model/Text.h"
#include "platform/workbook/Workbook.h"
#include "tests/support/DesignBook.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/TempDir.h"
#include "tests/support/XlsxPackage.h"

namespace morvane {
namespace {

using Sheet = std::map<std::string, std::string>;  // "C3" -> cell text (numbers become number cells)
const std::string kIdeographicSpace = "\xE3\x80\x80";

std::string writeBook(const test::TempDir& dir, const std::vector<Sheet>& sheets, const std::string& name = "doc.xlsx") {
  const std::string path = dir.file(name);
  test::XlsxWriterBook book(path);
  for (const auto& sheet : sheets) {
    lxw_worksheet* worksheet = book.addSheet();
    for (const auto& [ref, text] : sheet) test::writeCell(worksheet, ref, text);
  }
  book.close();
  return path;
}

clsExcelDBDocInfo layout(int startSheet, int endSheet) {
  clsExcelDBDocInfo info;
  info.sbSetPage(startSheet, endSheet);
  return info;
}

clsDBInfo read(const std::string& path, const clsExcelDBDocInfo& info = clsExcelDBDocInfo()) {
  clsExcelDBDoc reader;
  reader.sbSetDocInfo(info);
  EXPECT_TRUE(reader.fnReadDBDoc(path));
  return reader.getDBInfo();
}

std::vector<std::string> names(const clsDBInfo& db) {
  std::vector<std::string> result;
  for (const auto& table : db.getTables()) result.push_back(table->getName());
  return result;
}

TEST(ReaderRules, TablesFieldsKeysAndNullMarks) {
  test::TempDir dir;
  const Sheet filledRows = {{"D6", "ID"}, {"E6", "int"}, {"G6", "○"}};
  std::vector<Sheet> sheets(4, filledRows);
  // Blank table names: the sheet contributes nothing.
  sheets[0]["C3"] = "  ";
  sheets[1]["C3"] = kIdeographicSpace + " " + kIdeographicSpace;
  // Texts stay as written, numbers read as plain decimals, any non-blank text is a mark, and the
  // first blank field name ends the table.
  sheets[2] = {{"C3", "12"},   {"D6", " 顧客ID "}, {"E6", "Int "}, {"F6", "10"},     {"G6", " ○"}, {"I6", "×"},
               {"D7", "b"},    {"G7", " "},        {"I7", kIdeographicSpace},
               {"D8", "c"},    {"E8", "decimal"},  {"F8", "10,2"}, {"G8", "0"},      {"I8", "NULL"},
               {"D9", "d"},    {"F9", "1.5"},      {"G9", "x"},
               {"D10", kIdeographicSpace},         {"E10", "int"}, {"G10", "○"},     {"D11", "after"}};
  // A blank first field name: a table without fields.
  sheets[3] = {{"C3", " 受注 "}, {"E6", "int"}, {"G6", "○"}, {"D7", "X"}};
  const std::string expected = R"({"tables":[{"name":"12","fields":[
      {"name":" 顧客ID ","type":"Int ","size":"10","nullable":true},
      {"name":"b","type":"","size":"","nullable":false},
      {"name":"c","type":"decimal","size":"10,2","nullable":true},
      {"name":"d","type":"","size":"1.5","nullable":false}],"primaryKeys":[" 顧客ID ","c","d"]},
    {"name":" 受注 ","fields":[],"primaryKeys":[]}]})";
  EXPECT_EQ(test::modelJson(read(writeBook(dir, sheets))), nlohmann::ordered_json::parse(expected));
}

// What the reader must make of the sheets: each cell's text under its key, only when written.
nlohmann::ordered_json expectedJson(const std::vector<test::DesignSheet>& sheets, bool markMeansNotNull, bool optional) {
  clsDBInfo db;
  for (const auto& sheet : sheets) {
    auto table = std::make_shared<clsTableInfo>();
    table->setName(sheet.table);
    if (optional) table->setLogicalName(sheet.logicalName);
    for (const auto& row : sheet.rows) {
      clsFieldInfo field;
      field.setName(row.name);
      field.setAttr(row.type);
      field.setSize(row.size);
      field.setNull(isBlank(row.null) == (optional && markMeansNotNull));
      if (!isBlank(row.key)) table->sbAddPKey(row.name);
      if (optional) {
        field.setLogicalName(row.logicalName);
        field.setDefault(row.defaultValue);
        field.setRemarks(row.remarks);
        field.setUnique(row.unique);
        field.setIndex(row.index);
        field.setReference(row.reference);
      }
      table->setField(std::move(field));
    }
    db.setTable(std::move(table));
  }
  return test::modelJson(db);
}

// Every optional cell from .xlsx and .xls under both meanings of the NULL mark, and the same
// books read as before when the layout does not use those cells.
TEST(ReaderRules, OptionalCellsKeysAndIndexes) {
  test::TempDir dir;
  const auto sheets = test::fullDesignSheets();
  for (const std::string& path : {test::writeDesignBook(dir.file("full.xlsx"), sheets),
                                  test::writeDesignXls(dir.file("full.xls"), sheets)}) {
    for (const bool notNull : {false, true}) {
      EXPECT_EQ(test::modelJson(read(path, test::fullLayout(notNull))), expectedJson(sheets, notNull, true)) << path;
    }
    EXPECT_EQ(test::modelJson(read(path)), expectedJson(sheets, false, false)) << path;
  }
  const auto customer = read(dir.file("full.xls"), test::fullLayout()).getTables()[0];
  using Groups = std::vector<std::pair<std::string, std::vector<std::size_t>>>;
  auto groups = [](const std::vector<KeyGroup>& keys) {
    Groups result;
    for (const auto& key : keys) result.emplace_back(key.label, key.fields);
    return result;
  };
  EXPECT_EQ(groups(uniqueKeysOf(*customer)), (Groups{{"U1", {1, 2}}, {"U2", {5}}}));
  EXPECT_EQ(groups(indexesOf(*customer)), (Groups{{"IX1", {2, 3}}, {"IX2", {4}}}));
}

TEST(ReaderRules, FieldRowsStopAfterRow99) {
  test::TempDir dir;
  Sheet sheet = {{"C3", "長い表"}};
  for (int row = 6; row <= 120; ++row) sheet["D" + std::to_string(row)] = "F" + std::to_string(row);
  const std::string path = writeBook(dir, {sheet});
  const clsDBInfo db = read(path);
  ASSERT_EQ(db.getTables().size(), 1u);
  const auto& fields = db.getTables()[0]->getFields();
  ASSERT_EQ(fields.size(), 94u);
  EXPECT_EQ(fields.front().getName(), "F6");
  EXPECT_EQ(fields.back().getName(), "F99");

  clsExcelDBDocInfo fromRow100;
  fromRow100.sbSetFieldPos(100);
  const clsDBInfo none = read(path, fromRow100);
  ASSERT_EQ(none.getTables().size(), 1u);
  EXPECT_TRUE(none.getTables()[0]->getFields().empty());
}

TEST(ReaderRules, SheetRangesReadOnlyTheSheetsThatExist) {
  test::TempDir dir;
  const std::string path = writeBook(dir, {{{"C3", "一"}}, {{"C3", "二"}}, {{"C3", "三"}}});
  const std::vector<std::string> all = {"一", "二", "三"};
  EXPECT_EQ(names(read(path, layout(2, 10))), (std::vector<std::string>{"二", "三"}));
  EXPECT_EQ(names(read(path, layout(-1, 1))), (std::vector<std::string>{"一"}));
  EXPECT_TRUE(read(path, layout(3, 2)).getTables().empty());
  EXPECT_TRUE(read(path, layout(4, 9)).getTables().empty());
  EXPECT_EQ(names(read(path, layout(1, 1000))), all);
  // The widest ranges must cost no more than the workbook's own sheets.
  EXPECT_EQ(names(read(path, layout(INT32_MIN, INT32_MAX))), all);

  // A second read appends to the same model.
  clsExcelDBDoc reader;
  ASSERT_TRUE(reader.fnReadDBDoc(writeBook(dir, {{{"C3", "零"}}}, "first.xlsx")));
  ASSERT_TRUE(reader.fnReadDBDoc(path));
  EXPECT_EQ(names(reader.getDBInfo()), (std::vector<std::string>{"零", "一", "二", "三"}));
}

TEST(ReaderRules, LayoutPositionsBeyondTheCellLimitsReadAsEmpty) {
  test::TempDir dir;
  const std::string path = writeBook(dir, {{{"C2", "論理"}, {"C3", "表"}, {"D6", "a"}, {"G6", "○"}, {"H6", "0"}, {"I6", "○"}}});
  clsExcelDBDocInfo beyond = test::fullLayout();
  beyond.sbSetFieldDefPos(4, 5, 6, 100, 100);
  beyond.setColDefault(100);
  beyond.setRowTableLogicalName(1000);
  const clsDBInfo db = read(path, beyond);
  ASSERT_EQ(db.getTables().size(), 1u);
  ASSERT_EQ(db.getTables()[0]->getFields().size(), 1u);
  EXPECT_TRUE(db.getTables()[0]->getPrimaryKeys().empty());
  EXPECT_FALSE(db.getTables()[0]->getFields()[0].getNull());
  EXPECT_EQ(db.getTables()[0]->getFields()[0].getDefault(), "");
  EXPECT_EQ(db.getTables()[0]->getLogicalName(), "");
  clsExcelDBDocInfo farName;
  farName.sbSetTableNmPos(1000, 3);
  EXPECT_TRUE(read(path, farName).getTables().empty());

  clsExcelDBDocInfo zeroColumn;
  zeroColumn.sbSetTableNmPos(3, 0);
  clsExcelDBDoc reader;
  reader.sbSetDocInfo(zeroColumn);
  EXPECT_THROW(reader.fnReadDBDoc(path), platform::WorkbookError);
}

TEST(ReaderRules, AnErrorValueInACellTheReaderReadsAbandonsTheRead) {
  test::TempDir dir;
  test::HandPackage package;
  // Sheet 1: #N/A in the type cell of a named field; sheet 2: #NUM! beside a blank name, which
  // ends the fields before the rest of its row is read, and #DIV/0! below (never read).
  package.sheets = {
      test::worksheetXml("<row r=\"3\"><c r=\"C3\" t=\"inlineStr\"><is><t>表</t></is></c></row>"
                         "<row r=\"6\"><c r=\"D6\" t=\"inlineStr\"><is><t>a</t></is></c><c r=\"E6\" t=\"e\"><v>#N/A</v></c></row>"),
      test::worksheetXml("<row r=\"3\"><c r=\"C3\" t=\"inlineStr\"><is><t>表2</t></is></c></row>"
                         "<row r=\"6\"><c r=\"E6\" t=\"e\"><v>#NUM!</v></c></row>"
                         "<row r=\"7\"><c r=\"D7\" t=\"e\"><v>#DIV/0!</v></c></row>")};
  const std::string path = dir.file("errors.xlsx");
  test::writeZip(path, package.parts());
  clsExcelDBDoc reader;
  try {
    reader.fnReadDBDoc(path);
    FAIL() << "the error value must reach the caller";
  } catch (const platform::WorkbookError& error) {
    EXPECT_NE(std::string(error.what()).find("E6"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("#N/A"), std::string::npos) << error.what();
  }
  EXPECT_TRUE(reader.getDBInfo().getTables().empty());
  EXPECT_EQ(names(read(path, layout(2, 2))), (std::vector<std::string>{"表2"}));
}

// The reader sizes a table from its names first; that look-ahead must not be what reports an
// error value further down, before the one the fields meet first.
TEST(ReaderRules, TheFirstErrorValueInReadingOrderIsTheOneReported) {
  test::TempDir dir;
  test::HandPackage package;
  package.sheets = {test::worksheetXml(
      "<row r=\"3\"><c r=\"C3\" t=\"inlineStr\"><is><t>表</t></is></c></row>"
      "<row r=\"6\"><c r=\"D6\" t=\"inlineStr\"><is><t>a</t></is></c><c r=\"E6\" t=\"inlineStr\"><is><t>int</t></is></c></row>"
      "<row r=\"7\"><c r=\"D7\" t=\"inlineStr\"><is><t>b</t></is></c><c r=\"E7\" t=\"e\"><v>#REF!</v></c></row>"
      "<row r=\"8\"><c r=\"D8\" t=\"e\"><v>#N/A</v></c></row>")};
  const std::string path = dir.file("order.xlsx");
  test::writeZip(path, package.parts());
  clsExcelDBDoc reader;
  try {
    reader.fnReadDBDoc(path);
    FAIL() << "the error value must reach the caller";
  } catch (const platform::WorkbookError& error) {
    EXPECT_NE(std::string(error.what()).find("E7"), std::string::npos) << error.what();
  }
}

TEST(ReaderRules, AWorkbookThatCannotBeOpenedLeavesTheModelAlone) {
  test::TempDir dir;
  test::writeBytes(dir.file("notes.xlsx"), "not a workbook at all");
  const std::string good = writeBook(dir, {{{"C3", "一"}}});
  for (const std::string& path : {std::string(), std::string("  "), dir.file("missing.xlsx"), dir.file("notes.xlsx")}) {
    clsExcelDBDoc reader;
    ASSERT_TRUE(reader.fnReadDBDoc(good));
    EXPECT_FALSE(reader.fnReadDBDoc(path)) << path;
    EXPECT_EQ(names(reader.getDBInfo()), (std::vector<std::string>{"一"})) << path;
  }
}

}  // namespace
}  // namespace morvane
