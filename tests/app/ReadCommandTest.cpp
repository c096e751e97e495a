// morvane-batch --list, --dump and --help, and the one line a workbook that cannot be read gets.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "Batch.h"
#include "tests/support/DesignBook.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/UnreadableXls.h"
#include "tests/support/XlsxDamage.h"

namespace morvane::test {
namespace {

namespace fs = std::filesystem;

TEST(ReadCommand, ListsAndDumpsWithNamesMadeVisible) {
  TempDir dir;
  const std::string full = writeDesignBook(dir.file("full.xlsx"), fullDesignSheets());
  const std::string hostile = writeDesignBook(
      dir.file("hostile.xlsx"), {{"\x1B[31mred", {{"ID", "int"}}}, {"two\nlines", {{"ID", "int"}}}, {"Plain", {}}});
  writeBytes(dir.file("sound.xls"), soundXlsBytes());
  const clsDBInfo model = exampleModel();
  std::string example;
  for (const auto& table : model.getTables()) example += table->getName() + "\n";
  const struct {
    std::vector<std::string> args;
    std::string out;  // empty: a dump, compared as JSON below
  } cases[] = {
      {{"--layout-values", kExampleLayout, "--list", kExampleBook}, example},
      {{"--list", kExampleBook}, "顧客\n受注\n受注明細\n"},  // the default layout ends at sheet 4
      {{"--list", hostile}, "\\x1B[31mred\ntwo\\nlines\nPlain\n"},
      {{"--list", dir.file("sound.xls")}, "顧客\n"},
      {{"--help"}, "使い方: morvane-batch [--layout FILE.edf]"},
      {{"--layout-values", kExampleLayout, "--dump", kExampleBook}, ""},
      {{"--layout-extra", kFullLayoutExtra + ",NullMarkMeansNotNull=1", "--dump", full}, ""}};
  std::vector<std::string> outs;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    const BatchRun run = batch(c.args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.substr(0, c.out.size()), c.out);
    outs.push_back(run.out);
  }
  EXPECT_EQ(nlohmann::ordered_json::parse(outs[5]), modelJson(model));
  const std::string& dumped = outs[6];
  // The optional cells appear under their keys when the layout names them.
  for (const std::string part : {"\"logicalName\": \"顧客マスタ\"", "\"default\": \"N'な''し'\"", "\"reference\": \"顧客.ID\""}) {
    EXPECT_HAS(dumped, part);
  }
  // A name's escape goes to JSON as \u001b, never raw to the terminal.
  const std::string escaped = batch({"--dump", hostile}).out;
  EXPECT_LACKS(escaped, '\x1B');
  EXPECT_HAS(escaped, "\"\\u001b[31mred\"");
  EXPECT_EQ(nlohmann::json::parse(escaped)["tables"][0]["name"], "\x1B[31mred");
}

// The readers' own reasons are theirs to pin; here each way a read fails makes one line, the name escaped.
TEST(ReadCommand, AWorkbookThatCannotBeReadExitsTwoWithItsReasonInOneLine) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("pipe.xls").c_str(), 0600), 0);
  writeBytes(dir.file("package.xlsx"), unreadablePackages().front().bytes);
  HandPackage package;
  package.sheets = {worksheetXml("<row r=\"3\"><c r=\"C3\" t=\"e\"><v>#REF!</v></c></row>")};
  writeZip(dir.file("error.xlsx"), package.parts());
  const struct {
    std::string name, shown, reason;  // reason: the whole rest of the line, or else words it holds
    std::vector<std::string> words;
  } cases[] = {{"line\nbreak.xls", "line\\nbreak.xls", "を開けません: ファイルが見つかりません\n", {}},
               {"pipe.xls", "pipe.xls", "を開けません: ファイルではなく名前付きパイプ (FIFO) です\n", {}},
               {"package.xlsx", "package.xlsx", "", unreadablePackages().front().words},
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
  TdsTestServer server({.user = "sa", .password = "pw", .database = "販売"});
  const std::string out = dir.file("out"), book = kExampleBook;
  auto against = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = login(server);
    args.push_back("--against-server");
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
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
      {{"--allow-drop", "--sql", out, book}, "--allow-drop は --since か --against-server と使います"},
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
  EXPECT_EQ(server.connectionCount(), 0u);
}

}  // namespace
}  // namespace morvane::test
