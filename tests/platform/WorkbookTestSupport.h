#pragma once
// Helpers shared by the workbook backend tests: a workbook is given as its bytes, a compound
// file (.xls) or a zip archive (.xlsx), and opened by content as the program opens it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/workbook/Workbook.h"
#include "tests/support/BiffWriter.h"
#include "tests/support/TempDir.h"
#include "tests/support/XlsxDamage.h"

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

// A compound file holding just this workbook stream; a zip package of one worksheet.
inline std::string xlsOf(const std::string& stream) {
  return BiffWriter::compoundFile({{"Workbook", stream}});
}
inline std::string xlsxOf(const std::string& sheetData, const std::string& sharedStrings = {}) {
  HandPackage package;
  package.sheets = {worksheetXml(sheetData)};
  package.sharedStrings = sharedStrings;
  return zipBytes(package.parts());
}

// Offsets of the records of a BIFF stream with this type, in order.
inline std::vector<std::size_t> recordsOfType(const std::string& stream, unsigned type) {
  std::vector<std::size_t> found;
  for (std::size_t pos = 0; pos + 4 <= stream.size(); pos += 4 + u16At(stream, pos + 2)) {
    if (u16At(stream, pos) == type) found.push_back(pos);
  }
  return found;
}

// Compound files laid out as other writers do (512-byte sectors), from a sound one. The workbook
// stream's directory entry holds its first sector at 0x74 and its size at 0x78.
inline std::size_t sectorAt(std::uint32_t sector) { return 512 * (sector + 1); }
inline std::size_t fatAt(const std::string& bytes, std::uint32_t sector) {
  return sectorAt(u32At(bytes, 0x4C)) + 4 * sector;
}
inline std::size_t workbookEntry(const std::string& bytes) {
  const std::size_t entry =
      bytes.find(std::string("W\0o\0r\0k\0b\0o\0o\0k\0", 16), sectorAt(u32At(bytes, 0x30)));
  return entry == std::string::npos ? throw std::logic_error("no Workbook entry") : entry;
}

// The workbook stream's first two sectors swapped, and its chain with them.
inline std::string withSectorsSwapped(std::string bytes) {
  const std::size_t entry = workbookEntry(bytes);
  const std::uint32_t s0 = u32At(bytes, entry + 0x74), s1 = u32At(bytes, fatAt(bytes, s0));
  const std::uint32_t s2 = u32At(bytes, fatAt(bytes, s1));
  const std::string first = bytes.substr(sectorAt(s0), 512);
  bytes.replace(sectorAt(s0), 512, bytes.substr(sectorAt(s1), 512)).replace(sectorAt(s1), 512, first);
  bytes.replace(fatAt(bytes, s1), 4, le32(s0)).replace(fatAt(bytes, s0), 4, le32(s2));
  return bytes.replace(entry + 0x74, 4, le32(s1));
}

// The stream's last sector moved to the end of the file, which ends with the stream's last
// byte, and the stream's size counting its padding; with where that sector starts.
inline std::pair<std::string, std::size_t> withLastSectorUnpadded(std::string bytes) {
  const std::size_t entry = workbookEntry(bytes);
  std::uint32_t before = 0, last = u32At(bytes, entry + 0x74);
  for (; u32At(bytes, fatAt(bytes, last)) < 0xFFFFFFF0u; last = u32At(bytes, fatAt(bytes, last)))
    before = last;
  const std::uint32_t size = u32At(bytes, entry + 0x78), used = size % 512;
  const auto added = static_cast<std::uint32_t>(bytes.size() / 512 - 1);
  bytes.replace(entry + 0x78, 4, le32(size - used + 512)) += bytes.substr(sectorAt(last), used);
  bytes.replace(fatAt(bytes, before), 4, le32(added)).replace(fatAt(bytes, added), 4, le32(0xFFFFFFFE));
  return {bytes, sectorAt(added)};
}

// 110 allocation sectors: the real one first, the rest free sectors padded onto the file, the
// last of them named in a sector of the header's continuation list; with that sector's number.
inline std::pair<std::string, std::uint32_t> withAllocationListBeyondTheHeader(std::string bytes) {
  const auto firstPad = static_cast<std::uint32_t>(bytes.size() / 512 - 1);
  bytes +=
      std::string(110 * 512, '\xFF') + le32(firstPad + 109) + std::string(504, '\xFF') + le32(0xFFFFFFFE);
  for (unsigned i = 1; i < 109; ++i) bytes.replace(0x4C + 4 * i, 4, le32(firstPad + i));
  bytes.replace(0x2C, 4, le32(110)).replace(0x44, 4, le32(firstPad + 110)).replace(0x48, 4, le32(1));
  return {bytes, firstPad + 110};
}

}  // namespace morvane::test
