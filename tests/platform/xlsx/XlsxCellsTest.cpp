// .xlsx workbooks as text, from hand-made packages: the shapes libxlsxwriter (which writes the
// design books of the other tests) never writes, and what other programs write though it bends
// the rules.
#include <gtest/gtest.h>
#include <glib.h>

#include "tests/platform/WorkbookTestSupport.h"

namespace morvane::test {
namespace {

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) text.replace(at, from.size(), to);
  return text;
}

std::string sst(const std::string& items) { return std::string("<sst xmlns=\"") + kMainNs + "\">" + items + "</sst>"; }

Book handMadeParts() {
  HandPackage package;
  package.workbookPr = "<workbookPr date1904=\"1\"/>";
  package.styles = std::string("<styleSheet xmlns=\"") + kMainNs + "\">" +
                   "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy/mm/dd\"/></numFmts>"
                   "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\"/></cellStyleXfs>"
                   "<cellXfs count=\"3\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"22\"/></cellXfs>"
                   "</styleSheet>";
  package.sharedStrings = sst("<si><r><rPr><b/></rPr><t>顧客</t></r><r><t xml:space=\"preserve\">名 </t></r>"
                              "<rPh sb=\"0\" eb=\"2\"><t>コキャク</t></rPh><phoneticPr fontId=\"1\"/></si>"
                              "<si><t>改行_x000D__x000A_あり</t></si>"
                              "<si><t>_x005F_x0041_ と _x0041_ と _xD83D__xDE00_</t></si><si><t/></si>");
  package.sheets = {worksheetXml(
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"C1\" t=\"s\"><v>2</v></c>"
      "<c r=\"D1\" t=\"s\"><v>3</v></c>"
      "<c r=\"E1\" t=\"inlineStr\"><is><r><t>受注</t></r><r><t>明細</t></r><rPh sb=\"0\" eb=\"1\"><t>ジュ</t></rPh>"
      "</is></c></row>"
      "<row r=\"2\"><c r=\"A2\"><f>B1+1</f></c><c r=\"B2\" t=\"str\"><f>\"a\"</f><v>a_x0020_b</v></c>"
      "<c r=\"C2\" t=\"b\"><f>TRUE()</f><v>1</v></c><c r=\"D2\" t=\"b\"><v>0</v></c><c r=\"E2\"><v>-1234567.25</v></c></row>"
      "<row r=\"3\"><c r=\"C3\" t=\"e\"><f>VLOOKUP(1,A:A,2)</f><v>#N/A</v></c><c r=\"D3\"><v>1</v></c></row>"
      // The 1904 date system; a cell format out of range shows the number.
      "<row r=\"4\"><c r=\"A4\" s=\"1\"><v>0</v></c><c r=\"B4\" s=\"1\"><v>43921</v></c>"
      "<c r=\"C4\" s=\"2\"><v>1.25</v></c><c r=\"D4\" s=\"0\"><v>\n 43920 </v></c>"
      "<c r=\"E4\" t=\"d\"><v>2024-04-01T00:00:00</v></c><c r=\"F4\" t=\"d\"><v>2024-04-01T10:20:30.4Z</v></c>"
      "<c r=\"G4\" s=\"99\"><v>5</v></c></row>")};
  return {"hand-made parts", zipBytes(package.parts()),
          {{1,
            {{1, 1, "顧客名 "}, {1, 2, "改行\r\nあり"}, {1, 3, "_x0041_ と A と \xF0\x9F\x98\x80"}, {1, 4, ""},
             {1, 5, "受注明細"}, {2, 1, ""}, {2, 2, "a b"}, {2, 3, "True"}, {2, 4, "False"}, {2, 5, "-1234567.25"}, {3, 3, "#N/A"}, {3, 4, "1"},
             {4, 1, "1904/01/01"}, {4, 2, "2024/04/01"}, {4, 3, "1904/01/02 06:00:00"}, {4, 4, "43920"},
             {4, 5, "2024/04/01"}, {4, 6, "2024/04/01 10:20:30"}, {4, 7, "5"}}}}};
}

