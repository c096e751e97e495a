// morvane-batch --sql, --deploy and --html: which files a run writes, in which code, and what it
// says about the tables it leaves out.
#include <gtest/gtest.h>
#include <utime.h>

#include "Batch.h"
#include "platform/text/Cp932.h"
#include "tests/support/DesignBook.h"

namespace morvane::test {
namespace {

namespace fs = std::filesystem;

std::string cp932File(const std::string& path) { return platform::fromCp932(readBytes(path)); }

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(WriteCommands, ScriptsAndTheDeployScriptOfTheExample) {
  TempDir dir;
  const std::string out = dir.file("out"), ja = dir.file("ja");
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--sql", out, kExampleBook});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(filesIn(out), (Names{"受注.sql", "受注明細.sql", "商品.sql", "顧客.sql"}));
  EXPECT_HAS(readBytes(out + "/顧客.sql"), platform::toCp932("CREATE TABLE dbo.顧客 \r\n\t(\r\n\t顧客ID int  NOT NULL  "));
  EXPECT_EQ(run.err, "morvane-batch: テーブル「顧客」: 日付は未定義です\nmorvane-batch: テーブル「顧客」: 通貨は未定義です\n"
                     "morvane-batch: テーブル「受注」: 日付は未定義です\nmorvane-batch: テーブル「受注」: 通貨は未定義です\n");
  // The example's .sfa maps its Japanese type words: those columns come back, the rest is unchanged.
  const BatchRun typed =
      batch({"--layout-values", kExampleLayout, "--types", kExamples + "types-ja.sfa", "--sql", ja, kExampleBook});
  EXPECT_EQ(typed.status, 0);
  EXPECT_EQ(typed.err, "");
  EXPECT_HAS(cp932File(ja + "/受注.sql"), "\t受注日 datetime  NOT NULL ,\r\n\t合計金額 money  NULL ,\r\n");
  EXPECT_EQ(readBytes(ja + "/商品.sql"), readBytes(out + "/商品.sql"));

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
  EXPECT_EQ(both.errLines(), 2) << both.err;  // undefined notations once, though two outputs were made
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
  for (const std::string table : {"顧客", "受注明細", "商品"}) {
    EXPECT_EQ(count(failed.err, "morvane-batch: テーブル「" + table + "」のスクリプトを作成できません: "), 2u) << failed.err;
  }
  const std::string all = cp932File(deploy);
  EXPECT_HAS(all, "CREATE TABLE dbo.受注 \r\n");
  EXPECT_LACKS(all, "CREATE TABLE dbo.商品");
  EXPECT_EQ(all.find("\r\nGO\r\n", all.find("CREATE")), all.rfind("\r\nGO\r\n"));
  EXPECT_EQ(all.find('\n'), all.find("\r\n") + 1);
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

TEST(WriteCommands, EachEncodingWritesItsBytesAndCp932Refuses) {
  TempDir dir;
  const std::string ogai = "\xE9\xB7\x97";  // 鷗, which code page 932 cannot hold
  const std::vector<Row> id = {{"ID", "int", "", "1"}};
  const std::string book = writeDesignBook(dir.file("ogai.xlsx"), {{"Plain", id}, {"Mori" + ogai, id}});
  const std::string utf8 = dir.file("utf8"), bom = dir.file("bom"), sjis = dir.file("sjis");
  ASSERT_EQ(batch({"--encoding", "utf-8", "--sql", utf8, "--html", utf8, book}).status, 0);
  ASSERT_EQ(batch({"--encoding", "utf-8-bom", "--eol", "lf", "--sql", bom, book}).status, 0);
  const std::string script = readBytes(utf8 + "/Mori" + ogai + ".sql");
  EXPECT_HAS(script, "CREATE TABLE dbo.Mori" + ogai + " \r\n");
  EXPECT_TRUE(script.ends_with("COMMIT \r\n"));
  std::string lf = script;
  std::erase(lf, '\r');
  EXPECT_EQ(readBytes(bom + "/Mori" + ogai + ".sql"), "\xEF\xBB\xBF" + lf);
  const BatchRun refused = batch({"--sql", sjis, "--html", sjis, book});
  EXPECT_EQ(refused.status, 1);
  EXPECT_HAS(refused.err, "U+9DD7");
  EXPECT_EQ(readBytes(sjis + "/Plain.sql"), readBytes(utf8 + "/Plain.sql"));
  EXPECT_FALSE(fs::exists(sjis + "/Mori" + ogai + ".sql"));
  // The pages take the same encoding; how each charset writes them is the generator's.
  EXPECT_HAS(readBytes(utf8 + "/leftframe.htm"), ">Mori" + ogai + "</a>");
}

TEST(WriteCommands, HtmlOfTheSelectedTablesAndThePagesLeftOut) {
  TempDir dir;
  const std::string out = dir.file("out"), all = dir.file("all");
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--table", "商品", "--table", "顧客", "--html", out,
                              "--title", "販売 & 在庫", kExampleBook});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(filesIn(out), (Names{"index.htm", "leftframe.htm", "rightframe.htm", "商品.htm", "顧客.htm"}));
  EXPECT_HAS(cp932File(out + "/rightframe.htm"), "<title>販売 &amp; 在庫</title>");
  // Lines in the workbook's order, not the order of the options.
  const std::string index = cp932File(out + "/leftframe.htm");
  const auto customer = index.find(R"(<a href="顧客.htm" target="mainFrame">顧客</a>)");
  ASSERT_NE(customer, std::string::npos) << index;
  EXPECT_LT(customer, index.find(R"(<a href="商品.htm" target="mainFrame">商品</a>)")) << index;
  // Without --title: every table, titled with the workbook's file name.
  ASSERT_EQ(batch({"--layout-values", kExampleLayout, "--html", all, kExampleBook}).status, 0);
  EXPECT_EQ(filesIn(all).size(), 7u);
  EXPECT_HAS(cp932File(all + "/index.htm"), "<title>design-document.xlsx</title>");

  // One line per page left out, a line break in its name shown, not obeyed; the rest is a whole set.
  const std::vector<Row> id = {{"ID", "int", "", "○"}};
  const std::string book = writeDesignBook(
      dir.file("tables.xlsx"), {{"ok", id}, {"x\n/../escape", id}, {"Index", id}, {"OK", id}, {"after", id}});
  const std::string pages = dir.file("pages");
  const BatchRun refused = batch({"--layout-values", kExampleLayout, "--html", pages, book});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.errLines(), 3) << refused.err;
  for (const std::string table : {"x\\n/../escape", "Index", "OK"}) {
    EXPECT_HAS(refused.err, "morvane-batch: テーブル「" + table + "」のページを作成できません: ");
  }
  EXPECT_EQ(filesIn(pages), (Names{"after.htm", "index.htm", "leftframe.htm", "ok.htm", "rightframe.htm"}));
  EXPECT_FALSE(fs::exists(dir.path() / "escape.htm"));
  EXPECT_LACKS(cp932File(pages + "/leftframe.htm"), "Index");
}

}  // namespace
}  // namespace morvane::test
