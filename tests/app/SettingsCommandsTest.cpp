// morvane-batch --layout/--types and --save-layout/--save-types.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Batch.h"

namespace morvane::test {
namespace {

TEST(SettingsCommands, SavedSettingsLoadBackUnchanged) {
  TempDir dir;
  const std::string x = dir.file("x.edf"), y = dir.file("y.edf"), t = dir.file("t.sfa");
  ASSERT_EQ(batch({"--layout-values", "2,7,8,1,4,1,2,3,5,6", "--save-layout", x}).status, 0);
  ASSERT_EQ(batch({"--layout", x, "--save-layout", y}).status, 0);
  EXPECT_EQ(readBytes(y), readBytes(x));
  EXPECT_NE(readBytes(x).find("<EndSheetNo>7</EndSheetNo>"), std::string::npos);
  // The example's layout file is the tool's own output.
  ASSERT_EQ(batch({"--layout-values", kExampleLayout, "--layout-extra", kExampleLayoutExtra, "--save-layout", x}).status,
            0);
  EXPECT_EQ(readBytes(x), readBytes(kExamples + "design-document.edf"));
  // Values given on the command line win over the file's.
  ASSERT_EQ(batch({"--layout", x, "--layout-values", "1,4,6,3,3,4,5,6,7,9", "--save-layout", y}).status, 0);
  EXPECT_NE(readBytes(y).find("<EndSheetNo>4</EndSheetNo>"), std::string::npos);
  // The optional positions by name, kept through a layout file.
  ASSERT_EQ(batch({"--layout-extra", "NullMarkMeansNotNull=1,ColDefault= 8 ", "--save-layout", x}).status, 0);
  ASSERT_EQ(batch({"--layout", x, "--save-layout", y}).status, 0);
  EXPECT_EQ(readBytes(y), readBytes(x));
  EXPECT_TRUE(readBytes(x).ends_with(
      "<ColNull>9</ColNull>\r\n<ColDefault>8</ColDefault>\r\n<NullMarkMeansNotNull>1</NullMarkMeansNotNull>\r\n"));

  ASSERT_EQ(batch({"--types", kExamples + "types-ja.sfa", "--save-types", t}).status, 0);
  EXPECT_EQ(readBytes(t), readBytes(kExamples + "types-ja.sfa"));
}

TEST(SettingsCommands, UnreadableOrBadFilesStopWithOneLine) {
  TempDir dir;
  writeBytes(dir.file("bad.edf"), "<StartSheetNo>1</StartSheetNo>\r\n<EndSheetNo>x</EndSheetNo>\r\n");
  writeBytes(dir.file("utf8.sfa"), "<date>\xE6\x97\xA5\xE4\xBB\x98</date>\r\n");
  writeBytes(dir.file("long.sfa"), "<int>" + std::string(300, 'i') + "</int>\r\n");
  ASSERT_EQ(::mkfifo(dir.file("pipe.edf").c_str(), 0600), 0);  // refused, not waited on
  const std::string out = dir.file("out.edf");
  const struct {
    std::vector<std::string> arguments;
    std::string named;
  } cases[] = {{{"--layout", dir.file("none.edf"), "--save-layout", out}, "none.edf"},
               {{"--layout", dir.file("bad.edf"), "--save-layout", out}, "EndSheetNo"},
               {{"--types", dir.file("utf8.sfa"), "--save-layout", out}, "utf8.sfa"},
               {{"--types", dir.file("long.sfa"), "--save-layout", out}, "int の値が長すぎます (256 バイトまで)"},
               {{"--layout", dir.file("pipe.edf"), "--save-layout", out}, "名前付きパイプ (FIFO)"},
               {{"--save-layout", dir.file("no/folder.edf")}, "folder.edf"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named);
    const BatchRun run = batch(c.arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.errLines(), 1) << run.err;
    EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(SettingsCommands, LayoutExtraNamesWhatItCannotUse) {
  TempDir dir;
  const std::pair<const char*, const char*> cases[] = {{"ColDefault=8,colDefault=1", "「colDefault」は位置の名前"},
                                                       {"ColIndex=x", "ColIndex の「x」は数値ではありません"},
                                                       {"ColIndex", "「ColIndex」は位置の名前"},
                                                       {"ColIndex=-1", "0 以上"},
                                                       {"NullMarkMeansNotNull=2", "0 か 1"}};
  for (const auto& [value, named] : cases) {
    const BatchRun run = batch({"--layout-extra", value, "--save-layout", dir.file("out.edf")});
    EXPECT_EQ(run.status, 2) << value;
    EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.edf")));
}

}  // namespace
}  // namespace morvane::test
