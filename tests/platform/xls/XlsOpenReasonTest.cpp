// Why an .xls (or a file named like one) does not open: each kind of file gets its own reason.
#include <gtest/gtest.h>

#include "tests/platform/WorkbookTestSupport.h"
#include "tests/support/UnreadableXls.h"

namespace morvane::test {
namespace {

std::string openError(const std::string& path) {
  try {
    platform::openWorkbook(path);
  } catch (const platform::WorkbookOpenError& error) {
    return error.what();
  }
  return "(opened)";
}

TEST(XlsOpenReason, EachUnreadableFileSaysWhatIsWrong) {
  TempDir dir;
  for (const auto& file : writeUnreadableXlsFiles(dir)) {
    SCOPED_TRACE(file.what);
    const std::string reason = openError(dir.file(file.name));
    EXPECT_NE(reason.find(file.reason), std::string::npos) << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
  }
}

TEST(XlsOpenReason, TheBiffVersionOfTheGlobalsIsNamed) {
  TempDir dir;
  const std::string stream = BiffWriter().stream();
  // Old version words in a BIFF5/8 BOF record name the old format; unknown ones their number.
  for (const auto& [version, words] : std::vector<std::pair<unsigned, std::string>>{
           {0x0400, "Excel 4.0 ワークシート (BIFF4)"}, {0x0300, "BIFF3"}, {0x0700, "0x0700"}}) {
    std::string changed = stream;
    changed.replace(4, 2, le16(version));
    BiffWriter::saveCompoundFile(dir.file("version.xls"), {{"Workbook", changed}});
    const std::string reason = xlsOpenError(dir.file("version.xls"));
    EXPECT_NE(reason.find(words), std::string::npos) << reason;
  }
  // A sound file still opens after all these checks.
  BiffWriter sound;
  sound.labelSst(sound.addSheet("S"), 2, 2, "表");
  sound.save(dir.file("sound.xls"));
  EXPECT_EQ(openError(dir.file("sound.xls")), "(opened)");
}

}  // namespace
}  // namespace morvane::test
