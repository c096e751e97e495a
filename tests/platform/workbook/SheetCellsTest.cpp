// The cells of one sheet: any order of setting, the last text of a cell wins, and bounds.
#include <gtest/gtest.h>

#include "platform/workbook/SheetCells.h"
#include "platform/workbook/Workbook.h"

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
  EXPECT_EQ(sheet.text(1, 10), "name");
  EXPECT_EQ(sheet.text(1, 4), "D1 again");
  EXPECT_EQ(sheet.text(2, 4), "D2 again");
  EXPECT_EQ(sheet.text(3, 4), "D3 again");
  EXPECT_EQ(sheet.text(300, 4), "300");
  EXPECT_EQ(sheet.text(999, 99), "last");
  EXPECT_EQ(sheet.text(1, 5), "");
  EXPECT_EQ(sheet.text(301, 4), "");
  try {
    sheet.text(5, 5);
    ADD_FAILURE() << "an error value reads";
  } catch (const platform::WorkbookError& error) {
    EXPECT_STREQ(error.what(), "シート「表」のセルE5はエラー値 #N/A のため読めません");
  }
  // Read, then set again: the next read sees the new text.
  sheet.setText(300, 4, "changed");
  sheet.setText(4, 4, "D4 again");
  EXPECT_EQ(sheet.text(300, 4), "changed");
  EXPECT_EQ(sheet.text(4, 4), "D4 again");
  EXPECT_EQ(sheet.size(), 303u);
}

TEST(SheetCells, EveryCellInReverseOrder) {
  SheetCells sheet("逆順");
  for (int row = SheetCells::kMaxRow; row >= 1; --row) {
    for (int col = SheetCells::kMaxCol; col >= 1; --col) sheet.setText(row, col, std::to_string(row * 100 + col));
  }
  EXPECT_EQ(sheet.size(), static_cast<std::size_t>(SheetCells::kMaxRow * SheetCells::kMaxCol));
  EXPECT_EQ(sheet.text(1, 1), "101");
  EXPECT_EQ(sheet.text(500, 42), "50042");
  EXPECT_EQ(sheet.text(999, 99), "99999");
}

TEST(SheetCells, TheTextsOfASheetAreBounded) {
  SheetCells sheet("大");
  const std::string big(SheetCells::kMaxTextBytes / 4, 'x');
  for (int row = 1; row <= 4; ++row) sheet.setText(row, 1, big);
  EXPECT_THROW(sheet.setText(5, 1, "y"), platform::WorkbookError);
  EXPECT_EQ(sheet.text(4, 1).size(), big.size());
}

// A design document's reach: a few columns down to a row. Small enough for the flat table, and
// one too big for it (every row, 17 columns), which keeps cells in arrival order instead.
TEST(SheetCells, AReachKeepsItsCellsOnlyWhateverTheOrder) {
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
    EXPECT_EQ(sheet.text(1, 5), "E1 again");
    EXPECT_EQ(sheet.text(1, 3), "C1");
    EXPECT_EQ(sheet.text(lastRow, 3), "C last");
    EXPECT_EQ(sheet.text(1, 4), "");
    EXPECT_EQ(sheet.text(2, 4), "");
    EXPECT_EQ(sheet.text(lastRow + 1, 3), "");
    EXPECT_FALSE(sheet.wants(1, 4));
    EXPECT_TRUE(sheet.wants(lastRow, 3));
    EXPECT_THROW(sheet.text(2, 5), platform::WorkbookError);
  }
}

TEST(SheetCells, ReachBounds) {
  EXPECT_EQ(SheetReach::rowsUpTo(5000).lastRow(), SheetCells::kMaxRow);
  EXPECT_EQ(SheetReach::rowsUpTo(-3).lastRow(), 0);
  // No rows or no columns: nothing is kept.
  SheetReach none = SheetReach::rowsUpTo(0);
  none.addColumn(1);
  SheetCells empty("空", none);
  empty.setText(1, 1, "x");
  EXPECT_EQ(empty.size(), 0u);
  SheetCells noColumns("空", SheetReach::rowsUpTo(10));
  noColumns.setText(1, 1, "x");
  EXPECT_EQ(noColumns.text(1, 1), "");
  // Rewriting one reached cell still counts against the bound on a sheet's texts.
  SheetReach one = SheetReach::rowsUpTo(1);
  one.addColumn(1);
  SheetCells sheet("大", one);
  const std::string big(SheetCells::kMaxTextBytes / 4, 'x');
  for (int i = 0; i < 4; ++i) sheet.setText(1, 1, big);
  EXPECT_THROW(sheet.setText(1, 1, "y"), platform::WorkbookError);
  EXPECT_EQ(sheet.size(), 1u);
}

}  // namespace
}  // namespace morvane::test
