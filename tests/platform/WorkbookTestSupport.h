#pragma once
// Helpers shared by the workbook backend tests: a workbook is given as its bytes, a compound
// file (.xls) or a zip archive (.xlsx), and opened by content as the program opens it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/workbook/Workbook.h"
#include "tests/support/BiffWriter.h"
#include "tests/support/TempDir.h"
#include "tests/support/UnreadableXls.h"

namespace morvane::test {

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

// A cell and the text it reads as. A text starting with '#' is an error: reading the cell must
// fail with a message holding the rest of the text. Row 0 stands for the sheet's name.
struct CellIs {
  int row;
  int col;
  std::string text;
};

inline void expectCells(const platform::SheetCells& sheet, const std::vector<CellIs>& cells) {
  for (const auto& [row, col, text] : cells) {
    if (row == 0) EXPECT_EQ(sheet.name(), text);
    else if (!text.starts_with('#'))
      EXPECT_EQ(sheet.text(row, col), text) << platform::cellReference(row, col);
    else EXPECT_NE(errorOf([&] { sheet.text(row, col); }).find(text.substr(1)), std::string::npos) << text;
  }
}

// Writes the bytes to a file of its own (kept until the tests end) and returns its path.
inline std::string fileOf(const std::string& bytes) {
  static TempDir dir;
  static int count = 0;
  const std::string path = dir.file("book" + std::to_string(++count));
  writeBytes(path, bytes);
  return path;
}

inline std::string openError(const std::string& path) {
  return errorOf([&] { platform::openWorkbook(path); }, "(opened)");
}

// A workbook and what reading its sheets (by number, in this order) must give; with sheetCount
// set, the number of worksheets it holds.
struct Book {
  std::string what;
  std::string bytes;
  std::vector<std::pair<int, std::vector<CellIs>>> reads;
  int sheetCount = 0;
};

inline void expectBooks(const std::vector<Book>& books) {
  for (const Book& book : books) {
    SCOPED_TRACE(book.what);
    const std::string error = errorOf([&] {
      const auto opened = platform::openWorkbook(fileOf(book.bytes));
      if (book.sheetCount) {
        EXPECT_EQ(opened->sheetCount(), book.sheetCount);
        EXPECT_THROW(opened->readSheet(book.sheetCount + 1), platform::WorkbookError);
      }
      for (const auto& [n, cells] : book.reads) expectCells(opened->readSheet(n), cells);
    });
    EXPECT_EQ(error, "");
  }
}

inline std::string le32(unsigned v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v >> 16 & 0xFF),
          static_cast<char>(v >> 24)};
}

// 110 allocation sectors of a compound file of 512-byte sectors: the real one first, the rest
// free sectors padded onto the file, the last of them named in a sector of the header's
// continuation list; with where that sector starts. (Too big a file to keep as a fixture.)
inline std::pair<std::string, std::size_t> withAllocationListBeyondTheHeader(std::string bytes) {
  const auto firstPad = static_cast<std::uint32_t>(bytes.size() / 512 - 1);
  bytes +=
      std::string(110 * 512, '\xFF') + le32(firstPad + 109) + std::string(504, '\xFF') + le32(0xFFFFFFFE);
  for (unsigned i = 1; i < 109; ++i) bytes.replace(0x4C + 4 * i, 4, le32(firstPad + i));
  bytes.replace(0x2C, 4, le32(110)).replace(0x44, 4, le32(firstPad + 110)).replace(0x48, 4, le32(1));
  return {bytes, 512 * (firstPad + 111)};
}

}  // namespace morvane::test
