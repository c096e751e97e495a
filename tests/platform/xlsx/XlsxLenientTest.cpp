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

TEST(XlsxLenient, APartInUtf16IsRead) {
  HandPackage package;
  package.sheets = {""};
  ZipParts parts = package.parts();
  const std::string xml = worksheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>顧客𠮷</t></is></c></row>");
  // UTF-8 to UTF-16LE with its byte order mark, by hand for the few characters used here.
  std::u32string codes;
  for (std::size_t i = 0; i < xml.size();) {
    const auto b = static_cast<unsigned char>(xml[i]);
    const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t code = n == 1 ? b : b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) code = code << 6 | (static_cast<unsigned char>(xml[i + k]) & 0x3F);
    codes += code;
    i += n;
  }
  std::string utf16 = "\xFF\xFE";
  auto unit = [&](char32_t u) { utf16 += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)}; };
  for (char32_t code : codes) {
    if (code >= 0x10000) {
      unit(0xD800 + ((code - 0x10000) >> 10));
      unit(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      unit(code);
    }
  }
  part(parts, "xl/worksheets/sheet1.xml") = utf16;
  EXPECT_EQ(firstSheet(parts).text(1, 1), "顧客𠮷");
}

}  // namespace
}  // namespace morvane::test
