// Cell values of .xlsx workbooks as text: what libxlsxwriter writes, and hand-made packages
// for the shapes it never writes.
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include "platform/Workbook.h"
#include "platform/XlsxWorkbook.h"
#include "platform/ZipArchive.h"
#include "tests/support/TempDir.h"
#include "tests/support/XlsxPackage.h"

namespace morvane::platform {
namespace {

using test::HandPackage;
using test::TempDir;
using test::XlsxWriterBook;

std::unique_ptr<Workbook> openOrFail(const std::string& path) {
  auto book = openWorkbook(path);
  if (!book) ADD_FAILURE() << "cannot open " << path;
  return book;
}

SheetCells handSheet(const TempDir& dir, HandPackage package, int sheet = 1) {
  const std::string path = dir.file("hand.xlsx");
  test::writeZip(path, package.parts());
  auto book = openOrFail(path);
  if (!book) return {};
  return book->readSheet(sheet);
}

TEST(XlsxCells, ValuesOfEveryKindTurnIntoText) {
  TempDir dir;
  const std::string path = dir.file("kinds.xlsx");
  {
    XlsxWriterBook book(path);
    lxw_worksheet* sheet = book.addSheet("値");
    worksheet_write_number(sheet, 0, 0, 10, nullptr);
    worksheet_write_number(sheet, 0, 1, 1.5, nullptr);
    worksheet_write_number(sheet, 0, 2, 0.1 + 0.2, nullptr);
    worksheet_write_number(sheet, 0, 3, -1234567.25, nullptr);
    worksheet_write_formula_num(sheet, 1, 0, "=A1*2", nullptr, 20);
    worksheet_write_formula_str(sheet, 1, 1, "=\"顧\"&\"客\"", nullptr, "顧客");
    worksheet_write_boolean(sheet, 2, 0, 1, nullptr);
    worksheet_write_boolean(sheet, 2, 1, 0, nullptr);
    worksheet_write_string(sheet, 3, 0, "受注明細", nullptr);
    worksheet_write_string(sheet, 3, 1, " Int ", nullptr);
    worksheet_write_string(sheet, 3, 2, "\xE3\x80\x80全角空白\xE3\x80\x80", nullptr);
    worksheet_write_string(sheet, 3, 3, "一行目\n二行目", nullptr);
    lxw_format* bold = workbook_add_format(book.get());
    format_set_bold(bold);
    lxw_rich_string_tuple first = {nullptr, const_cast<char*>("顧客")};
    lxw_rich_string_tuple second = {bold, const_cast<char*>("ID")};
    lxw_rich_string_tuple* runs[] = {&first, &second, nullptr};
    worksheet_write_rich_string(sheet, 4, 0, runs, nullptr);
    worksheet_write_number(sheet, 998, 98, 7, nullptr);   // CU999: the last kept cell
    worksheet_write_number(sheet, 999, 0, 8, nullptr);    // A1000
    worksheet_write_number(sheet, 0, 99, 9, nullptr);     // CV1
    book.close();
  }
  auto book = openOrFail(path);
  ASSERT_TRUE(book);
  ASSERT_EQ(book->sheetCount(), 1);
  const SheetCells cells = book->readSheet(1);
  EXPECT_EQ(cells.name(), "値");
  EXPECT_EQ(cells.text(1, 1), "10");
  EXPECT_EQ(cells.text(1, 2), "1.5");
  EXPECT_EQ(cells.text(1, 3), "0.3");
  EXPECT_EQ(cells.text(1, 4), "-1234567.25");
  EXPECT_EQ(cells.text(2, 1), "20");
  EXPECT_EQ(cells.text(2, 2), "顧客");
  EXPECT_EQ(cells.text(3, 1), "True");
  EXPECT_EQ(cells.text(3, 2), "False");
  EXPECT_EQ(cells.text(4, 1), "受注明細");
  EXPECT_EQ(cells.text(4, 2), " Int ");
  EXPECT_EQ(cells.text(4, 3), "\xE3\x80\x80全角空白\xE3\x80\x80");
  EXPECT_EQ(cells.text(4, 4), "一行目\n二行目");
  EXPECT_EQ(cells.text(5, 1), "顧客ID");
  EXPECT_EQ(cells.text(6, 1), "");
  EXPECT_EQ(cells.text(999, 99), "7");
  EXPECT_EQ(cells.text(1000, 1), "");
  EXPECT_EQ(cells.text(1, 100), "");
}

TEST(XlsxCells, DateFormattedNumbersBecomeDatesAndTimes) {
  TempDir dir;
  const std::string path = dir.file("dates.xlsx");
  {
    XlsxWriterBook book(path);
    lxw_worksheet* sheet = book.addSheet();
    lxw_format* builtin = workbook_add_format(book.get());
    format_set_num_format_index(builtin, 14);
    lxw_format* japanese = book.numberFormat("yyyy\"年\"m\"月\"d\"日\"");
    lxw_format* elapsed = book.numberFormat("[h]:mm:ss");
    lxw_format* money = book.numberFormat("#,##0.00;[Red]-#,##0.00");
    lxw_format* quotedLetters = book.numberFormat("0\" days\"");
    lxw_datetime day = {2024, 4, 1, 0, 0, 0};
    lxw_datetime moment = {2024, 6, 15, 13, 5, 9};
    worksheet_write_datetime(sheet, 0, 0, &day, builtin);
    worksheet_write_datetime(sheet, 0, 1, &moment, japanese);
    worksheet_write_number(sheet, 0, 2, 0.5, elapsed);
    worksheet_write_number(sheet, 0, 3, 45383, money);
    worksheet_write_number(sheet, 0, 4, 3, quotedLetters);
    worksheet_write_number(sheet, 0, 5, -1, builtin);
    book.close();
  }
  auto book = openOrFail(path);
  ASSERT_TRUE(book);
  const SheetCells cells = book->readSheet(1);
  EXPECT_EQ(cells.text(1, 1), "2024/04/01");
  EXPECT_EQ(cells.text(1, 2), "2024/06/15 13:05:09");
  EXPECT_EQ(cells.text(1, 3), "12:00:00");
  EXPECT_EQ(cells.text(1, 4), "45383");
  EXPECT_EQ(cells.text(1, 5), "3");
  // No date can be negative: the number itself comes through.
  EXPECT_EQ(cells.text(1, 6), "-1");
}

TEST(XlsxCells, InlineStringsReadLikeSharedOnes) {
  TempDir dir;
  const std::string path = dir.file("inline.xlsx");
  {
    XlsxWriterBook book(path, /*constantMemory=*/true);
    lxw_worksheet* sheet = book.addSheet("受注");
    worksheet_write_string(sheet, 2, 2, "受注", nullptr);
    worksheet_write_string(sheet, 5, 3, " 受注番号 ", nullptr);
    worksheet_write_number(sheet, 5, 5, 10, nullptr);
    book.close();
  }
  const auto zip = ZipArchive::open(path);
  ASSERT_TRUE(zip);
  auto part = zip->find("xl/worksheets/sheet1.xml");
  ASSERT_TRUE(part);
  ASSERT_NE(part->readAll().find("inlineStr"), std::string::npos) << "the test needs inline strings";
  auto book = openOrFail(path);
  ASSERT_TRUE(book);
  const SheetCells cells = book->readSheet(1);
  EXPECT_EQ(cells.text(3, 3), "受注");
  EXPECT_EQ(cells.text(6, 4), " 受注番号 ");
  EXPECT_EQ(cells.text(6, 6), "10");
}

TEST(XlsxCells, SharedStringsJoinRunsDropPhoneticGuidesAndDecodeEscapes) {
  TempDir dir;
  HandPackage package;
  package.sharedStrings = std::string("<sst xmlns=\"") + test::kMainNs + "\" count=\"4\" uniqueCount=\"4\">" +
                          "<si><r><rPr><b/></rPr><t>顧客</t></r><r><t xml:space=\"preserve\">名 </t></r>"
                          "<rPh sb=\"0\" eb=\"2\"><t>コキャク</t></rPh><phoneticPr fontId=\"1\"/></si>"
                          "<si><t>改行_x000D__x000A_あり</t></si>"
                          "<si><t>_x005F_x0041_ と _x0041_ と _xD83D__xDE00_</t></si>"
                          "<si><t/></si></sst>";
  package.sheets = {test::worksheetXml(
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"C1\" t=\"s\"><v>2</v></c>"
      "<c r=\"D1\" t=\"s\"><v>3</v></c>"
      "<c r=\"E1\" t=\"inlineStr\"><is><r><t>受注</t></r><r><t>明細</t></r><rPh sb=\"0\" eb=\"1\"><t>ジュ</t></rPh>"
      "</is></c></row>")};
  const SheetCells cells = handSheet(dir, package);
  EXPECT_EQ(cells.text(1, 1), "顧客名 ");
  EXPECT_EQ(cells.text(1, 2), "改行\r\nあり");
  EXPECT_EQ(cells.text(1, 3), "_x0041_ と A と \xF0\x9F\x98\x80");
  EXPECT_EQ(cells.text(1, 4), "");
  EXPECT_EQ(cells.text(1, 5), "受注明細");
}

TEST(XlsxCells, CellsWithoutReferencesFollowThePreviousOnes) {
  TempDir dir;
  HandPackage package;
  package.sheets = {test::worksheetXml(
      "<row><c t=\"inlineStr\"><is><t>A1</t></is></c><c><v>2</v></c></row>"
      "<row r=\"3\"><c r=\"C3\"><v>33</v></c><c><v>34</v></c></row>"
      "<row><c r=\"B4\"><v>42</v></c><c/><c><v>44</v></c></row>"
      "<row r=\"999\"><c><v>999</v></c></row><row><c><v>1000</v></c></row>")};
  const SheetCells cells = handSheet(dir, package);
  EXPECT_EQ(cells.text(1, 1), "A1");
  EXPECT_EQ(cells.text(1, 2), "2");
  EXPECT_EQ(cells.text(3, 3), "33");
  EXPECT_EQ(cells.text(3, 4), "34");
  EXPECT_EQ(cells.text(4, 2), "42");
  EXPECT_EQ(cells.text(4, 3), "");
  EXPECT_EQ(cells.text(4, 4), "44");
  EXPECT_EQ(cells.text(999, 1), "999");
  EXPECT_EQ(cells.size(), 7u);
}

TEST(XlsxCells, PrefixedNamespacesAreTheSameElements) {
  TempDir dir;
  HandPackage package;
  const std::string ns = test::kMainNs;
  package.sharedStrings = "<x:sst xmlns:x=\"" + ns + "\"><x:si><x:t>顧客</x:t></x:si></x:sst>";
  package.sheets = {"<x:worksheet xmlns:x=\"" + ns + "\"><x:sheetData><x:row r=\"3\">"
                    "<x:c r=\"C3\" t=\"s\"><x:v>0</x:v></x:c>"
                    "<x:c r=\"D3\" t=\"inlineStr\"><x:is><x:t>名前</x:t></x:is></x:c>"
                    "<other:c xmlns:other=\"urn:elsewhere\" r=\"E3\"><other:v>1</other:v></other:c>"
                    "</x:row></x:sheetData></x:worksheet>"};
  auto parts = package.parts();
  test::part(parts, "xl/workbook.xml") =
      "<s:workbook xmlns:s=\"" + ns + "\" xmlns:rel=\"" + test::kRelNs +
      "\"><s:sheets><s:sheet name=\"接頭辞\" sheetId=\"1\" rel:id=\"rId1\"/></s:sheets></s:workbook>";
  const std::string path = dir.file("prefixed.xlsx");
  test::writeZip(path, parts);
  auto book = openOrFail(path);
  ASSERT_TRUE(book);
  const SheetCells cells = book->readSheet(1);
  EXPECT_EQ(cells.name(), "接頭辞");
  EXPECT_EQ(cells.text(3, 3), "顧客");
  EXPECT_EQ(cells.text(3, 4), "名前");
  EXPECT_EQ(cells.text(3, 5), "");
}

TEST(XlsxCells, TheDateSystemAndDateCellsOfTheWorkbookAreHonoured) {
  TempDir dir;
  HandPackage package;
  package.workbookPr = "<workbookPr date1904=\"1\"/>";
  package.styles = std::string("<styleSheet xmlns=\"") + test::kMainNs + "\">" +
                   "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy/mm/dd\"/></numFmts>"
                   "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\"/></cellStyleXfs>"
                   "<cellXfs count=\"3\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"22\"/></cellXfs>"
                   "</styleSheet>";
  package.sheets = {test::worksheetXml(
      "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>0</v></c><c r=\"B1\" s=\"1\"><v>43921</v></c>"
      "<c r=\"C1\" s=\"2\"><v>1.25</v></c><c r=\"D1\" s=\"0\"><v>\n 43920 </v></c>"
      "<c r=\"E1\" t=\"d\"><v>2024-04-01T00:00:00</v></c><c r=\"F1\" t=\"d\"><v>2024-04-01T10:20:30.4Z</v></c>"
      "<c r=\"G1\" s=\"99\"><v>5</v></c></row>")};
  const SheetCells cells = handSheet(dir, package);
  EXPECT_EQ(cells.text(1, 1), "1904/01/01");
  EXPECT_EQ(cells.text(1, 2), "2024/04/01");
  EXPECT_EQ(cells.text(1, 3), "1904/01/02 06:00:00");
  EXPECT_EQ(cells.text(1, 4), "43920");
  EXPECT_EQ(cells.text(1, 5), "2024/04/01");
  EXPECT_EQ(cells.text(1, 6), "2024/04/01 10:20:30");
  EXPECT_EQ(cells.text(1, 7), "5");
}

TEST(XlsxCells, AFormulaWithoutCachedResultIsEmpty) {
  TempDir dir;
  HandPackage package;
  package.sheets = {test::worksheetXml(
      "<row r=\"1\"><c r=\"A1\"><f>B1+1</f></c><c r=\"B1\" t=\"str\"><f>\"a\"</f><v>a_x0020_b</v></c>"
      "<c r=\"C1\" t=\"b\"><f>TRUE()</f><v>1</v></c></row>")};
  const SheetCells cells = handSheet(dir, package);
  EXPECT_EQ(cells.text(1, 1), "");
  EXPECT_EQ(cells.text(1, 2), "a b");
  EXPECT_EQ(cells.text(1, 3), "True");
}

TEST(XlsxCells, AnErrorCellFailsWhenReadNamingSheetCellAndValue) {
  TempDir dir;
  HandPackage package;
  package.sheets = {test::worksheetXml(
      "<row r=\"3\"><c r=\"C3\" t=\"e\"><f>VLOOKUP(1,A:A,2)</f><v>#N/A</v></c><c r=\"D3\"><v>1</v></c></row>")};
  const SheetCells cells = handSheet(dir, package);
  EXPECT_EQ(cells.text(3, 4), "1");
  try {
    cells.text(3, 3);
    FAIL() << "an error value must not read as text";
  } catch (const WorkbookError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("Sheet1"), std::string::npos) << message;
    EXPECT_NE(message.find("C3"), std::string::npos) << message;
    EXPECT_NE(message.find("#N/A"), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
}

TEST(XlsxSheets, OnlyWorksheetsCountInTheWorkbooksOwnOrder) {
  TempDir dir;
  HandPackage package;
  package.sheets = {test::worksheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"),
                    test::worksheetXml("<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>"),
                    test::worksheetXml("<row r=\"1\"><c r=\"A1\"><v>3</v></c></row>")};
  auto parts = package.parts();
  // Workbook order: sheet3 (hidden), a chart sheet, sheet1, a macro sheet, sheet2.
  test::part(parts, "xl/workbook.xml") =
      std::string("<workbook xmlns=\"") + test::kMainNs + "\" xmlns:r=\"" + test::kRelNs +
      "\"><sheets><sheet name=\"三\" sheetId=\"3\" state=\"hidden\" r:id=\"rId3\"/>"
      "<sheet name=\"グラフ\" sheetId=\"4\" r:id=\"rIdC\"/><sheet name=\"一\" sheetId=\"1\" r:id=\"rId1\"/>"
      "<sheet name=\"マクロ\" sheetId=\"5\" r:id=\"rIdM\"/><sheet name=\"二\" sheetId=\"2\" r:id=\"rId2\"/>"
      "</sheets></workbook>";
  std::string& rels = test::part(parts, "xl/_rels/workbook.xml.rels");
  rels.insert(rels.find("</Relationships>"),
              std::string("<Relationship Id=\"rIdC\" Type=\"") + test::kRelNs +
                  "/chartsheet\" Target=\"chartsheets/sheet1.xml\"/><Relationship Id=\"rIdM\" "
                  "Type=\"http://schemas.microsoft.com/office/2006/relationships/xlMacrosheet\" "
                  "Target=\"/xl/macrosheets/sheet1.xml\"/>");
  test::part(parts, "xl/chartsheets/sheet1.xml") = std::string("<chartsheet xmlns=\"") + test::kMainNs + "\"/>";
  test::part(parts, "xl/macrosheets/sheet1.xml") = test::worksheetXml("<row r=\"1\"><c r=\"A1\"><v>9</v></c></row>");
  const std::string path = dir.file("order.xlsx");
  test::writeZip(path, parts);
  auto book = openOrFail(path);
  ASSERT_TRUE(book);
  ASSERT_EQ(book->sheetCount(), 3);
  EXPECT_EQ(book->readSheet(1).name(), "三");
  EXPECT_EQ(book->readSheet(1).text(1, 1), "3");
  EXPECT_EQ(book->readSheet(2).text(1, 1), "1");
  EXPECT_EQ(book->readSheet(3).name(), "二");
  EXPECT_EQ(book->readSheet(3).text(1, 1), "2");
}

}  // namespace
}  // namespace morvane::platform