// Only worksheets count, hidden ones too, in the workbook's own order: sheet3 (hidden), a chart
// sheet, sheet1, a macro sheet, sheet2.
Book sheetOrder() {
  HandPackage package;
  for (const char* value : {"1", "2", "3"}) package.sheets.push_back(worksheetXml(std::string("<row r=\"1\"><c r=\"A1\"><v>") + value + "</v></c></row>"));
  ZipParts parts = package.parts();
  part(parts, "xl/workbook.xml") =
      std::string("<workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs +
      "\"><sheets><sheet name=\"三\" sheetId=\"3\" state=\"hidden\" r:id=\"rId3\"/>"
      "<sheet name=\"グラフ\" sheetId=\"4\" r:id=\"rIdC\"/><sheet name=\"一\" sheetId=\"1\" r:id=\"rId1\"/>"
      "<sheet name=\"マクロ\" sheetId=\"5\" r:id=\"rIdM\"/><sheet name=\"二\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>";
  std::string& rels = part(parts, "xl/_rels/workbook.xml.rels");
  rels.insert(rels.find("</Relationships>"),
              std::string("<Relationship Id=\"rIdC\" Type=\"") + kRelNs + "/chartsheet\" Target=\"chartsheets/sheet1.xml\"/>"
              "<Relationship Id=\"rIdM\" Type=\"http://schemas.microsoft.com/office/2006/relationships/xlMacrosheet\" "
              "Target=\"/xl/macrosheets/sheet1.xml\"/>");
  part(parts, "xl/chartsheets/sheet1.xml") = std::string("<chartsheet xmlns=\"") + kMainNs + "\"/>";
  part(parts, "xl/macrosheets/sheet1.xml") = worksheetXml("<row r=\"1\"><c r=\"A1\"><v>9</v></c></row>");
  return {"sheet order", zipBytes(parts),
          {{3, {{0, 0, "二"}, {1, 1, "2"}}}, {1, {{0, 0, "三"}, {1, 1, "3"}}}, {2, {{0, 0, "一"}, {1, 1, "1"}}}}, 3};
}

// Plain shared strings are read on a quick path; an item it does not know (a reference, a rich
// run) halfway through sends the whole part to the full path, which must start afresh.
std::vector<Book> sharedStringPaths() {
  std::vector<Book> books;
  const std::string plain = "<si><t>顧客</t></si>\n  <si><t xml:space=\"preserve\"> 名 </t></si><si><t/></si>"
                            "<si><t>改行_x000D__x000A_あり</t></si>";
  for (const std::string tail : {"<si><t>末尾</t></si>", "<si><t>末&amp;尾</t></si>", "<si><r><t>末</t></r><r><t>尾</t></r></si>"}) {
    books.push_back({tail, xlsxOf("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                                  "<c r=\"C1\" t=\"s\"><v>2</v></c><c r=\"D1\" t=\"s\"><v>3</v></c><c r=\"E1\" t=\"s\"><v>4</v></c></row>",
                                  sst(plain + tail)),
                     {{1, {{1, 1, "顧客"}, {1, 2, " 名 "}, {1, 3, ""}, {1, 4, "改行\r\nあり"},
                           {1, 5, tail.find("&amp;") != std::string::npos ? "末&尾" : "末尾"}}}}});
  }
  return books;
}

// Each in UTF-16: little-endian with its byte order mark, and big-endian without one, told by
// the XML declaration's bytes.
std::string utf16(const std::string& xml, bool bigEndian) {
  gsize size = 0;
  gchar* bytes = g_convert(xml.data(), static_cast<gssize>(xml.size()), bigEndian ? "UTF-16BE" : "UTF-16LE", "UTF-8",
                           nullptr, &size, nullptr);
  const std::string out = (bigEndian ? "" : "\xFF\xFE") + std::string(bytes, size);
  g_free(bytes);
  return out;
}

TEST(XlsxCells, EachBookReadsAsExpected) {
  std::vector<Book> books = {handMadeParts(), sheetOrder()};
  for (Book& book : sharedStringPaths()) books.push_back(std::move(book));
  auto sheet = [&](const std::string& what, const std::string& sheetData, const std::vector<CellIs>& cells,
                   const std::string& styles = {}) {
    HandPackage package;
    package.sheets = {worksheetXml(sheetData)};
    package.styles = styles;
    books.push_back({what, zipBytes(package.parts()), {{1, cells}}});
  };
  sheet("cells without references follow the previous ones",
        "<row><c t=\"inlineStr\"><is><t>A1</t></is></c><c><v>2</v></c></row>"
        "<row r=\"3\"><c r=\"C3\"><v>33</v></c><c><v>34</v></c></row><row><c r=\"B4\"><v>42</v></c><c/><c><v>44</v></c></row>"
        "<row r=\"999\"><c><v>999</v></c></row><row><c><v>1000</v></c></row>",
        {{1, 1, "A1"}, {1, 2, "2"}, {3, 3, "33"}, {3, 4, "34"}, {4, 2, "42"}, {4, 3, ""}, {4, 4, "44"}, {999, 1, "999"}});
  sheet("empty values", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v/></c><c r=\"D1\"><v/></c><c r=\"E1\" t=\"b\"><v/></c></row>",
        {{1, 1, ""}, {1, 4, ""}, {1, 5, ""}});
  sheet("a style index without styles", "<row r=\"1\"><c r=\"A1\" s=\"3\"><v>45383</v></c></row>", {{1, 1, "45383"}});
  sheet("less common forms of XML",
        "<!-- written by hand --><?custom instruction?>"
        "<row r=\"1\"><c r='A1' t=\"inlineStr\"><is><t><![CDATA[<a & b>]]></t></is></c>"
        "<c r=\"B1\" t=\"inlineStr\"><is><t>&#x41;&#12354;&lt;&amp;&gt;&quot;&apos;</t></is></c>"
        "<c r=\"C1\" t=\"inlineStr\"><is><t>一行目\r\n二行目\r三行目</t></is></c><c r = \"D1\" ><v> 12 </v></c></row>",
        {{1, 1, "<a & b>"}, {1, 2, "Aあ<&>\"'"}, {1, 3, "一行目\n二行目\n三行目"}, {1, 4, "12"}});
  sheet("a differential format redefining a cell's format", "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>39097</v></c></row>",
        {{1, 1, "2007/01/15"}},
        std::string("<styleSheet xmlns=\"") + kMainNs + "\"><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>"
        "<dxfs><dxf><numFmt numFmtId=\"14\" formatCode=\"0.00\"/></dxf></dxfs></styleSheet>");
  sheet("lower-case references", "<row r=\"2\"><c r=\"b2\"><v>5</v></c><c r=\"ab2\"><v>6</v></c></row>", {{2, 2, "5"}, {2, 28, "6"}});
  sheet("ISO dates, times and durations of strict files",
        "<row r=\"1\"><c r=\"A1\" t=\"d\"><v>PT0H11M0.000S</v></c><c r=\"B1\" t=\"d\"><v>1899-12-30</v></c>"
        "<c r=\"C1\" t=\"d\"><v>1899-12-30T06:00:00</v></c><c r=\"D1\" t=\"d\"><v>P1DT12H</v></c>"
        "<c r=\"E1\" t=\"d\"><v>1900-01-01</v></c><c r=\"F1\" t=\"d\"><v>P1M</v></c></row>",
        {{1, 1, "00:11:00"}, {1, 2, "00:00:00"}, {1, 3, "06:00:00"}, {1, 4, "1900/01/01 12:00:00"}, {1, 5, "1900/01/01"},
         {1, 6, "P1M"}});
  sheet("a number that is not one", "<row r=\"1\"><c r=\"A1\"><v>NaN</v></c></row>", {{1, 1, "#NUM!"}});

  const std::string ns = kMainNs, withStrings = "<row r=\"2\"><c r=\"B2\" t=\"s\"><v>0</v></c><c r=\"C2\"><v>42</v></c></row>";
  HandPackage prefixed;
  prefixed.sharedStrings = "<x:sst xmlns:x=\"" + ns + "\"><x:si><x:t>顧客</x:t></x:si></x:sst>";
  prefixed.sheets = {"<x:worksheet xmlns:x=\"" + ns + "\"><x:sheetData><x:row r=\"3\"><x:c r=\"C3\" t=\"s\"><x:v>0</x:v></x:c>"
                     "<x:c r=\"D3\" t=\"inlineStr\"><x:is><x:t>名前</x:t></x:is></x:c>"
                     "<other:c xmlns:other=\"urn:elsewhere\" r=\"E3\"><other:v>1</other:v></other:c></x:row></x:sheetData></x:worksheet>"};
  ZipParts parts = prefixed.parts();
  part(parts, "xl/workbook.xml") = "<s:workbook xmlns:s=\"" + ns + "\" xmlns:rel=\"" + kRelNs +
                                   "\"><s:sheets><s:sheet name=\"接頭辞\" sheetId=\"1\" rel:id=\"rId1\"/></s:sheets></s:workbook>";
  books.push_back({"prefixed namespaces", zipBytes(parts), {{1, {{0, 0, "接頭辞"}, {3, 3, "顧客"}, {3, 4, "名前"}, {3, 5, ""}}}}});

  // Part names with backslashes or in other letter case are the same parts; strict namespaces
  // read like transitional ones.
  HandPackage strings;
  strings.sharedStrings = sst("<si><t>受注</t></si>");
  strings.sheets = {worksheetXml(withStrings)};
  ZipParts backslashes = strings.parts(), letterCase = strings.parts(), strict = strings.parts();
  for (auto& [name, content] : backslashes) {
    if (name.starts_with("xl/")) name = replaceAll(name, "/", "\\");
  }
  std::erase_if(letterCase, [](const auto& p) { return p.first == "xl/worksheets/sheet1.xml" || p.first == "xl/sharedStrings.xml"; });
  letterCase.emplace_back("xl/Worksheets/Sheet1.XML", worksheetXml(withStrings));
  letterCase.emplace_back("XL/SHAREDSTRINGS.xml", strings.sharedStrings);
  for (auto& [name, content] : strict) {
    content = replaceAll(content, kMainNs, "http://purl.oclc.org/ooxml/spreadsheetml/main");
    content = replaceAll(content, kRelNs, "http://purl.oclc.org/ooxml/officeDocument/relationships");
  }
  for (const auto& [what, variant] : {std::pair{"backslashes", &backslashes}, std::pair{"letter case", &letterCase},
                                      std::pair{"strict", &strict}}) {
    books.push_back({what, zipBytes(*variant), {{1, {{2, 2, "受注"}, {2, 3, "42"}}}}});
  }

  // Relationship targets relative or absolute.
  HandPackage four;
  for (int n = 1; n <= 4; ++n) four.sheets.push_back(worksheetXml("<row r=\"1\"><c r=\"A1\"><v>" + std::to_string(n) + "</v></c></row>"));
  ZipParts targets = four.parts();
  std::string& rels = part(targets, "xl/_rels/workbook.xml.rels");
  rels = replaceAll(rels, "\"worksheets/sheet1.xml\"", "\"./worksheets/sheet1.xml\"");
  rels = replaceAll(rels, "\"worksheets/sheet2.xml\"", "\"../xl/worksheets/sheet2.xml\"");
  rels = replaceAll(rels, "\"worksheets/sheet3.xml\"", "\"/xl/worksheets/sheet3.xml\"");
  rels = replaceAll(rels, "\"worksheets/sheet4.xml\"", "\"worksheets\\sheet4.xml\"");
  part(targets, "_rels/.rels") = replaceAll(part(targets, "_rels/.rels"), "\"xl/workbook.xml\"", "\"/xl/workbook.xml\"");
  books.push_back({"relationship targets", zipBytes(targets),
                   {{1, {{1, 1, "1"}}}, {2, {{1, 1, "2"}}}, {3, {{1, 1, "3"}}}, {4, {{1, 1, "4"}}}}, 4});

  // A sheet name with an escape, a line end (a blank) and a character reference (kept).
  HandPackage named;
  named.sheets = {worksheetXml("")};
  ZipParts namedParts = named.parts();
  part(namedParts, "xl/workbook.xml") = replaceAll(part(namedParts, "xl/workbook.xml"), "Sheet1", "A&amp;B\nC&#9;D");
  books.push_back({"sheet name", zipBytes(namedParts), {{1, {{0, 0, "A&B C\tD"}}}}});
  for (const bool bigEndian : {false, true}) {
    HandPackage wide;
    wide.sheets = {utf16(worksheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>顧客𠮷</t></is></c></row>"), bigEndian)};
    books.push_back({bigEndian ? "UTF-16BE" : "UTF-16LE", zipBytes(wide.parts()), {{1, {{1, 1, "顧客𠮷"}}}}});
  }
  expectBooks(books);
}

// A sheet whose relationship is empty or not there is kept in its place as one that does not exist.
TEST(XlsxCells, ASheetWithoutAPartIsKeptInItsPlace) {
  HandPackage package;
  package.sheets = {worksheetXml(""), worksheetXml("<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>")};
  ZipParts parts = package.parts();
  std::string& workbook = part(parts, "xl/workbook.xml");
  workbook.replace(workbook.find("rId1"), 4, "");
  workbook.insert(workbook.find("</sheets>"), "<sheet name=\"無\" sheetId=\"9\" r:id=\"rId99\"/>");
  const auto book = platform::openWorkbook(fileOf(zipBytes(parts)));
  ASSERT_EQ(book->sheetCount(), 3);
  EXPECT_FALSE(book->hasSheet(1));
  EXPECT_TRUE(book->hasSheet(2));
  EXPECT_FALSE(book->hasSheet(3));
  EXPECT_NE(errorOf([&] { book->readSheet(1); }).find("の参照  が"), std::string::npos) << errorOf([&] { book->readSheet(1); });
  EXPECT_EQ(book->readSheet(2).text(1, 1), "2");
}

}  // namespace
}  // namespace morvane::test
