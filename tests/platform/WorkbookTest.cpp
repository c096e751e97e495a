// The workbook reader, both formats through the one cell type: a sheet's cells, workbooks read as
// text, and what is refused with the one-line reason the user sees (never a crash, hang or OOM).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/workbook/SheetCells.h"
#include "platform/workbook/Workbook.h"
#include "tests/support/TempDir.h"
#include "tests/support/UnreadableXls.h"

namespace morvane::test {
namespace {

using platform::SheetCells;
using platform::SheetReach;

// The message of the WorkbookError that f raises; `none` when it raises none.
template <typename F>
std::string errorOf(F f, const std::string& none = {}) {
  try {
    f();
  } catch (const platform::WorkbookError& error) {
    return error.what();
  }
  return none;
}

// A cell and the text it reads as; a text starting with '#' is an error: reading the cell fails with a
// message holding the rest. Row 0 is the sheet's name; a first row -1, a sheet not there (reading fails so).
struct CellIs {
  int row;
  int col;
  std::string text;
};

void expectCells(const platform::SheetCells& sheet, const std::vector<CellIs>& cells) {
  for (const auto& [row, col, text] : cells) {
    if (row == 0) EXPECT_EQ(sheet.name(), text);
    else if (!text.starts_with('#'))
      EXPECT_EQ(sheet.text(row, col), text) << platform::cellReference(row, col);
    else EXPECT_NE(errorOf([&] { sheet.text(row, col); }).find(text.substr(1)), std::string::npos) << text;
  }
}

// Sets the cells in this order, those starting with '#' as errors.
void setCells(SheetCells& sheet, const std::vector<CellIs>& cells) {
  for (const auto& [row, col, text] : cells) {
    text.starts_with('#') ? sheet.setError(row, col, text) : sheet.setText(row, col, text);
  }
}

// Writes the bytes to a file of its own (kept until the tests end) and returns its path.
std::string fileOf(const std::string& bytes) {
  static TempDir dir;
  static int count = 0;
  const std::string path = dir.file("book" + std::to_string(++count));
  writeBytes(path, bytes);
  return path;
}

TEST(SheetCells, AnyOrderOfSettingReadsBackTheLastTextOfACellWinsAndTheTextsAreBounded) {
  SheetCells sheet("表");
  // Set again at once, and far back (more cells in between than are put in place on the fly).
  setCells(sheet, {{1, 10, "name"}, {1, 4, "D1"}, {1, 4, "D1 again"}});
  for (int row = 2; row <= 300; ++row) sheet.setText(row, 4, std::to_string(row));
  setCells(sheet, {{3, 4, "D3 again"}, {999, 99, "last"}, {1000, 1, "beyond"}, {1, 100, "beyond"}, {5, 5, "#N/A"},
                   {2, 4, "D2 again"}});
  EXPECT_EQ(sheet.size(), 303u);
  expectCells(sheet, {{1, 10, "name"}, {1, 4, "D1 again"}, {2, 4, "D2 again"}, {3, 4, "D3 again"}, {300, 4, "300"},
                      {999, 99, "last"}, {1, 5, ""}, {301, 4, ""}, {1000, 1, ""}, {1, 100, ""}});
  EXPECT_EQ(errorOf([&] { sheet.text(5, 5); }), "シート「表」のセルE5はエラー値 #N/A のため読めません");
  // Read, then set again: the next read sees the new text.
  sheet.setText(300, 4, "changed");
  EXPECT_EQ(sheet.text(300, 4), "changed");
  // The texts of a sheet are bounded, and rewriting one reached cell still counts against it.
  const std::string big(SheetCells::kMaxTextBytes / 4, 'x');
  SheetCells full("大");
  for (int row = 1; row <= 4; ++row) full.setText(row, 1, big);
  EXPECT_THROW(full.setText(5, 1, "y"), platform::WorkbookError);
  SheetReach one = SheetReach::rowsUpTo(1);
  one.addColumn(1);
  SheetCells rewritten("大", one);
  for (int i = 0; i < 4; ++i) rewritten.setText(1, 1, big);
  EXPECT_THROW(rewritten.setText(1, 1, "y"), platform::WorkbookError);
  EXPECT_EQ(rewritten.size(), 1u);
}

// The flat table of a small reach, arrival order for one too big (every row, 17 columns).
TEST(SheetCells, AReachKeepsItsCellsOnlyWhateverTheOrder) {
  EXPECT_EQ(SheetReach::rowsUpTo(5000).lastRow(), SheetCells::kMaxRow);
  EXPECT_EQ(SheetReach::rowsUpTo(-3).lastRow(), 0);
  for (const int columns : {6, 17}) {
    SCOPED_TRACE(columns);
    SheetReach reach = SheetReach::rowsUpTo(columns == 6 ? 99 : 999);
    for (int col : {0, 100}) reach.addColumn(col);
    for (int i = 0; i < columns; ++i) reach.addColumn(3 + 2 * i);  // C, E, G, ...
    EXPECT_EQ(reach.columnCount(), static_cast<std::size_t>(columns));
    const int lastRow = reach.lastRow();
    SheetCells sheet("範囲", reach);
    setCells(sheet, {{1, 5, "E1"}, {lastRow, 3, "C last"}, {1, 3, "C1"}, {1, 4, "D1 is not reached"},
                     {lastRow + 1, 3, "below the reach"}, {2, 5, "#REF!"}, {1, 5, "E1 again"}, {2, 4, "#N/A"}});
    EXPECT_EQ(sheet.size(), 4u);
    expectCells(sheet, {{1, 5, "E1 again"}, {1, 3, "C1"}, {lastRow, 3, "C last"}, {1, 4, ""}, {2, 4, ""},
                        {lastRow + 1, 3, ""}, {2, 5, "#REF!"}});  // an unreached error reads as empty
  }
  SheetReach none = SheetReach::rowsUpTo(0);
  none.addColumn(1);
  for (const SheetReach& reach : {none, SheetReach::rowsUpTo(10)}) {
    SheetCells empty("空", reach);
    empty.setText(1, 1, "x");
    EXPECT_EQ(empty.size(), 0u);
  }
  // Both backends skip cells outside the reach unread, so damage there (D4, row 9) goes unseen.
  SheetReach reach = SheetReach::rowsUpTo(8);
  reach.addColumn(3);
  reach.addColumn(5);
  for (const char* file : {"xls/reach.xls", "xlsx/reach-inline.xlsx", "xlsx/reach-shared.xlsx"}) {
    SCOPED_TRACE(file);
    const auto book = platform::openWorkbook(fileOf(fixtureBytes(file)));
    const auto cells = book->readSheet(1, reach);
    expectCells(cells, {{1, 3, "C1"}, {1, 4, ""}, {2, 5, "12.5"}, {3, 3, "1"}, {3, 4, ""}, {3, 5, "3"}});
    EXPECT_EQ(cells.size(), 4u);
    EXPECT_THROW(book->readSheet(1), platform::WorkbookError);  // without a reach the damage is found
  }
}

using Reads = std::vector<std::pair<int, std::vector<CellIs>>>;
// What, bytes, what reading the sheets (by number, in this order) gives and, unless 0, the sheet count.
using Book = std::tuple<std::string, std::string, Reads, int>;

TEST(WorkbookCells, EachBookReadsAsExpected) {
  std::vector<Book> books;
  auto add = [&](const std::string& file, Reads reads, int sheetCount = 0) {
    books.push_back({file, fixtureBytes(file), std::move(reads), sheetCount});
  };
  auto add1 = [&](const std::string& file, std::vector<CellIs> cells) { add(file, {{1, std::move(cells)}}); };

  // Each cell record and formula result; a chart's NUMBER in B8; each error by BOOLERR and FORMULA.
  std::vector<CellIs> cells = {
      {0, 0, "値"}, {1, 1, "共有の文字列"}, {1, 2, "LABELの文字列 "}, {2, 1, "10"}, {2, 2, "0.3"},
      {2, 3, "-12.25"}, {3, 1, "-536870912"}, {3, 2, "12.34"}, {3, 3, "1.5"}, {3, 4, "0.015"}, {4, 3, "7"},
      {4, 4, "8"}, {4, 5, "0.25"}, {5, 1, "3"}, {5, 2, "=Cover!C3 の結果"}, {5, 3, "True"}, {5, 4, "False"},
      {5, 5, ""}, {5, 6, ""}, {5, 7, "99"}, {6, 1, "True"}, {6, 2, "False"}, {7, 1, ""}, {8, 2, ""}, {8, 3, "3"},
      {999, 99, "1"}, {1000, 1, ""}, {1, 100, ""}};
  const char* codes[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A"};
  for (int i = 0; i < 7; ++i) {
    cells.push_back({11 + i, 1, codes[i]});
    cells.push_back({11 + i, 28, codes[i]});
  }
  add("xls/every-kind-of-cell-record.xls", {{1, cells}}, 1);

  // Shared strings cut by records of 23 bytes, or in one; sheet 2 reads them backwards, twice each.
  const std::vector<std::string> strings = {
      "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz",  // 8-bit halves
      "日本語のとても長いテーブル名がレコードの境目をまたいで続きます",  // 16-bit halves
      "abcdefghijklmnopqrstuvwxyz日本語の続き",                          // 8-bit, then 16-bit
      "日本語の後にASCIIだけが続きます: abcdefghijklmnopqrstuvwxyz",     // 16-bit, then 8-bit
      "書式付きの文字列で、書式の並びも分かれます",                      // 9 rich-text runs
      "ふりがな付きの氏名",                                              // phonetic data
      "", "Café ü 😀", "最後"};  // Latin-1 and a surrogate pair
  std::vector<CellIs> forwards, backwards;
  for (std::size_t i = 0; i < strings.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    forwards.push_back({row, 3, strings[i]});
    for (const int col : {3, 5}) backwards.push_back({row, col, strings[strings.size() - i - 1]});
  }
  for (const std::string size : {"23", "8224"}) {
    add("xls/shared-strings-in-records-of-" + size + ".xls", {{1, forwards}, {2, backwards}, {1, forwards}});
  }

  // 45292 in date formats by each number record; a currency, a percent, -1 as a date.
  for (const bool in1904 : {false, true}) {
    const std::string day = in1904 ? "2028/01/02" : "2024/01/01";
    add1(in1904 ? "xls/dates-1904-system-yes.xls" : "xls/dates-1904-system-no.xls",
         {{1, 1, day}, {2, 1, day}, {3, 1, in1904 ? "1904/01/01 18:00:00" : "18:00:00"}, {4, 1, day + " 12:00:00"},
          {5, 1, day}, {6, 1, "45292"}, {7, 1, "0.5"}, {8, 1, "-1"}, {9, 2, in1904 ? "2028/01/03" : "2024/01/02"}});
  }
  // Shapes other readers read.
  add1("xls/code-page-1258-holding-back-a-last-letter.xls", {{1, 1, "Format"}});
  add1("xls/code-page-1255.xls", {{1, 1, "שלום"}});
  add1("xls/a-format-record-whose-text-runs-past-its-end.xls", {{1, 1, "5"}});
  add1("xls/an-empty-label-without-its-option-byte.xls", {{1, 1, ""}, {2, 1, "7"}});
  add1("xls/a-formula-record-of-biff4.xls", {{1, 1, "3"}, {2, 1, "7"}});
  add1("xls/numbers-that-are-not-ones.xls", {{1, 1, "#NUM!"}, {1, 2, "#NUM!"}});
  add1("xls/a-leftover-byte-and-an-empty-continue.xls", {{1, 1, "日本語のとても長いテーブル名"}});
  add1("xls/continue-records-after-cells.xls", {{1, 1, "5"}, {2, 1, "abcdeあ"}, {3, 1, "後"}, {2, 2, ""}});
  // Only worksheets count, hidden ones too, in workbook order (here and in sheet-order.xlsx).
  add("xls/sheet-order.xls",
      {{3, {{0, 0, "最後"}, {3, 3, "三枚目"}}}, {1, {{0, 0, "表紙"}, {3, 3, "一枚目"}}}, {2, {{0, 0, "隠し"}, {3, 3, "二枚目"}}}},
      3);
  add1("xls/biff5-in-code-page-932.xls",
       {{0, 0, "顧客"}, {3, 3, "顧客"}, {6, 4, "顧客ID"}, {6, 5, "2024/01/01"}, {6, 6, "顧客ID"}, {6, 7, "5"}});
  // Encrypted with the default password by either kind of RC4, past the first key's 1024 bytes.
  for (const std::string keyBits : {"0", "40", "56", "128"}) {
    add1("xls/rc4-key-of-" + keyBits + ".xls", {{3, 3, "顧客"}, {11, 4, "10"}, {200, 4, "199"}});
  }
  add1("xls/shared-string-count.xls", {{3, 3, "顧客"}, {4, 3, "二つ目"}});  // claiming 0xFFFFFFFF, holding 2

  // Compound file layouts of sound.xls, and a directory of three sectors (seven streams before "workbook").
  const std::vector<CellIs> soundCells = {{3, 3, "顧客"}, {6, 4, "顧客番号"}, {7, 4, "6"}, {200, 4, "199"}, {400, 4, "399"}};
  for (const char* file : {"sectors-swapped", "last-sector-unpadded", "looped-directory",
                           "allocation-list-beyond-the-header"}) {
    add1(std::string("xls/") + file + ".xls", soundCells);
  }
  add1("xls/directory-of-three-sectors.xls", {{3, 3, "顧客"}});

  // Written by python3-xlwt: number formats, a formula without a result, a hidden sheet.
  const std::vector<CellIs> values = {
      {0, 0, "値"}, {1, 1, "text"}, {1, 2, " 前後に空白 "}, {1, 3, "\u3000"}, {1, 4, "日本語テキスト"}, {2, 2, "1.5"},
      {3, 4, "1099511627776"}, {4, 1, "True"}, {4, 2, "False"}, {4, 3, ""}, {4, 4, ""}, {5, 1, "2024/01/01"},
      {5, 2, "2024/01/01 12:34:56"}, {5, 3, "18:00:00"}, {5, 4, "45292"}, {6, 1, ""}, {6, 2, ""}, {999, 99, "last"},
      {1000, 1, ""}};
  add("xls/xlwt-values.xls", {{1, values}, {2, {{3, 3, "隠しシート"}}}}, 2);

  // .xlsx: rich, phonetic and _xHHHH_ strings, formula results, 1904 dates, a style out of range.
  add1("xlsx/hand-made-parts.xlsx",
       {{1, 1, "顧客名 "}, {1, 2, "改行\r\nあり"}, {1, 3, "_x0041_ と A と \xF0\x9F\x98\x80"}, {1, 4, ""}, {1, 5, "受注明細"},
        {2, 1, ""}, {2, 2, "a b"}, {2, 3, "True"}, {2, 4, "False"}, {2, 5, "-1234567.25"}, {3, 3, "#N/A"}, {3, 4, "1"},
        {4, 1, "1904/01/01"}, {4, 2, "2024/04/01"}, {4, 3, "1904/01/02 06:00:00"}, {4, 4, "43920"},
        {4, 5, "2024/04/01"}, {4, 6, "2024/04/01 10:20:30"}, {4, 7, "5"}});
  add("xlsx/sheet-order.xlsx",
      {{3, {{0, 0, "二"}, {1, 1, "2"}}}, {1, {{0, 0, "三"}, {1, 1, "3"}}}, {2, {{0, 0, "一"}, {1, 1, "1"}}}}, 3);
  add1("xlsx/cells-without-references-follow-the-previous-ones.xlsx",
       {{1, 1, "A1"}, {1, 2, "2"}, {3, 3, "33"}, {3, 4, "34"}, {4, 2, "42"}, {4, 3, ""}, {4, 4, "44"},
        {999, 1, "999"}});
  add1("xlsx/empty-values.xlsx", {{1, 1, ""}, {1, 4, ""}, {1, 5, ""}});  // <v/> in a string, number, boolean
  add1("xlsx/a-style-index-without-styles.xlsx", {{1, 1, "45383"}});
  add1("xlsx/less-common-forms-of-xml.xlsx",
       {{1, 1, "<a & b>"}, {1, 2, "Aあ<&>\"'"}, {1, 3, "一行目\n二行目\n三行目"}, {1, 4, "12"}});
  add1("xlsx/a-differential-format-redefining-a-cell-s-format.xlsx", {{1, 1, "2007/01/15"}});  // 14 as 0.00
  add1("xlsx/lower-case-references.xlsx", {{2, 2, "5"}, {2, 28, "6"}});
  add1("xlsx/iso-dates-times-and-durations-of-strict-files.xlsx",
       {{1, 1, "00:11:00"}, {1, 2, "00:00:00"}, {1, 3, "06:00:00"}, {1, 4, "1900/01/01 12:00:00"},
        {1, 5, "1900/01/01"}, {1, 6, "P1M"}});
  add1("xlsx/a-number-that-is-not-one.xlsx", {{1, 1, "#NUM!"}});
  // Whole numbers below 1E+15 are shown in full, the rest as the spreadsheet shows them.
  add1("xlsx/whole-numbers.xlsx", {{1, 1, "123456789012345"}, {1, 2, "1E+15"}});
  // A fifth item the quick path for plain strings does not know sends the part to the full one.
  for (const auto& [file, last] : std::vector<std::pair<std::string, std::string>>{
           {"plain", "末尾"}, {"reference", "末&尾"}, {"rich", "末尾"}}) {
    add1("xlsx/strings-" + file + ".xlsx",
         {{1, 1, "顧客"}, {1, 2, " 名 "}, {1, 3, ""}, {1, 4, "改行\r\nあり"}, {1, 5, last}});
  }
  add1("xlsx/prefixed.xlsx", {{0, 0, "接頭辞"}, {3, 3, "顧客"}, {3, 4, "名前"}, {3, 5, ""}});
  for (const char* file : {"names-backslashes", "names-letter-case", "strict-namespaces"}) {
    add1(std::string("xlsx/") + file + ".xlsx", {{2, 2, "受注"}, {2, 3, "42"}});
  }
  add("xlsx/relationship-targets.xlsx",
      {{1, {{1, 1, "1"}}}, {2, {{1, 1, "2"}}}, {3, {{1, 1, "3"}}}, {4, {{1, 1, "4"}}}}, 4);
  // The sheet named A&amp;B\nC&#9;D; a worksheet in UTF-16 told by its mark, and by its declaration.
  add1("xlsx/sheet-name.xlsx", {{0, 0, "A&B C\tD"}});
  for (const char* file : {"xlsx/utf-16le.xlsx", "xlsx/utf-16be.xlsx"}) add1(file, {{1, 1, "顧客𠮷"}});

  // A sheet whose relationship is empty or missing keeps its place as one that does not exist.
  add("xlsx/sheet-without-a-part.xlsx",
      {{1, {{-1, 0, "の参照  が"}}}, {2, {{1, 1, "2"}}}, {3, {{-1, 0, "「無」の参照 rId99 がありません"}}}}, 3);
  for (const char* file : {"xlsx/cut-short-later.xlsx", "xls/small.xls"}) add1(file, {{3, 3, "顧客"}});
  add1("xlsx/small.xlsx", {{1, 1, ""}});  // the package the refused ones are made from

  for (const auto& [what, bytes, reads, sheetCount] : books) {
    SCOPED_TRACE(what);
    const std::string error = errorOf([&] {
      const std::string path = fileOf(bytes);
      const auto opened = platform::openWorkbook(path);
      std::filesystem::resize_file(path, 0);  // what was opened is in memory, never mapped (SIGBUS)
      if (sheetCount) {
        EXPECT_EQ(opened->sheetCount(), sheetCount);
        EXPECT_THROW(opened->readSheet(sheetCount + 1), platform::WorkbookError);
      }
      for (const auto& [n, cells] : reads) {
        EXPECT_EQ(opened->hasSheet(n), cells.front().row >= 0) << n;
        if (cells.front().row >= 0) expectCells(opened->readSheet(n), cells);
        else EXPECT_NE(errorOf([&] { opened->readSheet(n); }).find(cells.front().text), std::string::npos);
      }
    });
    EXPECT_EQ(error, "");
  }
}

std::string openError(const std::string& path) {
  return errorOf([&] { platform::openWorkbook(path); }, "(opened)");
}

void expectReason(const std::string& reason, const std::vector<std::string>& words) {
  for (const std::string& word : words) EXPECT_NE(reason.find(word), std::string::npos) << reason;
  EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
  EXPECT_EQ(reason.find("root:"), std::string::npos) << reason;  // no external entity was read
}

// "small" is a one-sheet .xls (シート1: 顧客 in C3, numbers in D6 and D7), shared strings at 70.
TEST(Refusals, WhatCannotBeOpenedSaysWhy) {
  const std::string password = "パスワードで保護されています", damaged = "複合ファイルの構造が壊れています";
  const std::string broken = "ブックの内容が壊れています: ", noBof = broken + "ブックがBOFレコードで始まっていません";
  const std::string past = broken + "レコードの長さがストリームの外を指しています (位置 ";
  const std::string cut = broken + "レコードがデータの途中で終わっています", allocation = "割り当て表";
  const std::string unreadable = "ストリーム「Workbook」を読めません", biff4 = "Excel 4.0 ワークシート (BIFF4)";
  const std::string noDirectory = "zip ファイルが壊れています: 中央ディレクトリが見つかりません (ファイルが途中で切れています)";
  // A fixture and its reason; damaged compound files are sound.xls cut, overwritten or patched.
  std::vector<std::pair<std::string, std::string>> files = {
      {"unreadable/encrypted.xls", password}, {"unreadable/encrypted.xlsx", password},
      {"unreadable/biff2.xls", "Excel 2.1 ワークシート (BIFF2)"}, {"unreadable/biff3.xls", "Excel 3.0 ワークシート (BIFF3)"},
      {"unreadable/biff4.xls", biff4}, {"unreadable/biff4-compound.xls", biff4},
      {"unreadable/excel4.xlw", "Excel 4.0 ブック (BIFF4W)"}, {"unreadable/letter.xls", "Word 文書です"},
      {"unreadable/header-only.xls", damaged}, {"unreadable/cut.xls", damaged},
      {"unreadable/directory.xls", damaged}, {"unreadable/cutoff.xls", damaged},
      {"unreadable/other.xls", "Excel のブックのストリーム (Workbook) がありません"},  // a Contents stream only
      {"refused/globals-cut-at-0.xls", noBof}, {"refused/no-bof-first.xls", noBof},
      {"refused/globals-cut-at-3.xls", broken + "ブックのストリームがレコードの途中で終わっています (位置 0)"},
      {"refused/globals-cut-at-10.xls", past + "0)"}, {"refused/globals-cut-in-the-shared-strings.xls", past + "70)"},
      {"refused/globals-record-too-long.xls", past + "70)"},  // the shared strings' length 0xFFF0
      {"refused/biff4-version-word.xls", biff4}, {"refused/biff3-version-word.xls", "BIFF3"},
      {"refused/unknown-version-word.xls", "0x0700"},
      // Shared strings no cell uses, running past the table, still stop the open.
      {"refused/shared-string-of-5.xls", cut}, {"refused/shared-string-of-65535.xls", cut},
      {"refused/directory-sector-outside-the-file.xls", damaged}, {"refused/truncated.xls", damaged},
      {"refused/more-allocation-sectors-than-sectors.xls", allocation},
      // The allocation sector in the header's continuation list (at 65536) outside the file; the list itself
      // outside it, or lost.
      {"refused/allocation-sector-outside.xls", allocation}, {"refused/allocation-list-outside.xls", allocation},
      {"refused/allocation-list-lost.xls", allocation},
      // A string of 65535 characters in CONTINUE records of nothing or an option byte, to the end.
      {"refused/endless-continue-records.xls", cut},
      {"refused/cut-before-the-last-sector.xls", unreadable},
      {"refused/chain-ending-before-the-stream.xls", unreadable},
      {"refused/a-word-processor-document.xlsx", "Word の文書 (.docx) で、Excel のブックではありません"},
      {"refused/2-gib-declared.xlsx", "xl/workbook.xml"},
      // small.xlsx with "<unclosed>" after one part.
      {"refused/not-well-formed-xl-workbook-xml.xlsx", "xl/workbook.xml"},
      {"refused/not-well-formed-xl-rels-workbook-xml-rels.xlsx", "xl/_rels/workbook.xml.rels"},
      {"refused/not-well-formed-rels-rels.xlsx", "_rels/.rels"},
      {"refused/not-well-formed-xl-sharedstrings-xml.xlsx", "xl/sharedStrings.xml"},
      {"refused/not-well-formed-xl-styles-xml.xlsx", "xl/styles.xml"}};
  for (const std::string keyBits : {"0", "40", "56", "128"}) {  // small encrypted with the password 'secret'
    files.emplace_back("refused/wrong-password-key-of-" + keyBits + ".xls",
                       password + "。パスワードなしで保存し直してから読み込んでください");
  }
  for (const std::string size : {"40", "822", "1635"}) {
    files.emplace_back("refused/zip-cut-to-" + size + "-bytes.xlsx", noDirectory);
  }
  struct Refusal {
    std::string what, bytes;
    std::vector<std::string> words;
  };
  std::vector<Refusal> rows;
  for (const auto& [file, reason] : files) rows.push_back({file, fixtureBytes(file), {reason}});
  // .xlsx: "patched" ones are small.xlsx with a field of xl/workbook.xml's central directory record changed.
  const std::string wb = "xl/workbook.xml", size = "サイズ";
  for (const auto& [label, words] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"word-document", {"Word"}}, {"opendocument-spreadsheet", {".ods"}},  // word/document.xml
           {"binary-workbook", {".xlsb"}},                                      // xl/workbook.bin
           {"checksum", {wb, "CRC"}},                                                   // patched: one CRC bit flipped
           {"size-smaller", {wb, size}}, {"size-larger", {wb, size}},                   // patched: one less, seven more
           {"cut-short", {"途中で切れています"}},                                       // the file's first two thirds
           {"deflate-data-cut-short", {wb, "圧縮データが途中で切れています"}},          // patched: half
           {"deflate-data-damaged", {wb, "圧縮データが壊れています"}},                  // a reserved block type
           {"over-the-size-limit", {wb, "大きすぎます"}},                               // patched: 300 MiB declared
           {"encrypted-entry", {wb, "暗号化"}}, {"compression-method", {wb, "圧縮方式"}},  // patched: 1, 14
           {"missing-part", {"xl/sharedStrings.xml", "ありません"}},                    // related, not in the zip
           {"not-well-formed", {wb, "5 行目", "</sheet>", "<sheets>"}},                 // </sheet> closing <sheets>
           {"excel-2007-beta", {"ベータ版"}},                                           // the 2006/2 namespace
           {"deep-nesting", {wb, "入れ子が深すぎます (256 段まで)"}},                   // 300 nested elements
           {"many-attributes", {wb, "<sheets> の属性が多すぎます (1024 個まで)"}},      // 1100
           {"many-namespaces", {wb, "名前空間の宣言が多すぎます"}},                     // 200 prefixes declared
           {"duplicate-attribute", {wb, "属性 b0 が二度あります"}},                     // the last of 20 attributes
           {"sheets-sharing-a-part", {"シート「a」とシート「b」が同じパーツ xl/worksheets/sheet1.xml を指しています"}},
           {"document-type", {wb, "文書型宣言"}}, {"undefined-entity", {wb, "&nbsp;"}},
           {"string-count", {"xl/sharedStrings.xml", "400000000"}}}) {  // the uniqueCount of one item
    rows.push_back({label, fixtureBytes("unreadable/" + label + ".xlsx"), words});
  }
  for (const auto& package : unreadablePackages()) rows.push_back({package.label, package.bytes, package.words});
  rows.push_back({"zip signature, then text", "PK\x03\x04 but nothing of a zip archive follows", {noDirectory}});
  // Other kinds of file, told by their first bytes.
  for (const auto& [bytes, reason] : std::vector<std::pair<std::string, std::string>>{
           {"PK", "テキストファイルです (Excel のブックではありません)"}, {"テーブル定義\tメモ\n顧客,顧客番号\n", "テキストファイル"},
           {"\xEF\xBB\xBF<!DOCTYPE html>\n<html>", "HTML ファイルです"}, {"%PDF-1.4\n%\xE2\xE3\xCF\xD3\n", "PDF ファイルです"},
           {"<?xml version=\"1.0\"?>\n<?mso-application progid=\"Excel.Sheet\"?>", "XML スプレッドシート 2003"}}) {
    rows.push_back({bytes, bytes, {reason}});
  }
  for (const Refusal& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string reason = openError(fileOf(row.bytes));
    EXPECT_NE(reason, "(opened)");
    expectReason(reason, row.words);
  }
  // What a path may name besides a file.
  TempDir dir;
  for (const auto& [path, reason] : std::vector<std::pair<std::string, std::string>>{
           {"", "ブックのパスが指定されていません"}, {"   ", "ブックのパスが指定されていません"},
           {dir.file("missing.xlsx"), "ファイルが見つかりません"}, {dir.path().string(), "ファイルではなくフォルダです"},
           {fileOf(""), "ファイルが空です (0 バイト)"}}) {
    EXPECT_EQ(openError(path), reason) << path;
  }
}

TEST(Refusals, DamageInASheetShowsWhenItIsRead) {
  // The workbook opens, the sheet does not read. small.xls's last NUMBER is at 145, its stream 167 bytes.
  const std::string sheet = "シート「シート1」", part = "xl/worksheets/sheet1.xml";
  const std::string broken = part + " が壊れています: ", doctype = "XML の 1 行目: 文書型宣言 (DOCTYPE) があります";
  const std::string outside = sheet + "の開始位置がストリームの外です", strings = "XML の 2 行目: 共有文字列 2 がありません";
  const std::vector<std::pair<std::string, std::string>> rows = {
      // Cut in its last NUMBER's header, in its value, in the sheet's EOF.
      {"sheet-cut-at-147.xls", sheet}, {"sheet-cut-at-154.xls", sheet}, {"sheet-cut-at-165.xls", sheet},
      {"sheet-record-past-the-end.xls", sheet + ": レコードの長さがストリームの外を指しています (位置 145)"},
      {"sheet-without-its-eof.xls", sheet + "がEOFレコードなしで終わっています"},
      // A LABELSST in B8 past the one shared string.
      {"sheet-shared-string-index-1.xls", sheet + "のセルB8が共有文字列表にない文字列 (番号 1) を指しています"},
      {"sheet-shared-string-index-4294967295.xls",
       sheet + "のセルB8が共有文字列表にない文字列 (番号 4294967295) を指しています"},
      {"sheet-offset-4294967280.xls", outside}, {"sheet-offset-2147483647.xls", outside},  // BOUNDSHEET offsets
      {"sheet-offset-20.xls", sheet + "がBOFレコードで始まっていません"},
      {"sheet-line-of-the-damage.xlsx",  // </c> closing <v> on the part's line 4
       "シート「Sheet1」を読めません: パーツ " + broken + "XML の 4 行目: 終了タグ </c> が開始タグ <v> と合いません"},
      {"sheet-part-missing.xlsx", "シート「Sheet1」を読めません: パーツ " + part + " がありません"},
      // Worksheet parts are inflated only when their sheet is read; one declaring 300 MiB never.
      {"sheet-checksum.xlsx", broken + "チェックサム (CRC) が合いません"},
      {"sheet-declared-300-mib.xlsx", part + " が大きすぎます (314572800 バイト、上限は 268435456 バイト)"},
      {"sheet-garbled-deflate-data.xlsx", broken + "圧縮データが壊れています"},
      // Entities expanding to 5120 characters, one naming file:///etc/passwd, a plain DOCTYPE.
      {"sheet-entity-expansion.xlsx", doctype}, {"sheet-external-entity.xlsx", doctype},
      {"sheet-doctype.xlsx", doctype}, {"sheet-row-not-closed.xlsx", part}, {"sheet-reference-1a.xlsx", part},
      {"sheet-string-without-table.xlsx", part}, {"sheet-row-number-one.xlsx", part},
      {"sheet-number-twelve.xlsx", part}, {"sheet-boolean-x.xlsx", part},
      // One item more than the table holds, on the quick path for plain items and on the full one.
      {"sheet-string-index-past-plain.xlsx", strings}, {"sheet-string-index-past-reference.xlsx", strings},
      {"sheet-string-index-past-rich.xlsx", strings}};
  for (const auto& [file, reason] : rows) {
    SCOPED_TRACE(file);
    const std::string error = errorOf([&] {
      const auto book = platform::openWorkbook(fileOf(fixtureBytes("refused/" + file)));
      expectReason(errorOf([&] { book->readSheet(1); }), {reason, reason == part ? "Sheet1" : ""});
    });
    EXPECT_EQ(error, "") << "not opened";
  }
}

}  // namespace
}  // namespace morvane::test
