// Design documents for the batch tests, in the default layout.
#pragma once
#include <string>
#include <vector>

#include <xlsxwriter.h>

#include "tests/support/XlsxPackage.h"

namespace morvane::test {

struct Row {
  std::string name, type, size, key, null;
};

// Default layout: the table name in C3, fields from row 6 in D (name), E, F, G (key), I (NULL).
inline void writeTable(XlsxWriterBook& book, const std::string& table, const std::vector<Row>& rows) {
  lxw_worksheet* sheet = book.addSheet(table);
  writeCell(sheet, "C3", table);
  int at = 6;
  for (const auto& row : rows) {
    const std::string n = std::to_string(at++);
    writeCell(sheet, "D" + n, row.name);
    writeCell(sheet, "E" + n, row.type);
    if (!row.size.empty()) writeCell(sheet, "F" + n, row.size);
    if (!row.key.empty()) writeCell(sheet, "G" + n, row.key);
    if (!row.null.empty()) writeCell(sheet, "I" + n, row.null);
  }
}

}  // namespace morvane::test
