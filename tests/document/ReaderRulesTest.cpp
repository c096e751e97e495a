// The reader's rules over real workbooks: which sheets make tables, where a table's fields end,
// what marks a key or a nullable field, and what reaches the caller; and the layout file it is given.
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <map>

#include "document/LayoutFile.h"
#include "document/clsExcelDBDoc.h"
#include "model/KeyLabels.h"
#include "model/Text.h"
#include "platform/workbook/Workbook.h"
#include "tests/support/DesignBook.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

using Sheet = std::map<std::string, std::string>;  // "C3" -> cell text (numbers become number cells)
using Names = std::vector<std::string>;
const std::string kIdeographicSpace = "\xE3\x80\x80";

std::string writeBook(const test::TempDir& dir, const std::vector<Sheet>& sheets, const std::string& name = "doc.xlsx") {
  test::XlsxWriterBook book(dir.file(name));
  for (const auto& sheet : sheets) {
    lxw_worksheet* worksheet = book.addSheet();
    for (const auto& [ref, text] : sheet) test::writeCell(worksheet, ref, text);
  }
  book.close();
  return dir.file(name);
}

clsExcelDBDocInfo pages(int first, int last) { return test::layoutOf({first, last, 6, 3, 3, 4, 5, 6, 7, 9}); }

clsDBInfo read(const std::string& path, const clsExcelDBDocInfo& info = clsExcelDBDocInfo()) {
  clsExcelDBDoc reader;
  reader.sbSetDocInfo(info);
  EXPECT_TRUE(reader.fnReadDBDoc(path));
  return reader.getDBInfo();
}

Names names(const clsDBInfo& db) {
  Names result;
  for (const auto& table : db.getTables()) result.push_back(table->getName());
  return result;
}

// The error a read of the workbook must end with.
std::string readError(const std::string& path, const clsExcelDBDocInfo& info = clsExcelDBDocInfo()) {
  clsExcelDBDoc reader;
  reader.sbSetDocInfo(info);
  try {
    reader.fnReadDBDoc(path);
  } catch (const platform::WorkbookError& error) {
    EXPECT_TRUE(reader.getDBInfo().getTables().empty());
    return error.what();
  }
  return "no error";
}

// With the ten positions only, and with the optional ones too.
TEST(ReaderRules, TheExampleAndItsXlsTwinReadIntoTheDescribedModel) {
  for (const bool optional : {false, true}) {
    const clsDBInfo expected = test::exampleModel(optional);
    ASSERT_EQ(expected.getTables().size(), 4u) << "the description names four tables";
    for (const char* name : {"design-document.xlsx", "design-document.xls"}) {
      SCOPED_TRACE(std::string(name) + (optional ? " with the optional positions" : ""));
      const auto path = std::string(MORVANE_SOURCE_DIR) + "/examples/" + name;
      EXPECT_EQ(test::modelJson(read(path, test::exampleLayout(optional))).dump(2), test::modelJson(expected).dump(2));
    }
  }
}

TEST(ReaderRules, TablesFieldsKeysAndNullMarks) {
  test::TempDir dir;
  std::vector<Sheet> sheets(3, Sheet{{"D6", "ID"}, {"E6", "int"}, {"G6", "○"}});
  sheets[0]["C3"] = kIdeographicSpace + " " + kIdeographicSpace;  // a blank table name: the sheet gives nothing
  // Texts stay as written, numbers read as plain decimals, any non-blank text is a mark, and the
  // first blank field name ends the table.
  sheets[1] = {{"C3", "12"},   {"D6", " 顧客ID "}, {"E6", "Int "}, {"F6", "10"},     {"G6", " ○"}, {"I6", "×"},
               {"D7", "b"},    {"G7", " "},        {"I7", kIdeographicSpace},
               {"D8", "c"},    {"E8", "decimal"},  {"F8", "10,2"}, {"G8", "0"},      {"I8", "NULL"},
               {"D9", "d"},    {"F9", "1.5"},      {"G9", "x"},
               {"D10", kIdeographicSpace},         {"E10", "int"}, {"G10", "○"},     {"D11", "after"}};
  // A blank first field name: a table without fields.
  sheets[2] = {{"C3", " 受注 "}, {"E6", "int"}, {"G6", "○"}, {"D7", "X"}};
  const std::string expected = R"({"tables":[{"name":"12","fields":[
      {"name":" 顧客ID ","type":"Int ","size":"10","nullable":true},
      {"name":"b","type":"","size":"","nullable":false},
      {"name":"c","type":"decimal","size":"10,2","nullable":true},
      {"name":"d","type":"","size":"1.5","nullable":false}],"primaryKeys":[" 顧客ID ","c","d"]},
    {"name":" 受注 ","fields":[],"primaryKeys":[]}]})";
  EXPECT_EQ(test::modelJson(read(writeBook(dir, sheets))), nlohmann::ordered_json::parse(expected));
}

