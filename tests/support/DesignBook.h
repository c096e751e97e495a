#pragma once
// Design documents in the default layout, written by libxlsxwriter: the table name in C3, fields
// from row 6 in D (name), E (type), F (size), G (key mark) and I (NULL mark).
#include <string>
#include <vector>

#include "tests/support/XlsxPackage.h"

namespace morvane::test {

struct Row {
  std::string name, type, size = {}, key = {}, null = {};
};

struct DesignSheet {
  std::string table;
  std::vector<Row> rows;
};

// One sheet per table, named Sheet1, Sheet2, ... by position; empty texts leave their cells empty.
inline void writeTable(XlsxWriterBook& book, const std::string& table, const std::vector<Row>& rows) {
  lxw_worksheet* sheet = book.addSheet();
  writeCell(sheet, "C3", table);
  int at = 6;
  for (const auto& row : rows) {
    const std::string n = std::to_string(at++);
    const std::pair<const char*, const std::string*> cells[] = {
        {"D", &row.name}, {"E", &row.type}, {"F", &row.size}, {"G", &row.key}, {"I", &row.null}};
    for (const auto& [column, text] : cells) {
      if (!text->empty()) writeCell(sheet, column + n, *text);
    }
  }
}

inline std::string writeDesignBook(const std::string& path, const std::vector<DesignSheet>& sheets) {
  XlsxWriterBook book(path);
  for (const auto& sheet : sheets) writeTable(book, sheet.table, sheet.rows);
  book.close();
  return path;
}

}  // namespace morvane::test
