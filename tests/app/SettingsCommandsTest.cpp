#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "tests/support/TempDir.h"

namespace morvane {
namespace {

struct BatchRun {
  int status;
  std::string err;
};

// Runs morvane-batch with the arguments (paths here never hold spaces) and collects stderr.
BatchRun batch(const test::TempDir& dir, const std::string& arguments) {
  const std::string errFile = dir.file("stderr.txt");
  const int raw = std::system((std::string(MORVANE_BATCH) + " " + arguments + " >/dev/null 2>" + errFile).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::readBytes(errFile)};
}

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST(SettingsCommands, SavedLayoutLoadsBackUnchanged) {
  test::TempDir dir;
  const std::string x = dir.file("x.edf"), y = dir.file("y.edf");
  ASSERT_EQ(batch(dir, "--layout-values 2,7,8,1,4,1,2,3,5,6 --save-layout " + x).status, 0);
  ASSERT_EQ(batch(dir, "--layout " + x + " --save-layout " + y).status, 0);
  EXPECT_EQ(test::readBytes(y), test::readBytes(x));
  EXPECT_NE(test::readBytes(x).find("<EndSheetNo>7</EndSheetNo>"), std::string::npos);
}

TEST(SettingsCommands, LayoutValuesApplyAfterTheLayoutFile) {
  test::TempDir dir;
  const std::string y = dir.file("y.edf");
  const std::string example = std::string(MORVANE_SOURCE_DIR) + "/examples/design-document.edf";
  ASSERT_EQ(batch(dir, "--layout " + example + " --layout-values 1,4,6,3,3,4,5,6,7,9 --save-layout " + y).status, 0);
  EXPECT_NE(test::readBytes(y).find("<EndSheetNo>4</EndSheetNo>"), std::string::npos);
}

TEST(SettingsCommands, ExampleLayoutIsTheToolsOwnOutput) {
  test::TempDir dir;
  const std::string x = dir.file("x.edf");
  ASSERT_EQ(batch(dir, "--layout-values 1,5,6,3,3,4,5,6,7,9 --save-layout " + x).status, 0);
  EXPECT_EQ(test::readBytes(x), test::readBytes(MORVANE_SOURCE_DIR "/examples/design-document.edf"));
}

TEST(SettingsCommands, TypesRoundTrip) {
  test::TempDir dir;
  const std::string t = dir.file("t.sfa");
  const std::string example = std::string(MORVANE_SOURCE_DIR) + "/examples/types-ja.sfa";
  ASSERT_EQ(batch(dir, "--types " + example + " --save-types " + t).status, 0);
  EXPECT_EQ(test::readBytes(t), test::readBytes(example));
}

TEST(SettingsCommands, UnreadableOrBadFilesStopWithOneLine) {
  test::TempDir dir;
  test::writeBytes(dir.file("bad.edf"), "<StartSheetNo>1</StartSheetNo>\r\n<EndSheetNo>x</EndSheetNo>\r\n");
  test::writeBytes(dir.file("utf8.sfa"), "<date>\xE6\x97\xA5\xE4\xBB\x98</date>\r\n");
  const std::string out = " --save-layout " + dir.file("out.edf");
  struct Case {
    std::string arguments;
    std::string named;
  } cases[] = {{"--layout " + dir.file("none.edf") + out, "none.edf"},
               {"--layout " + dir.file("bad.edf") + out, "EndSheetNo"},
               {"--types " + dir.file("utf8.sfa") + out, "utf8.sfa"},
               {"--save-layout " + dir.file("no/folder.edf"), "folder.edf"}};
  for (const auto& c : cases) {
    const BatchRun run = batch(dir, c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_EQ(lineCount(run.err), 1) << run.err;
    EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.edf")));
}

// The example workbook writes its dates and amounts in Japanese; only the .sfa that maps those
// words makes them columns.
TEST(SettingsCommands, JapaneseTypeWordsChangeTheScripts) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.file("plain"));
  std::filesystem::create_directory(dir.file("ja"));
  const std::string source = MORVANE_SOURCE_DIR;
  const std::string common = "--layout " + source + "/examples/design-document.edf ";
  const std::string workbook = " " + source + "/examples/design-document.xlsx";
  const BatchRun plain = batch(dir, common + "--sql " + dir.file("plain") + workbook);
  EXPECT_NE(plain.err.find("日付"), std::string::npos) << plain.err;
  const BatchRun ja = batch(dir, common + "--types " + source + "/examples/types-ja.sfa --sql " + dir.file("ja") + workbook);
  ASSERT_EQ(ja.status, 0) << ja.err;
  EXPECT_EQ(ja.err, "");

  const std::string before = test::readBytes(dir.file("plain/顧客.sql"));
  const std::string after = test::readBytes(dir.file("ja/顧客.sql"));
  ASSERT_NE(before, "");
  EXPECT_NE(before, after);
  EXPECT_EQ(before.find(" datetime "), std::string::npos);
  EXPECT_NE(after.find(" datetime "), std::string::npos);
  EXPECT_NE(after.find(" money "), std::string::npos);
  // Tables without Japanese type words come out the same.
  EXPECT_EQ(test::readBytes(dir.file("plain/商品.sql")), test::readBytes(dir.file("ja/商品.sql")));
}

}  // namespace
}  // namespace morvane
