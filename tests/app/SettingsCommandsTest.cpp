// morvane-batch --layout/--types and --save-layout/--save-types, and what they refuse.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Batch.h"

namespace morvane::test {
namespace {

TEST(SettingsCommands, SavedSettingsLoadBackUnchanged) {
  TempDir dir;
  const std::string x = dir.file("x.edf"), y = dir.file("y.edf"), t = dir.file("t.sfa");
  auto save = [&](std::vector<std::string> args, const std::string& to) {
    args.insert(args.end(), {to.ends_with(".sfa") ? "--save-types" : "--save-layout", to});
    const BatchRun run = batch(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return readBytes(to);
  };
  EXPECT_HAS(save({"--layout-values", "2,7,8,1,4,1,2,3,5,6"}, x), "<EndSheetNo>7</EndSheetNo>");
  EXPECT_EQ(save({"--layout", x}, y), readBytes(x));
  // The example's layout file is the tool's own output.
  EXPECT_EQ(save({"--layout-values", kExampleLayout, "--layout-extra",
                  "ColLogicalName=10,ColDefault=11,ColRemarks=8,ColUnique=12,ColIndex=13,ColReference=14,"
                  "RowTableLogicalName=3,ColTableLogicalName=5"},
                 x),
            readBytes(kExamples + "design-document.edf"));
  // Values given on the command line win over the file's.
  EXPECT_HAS(save({"--layout", x, "--layout-values", "1,4,6,3,3,4,5,6,7,9"}, y), "<EndSheetNo>4</EndSheetNo>");
  // The optional positions by name, kept through a layout file.
  EXPECT_TRUE(save({"--layout-extra", "NullMarkMeansNotNull=1,ColDefault= 8 "}, x)
                  .ends_with("<ColNull>9</ColNull>\r\n<ColDefault>8</ColDefault>\r\n"
                             "<NullMarkMeansNotNull>1</NullMarkMeansNotNull>\r\n"));
  EXPECT_EQ(save({"--layout", x}, y), readBytes(x));
  EXPECT_EQ(save({"--types", kExamples + "types-ja.sfa"}, t), readBytes(kExamples + "types-ja.sfa"));
}

TEST(SettingsCommands, UnreadableFilesAndUnusablePositionsStopWithExitTwo) {
  TempDir dir;
  writeBytes(dir.file("bad.edf"), "<StartSheetNo>1</StartSheetNo>\r\n<EndSheetNo>x</EndSheetNo>\r\n");
  writeBytes(dir.file("utf8.sfa"), "<date>\xE6\x97\xA5\xE4\xBB\x98</date>\r\n");
  writeBytes(dir.file("long.sfa"), "<int>" + std::string(300, 'i') + "</int>\r\n");
  ASSERT_EQ(::mkfifo(dir.file("pipe.edf").c_str(), 0600), 0);  // refused, not waited on
  const struct {
    std::vector<std::string> args;
    std::string named;
    bool usage;  // the reason, then how to use the tool
  } cases[] = {{{"--layout", dir.file("none.edf")}, "none.edf", false},
               {{"--layout", dir.file("bad.edf")}, "EndSheetNo", false},
               {{"--types", dir.file("utf8.sfa")}, "utf8.sfa", false},
               {{"--types", dir.file("long.sfa")}, "int の値が長すぎます (256 バイトまで)", false},
               {{"--layout", dir.file("pipe.edf")}, "名前付きパイプ (FIFO)", false},
               {{"--save-layout", dir.file("no/folder.edf")}, "folder.edf", false},
               {{"--layout-extra", "ColDefault=8,colDefault=1"}, "「colDefault」は位置の名前", true},
               {{"--layout-extra", "ColIndex=x"}, "ColIndex の「x」は数値ではありません", true},
               {{"--layout-extra", "ColIndex"}, "「ColIndex」は位置の名前", true},
               {{"--layout-extra", "ColIndex=-1"}, "0 以上", true},
               {{"--layout-extra", "NullMarkMeansNotNull=2"}, "0 か 1", true}};
  for (auto c : cases) {
    SCOPED_TRACE(c.named);
    if (c.args[0] != "--save-layout") c.args.insert(c.args.end(), {"--save-layout", dir.file("out.edf")});
    const BatchRun run = batch(c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_HAS(run.err.substr(0, run.err.find('\n')), c.named);
    EXPECT_EQ(run.errLines() == 1, !c.usage) << run.err;
    EXPECT_EQ(run.err.find("\n使い方: ") != std::string::npos, c.usage) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.edf")));
}

}  // namespace
}  // namespace morvane::test
