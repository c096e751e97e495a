// Both backends read a sheet within a reach: the cells outside it are never made, and rows
// below it are not read at all, so damage there goes unseen.
#include <gtest/gtest.h>

#include "tests/platform/WorkbookTestSupport.h"
#include "tests/support/XlsxPackage.h"

namespace morvane::test {
namespace {

using platform::SheetReach;

SheetReach columnsCAndE(int lastRow) {
  SheetReach reach = SheetReach::rowsUpTo(lastRow);
  reach.addColumn(3);
  reach.addColumn(5);
  return reach;
}

TEST(SheetReach, XlsCellsOutsideTheReachAreSkippedUnread) {
  TempDir dir;
  BiffWriter writer;
  const auto s = writer.addSheet("定義");
  writer.labelSst(s, 0, 2, "C1");
  writer.labelSst(s, 0, 3, "D1");
  writer.number(s, 1, 4, 12.5);
  writer.rk(s, 1, 2, BiffWriter::rkInteger(7));
  writer.mulRk(s, 2, 2, {BiffWriter::rkInteger(1), BiffWriter::rkInteger(2), BiffWriter::rkInteger(3)});
  // A LABEL in D4 whose string runs past its record: damage only a reader of D4 meets.
  writer.sheetRecord(s, 0x0204, le16(3) + le16(3) + le16(0) + le16(40) + std::string(1, '\0') + "abc");
  writer.labelSst(s, 4, 2, "C5");
  const auto book = saveAndOpen(writer, dir);
  ASSERT_TRUE(book);
  const auto cells = book->readSheet(1, columnsCAndE(4));
  expectCells(cells, {{1, 3, "C1"}, {1, 4, ""}, {2, 5, "12.5"}, {2, 3, "7"}, {3, 3, "1"}, {3, 4, ""}, {3, 5, "3"},
                      {5, 3, ""}});
  EXPECT_EQ(cells.size(), 5u);
  EXPECT_EQ(cells.name(), "定義");
  // Without a reach the whole sheet is read, and the damage found.
  EXPECT_THROW(book->readSheet(1), platform::WorkbookError);
}

TEST(SheetReach, XlsxRowsBelowTheReachAreNotRead) {
  // Row 9 holds a reference no reader accepts. The inline string sends the quick path back
  // to the full one, so both stop at the reach.
  for (const std::string first : {"<c r=\"C1\"><v>1</v></c>", "<c r=\"C1\" t=\"inlineStr\"><is><t>1</t></is></c>"}) {
    SCOPED_TRACE(first);
    HandPackage package;
    package.sheets = {worksheetXml("<row r=\"1\">" + first + "<c r=\"D1\"><v>4</v></c></row>"
                                   "<row r=\"2\"><c r=\"E2\"><v>2.5</v></c><c r=\"F2\"><v>6</v></c></row>"
                                   "<row r=\"9\"><c r=\"C@9\"><v>9</v></c></row>")};
    TempDir dir;
    writeZip(dir.file("book.xlsx"), package.parts());
    const auto book = platform::openWorkbook(dir.file("book.xlsx"));
    const auto cells = book->readSheet(1, columnsCAndE(8));
    expectCells(cells, {{1, 3, "1"}, {1, 4, ""}, {2, 5, "2.5"}, {2, 6, ""}});
    EXPECT_EQ(cells.size(), 2u);
    EXPECT_NE(sheetError(*book).find("C@9"), std::string::npos) << sheetError(*book);
  }
}

}  // namespace
}  // namespace morvane::test
