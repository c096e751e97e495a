#pragma once
// Helpers shared by the workbook backend tests.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/workbook/Workbook.h"
#include "platform/xls/XlsWorkbook.h"
#include "tests/support/BiffWriter.h"
#include "tests/support/TempDir.h"

namespace morvane::test {

struct CellIs {
  int row;
  int col;
  std::string text;
};

inline void expectCells(const platform::SheetCells& sheet, const std::vector<CellIs>& cells) {
  for (const auto& [row, col, text] : cells) {
    EXPECT_EQ(sheet.text(row, col), text) << platform::cellReference(row, col);
  }
}

// The message of the error that reading the cell raises; empty when it reads.
inline std::string cellError(const platform::SheetCells& sheet, int row, int col) {
  try {
    sheet.text(row, col);
  } catch (const platform::WorkbookError& error) {
    return error.what();
  }
  return {};
}

// The message of the error that reading sheet n raises; "(no error)" when it reads.
inline std::string sheetError(platform::Workbook& book, int n = 1) {
  try {
    book.readSheet(n);
  } catch (const platform::WorkbookError& error) {
    return error.what();
  }
  return "(no error)";
}

// Why the .xls backend refuses the file; empty when it opens.
inline std::string xlsOpenError(const std::string& path) {
  try {
    platform::openXlsWorkbook(path);
  } catch (const platform::WorkbookOpenError& error) {
    return error.what();
  }
  return {};
}

// The workbook, or null when the .xls backend refuses it.
inline std::unique_ptr<platform::Workbook> openXlsOrNull(const std::string& path) {
  try {
    return platform::openXlsWorkbook(path);
  } catch (const platform::WorkbookOpenError&) {
    return nullptr;
  }
}

inline std::unique_ptr<platform::Workbook> saveAndOpen(const BiffWriter& writer, const TempDir& dir) {
  const std::string path = dir.file("book.xls");
  writer.save(path);
  return openXlsOrNull(path);
}

// Opens a compound file holding just this workbook stream.
inline std::unique_ptr<platform::Workbook> openStream(const std::string& stream, const TempDir& dir) {
  const std::string path = dir.file("raw.xls");
  BiffWriter::saveCompoundFile(path, {{"Workbook", stream}});
  return openXlsOrNull(path);
}

inline std::string le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; }
inline std::string le32(unsigned v) { return le16(v & 0xFFFF) + le16(v >> 16); }
inline unsigned u16At(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

// Offsets of the records of a BIFF stream with this type, in order.
inline std::vector<std::size_t> recordsOfType(const std::string& stream, unsigned type) {
  std::vector<std::size_t> found;
  for (std::size_t pos = 0; pos + 4 <= stream.size(); pos += 4 + u16At(stream, pos + 2)) {
    if (u16At(stream, pos) == type) found.push_back(pos);
  }
  return found;
}

}  // namespace morvane::test
