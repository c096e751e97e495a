// morvane-batch --sql, --deploy and --html: which files a run writes, in which code, and what it
// says about the tables it leaves out. What a script or a page holds is its writer's to pin.
#include <gtest/gtest.h>
#include <utime.h>

#include "Batch.h"
#include "platform/text/Cp932.h"
#include "tests/support/DesignBook.h"

namespace morvane::test {
namespace {

namespace fs = std::filesystem;

std::string cp932File(const std::string& path) { return platform::fromCp932(readBytes(path)); }

TEST(WriteCommands, ScriptsAndTheDeployScriptOfTheExample) {
  TempDir dir;
  // The example's .sfa maps its Japanese type words.
  const std::string ja = dir.file("ja");
  const BatchRun typed =
      batch({"--layout-values", kExampleLayout, "--types", kExamples + "types-ja.sfa", "--sql", ja, kExampleBook});
  EXPECT_EQ(typed.status, 0);
  EXPECT_EQ(typed.err, "");
  EXPECT_EQ(filesIn(ja), (Names{"受注.sql", "受注明細.sql", "商品.sql", "顧客.sql"}));
  EXPECT_HAS(cp932File(ja + "/受注.sql"), "\t受注日 datetime  NOT NULL ,\r\n\t合計金額 money  NULL ,\r\n");

  // The named tables, in list order, headed by where they came from.
  const std::string book = dir.file("design.xlsx"), scripts = dir.file("scripts/new");
  const std::string deploy = dir.file("deploy.sql");
  fs::copy_file(kExampleBook, book);
  const utimbuf times{981173106, 981173106};  // 2001-02-03 04:05:06 UTC
  ASSERT_EQ(::utime(book.c_str(), &times), 0);
  const BatchRun both = batch({"--layout-values", kExampleLayout, "--table", "商品", "--table", "顧客", "--sql", scripts,
                               "--deploy", deploy, "--encoding", "utf-8", "--eol", "lf", book},
                              {"TZ=UTC"});
  ASSERT_EQ(both.status, 0) << both.err;
  // Undefined notations once, though two outputs were made.
  EXPECT_EQ(both.err, "morvane-batch: テーブル「顧客」: 日付は未定義です\nmorvane-batch: テーブル「顧客」: 通貨は未定義です\n");
  EXPECT_EQ(filesIn(scripts), (Names{"商品.sql", "顧客.sql"}));
  const std::string text = readBytes(deploy);
  EXPECT_HAS(text, "\n-- ブック: design.xlsx\n-- ブックの更新日時: 2001-02-03 04:05:06 +0000\n");
  EXPECT_HAS(text, "-- 作成: morvane-batch " MORVANE_VERSION "\nSET XACT_ABORT ON\nGO\n\n");
  EXPECT_EQ(text.substr(text.find("\n\n") + 2),
            readBytes(scripts + "/顧客.sql") + "GO\n" + readBytes(scripts + "/商品.sql") + "GO\n");

  // Sizes read from the key column: identity and decimal sizes lose their comma; those tables are left out.
  const BatchRun failed = batch(
      {"--layout-values", "1,5,6,3,3,4,5,7,7,9", "--sql", dir.file("failed"), "--deploy", deploy, kExampleBook});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(filesIn(dir.file("failed")), Names{"受注.sql"});
  for (const std::string table : {"顧客", "受注明細", "商品"}) {  // once for the scripts, once for the deploy script
    const std::string line = "morvane-batch: テーブル「" + table + "」のスクリプトを作成できません: ";
    EXPECT_NE(failed.err.find(line, failed.err.find(line) + 1), std::string::npos) << failed.err;
  }
  const std::string all = cp932File(deploy);
  EXPECT_HAS(all, "CREATE TABLE dbo.受注 \r\n");
  EXPECT_LACKS(all, "CREATE TABLE dbo.商品");
  EXPECT_EQ(all.find("\r\nGO\r\n", all.find("CREATE")), all.rfind("\r\nGO\r\n"));
}

TEST(WriteCommands, AnOutputThatCannotBeMadeIsOneLineAndExitOne) {
  TempDir dir;
  writeBytes(dir.file("plain"), "x");
  for (const std::string option : {"--sql", "--html", "--deploy"}) {
    const std::string out = dir.file(option == "--deploy" ? "none/deploy.sql" : "plain/out");
    const BatchRun run = batch({"--layout-values", kExampleLayout, "--table", "商品", option, out, kExampleBook});
    EXPECT_EQ(run.status, 1) << option;
    EXPECT_EQ(run.errLines(), 1) << run.err;
    EXPECT_HAS(run.err, "morvane-batch: " + option + ": ");
    EXPECT_HAS(run.err, out);
  }
  EXPECT_EQ(filesIn(dir.path()), Names{"plain"});
}

// How each charset writes is the platform's; here both outputs take it, and a table cp932 cannot hold fails alone.
TEST(WriteCommands, EachEncodingReachesScriptsAndPagesAndCp932Refuses) {
  TempDir dir;
  const std::string ogai = "\xE9\xB7\x97";  // 鷗, which code page 932 cannot hold
  const std::vector<Row> id = {{"ID", "int", "", "1"}};
  const std::string book = writeDesignBook(dir.file("ogai.xlsx"), {{"Plain", id}, {"Mori" + ogai, id}});
  const std::string bom = dir.file("bom"), sjis = dir.file("sjis");
  ASSERT_EQ(batch({"--encoding", "utf-8-bom", "--eol", "lf", "--sql", bom, "--html", bom, book}).status, 0);
  const std::string script = readBytes(bom + "/Mori" + ogai + ".sql");
  EXPECT_TRUE(script.starts_with("\xEF\xBB\xBF")) << script;
  EXPECT_HAS(script, "CREATE TABLE dbo.Mori" + ogai + " \n");
  EXPECT_LACKS(script, '\r');
  EXPECT_HAS(readBytes(bom + "/leftframe.htm"), ">Mori" + ogai + "</a>");
  const BatchRun refused = batch({"--sql", sjis, "--html", sjis, book});
  EXPECT_EQ(refused.status, 1);
  EXPECT_HAS(refused.err, "U+9DD7");
  EXPECT_HAS(cp932File(sjis + "/Plain.sql"), "CREATE TABLE dbo.Plain \r\n");
  EXPECT_FALSE(fs::exists(sjis + "/Mori" + ogai + ".sql"));
}

TEST(WriteCommands, HtmlOfTheSelectedTablesAndThePagesLeftOut) {
  TempDir dir;
  const std::string out = dir.file("out"), all = dir.file("all");
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--table", "商品", "--table", "顧客", "--html", out,
                              "--title", "販売", kExampleBook});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(filesIn(out), (Names{"index.htm", "leftframe.htm", "rightframe.htm", "商品.htm", "顧客.htm"}));
  EXPECT_HAS(cp932File(out + "/rightframe.htm"), "<title>販売</title>");
  // Lines in the workbook's order, not the order of the options.
  const std::string index = cp932File(out + "/leftframe.htm");
  const auto customer = index.find(R"(<a href="顧客.htm" target="mainFrame">顧客</a>)");
  ASSERT_NE(customer, std::string::npos) << index;
  EXPECT_LT(customer, index.find(R"(<a href="商品.htm" target="mainFrame">商品</a>)")) << index;
  // Without --title: every table, titled with the workbook's file name.
  ASSERT_EQ(batch({"--layout-values", kExampleLayout, "--html", all, kExampleBook}).status, 0);
  EXPECT_EQ(filesIn(all).size(), 7u);
  EXPECT_HAS(cp932File(all + "/index.htm"), "<title>design-document.xlsx</title>");

  // One line per page left out, a line break in its name shown, not obeyed.
  const std::vector<Row> id = {{"ID", "int", "", "○"}};
  const std::string book = writeDesignBook(dir.file("tables.xlsx"), {{"ok", id}, {"x\n/../escape", id}});
  const BatchRun refused = batch({"--layout-values", kExampleLayout, "--html", dir.file("pages"), book});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "morvane-batch: テーブル「x\\n/../escape」のページを作成できません: "
                         "テーブル名がフォルダ内のファイル名になりません\n");
  EXPECT_EQ(filesIn(dir.file("pages")), (Names{"index.htm", "leftframe.htm", "ok.htm", "rightframe.htm"}));
}

}  // namespace
}  // namespace morvane::test
