// .xlsx workbooks as text, from hand-made packages under tests/fixtures/xlsx: the shapes
// libxlsxwriter (which writes the design books of the other tests) never writes, and what other
// programs write though it bends the rules.
#include <gtest/gtest.h>

#include "tests/platform/WorkbookTestSupport.h"

namespace morvane::test {
namespace {

TEST(XlsxCells, EachBookReadsAsExpected) {
  std::vector<Book> books;
  auto add = [&](const std::string& file, const std::string& what,
                 std::vector<std::pair<int, std::vector<CellIs>>> reads, int sheetCount = 0) {
    books.push_back({what + " (" + file + ")", fixtureBytes("xlsx/" + file), std::move(reads), sheetCount});
  };
  // Shared strings with rich runs, phonetic runs and _xHHHH_ escapes (an escaped escape, a
  // surrogate pair); an inline rich string; formulas with cached results of each type; the 1904
  // date system with custom and built-in formats; a cell format out of range.
  add("hand-made-parts.xlsx", "every kind of cell",
      {{1,
        {{1, 1, "顧客名 "},
         {1, 2, "改行\r\nあり"},
         {1, 3, "_x0041_ と A と \xF0\x9F\x98\x80"},
         {1, 4, ""},
         {1, 5, "受注明細"},
         {2, 1, ""},
         {2, 2, "a b"},
         {2, 3, "True"},
         {2, 4, "False"},
         {2, 5, "-1234567.25"},
         {3, 3, "#N/A"},
         {3, 4, "1"},
         {4, 1, "1904/01/01"},
         {4, 2, "2024/04/01"},
         {4, 3, "1904/01/02 06:00:00"},
         {4, 4, "43920"},
         {4, 5, "2024/04/01"},
         {4, 6, "2024/04/01 10:20:30"},
         {4, 7, "5"}}}});
  // Only worksheets count, hidden ones too, in the workbook's own order.
  add("sheet-order.xlsx", "三 (hidden), a chart sheet, 一, a macro sheet, 二",
      {{3, {{0, 0, "二"}, {1, 1, "2"}}}, {1, {{0, 0, "三"}, {1, 1, "3"}}}, {2, {{0, 0, "一"}, {1, 1, "1"}}}},
      3);
  add("cells-without-references-follow-the-previous-ones.xlsx", "rows and cells without r=",
      {{1,
        {{1, 1, "A1"},
         {1, 2, "2"},
         {3, 3, "33"},
         {3, 4, "34"},
         {4, 2, "42"},
         {4, 3, ""},
         {4, 4, "44"},
         {999, 1, "999"}}}});
  add("empty-values.xlsx", "<v/> in a string, a number and a boolean cell",
      {{1, {{1, 1, ""}, {1, 4, ""}, {1, 5, ""}}}});
  add("a-style-index-without-styles.xlsx", "s=\"3\" and no styles part", {{1, {{1, 1, "45383"}}}});
  add("less-common-forms-of-xml.xlsx", "a comment, a PI, CDATA, character references, CR, spaces",
      {{1, {{1, 1, "<a & b>"}, {1, 2, "Aあ<&>\"'"}, {1, 3, "一行目\n二行目\n三行目"}, {1, 4, "12"}}}});
  add("a-differential-format-redefining-a-cell-s-format.xlsx", "a dxf giving format 14 the code 0.00",
      {{1, {{1, 1, "2007/01/15"}}}});
  add("lower-case-references.xlsx", "b2 and ab2", {{1, {{2, 2, "5"}, {2, 28, "6"}}}});
  add("iso-dates-times-and-durations-of-strict-files.xlsx", "t=\"d\" values",
      {{1,
        {{1, 1, "00:11:00"},
         {1, 2, "00:00:00"},
         {1, 3, "06:00:00"},
         {1, 4, "1900/01/01 12:00:00"},
         {1, 5, "1900/01/01"},
         {1, 6, "P1M"}}}});
  add("a-number-that-is-not-one.xlsx", "<v>NaN</v>", {{1, {{1, 1, "#NUM!"}}}});
  // Plain shared strings are read on a quick path; an item it does not know (a reference, a rich
  // run) as the fifth item sends the whole part to the full path, which must start afresh.
  for (const auto& [file, last] :
       std::vector<std::pair<std::string, std::string>>{{"strings-plain.xlsx", "末尾"},
                                                        {"strings-reference.xlsx", "末&尾"},
                                                        {"strings-rich.xlsx", "末尾"}}) {
    add(file, "four plain items, then one more",
        {{1, {{1, 1, "顧客"}, {1, 2, " 名 "}, {1, 3, ""}, {1, 4, "改行\r\nあり"}, {1, 5, last}}}});
  }
  add("prefixed.xlsx", "every part with namespace prefixes, and a cell of another namespace",
      {{1, {{0, 0, "接頭辞"}, {3, 3, "顧客"}, {3, 4, "名前"}, {3, 5, ""}}}});
  // Part names with backslashes or in other letter case are the same parts; strict namespaces
  // read like transitional ones.
  for (const char* file : {"names-backslashes.xlsx", "names-letter-case.xlsx", "strict-namespaces.xlsx"}) {
    add(file, "a shared string and a number", {{1, {{2, 2, "受注"}, {2, 3, "42"}}}});
  }
  add("relationship-targets.xlsx", "targets ./, ../xl/, /xl/, with a backslash; the root's absolute",
      {{1, {{1, 1, "1"}}}, {2, {{1, 1, "2"}}}, {3, {{1, 1, "3"}}}, {4, {{1, 1, "4"}}}}, 4);
  // An escape, a line end (a blank) and a character reference (kept).
  add("sheet-name.xlsx", "the sheet named A&amp;B\\nC&#9;D", {{1, {{0, 0, "A&B C\tD"}}}});
  add("utf-16le.xlsx", "the worksheet in UTF-16LE with its byte order mark", {{1, {{1, 1, "顧客𠮷"}}}});
  add("utf-16be.xlsx", "the worksheet in UTF-16BE, told by its declaration", {{1, {{1, 1, "顧客𠮷"}}}});
  expectBooks(books);
}

// A sheet whose relationship is empty (the first) or not there (the third, rId99) is kept in
// its place as one that does not exist.
TEST(XlsxCells, ASheetWithoutAPartIsKeptInItsPlace) {
  const auto book = platform::openWorkbook(fileOf(fixtureBytes("xlsx/sheet-without-a-part.xlsx")));
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