// Every optional cell with its blanks kept, under both meanings of the NULL mark (the example reads the
// optional cells of both formats, and none when its layout does not use them).
TEST(ReaderRules, OptionalCellsKeepTheirBlanksAndTheNullMarkMayMeanNotNull) {
  test::TempDir dir;
  const auto sheets = test::fullDesignSheets();
  const std::string path = test::writeDesignBook(dir.file("full.xlsx"), sheets);
  const clsDBInfo db = read(path, test::fullLayout()), notNull = read(path, test::fullLayout(true));
  const clsTableInfo &customer = *db.getTables()[0], &order = *db.getTables()[1];
  const clsFieldInfo& f = customer.getFields()[2];
  EXPECT_EQ(customer.getLogicalName() + "|" + order.getLogicalName() + "|" + f.getLogicalName() + "|" + f.getDefault() +
                "|" + f.getRemarks() + "|" + f.getUnique() + "|" + f.getIndex() + "|" + order.getFields()[2].getReference(),
            "顧客マスタ|注文| 支店 |N'な''し'|本店は 000 | U1 |IX1| 顧客 ( 件数 ) ");
  // Labels group fields whatever the blanks around them.
  std::string groups;
  for (const auto& keys : {uniqueKeysOf(customer), indexesOf(customer)}) {
    for (const auto& key : keys) {
      for (const auto field : key.fields) groups += key.label + ":" + std::to_string(field) + " ";
    }
  }
  EXPECT_EQ(groups, "U1:1 U1:2 U2:5 IX1:2 IX1:3 IX2:4 ");
  for (std::size_t i = 0; i < customer.getFields().size(); ++i) {
    EXPECT_EQ(customer.getFields()[i].getNull(), !isBlank(sheets[0].rows[i].null)) << i;
    EXPECT_EQ(notNull.getTables()[0]->getFields()[i].getNull(), isBlank(sheets[0].rows[i].null)) << i;
  }
}

TEST(ReaderRules, FieldRowsStopAfterRow99AndSheetRangesReadOnlyTheSheetsThatExist) {
  test::TempDir dir;
  Sheet sheet = {{"C3", "長い表"}};
  for (int row = 6; row <= 120; ++row) sheet["D" + std::to_string(row)] = "F" + std::to_string(row);
  const std::string path = writeBook(dir, {sheet, {{"C3", "二"}}, {{"C3", "三"}}});
  const auto fields = read(path).getTables()[0]->getFields();
  ASSERT_EQ(fields.size(), 94u);
  EXPECT_EQ(fields.front().getName() + fields.back().getName(), "F6F99");
  clsExcelDBDocInfo fromRow100;
  fromRow100.sbSetFieldPos(100);
  EXPECT_TRUE(read(path, fromRow100).getTables()[0]->getFields().empty());

  const Names all = {"長い表", "二", "三"};
  // The widest ranges must cost no more than the workbook's own sheets.
  const std::pair<clsExcelDBDocInfo, Names> ranges[] = {
      {pages(2, 10), {"二", "三"}}, {pages(-1, 1), {"長い表"}}, {pages(3, 2), {}}, {pages(4, 9), {}},
      {pages(1, 1000), all},        {pages(INT32_MIN, INT32_MAX), all}};
  for (const auto& [range, tables] : ranges) EXPECT_EQ(names(read(path, range)), tables) << range.getStartPage();
}

