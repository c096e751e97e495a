// morvane-batch --list, --dump and --help, the one line a workbook that cannot be read gets, the options
// refused, and the settings files (--layout/--types, --save-layout/--save-types).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Batch.h"
#include "tests/support/DesignBook.h"

namespace morvane::test {
namespace {

namespace fs = std::filesystem;

// What is read is the reader's to pin; here the layouts reach it and the names reach the terminal made visible.
TEST(ReadCommand, ListsAndDumpsWithNamesMadeVisible) {
  TempDir dir;
  const std::string full = writeDesignBook(dir.file("full.xlsx"), fullDesignSheets());
  const std::string hostile = writeDesignBook(
      dir.file("hostile.xlsx"), {{"\x1B[31mred", {{"ID", "int"}}}, {"two\nlines", {{"ID", "int"}}}, {"Plain", {}}});
  const struct {
    std::vector<std::string> args;
    std::string out;  // how the output starts
  } cases[] = {
      {{"--list", kExampleBook}, "顧客\n受注\n受注明細\n"},  // the default layout ends at sheet 4
      {{"--list", hostile}, "\\x1B[31mred\ntwo\\nlines\nPlain\n"},
      {{"--help"}, "使い方: morvane-batch [--layout FILE.edf]"},
      {{"--dump", hostile}, ""},
      {{"--layout-extra", kFullLayoutExtra, "--dump", full}, ""}};
  std::vector<std::string> outs;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    const BatchRun run = batch(c.args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.substr(0, c.out.size()), c.out);
    outs.push_back(run.out);
  }
  EXPECT_HAS(outs[3], "\"\\u001b[31mred\"");  // JSON's escape, never the raw one to the terminal
  EXPECT_LACKS(outs[3], '\x1B');
  // The optional cells appear under their keys when the layout names them.
  for (const std::string part : {"\"logicalName\": \"顧客マスタ\"", "\"default\": \"N'な''し'\"", "\"reference\": \"顧客.ID\""}) {
    EXPECT_HAS(outs[4], part);
  }
}

// The readers' own reasons are theirs to pin; here an open and a read that fail each make one line.
TEST(ReadCommand, AWorkbookThatCannotBeReadExitsTwoWithItsReasonInOneLine) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("pipe\nline.xls").c_str(), 0600), 0);  // a FIFO would wait for a writer for ever
  HandPackage package;
  package.sheets = {worksheetXml("<row r=\"3\"><c r=\"C3\" t=\"e\"><v>#REF!</v></c></row>")};
  writeZip(dir.file("error.xlsx"), package.parts());
  const struct {
    std::string name, shown, reason;  // reason: the whole rest of the line, or else words it holds
    std::vector<std::string> words;
  } cases[] = {{"pipe\nline.xls", "pipe\\nline.xls", "を開けません: ファイルではなく名前付きパイプ (FIFO) です\n", {}},
               {"error.xlsx", "error.xlsx", "", {"」を読めません: ", "C3"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const BatchRun run = batch({"--dump", dir.file(c.name)});
    const std::string start = "morvane-batch: ブック「" + dir.file(c.shown) + "」";
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.errLines(), 1) << run.err;
    EXPECT_TRUE(c.reason.empty() ? run.err.starts_with(start) : run.err == start + c.reason) << run.err;
    for (const std::string& word : c.words) EXPECT_HAS(run.err, word);
  }
}

TEST(ReadCommand, OptionsThatDoNotGoTogetherAreRefusedBeforeAnythingIsDone) {
  TempDir dir;
  const std::string out = dir.file("out"), book = kExampleBook;
  // A port nobody listens on: a check made after connecting would show the connection's error instead.
  auto against = [](std::vector<std::string> extra) {
    extra.insert(extra.begin(), {"--server", "127.0.0.1,1", "--database", "d", "--user", "u", "--against-server"});
    return extra;
  };
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--bogus", book}, "不明なオプションです: --bogus"},
      {{"--list", book, book}, "一度に読めるブックは 1 つだけです"},
      {{book}, "ブックで行う処理が指定されていません"},
      {{"--server", "s", "--list", book}, "--server、--database、--user はそろえて指定してください"},
      {{"--list", "--table", "なし", book}, "ブックにテーブル「なし」はありません"},
      {{"--check", "--check-format", "xml", book}, "--check-format には text か json"},
      {{"--check-format", "json", "--list", book}, "--check-format は --check と使います"},
      {{"--encoding", "utf8", "--sql", out, book}, "--encoding には cp932、utf-8、utf-8-bom"},
      {{"--eol", "cr", "--sql", out, book}, "--eol には crlf か lf"},
      {{"--eol", "lf", "--list", book}, "--encoding と --eol は --sql、--html、--deploy と使います"},
      {{"--since", book, book}, "--since には --sql か --server が必要です"},
      {{"--since", book, "--sql", out, "--deploy", out, book}, "--since と --deploy は同時に指定できません"},
      {{"--rename", "A=B", "--sql", out, book}, "--rename は --since か --against-server と使います"},
      {{"--since", book, "--rename", "A", "--sql", out, book}, "--rename: 「A」は TABLE.OLD=NEW か OLD=NEW の形ではありません"},
      {{"--apply", book}, "--apply は --against-server と使います"},
      {{"--against-server", book}, "--against-server には --server、--database、--user が必要です"},
      {against({"--apply", "--sql", out, book}), "--sql と --apply は同時に指定できません"},
      {against({"--allow-drop", book}), "--allow-drop は --sql か --apply と使います"},
      {against({"--since", book, "--sql", out, book}), "--since と --against-server は同時に指定できません"},
      {against({"--deploy", out, book}), "--against-server と --deploy は同時に指定できません"},
      {{"--write-workbook", out, "--list"}, "--write-workbook には --server、--database、--user が必要です"}};
  for (const auto& [args, message] : cases) {
    const BatchRun run = batch(args);
    EXPECT_EQ(run.status, 2) << message;
    EXPECT_TRUE(run.err.starts_with("morvane-batch: " + message)) << run.err;
  }
  for (const std::string bad : {"x", "-1", "1.5", "", "99999999999"}) {
    const BatchRun run = batch({"--query-timeout", bad, "--list", book});
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_TRUE(run.err.starts_with("morvane-batch: --query-timeout: 「" + bad + "」は 0 以上の秒数ではありません\n"))
        << run.err;
  }
  EXPECT_FALSE(fs::exists(out));
}

