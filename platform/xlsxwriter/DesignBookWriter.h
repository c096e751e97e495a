#pragma once
// Writes a workbook of text cells as a .xlsx file through libxlsxwriter: styled cells, links
// between sheets, drop-down lists, frozen panes and columns as wide as their text.
#include <cstdint>
#include <string>
#include <vector>

namespace morvane::platform {

enum class BookStyle { plain, title, label, header, field };

struct BookCell {
  std::int32_t row = 0, col = 0;  // from 1
  std::string text;
  BookStyle style = BookStyle::plain;
  std::string linkSheet;  // a link to that sheet's first cell when not empty
};

// A drop-down list over a column's rows.
struct BookList {
  std::int32_t col = 0, firstRow = 0, lastRow = 0;
  std::vector<std::string> items;
};

struct BookSheet {
  std::string name;  // one the spreadsheet takes, unique in the workbook
  std::vector<BookCell> cells;
  std::vector<BookList> lists;
  std::int32_t frozenRows = 0;  // rows kept in view above the scroll
};

// Replaces the file at path as every other output is: written complete under a temporary name,
// then renamed; a read-only file is refused. Throws FileError naming the file and the reason.
void writeBook(const std::string& path, const std::vector<BookSheet>& sheets);

// What the book module (libxlsxwriter) gives: the workbook written at path, and the reason when
// it could not be (empty when it was).
struct BookModule {
  std::string (*write)(const std::string& path, const std::vector<BookSheet>& sheets);
};

}  // namespace morvane::platform