TEST(ReaderRules, LayoutPositionsBeyondTheCellLimitsReadAsEmpty) {
  test::TempDir dir;
  const std::string path =
      writeBook(dir, {{{"C2", "論理"}, {"C3", "表"}, {"D6", "a"}, {"G6", "○"}, {"H6", "0"}, {"I6", "○"}}});
  clsExcelDBDocInfo beyond = test::fullLayout();
  beyond.sbSetFieldDefPos(4, 5, 6, 100, 100);
  beyond.setColDefault(100);
  beyond.setRowTableLogicalName(1000);
  EXPECT_EQ(test::modelJson(read(path, beyond)),
            nlohmann::ordered_json::parse(R"({"tables":[{"name":"表","fields":[
                {"name":"a","type":"","size":"","nullable":false}],"primaryKeys":[]}]})"));
  clsExcelDBDocInfo zeroColumn;
  zeroColumn.sbSetTableNmPos(3, 0);
  EXPECT_NE(readError(path, zeroColumn), "no error");
}

// An error value in a cell the reader reads abandons the read, and the first one in reading order
// is reported: the look-ahead that sizes a table must not report one further down first.
TEST(ReaderRules, HostileWorkbooksAreRefusedWithTheirReason) {
  test::TempDir dir;
  const auto cell = [](const std::string& ref, const std::string& text) {
    return "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
  };
  const auto error = [](const std::string& ref, const std::string& value) {
    return "<c r=\"" + ref + "\" t=\"e\"><v>" + value + "</v></c>";
  };
  test::HandPackage package;
  // Sheet 2: #NUM! beside a blank name ends the fields before the rest of its row is read, and
  // #DIV/0! below is never read.
  package.sheets = {
      test::worksheetXml("<row r=\"3\">" + cell("C3", "表") + "</row><row r=\"6\">" + cell("D6", "a") +
                         error("E6", "#N/A") + "</row>"),
      test::worksheetXml("<row r=\"3\">" + cell("C3", "表2") + "</row><row r=\"6\">" + error("E6", "#NUM!") +
                         "</row><row r=\"7\">" + error("D7", "#DIV/0!") + "</row>"),
      test::worksheetXml("<row r=\"3\">" + cell("C3", "表3") + "</row><row r=\"6\">" + cell("D6", "a") +
                         cell("E6", "int") + "</row><row r=\"7\">" + cell("D7", "b") + error("E7", "#REF!") +
                         "</row><row r=\"8\">" + error("D8", "#N/A") + "</row>")};
  const std::string path = dir.file("errors.xlsx");
  test::writeZip(path, package.parts());
  const std::string first = readError(path);
  EXPECT_TRUE(first.find("E6") != std::string::npos && first.find("#N/A") != std::string::npos) << first;
  EXPECT_EQ(names(read(path, pages(2, 2))), (Names{"表2"}));
  const std::string third = readError(path, pages(3, 3));
  EXPECT_TRUE(third.find("E7") != std::string::npos && third.find("#REF!") != std::string::npos) << third;

  // One long text named by many sheets: what a read keeps is bounded for the whole workbook.
  const std::string texts = writeBook(dir, std::vector<Sheet>(3, Sheet{{"C3", std::string(1000, 'x')}}));
  clsExcelDBDoc reader;
  reader.setKeptTextLimit(3 * (1000 + 6));  // three table names and sheet names ("Sheet1")
  EXPECT_TRUE(reader.fnReadDBDoc(texts));
  reader.setKeptTextLimit(3 * (1000 + 6) - 1);
  try {
    reader.fnReadDBDoc(texts);
    ADD_FAILURE() << "the limit must stop the read";
  } catch (const platform::WorkbookError& error) {
    EXPECT_STREQ(error.what(), "ブックから読む文字列が合わせて 3017 バイトを超えました (シート「Sheet3」)");
  }
}

// The layout as its file's pairs, which the first test pins byte for byte.
std::string pairsOf(const clsExcelDBDocInfo& layout) {
  const clsHash hash = layoutToHash(layout);
  std::string text;
  for (std::int32_t i = 1; i <= hash.getCount(); ++i) text += hash.getKey2(i) + "=" + hash.getItem2(i) + ",";
  return text;
}

const char* const kKeys[] = {"StartSheetNo", "EndSheetNo",   "StartRowFieldDef", "RowTableName",  "ColTableName",
                             "ColFieldName", "ColFieldType", "ColFieldSize",     "ColPrimarykey", "ColNull"};
const std::string kAllExtras = "ColLogicalName=1,ColDefault=2,ColRemarks=3,ColUnique=4,ColIndex=5,ColReference=6,"
                               "RowTableLogicalName=7,ColTableLogicalName=8,NullMarkMeansNotNull=1";

