// .xlsx workbooks as text, from hand-made packages: the shapes libxlsxwriter (which writes the
// design books of the other tests) never writes, and what other programs write though it bends
// the rules.
#include <glib.h>
#include <gtest/gtest.h>

#include "tests/platform/WorkbookTestSupport.h"

namespace morvane::test {
namespace {

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A cell element: its reference, its attributes (t="s" ...) and its content.
std::string c(const std::string& ref, const std::string& attributes, const std::string& content) {
  return "<c r=\"" + ref + "\"" + (attributes.empty() ? "" : " " + attributes) + ">" + content + "</c>";
}
std::string v(const std::string& value) { return "<v>" + value + "</v>"; }
std::string is(const std::string& text) { return "<is><t>" + text + "</t></is>"; }
std::string row(int n, const std::string& cells) {
  return "<row r=\"" + std::to_string(n) + "\">" + cells + "</row>";
}
std::string sst(const std::string& items) {
  return std::string("<sst xmlns=\"") + kMainNs + "\">" + items + "</sst>";
}

Book handMadeParts() {
  HandPackage package;
  package.workbookPr = "<workbookPr date1904=\"1\"/>";
  package.styles = std::string("<styleSheet xmlns=\"") + kMainNs + "\">" +
                   "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy/mm/dd\"/></numFmts>"
                   "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\"/></cellStyleXfs><cellXfs count=\"3\">"
                   "<xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"22\"/></cellXfs></styleSheet>";
  package.sharedStrings = sst("<si><r><rPr><b/></rPr><t>顧客</t></r><r><t xml:space=\"preserve\">名 </t></r>"
                              "<rPh sb=\"0\" eb=\"2\"><t>コキャク</t></rPh><phoneticPr fontId=\"1\"/></si>"
                              "<si><t>改行_x000D__x000A_あり</t></si>"
                              "<si><t>_x005F_x0041_ と _x0041_ と _xD83D__xDE00_</t></si><si><t/></si>");
  package.sheets = {worksheetXml(
      row(1, c("A1", "t=\"s\"", v("0")) + c("B1", "t=\"s\"", v("1")) + c("C1", "t=\"s\"", v("2")) +
                 c("D1", "t=\"s\"", v("3")) +
                 c("E1", "t=\"inlineStr\"",
                   "<is><r><t>受注</t></r><r><t>明細</t></r><rPh sb=\"0\" eb=\"1\"><t>ジュ</t></rPh></is>")) +
      row(2, c("A2", "", "<f>B1+1</f>") + c("B2", "t=\"str\"", "<f>\"a\"</f>" + v("a_x0020_b")) +
                 c("C2", "t=\"b\"", "<f>TRUE()</f>" + v("1")) + c("D2", "t=\"b\"", v("0")) +
                 c("E2", "", v("-1234567.25"))) +
      row(3, c("C3", "t=\"e\"", "<f>VLOOKUP(1,A:A,2)</f>" + v("#N/A")) + c("D3", "", v("1"))) +
      // The 1904 date system; a cell format out of range shows the number.
      row(4, c("A4", "s=\"1\"", v("0")) + c("B4", "s=\"1\"", v("43921")) + c("C4", "s=\"2\"", v("1.25")) +
                 c("D4", "s=\"0\"", v("\n 43920 ")) + c("E4", "t=\"d\"", v("2024-04-01T00:00:00")) +
                 c("F4", "t=\"d\"", v("2024-04-01T10:20:30.4Z")) + c("G4", "s=\"99\"", v("5"))))};
  return {"hand-made parts", zipBytes(package.parts()),
          {{1,
            {{1, 1, "顧客名 "}, {1, 2, "改行\r\nあり"}, {1, 3, "_x0041_ と A と \xF0\x9F\x98\x80"},
             {1, 4, ""}, {1, 5, "受注明細"}, {2, 1, ""}, {2, 2, "a b"}, {2, 3, "True"}, {2, 4, "False"},
             {2, 5, "-1234567.25"}, {3, 3, "#N/A"}, {3, 4, "1"}, {4, 1, "1904/01/01"}, {4, 2, "2024/04/01"},
             {4, 3, "1904/01/02 06:00:00"}, {4, 4, "43920"}, {4, 5, "2024/04/01"},
             {4, 6, "2024/04/01 10:20:30"}, {4, 7, "5"}}}}};
}

// Only worksheets count, hidden ones too, in the workbook's own order: sheet3 (hidden), a chart
// sheet, sheet1, a macro sheet, sheet2.
Book sheetOrder() {
  HandPackage package;
  for (const char* n : {"1", "2", "3"}) package.sheets.push_back(worksheetXml(row(1, c("A1", "", v(n)))));
  ZipParts parts = package.parts();
  auto sheet = [](const std::string& name, const std::string& id, const std::string& extra = {}) {
    return "<sheet name=\"" + name + "\" sheetId=\"" + id + "\"" + extra + " r:id=\"rId" + id + "\"/>";
  };
  part(parts, "xl/workbook.xml") = std::string("<workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs +
                                   "\"><sheets>" + sheet("三", "3", " state=\"hidden\"") +
                                   sheet("グラフ", "C") + sheet("一", "1") + sheet("マクロ", "M") +
                                   sheet("二", "2") + "</sheets></workbook>";
  std::string& rels = part(parts, "xl/_rels/workbook.xml.rels");
  rels.insert(rels.find("</Relationships>"),
              std::string("<Relationship Id=\"rIdC\" Type=\"") + kRelNs +
                  "/chartsheet\" Target=\"chartsheets/sheet1.xml\"/><Relationship Id=\"rIdM\" "
                  "Type=\"http://schemas.microsoft.com/office/2006/relationships/xlMacrosheet\" "
                  "Target=\"/xl/macrosheets/sheet1.xml\"/>");
  part(parts, "xl/chartsheets/sheet1.xml") = std::string("<chartsheet xmlns=\"") + kMainNs + "\"/>";
  part(parts, "xl/macrosheets/sheet1.xml") = worksheetXml(row(1, c("A1", "", v("9"))));
  return {"sheet order",
          zipBytes(parts),
          {{3, {{0, 0, "二"}, {1, 1, "2"}}},
           {1, {{0, 0, "三"}, {1, 1, "3"}}},
           {2, {{0, 0, "一"}, {1, 1, "1"}}}},
          3};
}

// Each in UTF-16: little-endian with its byte order mark, and big-endian without one, told by
// the XML declaration's bytes.
std::string utf16(const std::string& xml, bool bigEndian) {
  gsize size = 0;
  gchar* bytes = g_convert(xml.data(), static_cast<gssize>(xml.size()), bigEndian ? "UTF-16BE" : "UTF-16LE",
                           "UTF-8", nullptr, &size, nullptr);
  const std::string out = (bigEndian ? "" : "\xFF\xFE") + std::string(bytes, size);
  g_free(bytes);
  return out;
}

TEST(XlsxCells, EachBookReadsAsExpected) {
  std::vector<Book> books = {handMadeParts(), sheetOrder()};
  auto sheet = [&](const std::string& what, const std::string& sheetData, const std::vector<CellIs>& cells,
                   const std::string& styles = {}) {
    HandPackage package;
    package.sheets = {worksheetXml(sheetData)};
    package.styles = styles;
    books.push_back({what, zipBytes(package.parts()), {{1, cells}}});
  };
  sheet("cells without references follow the previous ones",
        "<row><c t=\"inlineStr\">" + is("A1") + "</c><c>" + v("2") + "</c></row>" +
            row(3, c("C3", "", v("33")) + "<c>" + v("34") + "</c>") + "<row>" + c("B4", "", v("42")) +
            "<c/><c>" + v("44") + "</c></row>" + row(999, "<c>" + v("999") + "</c>") + "<row><c>" +
            v("1000") + "</c></row>",
        {{1, 1, "A1"}, {1, 2, "2"}, {3, 3, "33"}, {3, 4, "34"}, {4, 2, "42"}, {4, 3, ""}, {4, 4, "44"},
         {999, 1, "999"}});
  sheet("empty values", row(1, c("A1", "t=\"s\"", "<v/>") + c("D1", "", "<v/>") + c("E1", "t=\"b\"", "<v/>")),
        {{1, 1, ""}, {1, 4, ""}, {1, 5, ""}});
  sheet("a style index without styles", row(1, c("A1", "s=\"3\"", v("45383"))), {{1, 1, "45383"}});
  sheet("less common forms of XML",
        "<!-- written by hand --><?custom instruction?><row r=\"1\"><c r='A1' t=\"inlineStr\">" +
            is("<![CDATA[<a & b>]]>") + "</c>" +
            c("B1", "t=\"inlineStr\"", is("&#x41;&#12354;&lt;&amp;&gt;&quot;&apos;")) +
            c("C1", "t=\"inlineStr\"", is("一行目\r\n二行目\r三行目")) +
            "<c r = \"D1\" ><v> 12 </v></c></row>",
        {{1, 1, "<a & b>"}, {1, 2, "Aあ<&>\"'"}, {1, 3, "一行目\n二行目\n三行目"}, {1, 4, "12"}});
  sheet("a differential format redefining a cell's format", row(1, c("A1", "s=\"1\"", v("39097"))),
        {{1, 1, "2007/01/15"}},
        std::string("<styleSheet xmlns=\"") + kMainNs +
            "\"><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>"
            "<dxfs><dxf><numFmt numFmtId=\"14\" formatCode=\"0.00\"/></dxf></dxfs></styleSheet>");
  sheet("lower-case references", row(2, c("b2", "", v("5")) + c("ab2", "", v("6"))),
        {{2, 2, "5"}, {2, 28, "6"}});
  sheet("ISO dates, times and durations of strict files",
        row(1, c("A1", "t=\"d\"", v("PT0H11M0.000S")) + c("B1", "t=\"d\"", v("1899-12-30")) +
                   c("C1", "t=\"d\"", v("1899-12-30T06:00:00")) + c("D1", "t=\"d\"", v("P1DT12H")) +
                   c("E1", "t=\"d\"", v("1900-01-01")) + c("F1", "t=\"d\"", v("P1M"))),
        {{1, 1, "00:11:00"}, {1, 2, "00:00:00"}, {1, 3, "06:00:00"}, {1, 4, "1900/01/01 12:00:00"},
         {1, 5, "1900/01/01"}, {1, 6, "P1M"}});
  sheet("a number that is not one", row(1, c("A1", "", v("NaN"))), {{1, 1, "#NUM!"}});

  // Plain shared strings are read on a quick path; an item it does not know (a reference, a rich
  // run) halfway through sends the whole part to the full path, which must start afresh.
  const std::string plain = "<si><t>顧客</t></si>\n  <si><t xml:space=\"preserve\"> 名 </t></si><si><t/></si>"
                            "<si><t>改行_x000D__x000A_あり</t></si>";
  std::string five;
  for (const char* ref : {"A1", "B1", "C1", "D1", "E1"}) five += c(ref, "t=\"s\"", v({char(ref[0] - 17)}));
  for (const std::string tail :
       {"<si><t>末尾</t></si>", "<si><t>末&amp;尾</t></si>", "<si><r><t>末</t></r><r><t>尾</t></r></si>"}) {
    books.push_back({tail, xlsxOf(row(1, five), sst(plain + tail)),
                     {{1, {{1, 1, "顧客"}, {1, 2, " 名 "}, {1, 3, ""}, {1, 4, "改行\r\nあり"},
                           {1, 5, tail.find("&amp;") != std::string::npos ? "末&尾" : "末尾"}}}}});
  }

  const std::string ns = kMainNs;
  HandPackage prefixed;
  prefixed.sharedStrings = "<x:sst xmlns:x=\"" + ns + "\"><x:si><x:t>顧客</x:t></x:si></x:sst>";
  prefixed.sheets = {"<x:worksheet xmlns:x=\"" + ns + "\"><x:sheetData><x:row r=\"3\">"
                     "<x:c r=\"C3\" t=\"s\"><x:v>0</x:v></x:c><x:c r=\"D3\" t=\"inlineStr\">"
                     "<x:is><x:t>名前</x:t></x:is></x:c>"
                     "<other:c xmlns:other=\"urn:elsewhere\" r=\"E3\"><other:v>1</other:v></other:c>"
                     "</x:row></x:sheetData></x:worksheet>"};
  ZipParts parts = prefixed.parts();
  part(parts, "xl/workbook.xml") = "<s:workbook xmlns:s=\"" + ns + "\" xmlns:rel=\"" + kRelNs +
                                   "\"><s:sheets><s:sheet name=\"接頭辞\" sheetId=\"1\" rel:id=\"rId1\"/>"
                                   "</s:sheets></s:workbook>";
  books.push_back(
      {"prefixed", zipBytes(parts), {{1, {{0, 0, "接頭辞"}, {3, 3, "顧客"}, {3, 4, "名前"}, {3, 5, ""}}}}});

  // Part names with backslashes or in other letter case are the same parts; strict namespaces
  // read like transitional ones.
  const std::string withStrings = row(2, c("B2", "t=\"s\"", v("0")) + c("C2", "", v("42")));
  HandPackage strings;
  strings.sharedStrings = sst("<si><t>受注</t></si>");
  strings.sheets = {worksheetXml(withStrings)};
  ZipParts backslashes = strings.parts(), letterCase = strings.parts(), strict = strings.parts();
  for (auto& [name, content] : backslashes) {
    if (name.starts_with("xl/")) name = replaceAll(name, "/", "\\");
  }
  for (auto& [name, content] : letterCase) {
    if (name == "xl/worksheets/sheet1.xml") name = "xl/Worksheets/Sheet1.XML";
    if (name == "xl/sharedStrings.xml") name = "XL/SHAREDSTRINGS.xml";
  }
  for (auto& [name, content] : strict) {
    content = replaceAll(content, kMainNs, "http://purl.oclc.org/ooxml/spreadsheetml/main");
    content = replaceAll(content, kRelNs, "http://purl.oclc.org/ooxml/officeDocument/relationships");
  }
  for (const ZipParts* variant : {&backslashes, &letterCase, &strict}) {
    books.push_back({variant->back().first, zipBytes(*variant), {{1, {{2, 2, "受注"}, {2, 3, "42"}}}}});
  }

  // Relationship targets relative or absolute.
  HandPackage four;
  for (int n = 1; n <= 4; ++n) four.sheets.push_back(worksheetXml(row(1, c("A1", "", v(std::to_string(n))))));
  ZipParts targets = four.parts();
  std::string& rels = part(targets, "xl/_rels/workbook.xml.rels");
  rels = replaceAll(rels, "\"worksheets/sheet1.xml\"", "\"./worksheets/sheet1.xml\"");
  rels = replaceAll(rels, "\"worksheets/sheet2.xml\"", "\"../xl/worksheets/sheet2.xml\"");
  rels = replaceAll(rels, "\"worksheets/sheet3.xml\"", "\"/xl/worksheets/sheet3.xml\"");
  rels = replaceAll(rels, "\"worksheets/sheet4.xml\"", "\"worksheets\\sheet4.xml\"");
  std::string& root = part(targets, "_rels/.rels");
  root = replaceAll(root, "\"xl/workbook.xml\"", "\"/xl/workbook.xml\"");
  books.push_back({"relationship targets", zipBytes(targets),
                   {{1, {{1, 1, "1"}}}, {2, {{1, 1, "2"}}}, {3, {{1, 1, "3"}}}, {4, {{1, 1, "4"}}}}, 4});

  // A sheet name with an escape, a line end (a blank) and a character reference (kept).
  HandPackage named;
  named.sheets = {worksheetXml("")};
  ZipParts namedParts = named.parts();
  std::string& workbook = part(namedParts, "xl/workbook.xml");
  workbook = replaceAll(workbook, "Sheet1", "A&amp;B\nC&#9;D");
  books.push_back({"sheet name", zipBytes(namedParts), {{1, {{0, 0, "A&B C\tD"}}}}});
  for (const bool bigEndian : {false, true}) {
    HandPackage wide;
    wide.sheets = {utf16(worksheetXml(row(1, c("A1", "t=\"inlineStr\"", is("顧客𠮷")))), bigEndian)};
    books.push_back({bigEndian ? "UTF-16BE" : "UTF-16LE", zipBytes(wide.parts()), {{1, {{1, 1, "顧客𠮷"}}}}});
  }
  expectBooks(books);
}

// A sheet whose relationship is empty or not there is kept in its place as one that does not exist.
TEST(XlsxCells, ASheetWithoutAPartIsKeptInItsPlace) {
  HandPackage package;
  package.sheets = {worksheetXml(""), worksheetXml(row(1, c("A1", "", v("2"))))};
  ZipParts parts = package.parts();
  std::string& workbook = part(parts, "xl/workbook.xml");
  workbook.replace(workbook.find("rId1"), 4, "");
  workbook.insert(workbook.find("</sheets>"), "<sheet name=\"無\" sheetId=\"9\" r:id=\"rId99\"/>");
  const auto book = platform::openWorkbook(fileOf(zipBytes(parts)));
  ASSERT_EQ(book->sheetCount(), 3);
  EXPECT_FALSE(book->hasSheet(1));
  EXPECT_TRUE(book->hasSheet(2));
  EXPECT_FALSE(book->hasSheet(3));
  const std::string error = errorOf([&] { book->readSheet(1); });
  EXPECT_NE(error.find("の参照  が"), std::string::npos) << error;
  EXPECT_EQ(book->readSheet(2).text(1, 1), "2");
}

}  // namespace
}  // namespace morvane::test