// What a layout file holds is its own tests'; here the options reach it.
TEST(SettingsCommands, SavedSettingsLoadBackUnchanged) {
  TempDir dir;
  const std::string x = dir.file("x.edf"), y = dir.file("y.edf"), t = dir.file("t.sfa");
  auto save = [&](std::vector<std::string> args, const std::string& to) {
    args.insert(args.end(), {to.ends_with(".sfa") ? "--save-types" : "--save-layout", to});
    const BatchRun run = batch(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return readBytes(to);
  };
  EXPECT_TRUE(save({"--layout-extra", "NullMarkMeansNotNull=1,ColDefault= 8 "}, x)
                  .ends_with("<ColNull>9</ColNull>\r\n<ColDefault>8</ColDefault>\r\n"
                             "<NullMarkMeansNotNull>1</NullMarkMeansNotNull>\r\n"));
  // Values given on the command line win over the file's; the file's others are kept.
  const std::string both = save({"--layout", x, "--layout-values", "1,5,6,3,3,4,5,6,7,9"}, y);
  EXPECT_HAS(both, "<EndSheetNo>5</EndSheetNo>");
  EXPECT_HAS(both, "<ColDefault>8</ColDefault>");
  EXPECT_EQ(save({"--types", kExamples + "types-ja.sfa"}, t), readBytes(kExamples + "types-ja.sfa"));
}

// Why a file is refused is its reader's to pin; here each kind stops the tool with exit two.
TEST(SettingsCommands, UnreadableFilesAndUnusablePositionsStopWithExitTwo) {
  TempDir dir;
  writeBytes(dir.file("bad.edf"), "<StartSheetNo>1</StartSheetNo>\r\n<EndSheetNo>x</EndSheetNo>\r\n");
  writeBytes(dir.file("utf8.sfa"), "<date>\xE6\x97\xA5\xE4\xBB\x98</date>\r\n");
  writeBytes(dir.file("long.sfa"), "<int>" + std::string(300, 'i') + "</int>\r\n");
  const struct {
    std::vector<std::string> args;
    std::string named;
    bool usage;  // the reason, then how to use the tool
  } cases[] = {{{"--layout", dir.file("none.edf")}, "レイアウトファイルを読めません: " + dir.file("none.edf"), false},
               {{"--layout", dir.file("bad.edf")}, "レイアウトファイルが正しくありません: ", false},
               {{"--types", dir.file("utf8.sfa")}, "型表記ファイルを読めません: " + dir.file("utf8.sfa"), false},
               {{"--types", dir.file("long.sfa")}, "正しくありません: " + dir.file("long.sfa") + ": int の値が長すぎます (256 バイトまで)", false},
               {{"--save-layout", dir.file("no/folder.edf")}, "レイアウトファイルを保存できません: ", false},
               {{"--layout-extra", "ColDefault=8,colDefault=1"}, "「colDefault」は位置の名前", true},
               {{"--layout-extra", "ColIndex=x"}, "ColIndex の「x」は数値ではありません", true},
               {{"--layout-extra", "ColIndex"}, "「ColIndex」は位置の名前", true},
               {{"--layout-extra", "ColIndex=-1"}, "ColIndex の「-1」は0 以上の数値ではありません", true},
               {{"--layout-extra", "NullMarkMeansNotNull=2"}, "NullMarkMeansNotNull の「2」は0 か 1 ではありません", true}};
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