// A hand-written file: 11 to 20 under the ten keys in reverse order, with `key` given `value`
// instead (left out when empty).
std::string fileWith(const std::string& key, const std::string& value) {
  std::string bytes = "<Other>99</Other>\r\n";
  for (int i = 9; i >= 0; --i) {
    const std::string text = kKeys[i] == key ? value : std::to_string(11 + i);
    if (!text.empty()) bytes += std::string("<") + kKeys[i] + ">" + text + "</" + kKeys[i] + ">\r\n";
  }
  return bytes + "<" + key + ">" + value + "</" + key + ">\r\n";  // the first of a key counts
}

TEST(LayoutFile, WritesTheTenKeysThenTheUsedOptionalOnesAndReadsThemBack) {
  test::TempDir dir;
  // The example's file is the writer's own output: the ten keys, then the optional ones a layout uses.
  ASSERT_TRUE(saveLayoutFile(test::exampleLayout(true), dir.file("e.edf")));
  EXPECT_EQ(test::readBytes(dir.file("e.edf")), test::readBytes(MORVANE_SOURCE_DIR "/examples/design-document.edf"));
  const auto written = test::layoutOf({-1, 0, INT32_MAX, INT32_MIN, 3, 4, 5, 6, 7, 9},
                                "ColReference=2147483647,RowTableLogicalName=2,NullMarkMeansNotNull=1");
  ASSERT_TRUE(saveLayoutFile(written, dir.file("x.edf")));
  EXPECT_TRUE(test::readBytes(dir.file("x.edf")).ends_with(
      "<ColNull>9</ColNull>\r\n<ColReference>2147483647</ColReference>\r\n<RowTableLogicalName>2</RowTableLogicalName>"
      "\r\n<NullMarkMeansNotNull>1</NullMarkMeansNotNull>\r\n"));
  clsExcelDBDocInfo read = test::layoutOf({11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, kAllExtras);
  ASSERT_TRUE(read.fnReadFile(dir.file("x.edf")));
  EXPECT_EQ(pairsOf(read), pairsOf(written)) << "an optional tag the file lacks reads as 0";
}

// Hand-edited values round half to even; a bad one fails with one line naming its key and changes
// nothing, not just the values after the bad key.
TEST(LayoutFile, HandEditedValuesRoundOrFailNamingTheirKey) {
  test::TempDir dir;
  const auto before = test::layoutOf({1, 4, 6, 3, 3, 4, 5, 6, 7, 9}, kAllExtras);
  const std::string kept = pairsOf(test::layoutOf({11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
  // The numbers' own rules are pinned with the conversion; here each kind of value reaches it.
  const std::tuple<const char*, const char*, const char*> cases[] = {  // key, value, read as ("" = refused)
      {"StartSheetNo", "2.5", "2"}, {"EndSheetNo", " 7 ", "7"}, {"ColNull", "-1", "-1"}, {"ColFieldType", "", ""},
      {"ColNull", "abc", ""},       {"EndSheetNo", " ", ""},    {"StartSheetNo", "2147483648", ""},
      {"ColDefault", "x", ""},      {"ColIndex", "-1", ""},     {"NullMarkMeansNotNull", "2", ""}};
  for (const auto& [key, value, readAs] : cases) {
    SCOPED_TRACE(std::string(key) + "=" + value);
    test::writeBytes(dir.file("h.edf"), fileWith(key, value));
    clsExcelDBDocInfo layout = before;
    try {
      ASSERT_TRUE(layout.fnReadFile(dir.file("h.edf")) && *readAs);
      const std::size_t at = kept.find(key);
      EXPECT_EQ(pairsOf(layout), kept.substr(0, at) + key + "=" + readAs + kept.substr(kept.find(',', at)));
    } catch (const LayoutFileError& error) {
      EXPECT_FALSE(*readAs) << error.what();
      EXPECT_NE(std::string(error.what()).find(key), std::string::npos) << error.what();
      EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos);
      EXPECT_EQ(pairsOf(layout), pairsOf(before));
    }
  }
  test::writeBytes(dir.file("empty.edf"), "");
  clsExcelDBDocInfo layout = before;
  EXPECT_THROW(layout.fnReadFile(dir.file("empty.edf")), LayoutFileError);
  EXPECT_FALSE(layout.fnReadFile(dir.file("none.edf")));
  EXPECT_EQ(pairsOf(layout), pairsOf(before));
  EXPECT_FALSE(saveLayoutFile(layout, dir.file("no/folder.edf")));
}

}  // namespace
}  // namespace morvane
