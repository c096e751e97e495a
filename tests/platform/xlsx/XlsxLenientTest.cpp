// Packages other programs write and read, though they bend the rules: empty shared-string
// values, backslashes and other letter case in part names, relative and absolute targets,
// missing optional parts, strict namespaces and the less common forms of XML.
#include <gtest/gtest.h>

#include "tests/platform/WorkbookTestSupport.h"
#include "tests/support/XlsxPackage.h"

namespace morvane::test {
namespace {

using platform::SheetCells;

SheetCells firstSheet(const ZipParts& parts) {
  TempDir dir;
  writeZip(dir.file("book.xlsx"), parts);
  return platform::openWorkbook(dir.file("book.xlsx"))->readSheet(1);
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

const std::string kStrings = std::string("<sst xmlns=\"") + kMainNs + "\" count=\"2\" uniqueCount=\"2\">"
                             "<si><t>顧客</t></si><si><r><t>受</t></r><r><t>注</t></r><rPh><t>ジュ</t></rPh></si></sst>";

HandPackage withStrings(const std::string& sheetData) {
  HandPackage package;
  package.sharedStrings = kStrings;
  package.sheets = {worksheetXml(sheetData)};
  return package;
}

TEST(XlsxLenient, AnEmptyValueIsAnEmptyCellWhateverItsType) {
  const SheetCells cells = firstSheet(withStrings("<row r=\"1\"><c r=\"A1\" t=\"s\"><v/></c><c r=\"B1\" t=\"s\"><v></v></c>"
                                                  "<c r=\"C1\" t=\"s\"><v>1</v></c><c r=\"D1\"><v/></c>"
                                                  "<c r=\"E1\" t=\"b\"><v/></c><c r=\"F1\" t=\"s\"><v>0</v></c></row>")
                                          .parts());
  expectCells(cells, {{1, 1, ""}, {1, 2, ""}, {1, 3, "受注"}, {1, 4, ""}, {1, 5, ""}, {1, 6, "顧客"}});
}

// Plain items are read on the quick path; an item it does not know (here a reference, then a
// rich run) halfway through sends the whole part to the full path, which must start afresh.
TEST(XlsxLenient, SharedStringsReadTheSameOnEitherPath) {
  const std::string plain = "<si><t>顧客</t></si>\n  <si><t xml:space=\"preserve\"> 名 </t></si><si><t/></si>"
                            "<si><t>改行_x000D__x000A_あり</t></si>";
  for (const std::string tail : {"<si><t>末尾</t></si>", "<si><t>末&amp;尾</t></si>", "<si><r><t>末</t></r><r><t>尾</t></r></si>"}) {
    SCOPED_TRACE(tail);
    HandPackage package;
    package.sharedStrings = std::string("<sst xmlns=\"") + kMainNs + "\" uniqueCount=\"5\">" + plain + tail + "</sst>\n";
    package.sheets = {worksheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                                   "<c r=\"C1\" t=\"s\"><v>2</v></c><c r=\"D1\" t=\"s\"><v>3</v></c>"
                                   "<c r=\"E1\" t=\"s\"><v>4</v></c></row>")};
    const std::string last = tail.find("&amp;") != std::string::npos ? "末&尾" : "末尾";
    expectCells(firstSheet(package.parts()), {{1, 1, "顧客"}, {1, 2, " 名 "}, {1, 3, ""}, {1, 4, "改行\r\nあり"}, {1, 5, last}});
    // One item more than the table holds is still an index out of range.
    package.sheets = {worksheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>5</v></c></row>")};
    TempDir dir;
    writeZip(dir.file("book.xlsx"), package.parts());
    EXPECT_NE(sheetError(*platform::openWorkbook(dir.file("book.xlsx"))).find("共有文字列 5"), std::string::npos);
  }
}

TEST(XlsxLenient, PartNamesWithBackslashesOrInOtherLetterCaseAreTheSameParts) {
  const auto sheetData = "<row r=\"2\"><c r=\"B2\" t=\"s\"><v>1</v></c><c r=\"C2\"><v>42</v></c></row>";
  for (const bool backslashes : {true, false}) {
    ZipParts parts = withStrings(sheetData).parts();
    for (auto& [name, content] : parts) {
      if (!name.starts_with("xl/")) continue;
      if (backslashes) replaceAll(name, "/", "\\");
      else if (name == "xl/worksheets/sheet1.xml") name = "xl/Worksheets/Sheet1.XML";
      else if (name == "xl/sharedStrings.xml") name = "XL/SHAREDSTRINGS.xml";
    }
    TempDir dir;
    writeZip(dir.file("book.xlsx"), parts);
    // The zip writer must keep the names as given, or this case tests nothing.
    ASSERT_NE(readBytes(dir.file("book.xlsx")).find(backslashes ? "xl\\worksheets\\sheet1.xml" : "xl/Worksheets/Sheet1.XML"),
              std::string::npos);
    expectCells(platform::openWorkbook(dir.file("book.xlsx"))->readSheet(1), {{2, 2, "受注"}, {2, 3, "42"}});
  }
}

TEST(XlsxLenient, RelationshipTargetsRelativeOrAbsolute) {
  HandPackage package;
  for (int n = 1; n <= 4; ++n) {
    package.sheets.push_back(worksheetXml("<row r=\"1\"><c r=\"A1\"><v>" + std::to_string(n) + "</v></c></row>"));
  }
  ZipParts parts = package.parts();
  std::string& rels = part(parts, "xl/_rels/workbook.xml.rels");
  replaceAll(rels, "\"worksheets/sheet1.xml\"", "\"./worksheets/sheet1.xml\"");
  replaceAll(rels, "\"worksheets/sheet2.xml\"", "\"../xl/worksheets/sheet2.xml\"");
  replaceAll(rels, "\"worksheets/sheet3.xml\"", "\"/xl/worksheets/sheet3.xml\"");
  replaceAll(rels, "\"worksheets/sheet4.xml\"", "\"worksheets\\sheet4.xml\"");
  replaceAll(part(parts, "_rels/.rels"), "\"xl/workbook.xml\"", "\"/xl/workbook.xml\"");
  TempDir dir;
  writeZip(dir.file("book.xlsx"), parts);
  auto book = platform::openWorkbook(dir.file("book.xlsx"));
  ASSERT_EQ(book->sheetCount(), 4);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(book->readSheet(n).text(1, 1), std::to_string(n)) << n;
}

TEST(XlsxLenient, WithoutSharedStringsOrStylesNumbersAndInlineTextRead) {
  HandPackage package;
  // A style index with no styles part: a plain number.
  package.sheets = {worksheetXml("<row r=\"1\"><c r=\"A1\" s=\"3\"><v>45383</v></c>"
                                 "<c r=\"B1\" t=\"inlineStr\"><is><t>名前</t></is></c></row>")};
  expectCells(firstSheet(package.parts()), {{1, 1, "45383"}, {1, 2, "名前"}});
}

TEST(XlsxLenient, StrictNamespacesReadLikeTransitionalOnes) {
  ZipParts parts = withStrings("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\"><v>7</v></c></row>").parts();
  for (auto& [name, content] : parts) {
    replaceAll(content, kMainNs, "http://purl.oclc.org/ooxml/spreadsheetml/main");
    replaceAll(content, kRelNs, "http://purl.oclc.org/ooxml/officeDocument/relationships");
  }
  expectCells(firstSheet(parts), {{1, 1, "顧客"}, {1, 2, "7"}});
}

TEST(XlsxLenient, LessCommonFormsOfXml) {
  HandPackage package;
  package.sheets = {worksheetXml(
      "<!-- written by hand --><?custom instruction?>"
      "<row r=\"1\"><c r='A1' t=\"inlineStr\"><is><t><![CDATA[<a & b>]]></t></is></c>"
      "<c r=\"B1\" t=\"inlineStr\"><is><t>&#x41;&#12354;&lt;&amp;&gt;&quot;&apos;</t></is></c>"
      "<c r=\"C1\" t=\"inlineStr\"><is><t>一行目\r\n二行目\r三行目</t></is></c>"
      "<c r = \"D1\" ><v> 12 </v></c></row>")};
  ZipParts parts = package.parts();
  part(parts, "xl/workbook.xml").replace(part(parts, "xl/workbook.xml").find("Sheet1"), 6, "A&amp;B\nC&#9;D");
  const SheetCells cells = firstSheet(parts);
  // White space in an attribute value is a blank; a character reference stays what it says.
  EXPECT_EQ(cells.name(), "A&B C\tD");
  expectCells(cells, {{1, 1, "<a & b>"}, {1, 2, "Aあ<&>\"'"}, {1, 3, "一行目\n二行目\n三行目"}, {1, 4, "12"}});
}

// Each in UTF-16: little-endian with its byte order mark, and big-endian without one, told
// by the XML declaration's bytes.
TEST(XlsxLenient, APartInUtf16IsRead) {
  const std::string xml = worksheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>顧客𠮷</t></is></c></row>");
  // UTF-8 to code points, by hand for the few characters used here.
  std::u32string codes;
  for (std::size_t i = 0; i < xml.size();) {
    const auto b = static_cast<unsigned char>(xml[i]);
    const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t code = n == 1 ? b : b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) code = code << 6 | (static_cast<unsigned char>(xml[i + k]) & 0x3F);
    codes += code;
    i += n;
  }
  for (const bool bigEndian : {false, true}) {
    std::string utf16 = bigEndian ? "" : "\xFF\xFE";
    auto unit = [&](char32_t u) {
      const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
      utf16 += bigEndian ? std::string{high, low} : std::string{low, high};
    };
    for (char32_t code : codes) {
      if (code >= 0x10000) {
        unit(0xD800 + ((code - 0x10000) >> 10));
        unit(0xDC00 + ((code - 0x10000) & 0x3FF));
      } else {
        unit(code);
      }
    }
    HandPackage package;
    package.sheets = {utf16};
    EXPECT_EQ(firstSheet(package.parts()).text(1, 1), "顧客𠮷") << bigEndian;
  }
}

// Shapes seen in other programs' files: a text starting with '#' is an error value read.
TEST(XlsxLenient, ShapesOtherReadersRead) {
  const std::string dateStyles = std::string("<styleSheet xmlns=\"") + kMainNs +
                                 "\"><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>"
                                 "<dxfs><dxf><numFmt numFmtId=\"14\" formatCode=\"0.00\"/></dxf></dxfs></styleSheet>";
  const struct {
    const char* what;
    std::string sheetData;
    std::string styles;
    std::vector<CellIs> cells;
  } shapes[] = {
      {"a differential format redefining a cell's format", "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>39097</v></c></row>",
       dateStyles, {{1, 1, "2007/01/15"}}},
      {"lower-case references", "<row r=\"2\"><c r=\"b2\"><v>5</v></c><c r=\"ab2\"><v>6</v></c></row>", "",
       {{2, 2, "5"}, {2, 28, "6"}}},
      {"ISO dates, times and durations of strict files",
       "<row r=\"1\"><c r=\"A1\" t=\"d\"><v>PT0H11M0.000S</v></c><c r=\"B1\" t=\"d\"><v>1899-12-30</v></c>"
       "<c r=\"C1\" t=\"d\"><v>1899-12-30T06:00:00</v></c><c r=\"D1\" t=\"d\"><v>P1DT12H</v></c>"
       "<c r=\"E1\" t=\"d\"><v>1900-01-01</v></c><c r=\"F1\" t=\"d\"><v>P1M</v></c></row>",
       "", {{1, 1, "00:11:00"}, {1, 2, "00:00:00"}, {1, 3, "06:00:00"}, {1, 4, "1900/01/01 12:00:00"},
            {1, 5, "1900/01/01"}, {1, 6, "P1M"}}},
      {"a number that is not one", "<row r=\"1\"><c r=\"A1\"><v>NaN</v></c></row>", "", {{1, 1, "#NUM!"}}},
  };
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape.what);
    HandPackage package;
    package.sheets = {worksheetXml(shape.sheetData)};
    package.styles = shape.styles;
    const SheetCells cells = firstSheet(package.parts());
    for (const auto& [row, col, text] : shape.cells) {
      if (text.starts_with('#')) EXPECT_NE(cellError(cells, row, col).find(text), std::string::npos);
      else EXPECT_EQ(cells.text(row, col), text) << platform::cellReference(row, col);
    }
  }
  // A sheet whose relationship is empty or not there is kept in its place as one that does not exist.
  HandPackage package;
  package.sheets = {worksheetXml(""), worksheetXml("<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>")};
  ZipParts parts = package.parts();
  std::string& workbook = part(parts, "xl/workbook.xml");
  workbook.replace(workbook.find("rId1"), 4, "");
  workbook.insert(workbook.find("</sheets>"), "<sheet name=\"無\" sheetId=\"9\" r:id=\"rId99\"/>");
  TempDir dir;
  writeZip(dir.file("book.xlsx"), parts);
  const auto book = platform::openWorkbook(dir.file("book.xlsx"));
  ASSERT_EQ(book->sheetCount(), 3);
  EXPECT_FALSE(book->hasSheet(1));
  EXPECT_TRUE(book->hasSheet(2));
  EXPECT_FALSE(book->hasSheet(3));
  EXPECT_NE(sheetError(*book, 1).find("の参照  が"), std::string::npos) << sheetError(*book, 1);
  EXPECT_EQ(book->readSheet(2).text(1, 1), "2");
}

}  // namespace
}  // namespace morvane::test
