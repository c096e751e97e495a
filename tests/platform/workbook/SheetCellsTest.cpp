// The cells of one sheet: any order of setting, the last text of a cell wins, bounds, and the
// reach a design document reads (cells outside it are never made, rows below it never read).
#include <gtest/gtest.h>

#include "platform/workbook/SheetCells.h"
#include "tests/platform/WorkbookTestSupport.h"

namespace morvane::test {
namespace {

using platform::SheetCells;
using platform::SheetReach;

TEST(SheetCells, AnyOrderOfSettingReadsBackAndTheLastTextOfACellWins) {
  SheetCells sheet("表");
  // Row order with a cell a little out of place, one set again at once and one set again
  // far back (more cells in between than are put in place on the fly).
  sheet.setText(1, 10, "name");
  sheet.setText(1, 4, "D1");
  sheet.setText(1, 4, "D1 again");
  for (int row = 2; row <= 300; ++row) sheet.setText(row, 4, std::to_string(row));
  sheet.setText(3, 4, "D3 again");
  sheet.setText(999, 99, "last");
  sheet.setText(1000, 1, "beyond");
  sheet.setText(1, 100, "beyond");
  sheet.setError(5, 5, "#N/A");
  sheet.setText(2, 4, "D2 again");
  EXPECT_EQ(sheet.size(), 303u);
  expectCells(sheet, {{1, 10, "name"}, {1, 4, "D1 again"}, {2, 4, "D2 again"}, {3, 4, "D3 again"},
                      {300, 4, "300"}, {999, 99, "last"}, {1, 5, ""}, {301, 4, ""}, {1000, 1, ""},
                      {1, 100, ""}});
  EXPECT_EQ(errorOf([&] { sheet.text(5, 5); }),
            "シート「表」のセルE5はエラー値 #N/A のため読めません");
  // Read, then set again: the next read sees the new text.
  sheet.setText(300, 4, "changed");
  EXPECT_EQ(sheet.text(300, 4), "changed");
  // Every cell, in reverse order.
  SheetCells full("逆順");
  for (int row = SheetCells::kMaxRow; row >= 1; --row) {
    for (int col = SheetCells::kMaxCol; col >= 1; --col) {
      full.setText(row, col, std::to_string(100 * row + col));
    }
  }
  EXPECT_EQ(full.size(), static_cast<std::size_t>(SheetCells::kMaxRow * SheetCells::kMaxCol));
  expectCells(full, {{1, 1, "101"}, {500, 42, "50042"}, {999, 99, "99999"}});
}

// The texts of a sheet are bounded, and rewriting one reached cell still counts against it.
TEST(SheetCells, TheTextsOfASheetAreBounded) {
  const std::string big(SheetCells::kMaxTextBytes / 4, 'x');
  SheetCells sheet("大");
  for (int row = 1; row <= 4; ++row) sheet.setText(row, 1, big);
  EXPECT_THROW(sheet.setText(5, 1, "y"), platform::WorkbookError);
  SheetReach one = SheetReach::rowsUpTo(1);
  one.addColumn(1);
  SheetCells rewritten("大", one);
  for (int i = 0; i < 4; ++i) rewritten.setText(1, 1, big);
  EXPECT_THROW(rewritten.setText(1, 1, "y"), platform::WorkbookError);
  EXPECT_EQ(rewritten.size(), 1u);
}

// Small enough for the flat table, and one too big for it (every row, 17 columns), which keeps
// cells in arrival order instead.
TEST(SheetCells, AReachKeepsItsCellsOnlyWhateverTheOrder) {
  EXPECT_EQ(SheetReach::rowsUpTo(5000).lastRow(), SheetCells::kMaxRow);
  EXPECT_EQ(SheetReach::rowsUpTo(-3).lastRow(), 0);
  for (const int columns : {6, 17}) {
    SCOPED_TRACE(columns);
    SheetReach reach = SheetReach::rowsUpTo(columns == 6 ? 99 : 999);
    for (int i = 0; i < columns; ++i) reach.addColumn(3 + 2 * i);  // C, E, G, ...
    reach.addColumn(0);
    reach.addColumn(100);
    EXPECT_EQ(reach.columnCount(), static_cast<std::size_t>(columns));
    const int lastRow = reach.lastRow();
    SheetCells sheet("範囲", reach);
    sheet.setText(1, 5, "E1");
    sheet.setText(lastRow, 3, "C last");
    sheet.setText(1, 3, "C1");
    sheet.setText(1, 4, "D1 is not reached");
    sheet.setText(lastRow + 1, 3, "below the reach");
    sheet.setError(2, 5, "#REF!");
    sheet.setText(1, 5, "E1 again");
    sheet.setError(2, 4, "#N/A");  // unreached: reads as empty, never throws
    EXPECT_EQ(sheet.size(), 4u);
    expectCells(sheet, {{1, 5, "E1 again"}, {1, 3, "C1"}, {lastRow, 3, "C last"}, {1, 4, ""}, {2, 4, ""},
                        {lastRow + 1, 3, ""}, {2, 5, "#REF!"}});
    EXPECT_FALSE(sheet.wants(1, 4));
    EXPECT_TRUE(sheet.wants(lastRow, 3));
  }
  // No rows or no columns: nothing is kept.
  SheetReach none = SheetReach::rowsUpTo(0);
  none.addColumn(1);
  SheetCells empty("空", none), noColumns("空", SheetReach::rowsUpTo(10));
  empty.setText(1, 1, "x");
  noColumns.setText(1, 1, "x");
  EXPECT_EQ(empty.size() + noColumns.size(), 0u);
}

// Both backends: cells outside the reach are skipped unread, so damage there goes unseen. Each
// book has C1, 12.5 in E2, 1 2 3 in C3:E3, damage in D4 (a LABEL running past its record) or in
// row 9 (a reference C@9), and C9 in the .xls; the .xlsx ones have an inline string in C1 (which
// sends the quick path back to the full one) or a shared one.
TEST(SheetCells, BothBackendsReadWithinAReach) {
  SheetReach reach = SheetReach::rowsUpTo(8);
  reach.addColumn(3);
  reach.addColumn(5);
  for (const char* file : {"xls/reach.xls", "xlsx/reach-inline.xlsx", "xlsx/reach-shared.xlsx"}) {
    SCOPED_TRACE(file);
    const auto book = platform::openWorkbook(fileOf(fixtureBytes(file)));
    const auto cells = book->readSheet(1, reach);
    expectCells(cells, {{1, 3, "C1"}, {1, 4, ""}, {2, 5, "12.5"}, {3, 3, "1"}, {3, 4, ""}, {3, 5, "3"}});
    EXPECT_EQ(cells.size(), 4u);
    // Without a reach the whole sheet is read, and the damage found.
    EXPECT_THROW(book->readSheet(1), platform::WorkbookError);
  }
}

}  // namespace
}  // namespace morvane::test
