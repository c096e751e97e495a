#include <gtest/gtest.h>

#include "document/clsExcelDBDoc.h"
#include "tests/platform/WorkbookTestSupport.h"

namespace morvane::test {
namespace {

using platform::WorkbookError;

std::string rec(unsigned type, const std::string& body) { return le16(type) + le16(static_cast<unsigned>(body.size())) + body; }

// A small valid workbook: one sheet with a shared string and numbers.
BiffWriter smallBook() {
  BiffWriter writer;
  const auto s = writer.addSheet("シート1");
  writer.labelSst(s, 2, 2, "顧客");
  writer.number(s, 5, 3, 1);
  writer.number(s, 6, 3, 2);
  return writer;
}

// With the spreadsheet's default password, by either kind of RC4, it opens as the spreadsheet
// opens it; with any other password it does not.
TEST(XlsBadInput, AnEncryptedWorkbookOpensOnlyWithTheDefaultPassword) {
  TempDir dir;
  BiffWriter writer = smallBook();
  for (int row = 10; row < 200; ++row) writer.number(0, row, 3, row);  // past the first key's 1024 bytes
  for (const unsigned keyBits : {0u, 40u, 56u, 128u}) {
    SCOPED_TRACE(keyBits);
    const std::string stream = writer.stream();
    const auto book = openStream(BiffWriter::encrypted(stream, "VelvetSweatshop", keyBits), dir);
    ASSERT_TRUE(book);
    expectCells(book->readSheet(1), {{3, 3, "顧客"}, {6, 4, "1"}, {200, 4, "199"}});
    EXPECT_FALSE(openStream(BiffWriter::encrypted(stream, "secret", keyBits), dir));
  }
  writer.globalRecord(0x002F, le16(1) + std::string(52, '\x11'));
  const std::string path = dir.file("encrypted.xls");
  writer.save(path);
  EXPECT_THROW(platform::openWorkbook(path), platform::WorkbookOpenError);
  clsExcelDBDoc reader;
  EXPECT_FALSE(reader.fnReadDBDoc(path));
  EXPECT_TRUE(reader.getDBInfo().getTables().empty());
}

TEST(XlsBadInput, TruncatedStreamsAndRecordsPointingPastTheEnd) {
  TempDir dir;
  const std::string stream = smallBook().stream();
  // Inside the sheet (the last cut leaves out just its EOF): the workbook opens, the sheet does not read.
  const std::size_t lastNumber = recordsOfType(stream, 0x0203).back();
  for (const std::size_t cut : {lastNumber + 2, lastNumber + 9, stream.size() - 2, stream.size() - 4}) {
    SCOPED_TRACE(cut);
    const auto book = openStream(stream.substr(0, cut), dir);
    ASSERT_TRUE(book);
    EXPECT_NE(sheetError(*book).find("シート1"), std::string::npos) << sheetError(*book);
  }
  // Inside the workbook globals: it does not open.
  for (const std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{10}, recordsOfType(stream, 0x00FC)[0] + 7}) {
    SCOPED_TRACE(cut);
    EXPECT_FALSE(openStream(stream.substr(0, cut), dir));
  }
  // Globals that do not start with a BOF, or in a BIFF version this reader does not know.
  EXPECT_FALSE(openStream(stream.substr(4), dir));
  std::string biff4 = stream;
  biff4.replace(4, 2, le16(0x0400));
  EXPECT_FALSE(openStream(biff4, dir));
  // Record lengths pointing past the stream, in the sheet and in the globals.
  std::string sheetDamaged = stream;
  sheetDamaged.replace(lastNumber + 2, 2, le16(0xFFFF));
  const auto book = openStream(sheetDamaged, dir);
  ASSERT_TRUE(book);
  EXPECT_THROW(book->readSheet(1), WorkbookError);
  std::string globalsDamaged = stream;
  globalsDamaged.replace(recordsOfType(stream, 0x00FC)[0] + 2, 2, le16(0xFFF0));
  EXPECT_FALSE(openStream(globalsDamaged, dir));
}

TEST(XlsBadInput, ASharedStringIndexOutOfRangeReachesTheReadersCaller) {
  TempDir dir;
  for (const unsigned index : {1u, 0xFFFFFFFFu}) {
    BiffWriter writer = smallBook();
    writer.sheetRecord(0, 0x00FD, le16(7) + le16(1) + le16(0) + le32(index));
    const auto book = saveAndOpen(writer, dir);
    ASSERT_TRUE(book);
    const std::string message = sheetError(*book);
    EXPECT_NE(message.find("B8"), std::string::npos) << message;
    EXPECT_NE(message.find(std::to_string(index)), std::string::npos) << message;
    clsExcelDBDoc reader;
    EXPECT_THROW(reader.fnReadDBDoc(dir.file("book.xls")), WorkbookError);
  }
}

TEST(XlsBadInput, AContinueChainThatNeverEnds) {
  TempDir dir;
  const std::string bof = rec(0x0809, le16(0x0600) + le16(0x0005) + std::string(12, '\0'));
  // A string of 65535 characters whose CONTINUE records run on to the end of the stream,
  // some of them empty, the rest holding an option byte and nothing more.
  std::string stream = bof + rec(0x00FC, le32(1) + le32(1) + le16(0xFFFF) + std::string(1, '\0') + "ab");
  for (int i = 0; i < 20000; ++i) stream += rec(0x003C, i % 2 ? std::string() : std::string(1, '\x01'));
  EXPECT_FALSE(openStream(stream, dir));

  // A table claiming four billion strings holds two: it opens and reads the two.
  BiffWriter writer = smallBook();
  writer.labelSst(0, 3, 2, "二つ目");
  writer.setSharedStringCount(0xFFFFFFFF);
  const auto book = saveAndOpen(writer, dir);
  ASSERT_TRUE(book);
  expectCells(book->readSheet(1), {{3, 3, "顧客"}, {4, 3, "二つ目"}});
}

TEST(XlsBadInput, ASharedStringRunningPastTheTableStopsTheOpenEvenWhenNoCellUsesIt) {
  TempDir dir;
  BiffWriter writer = smallBook();
  writer.labelSst(0, 200, 60, "使わない");  // outside any reach a design document has
  const std::string stream = writer.stream();
  ASSERT_TRUE(openStream(stream, dir));
  const std::string utf16 = std::string("\x7F\x4F\x8F\x30\x6A\x30\x44\x30", 8);  // 使わない
  const std::size_t at = stream.find(utf16);
  ASSERT_NE(at, std::string::npos);
  for (const unsigned count : {5u, 0xFFFFu}) {
    SCOPED_TRACE(count);
    std::string damaged = stream;
    damaged.replace(at - 3, 2, le16(count));
    EXPECT_FALSE(openStream(damaged, dir));
  }
}

TEST(XlsBadInput, ASheetOffsetOutsideTheStreamOrNotAtABof) {
  TempDir dir;
  for (const unsigned offset : {0xFFFFFFF0u, 0x7FFFFFFFu, 20u}) {
    SCOPED_TRACE(offset);
    BiffWriter writer = smallBook();
    writer.setSheetOffset(0, offset);
    const auto book = saveAndOpen(writer, dir);
    ASSERT_TRUE(book);
    EXPECT_EQ(book->sheetCount(), 1);
    EXPECT_NE(sheetError(*book).find("シート1"), std::string::npos);
  }
}

TEST(XlsBadInput, ADamagedCompoundFile) {
  TempDir dir;
  const std::string good = dir.file("good.xls");
  smallBook().save(good);
  const std::string bytes = readBytes(good);
  const unsigned sectorShift = static_cast<unsigned char>(bytes[0x1E]);
  const unsigned directory = u16At(bytes, 0x30);
  const std::size_t directoryAt = 512 + (static_cast<std::size_t>(directory) << sectorShift);
  ASSERT_LT(directoryAt + 512, bytes.size() + 1);

  std::vector<std::pair<std::string, std::string>> damaged;
  std::string garbageDirectory = bytes;
  garbageDirectory.replace(directoryAt, 512, std::string(512, '\xFF'));
  damaged.emplace_back("directory overwritten", garbageDirectory);
  std::string lostDirectory = bytes;
  lostDirectory.replace(0x30, 4, le32(0x00FFFFF0));
  damaged.emplace_back("directory sector outside the file", lostDirectory);
  damaged.emplace_back("truncated", bytes.substr(0, 700));
  damaged.emplace_back("header only", bytes.substr(0, 512));
  damaged.emplace_back("not a compound file", "PK\x03\x04 not really");
  for (const auto& [what, content] : damaged) {
    SCOPED_TRACE(what);
    const std::string path = dir.file("damaged.xls");
    writeBytes(path, content);
    EXPECT_NE(xlsOpenError(path).find("複合ファイルの構造が壊れています"), std::string::npos) << xlsOpenError(path);
  }
  // The directory's chain in the allocation table looping back on itself: libgsf stops at
  // the loop and keeps what it read, which here is the whole directory.
  std::string looped = bytes;
  const unsigned fatSector = u16At(bytes, 0x4C);
  looped.replace(512 + (static_cast<std::size_t>(fatSector) << sectorShift) + 4 * directory, 4, le32(directory));
  writeBytes(dir.file("looped.xls"), looped);
  const auto book = platform::openXlsWorkbook(dir.file("looped.xls"));
  ASSERT_TRUE(book);
  EXPECT_EQ(book->readSheet(1).text(3, 3), "顧客");
  // A compound file with no workbook stream: an encrypted .xlsx, say.
  const std::string other = dir.file("encrypted.xlsx");
  BiffWriter::saveCompoundFile(other, {{"EncryptionInfo", std::string(200, 'x')}, {"EncryptedPackage", std::string(600, 'y')}});
  EXPECT_THROW(platform::openWorkbook(other), platform::WorkbookOpenError);
}

}  // namespace
}  // namespace morvane::test
