// Why a zip package cannot be opened: one Japanese line naming what is wrong.
#include <gtest/gtest.h>

#include "tests/platform/WorkbookTestSupport.h"
#include "tests/support/XlsxDamage.h"

namespace morvane::test {
namespace {

std::string openReason(const std::string& path) {
  try {
    platform::openWorkbook(path);
  } catch (const platform::WorkbookOpenError& error) {
    return error.what();
  }
  return "(opened)";
}

TEST(XlsxOpenReasons, EachUnreadablePackageIsRefusedWithItsReason) {
  TempDir dir;
  for (const UnreadablePackage& package : unreadablePackages()) {
    const std::string path = dir.file("book.xlsx");
    writeBytes(path, package.bytes);
    const std::string reason = openReason(path);
    for (const std::string& word : package.words) {
      EXPECT_NE(reason.find(word), std::string::npos) << package.label << ": " << reason << " (wanted " << word << ")";
    }
    EXPECT_EQ(reason.find('\n'), std::string::npos) << package.label << ": " << reason;
  }
}

TEST(XlsxOpenReasons, DamageInASheetNamesThePartAndTheLine) {
  TempDir dir;
  HandPackage package;
  package.sheets = {worksheetXml("<row r=\"1\">\n<c r=\"A1\"><v>1</v></c>\n<c r=\"B1\"><v>2</c>\n</row>")};
  const std::string path = dir.file("book.xlsx");
  writeZip(path, package.parts());
  auto book = platform::openWorkbook(path);
  const std::string message = sheetError(*book);
  // The sheet's XML starts on line 2 of the part: the bad end tag is on line 4.
  for (const char* word : {"Sheet1", "xl/worksheets/sheet1.xml", "4 行目", "</c>", "<v>"}) {
    EXPECT_NE(message.find(word), std::string::npos) << message << " (wanted " << word << ")";
  }
}

TEST(XlsxOpenReasons, AWorksheetsBadChecksumShowsWhenTheSheetIsRead) {
  TempDir dir;
  HandPackage package;
  package.sheets = {worksheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")};
  const std::string sound = zipBytes(package.parts());
  const std::string name = "xl/worksheets/sheet1.xml";
  // Worksheet parts are inflated only when their sheet is read.
  const std::string badCrc = patchDirectory(sound, name, 16, std::string("\0\0\0\0", 4));
  writeBytes(dir.file("crc.xlsx"), badCrc);
  auto book = platform::openWorkbook(dir.file("crc.xlsx"));
  const std::string message = sheetError(*book);
  EXPECT_NE(message.find(name), std::string::npos) << message;
  EXPECT_NE(message.find("CRC"), std::string::npos) << message;
}

}  // namespace
}  // namespace morvane::test
