// .xls workbooks as text: every cell record, shared strings cut by CONTINUE records, date
// formats, code pages, encryption, compound file layouts and files written by python3-xlwt.
// The files are under tests/fixtures/xls.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/platform/WorkbookTestSupport.h"

namespace morvane::test {
namespace {

using Reads = std::vector<std::pair<int, std::vector<CellIs>>>;

Book book(const std::string& file, const std::string& what, Reads reads, int sheetCount = 0) {
  return {what + " (" + file + ")", fixtureBytes("xls/" + file), std::move(reads), sheetCount};
}

// SST, LABEL, NUMBER, RK (integer, x100, double), MULRK, FORMULA with each kind of cached result
// (text in a STRING record; a text one without it, then a NUMBER in G5), BOOLERR, BLANK,
// MULBLANK; a chart substream holding a NUMBER in B8; cells at row 999 and column 99 and beyond
// them; from row 11 each error value as a BOOLERR in A and a FORMULA in AB.
Book everyKindOfCellRecord() {
  std::vector<CellIs> cells = {{0, 0, "値"},
                               {1, 1, "共有の文字列"},
                               {1, 2, "LABELの文字列 "},
                               {2, 1, "10"},
                               {2, 2, "0.3"},
                               {2, 3, "-12.25"},
                               {3, 1, "-536870912"},
                               {3, 2, "12.34"},
                               {3, 3, "1.5"},
                               {3, 4, "0.015"},
                               {4, 3, "7"},
                               {4, 4, "8"},
                               {4, 5, "0.25"},
                               {5, 1, "3"},
                               {5, 2, "=Cover!C3 の結果"},
                               {5, 3, "True"},
                               {5, 4, "False"},
                               {5, 5, ""},
                               {5, 6, ""},
                               {5, 7, "99"},
                               {6, 1, "True"},
                               {6, 2, "False"},
                               {7, 1, ""},
                               {8, 2, ""},
                               {8, 3, "3"},
                               {999, 99, "1"},
                               {1000, 1, ""},
                               {1, 100, ""}};
  const char* codes[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A"};
  for (int i = 0; i < 7; ++i) {
    cells.push_back({11 + i, 1, codes[i]});
    cells.push_back({11 + i, 28, codes[i]});
  }
  return book("every-kind-of-cell-record.xls", "every kind of cell record", {{1, cells}}, 1);
}

// Records of 23 bytes, so nearly every string is cut somewhere; and the same table in one record.
// Another sheet points at the strings backwards, each twice (C and E), so they are found again
// out of table order and across record boundaries both ways; then the first sheet is read again.
Book sharedStringsAcrossContinueRecords(const std::string& recordSize) {
  const std::vector<std::string> strings = {
      "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz",  // 8-bit halves
      "日本語のとても長いテーブル名がレコードの境目をまたいで続きます",  // 16-bit halves
      "abcdefghijklmnopqrstuvwxyz日本語の続き",                          // 8-bit, then 16-bit
      "日本語の後にASCIIだけが続きます: abcdefghijklmnopqrstuvwxyz",     // 16-bit, then 8-bit
      "書式付きの文字列で、書式の並びも分かれます",                      // 9 rich-text runs
      "ふりがな付きの氏名",                                              // phonetic data
      "",
      "Café ü 😀",  // Latin-1 and a surrogate pair
      "最後",
  };
  std::vector<CellIs> forwards, backwards;
  for (std::size_t i = 0; i < strings.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    forwards.push_back({row, 3, strings[i]});
    for (const int col : {3, 5}) backwards.push_back({row, col, strings[strings.size() - i - 1]});
  }
  return book("shared-strings-in-records-of-" + recordSize + ".xls", "shared strings",
              {{1, forwards}, {2, backwards}, {1, forwards}});
}

// 45292 in built-in and custom date and time formats, as a NUMBER, an RK, a FORMULA and in a
// MULRK; a currency format, a percent, -1 as a date.
Book dates(bool date1904) {
  const std::string day = date1904 ? "2028/01/02" : "2024/01/01";
  // In the 1904 system a time of day still falls on the system's first day.
  return book(date1904 ? "dates-1904-system-yes.xls" : "dates-1904-system-no.xls", "dates",
              {{1,
                {{1, 1, day},
                 {2, 1, day},
                 {3, 1, date1904 ? "1904/01/01 18:00:00" : "18:00:00"},
                 {4, 1, day + " 12:00:00"},
                 {5, 1, day},
                 {6, 1, "45292"},
                 {7, 1, "0.5"},
                 {8, 1, "-1"},
                 {9, 2, date1904 ? "2028/01/03" : "2024/01/02"}}}});
}

TEST(XlsCells, EachBookReadsAsExpected) {
  std::vector<Book> books = {everyKindOfCellRecord(), sharedStringsAcrossContinueRecords("23"),
                             sharedStringsAcrossContinueRecords("8224"), dates(false), dates(true)};
  auto add = [&](const std::string& file, const std::string& what, const std::vector<CellIs>& cells) {
    books.push_back(book(file, what, {{1, cells}}));
  };
  // Shapes other readers read.
  add("code-page-1258-holding-back-a-last-letter.xls", "BIFF5, code page 1258", {{1, 1, "Format"}});
  add("code-page-1255.xls", "BIFF5, code page 1255: Hebrew bytes", {{1, 1, "שלום"}});
  add("a-format-record-whose-text-runs-past-its-end.xls", "a FORMAT of 200 characters in 3", {{1, 1, "5"}});
  add("an-empty-label-without-its-option-byte.xls", "a LABEL of 8 zero bytes", {{1, 1, ""}, {2, 1, "7"}});
  add("a-formula-record-of-biff4.xls", "a FORMULA of type 0x0406 holding 3", {{1, 1, "3"}, {2, 1, "7"}});
  add("numbers-that-are-not-ones.xls", "a NaN NUMBER, an infinite FORMULA",
      {{1, 1, "#NUM!"}, {1, 2, "#NUM!"}});
  add("a-leftover-byte-and-an-empty-continue.xls", "a 16-bit string cut with a byte over, an empty CONTINUE",
      {{1, 1, "日本語のとても長いテーブル名"}});
  // A CONTINUE after a NUMBER whose bytes look like a LABELSST; a LABEL going on in a CONTINUE,
  // from 8-bit to 16-bit characters.
  add("continue-records-after-cells.xls", "CONTINUE records after cells",
      {{1, 1, "5"}, {2, 1, "abcdeあ"}, {3, 1, "後"}, {2, 2, ""}});
  // Only worksheets count, hidden ones too, in workbook order; each found by its own offset.
  books.push_back(book("sheet-order.xls", "表紙, a chart, 隠し (hidden), a macro sheet, 最後",
                       {{3, {{0, 0, "最後"}, {3, 3, "三枚目"}}},
                        {1, {{0, 0, "表紙"}, {3, 3, "一枚目"}}},
                        {2, {{0, 0, "隠し"}, {3, 3, "二枚目"}}}},
                       3));
  add("biff5-in-code-page-932.xls", "a BIFF5 Book stream in Shift_JIS: texts, a date, a formula, an RK",
      {{0, 0, "顧客"},
       {3, 3, "顧客"},
       {6, 4, "顧客ID"},
       {6, 5, "2024/01/01"},
       {6, 6, "顧客ID"},
       {6, 7, "5"}});
  // The spreadsheet's default password VelvetSweatshop opens an encrypted workbook, by either
  // kind of RC4; the numbers run past the first key's 1024 bytes.
  for (const std::string keyBits : {"0", "40", "56", "128"}) {
    add("rc4-key-of-" + keyBits + ".xls", "encrypted with the default password",
        {{3, 3, "顧客"}, {11, 4, "10"}, {200, 4, "199"}});
  }
  add("shared-string-count.xls", "a table claiming 0xFFFFFFFF strings holds two",
      {{3, 3, "顧客"}, {4, 3, "二つ目"}});

  // Compound file layouts of sound.xls: sectors out of order, a last sector without its padding,
  // a directory chain looping back on itself (read up to the loop, which here is all of it),
  // allocation sectors beyond the header; and a directory of three sectors (small streams in the
  // mini stream).
  const std::vector<CellIs> soundCells = {
      {3, 3, "顧客"}, {6, 4, "顧客番号"}, {7, 4, "6"}, {200, 4, "199"}, {400, 4, "399"}};
  add("sectors-swapped.xls", "the workbook stream's first two sectors swapped", soundCells);
  add("last-sector-unpadded.xls", "the stream's last sector moved to the file's unpadded end", soundCells);
  add("looped-directory.xls", "the directory sector's chain pointing at itself", soundCells);
  books.push_back({"allocation list beyond the header",
                   withAllocationListBeyondTheHeader(soundXlsBytes()).first,
                   {{1, soundCells}}});
  std::vector<std::pair<std::string, std::string>> streams;
  for (int i = 0; i < 7; ++i) streams.emplace_back(std::to_string(i), std::string(i % 2 ? 9 : 5000, 'x'));
  BiffWriter small;
  small.labelSst(small.addSheet("表"), 2, 2, "顧客");
  streams.emplace_back("workbook", small.stream());
  books.push_back({"directory of three sectors", BiffWriter::compoundFile(streams), {{1, {{3, 3, "顧客"}}}}});

  // Files written by python3-xlwt: values with number formats, a formula without a cached
  // result, a formatted blank and a hidden sheet; the 1904 system; 40 long strings; a design.
  std::vector<CellIs> values = {{0, 0, "値"}, {6, 1, ""}, {6, 2, ""}, {999, 99, "last"}, {1000, 1, ""}};
  const char* texts[5][4] = {{"text", " 前後に空白 ", "\u3000", "日本語テキスト"},
                             {"10", "1.5", "0.3", "-12.25"},
                             {"123456789012345", "1E+15", "1E-06", "1099511627776"},
                             {"True", "False", "", ""},
                             {"2024/01/01", "2024/01/01 12:34:56", "18:00:00", "45292"}};
  for (int row = 0; row < 5; ++row) {
    for (int col = 0; col < 4; ++col) values.push_back({row + 1, col + 1, texts[row][col]});
  }
  books.push_back(book("xlwt-values.xls", "values", {{1, values}, {2, {{3, 3, "隠しシート"}}}}, 2));
  add("xlwt-1904.xls", "a date in the 1904 system", {{1, 1, "2024/01/01"}, {1, 2, "45292"}});
  std::vector<CellIs> longStrings;
  for (int r = 0; r < 40; ++r) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "列%02d:", r);
    std::string text = prefix;
    for (int i = 0; i < 30; ++i) text += r % 2 ? "日本語の長い説明文" : "long ascii text ";
    longStrings.push_back({r + 1, 1, text});
  }
  add("xlwt-long-strings.xls", "a shared string table over several CONTINUE records", longStrings);
  books.push_back(book("xlwt-design.xls", "a cover and two tables",
                       {{1, {{0, 0, "表紙"}, {3, 3, ""}}},
                        {2,
                         {{3, 3, "顧客"},
                          {6, 4, "ID"},
                          {6, 5, "int"},
                          {6, 6, "4"},
                          {6, 7, "○"},
                          {6, 9, ""},
                          {7, 4, "名前"},
                          {7, 6, "50"},
                          {7, 9, "○"},
                          {8, 4, "登録日"},
                          {8, 5, "date"},
                          {8, 6, ""}}},
                        {3, {{3, 3, "注文"}}}},
                       3));
  expectBooks(books);
}

}  // namespace
}  // namespace morvane::test
