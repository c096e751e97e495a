// Cell values of .xlsx workbooks as text: what libxlsxwriter writes, and hand-made packages
// for the shapes it never writes.
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include "platform/xlsx/XlsxWorkbook.h"
#include "platform/xlsx/ZipArchive.h"
#include "tests/platform/WorkbookTestSupport.h"
#include "tests/support/XlsxPackage.h"

namespace morvane::test {
namespace {

using platform::SheetCells;

SheetCells readFirstSheet(const std::string& path) {
  auto book = platform::openWorkbook(path);
  if (!book) {
    ADD_FAILURE() << "cannot open " << path;
    return {};
  }
  return book->readSheet(1);
}

SheetCells handSheet(const TempDir& dir, const ZipParts& parts) {
  const std::string path = dir.file("hand.xlsx");
  writeZip(path, parts);
  return readFirstSheet(path);
}

// Shared strings, and with constantMemory inline ones: both must read alike.
TEST(XlsxCells, ValuesOfEveryKindTurnIntoText) {
  TempDir dir;
  for (const bool inlineStrings : {false, true}) {
    SCOPED_TRACE(inlineStrings);
    const std::string path = dir.file(inlineStrings ? "inline.xlsx" : "shared.xlsx");
    {
      XlsxWriterBook book(path, inlineStrings);
      lxw_worksheet* sheet = book.addSheet("値");
      // Rows in ascending order: constant memory mode writes each row as it is left.
      worksheet_write_number(sheet, 0, 0, 10, nullptr);
      worksheet_write_number(sheet, 0, 1, 1.5, nullptr);
      worksheet_write_number(sheet, 0, 2, 0.1 + 0.2, nullptr);
      worksheet_write_number(sheet, 0, 3, -1234567.25, nullptr);
      worksheet_write_number(sheet, 0, 99, 9, nullptr);  // CV1
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
      lxw_format* builtinDate = workbook_add_format(book.get());
      format_set_num_format_index(builtinDate, 14);
      lxw_datetime day = {2024, 4, 1, 0, 0, 0};
      lxw_datetime moment = {2024, 6, 15, 13, 5, 9};
      worksheet_write_datetime(sheet, 5, 0, &day, builtinDate);
      worksheet_write_datetime(sheet, 5, 1, &moment, book.numberFormat("yyyy\"年\"m\"月\"d\"日\""));
      worksheet_write_number(sheet, 5, 2, 0.5, book.numberFormat("[h]:mm:ss"));
      worksheet_write_number(sheet, 5, 3, 45383, book.numberFormat("#,##0.00;[Red]-#,##0.00"));
      worksheet_write_number(sheet, 5, 4, 3, book.numberFormat("0\" days\""));
      worksheet_write_number(sheet, 5, 5, -1, builtinDate);  // no date can be negative
      worksheet_write_number(sheet, 998, 98, 7, nullptr);   // CU999: the last kept cell
      worksheet_write_number(sheet, 999, 0, 8, nullptr);    // A1000
      book.close();
    }
    const auto zip = platform::ZipArchive::open(path);
    ASSERT_TRUE(zip);
    auto part = zip->find("xl/worksheets/sheet1.xml");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->view().find("inlineStr") != std::string::npos, inlineStrings);
    const SheetCells cells = readFirstSheet(path);
    EXPECT_EQ(cells.name(), "値");
    expectCells(cells, {{1, 1, "10"},        {1, 2, "1.5"},      {1, 3, "0.3"},
                        {1, 4, "-1234567.25"}, {2, 1, "20"},     {2, 2, "顧客"},
                        {3, 1, "True"},      {3, 2, "False"},    {4, 1, "受注明細"},
                        {4, 2, " Int "},     {4, 3, "\xE3\x80\x80全角空白\xE3\x80\x80"},
                        {4, 4, "一行目\n二行目"}, {5, 1, "顧客ID"}, {6, 1, "2024/04/01"},
                        {6, 2, "2024/06/15 13:05:09"}, {6, 3, "12:00:00"}, {6, 4, "45383"},
                        {6, 5, "3"},         {6, 6, "-1"},       {7, 1, ""},
                        {999, 99, "7"},      {1000, 1, ""},      {1, 100, ""}});
  }
}

TEST(XlsxCells, StringsFormulaResultsErrorsAndDatesOfHandMadeParts) {
  TempDir dir;
  HandPackage package;
  package.workbookPr = "<workbookPr date1904=\"1\"/>";
  package.styles = std::string("<styleSheet xmlns=\"") + kMainNs + "\">" +
                   "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy/mm/dd\"/></numFmts>"
                   "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\"/></cellStyleXfs>"
                   "<cellXfs count=\"3\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"22\"/></cellXfs>"
                   "</styleSheet>";
  package.sharedStrings = std::string("<sst xmlns=\"") + kMainNs + "\" count=\"4\" uniqueCount=\"4\">" +
                          "<si><r><rPr><b/></rPr><t>顧客</t></r><r><t xml:space=\"preserve\">名 </t></r>"
                          "<rPh sb=\"0\" eb=\"2\"><t>コキャク</t></rPh><phoneticPr fontId=\"1\"/></si>"
                          "<si><t>改行_x000D__x000A_あり</t></si>"
                          "<si><t>_x005F_x0041_ と _x0041_ と _xD83D__xDE00_</t></si>"
                          "<si><t/></si></sst>";
  package.sheets = {worksheetXml(
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"C1\" t=\"s\"><v>2</v></c>"
      "<c r=\"D1\" t=\"s\"><v>3</v></c>"
      "<c r=\"E1\" t=\"inlineStr\"><is><r><t>受注</t></r><r><t>明細</t></r><rPh sb=\"0\" eb=\"1\"><t>ジュ</t></rPh>"
      "</is></c></row>"
      "<row r=\"2\"><c r=\"A2\"><f>B1+1</f></c><c r=\"B2\" t=\"str\"><f>\"a\"</f><v>a_x0020_b</v></c>"
      "<c r=\"C2\" t=\"b\"><f>TRUE()</f><v>1</v></c></row>"
      "<row r=\"3\"><c r=\"C3\" t=\"e\"><f>VLOOKUP(1,A:A,2)</f><v>#N/A</v></c><c r=\"D3\"><v>1</v></c></row>"
      // The 1904 date system; a cell format out of range shows the number.
      "<row r=\"4\"><c r=\"A4\" s=\"1\"><v>0</v></c><c r=\"B4\" s=\"1\"><v>43921</v></c>"
      "<c r=\"C4\" s=\"2\"><v>1.25</v></c><c r=\"D4\" s=\"0\"><v>\n 43920 </v></c>"
      "<c r=\"E4\" t=\"d\"><v>2024-04-01T00:00:00</v></c><c r=\"F4\" t=\"d\"><v>2024-04-01T10:20:30.4Z</v></c>"
      "<c r=\"G4\" s=\"99\"><v>5</v></c></row>")};
  const SheetCells cells = handSheet(dir, package.parts());
  expectCells(cells, {{1, 1, "顧客名 "}, {1, 2, "改行\r\nあり"}, {1, 3, "_x0041_ と A と \xF0\x9F\x98\x80"},
                      {1, 4, ""}, {1, 5, "受注明細"}, {2, 1, ""}, {2, 2, "a b"}, {2, 3, "True"}, {3, 4, "1"},
                      {4, 1, "1904/01/01"}, {4, 2, "2024/04/01"}, {4, 3, "1904/01/02 06:00:00"}, {4, 4, "43920"},
                      {4, 5, "2024/04/01"}, {4, 6, "2024/04/01 10:20:30"}, {4, 7, "5"}});
  const std::string message = cellError(cells, 3, 3);
  for (const char* part : {"Sheet1", "C3", "#N/A"}) EXPECT_NE(message.find(part), std::string::npos) << message;
  EXPECT_EQ(message.find('\n'), std::string::npos) << message;
}

TEST(XlsxCells, CellsWithoutReferencesFollowThePreviousOnes) {
  TempDir dir;
  HandPackage package;
  package.sheets = {worksheetXml(
      "<row><c t=\"inlineStr\"><is><t>A1</t></is></c><c><v>2</v></c></row>"
      "<row r=\"3\"><c r=\"C3\"><v>33</v></c><c><v>34</v></c></row>"
      "<row><c r=\"B4\"><v>42</v></c><c/><c><v>44</v></c></row>"
      "<row r=\"999\"><c><v>999</v></c></row><row><c><v>1000</v></c></row>")};
  const SheetCells cells = handSheet(dir, package.parts());
  expectCells(cells, {{1, 1, "A1"}, {1, 2, "2"}, {3, 3, "33"}, {3, 4, "34"}, {4, 2, "42"}, {4, 3, ""},
                      {4, 4, "44"}, {999, 1, "999"}});
  EXPECT_EQ(cells.size(), 7u);
}

TEST(XlsxCells, PrefixedNamespacesAreTheSameElements) {
  TempDir dir;
  HandPackage package;
  const std::string ns = kMainNs;
  package.sharedStrings = "<x:sst xmlns:x=\"" + ns + "\"><x:si><x:t>顧客</x:t></x:si></x:sst>";
  package.sheets = {"<x:worksheet xmlns:x=\"" + ns + "\"><x:sheetData><x:row r=\"3\">"
                    "<x:c r=\"C3\" t=\"s\"><x:v>0</x:v></x:c>"
                    "<x:c r=\"D3\" t=\"inlineStr\"><x:is><x:t>名前</x:t></x:is></x:c>"
                    "<other:c xmlns:other=\"urn:elsewhere\" r=\"E3\"><other:v>1</other:v></other:c>"
                    "</x:row></x:sheetData></x:worksheet>"};
  auto parts = package.parts();
  part(parts, "xl/workbook.xml") = "<s:workbook xmlns:s=\"" + ns + "\" xmlns:rel=\"" + kRelNs +
                                   "\"><s:sheets><s:sheet name=\"接頭辞\" sheetId=\"1\" rel:id=\"rId1\"/></s:sheets></s:workbook>";
  const SheetCells cells = handSheet(dir, parts);
  EXPECT_EQ(cells.name(), "接頭辞");
  expectCells(cells, {{3, 3, "顧客"}, {3, 4, "名前"}, {3, 5, ""}});
}

TEST(XlsxSheets, OnlyWorksheetsCountInTheWorkbooksOwnOrder) {
  TempDir dir;
  HandPackage package;
  for (const char* value : {"1", "2", "3"}) {
    package.sheets.push_back(worksheetXml(std::string("<row r=\"1\"><c r=\"A1\"><v>") + value + "</v></c></row>"));
  }
  auto parts = package.parts();
  // Workbook order: sheet3 (hidden), a chart sheet, sheet1, a macro sheet, sheet2.
  part(parts, "xl/workbook.xml") =
      std::string("<workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs +
      "\"><sheets><sheet name=\"三\" sheetId=\"3\" state=\"hidden\" r:id=\"rId3\"/>"
      "<sheet name=\"グラフ\" sheetId=\"4\" r:id=\"rIdC\"/><sheet name=\"一\" sheetId=\"1\" r:id=\"rId1\"/>"
      "<sheet name=\"マクロ\" sheetId=\"5\" r:id=\"rIdM\"/><sheet name=\"二\" sheetId=\"2\" r:id=\"rId2\"/>"
      "</sheets></workbook>";
  std::string& rels = part(parts, "xl/_rels/workbook.xml.rels");
  rels.insert(rels.find("</Relationships>"),
              std::string("<Relationship Id=\"rIdC\" Type=\"") + kRelNs +
                  "/chartsheet\" Target=\"chartsheets/sheet1.xml\"/><Relationship Id=\"rIdM\" "
                  "Type=\"http://schemas.microsoft.com/office/2006/relationships/xlMacrosheet\" "
                  "Target=\"/xl/macrosheets/sheet1.xml\"/>");
  part(parts, "xl/chartsheets/sheet1.xml") = std::string("<chartsheet xmlns=\"") + kMainNs + "\"/>";
  part(parts, "xl/macrosheets/sheet1.xml") = worksheetXml("<row r=\"1\"><c r=\"A1\"><v>9</v></c></row>");
  const std::string path = dir.file("order.xlsx");
  writeZip(path, parts);
  auto book = platform::openWorkbook(path);
  ASSERT_TRUE(book);
  ASSERT_EQ(book->sheetCount(), 3);
  const std::pair<const char*, const char*> expected[] = {{"三", "3"}, {"一", "1"}, {"二", "2"}};
  for (int n = 1; n <= 3; ++n) {
    const SheetCells sheet = book->readSheet(n);
    EXPECT_EQ(sheet.name(), expected[n - 1].first);
    EXPECT_EQ(sheet.text(1, 1), expected[n - 1].second);
  }
}

}  // namespace
}  // namespace morvane::test
