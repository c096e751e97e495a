// morvane-batch --encoding, --eol and --deploy: the same scripts in the form CI tools expect.
#include <gtest/gtest.h>
#include <utime.h>

#include "Batch.h"
#include "platform/text/Cp932.h"
#include "tests/support/DesignBook.h"

namespace morvane::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const std::string kOgai = "\xE9\xB7\x97";  // 鷗, which code page 932 cannot hold

class DeployCommand : public ::testing::Test {
 protected:
  // Two tables, the second named with 鷗.
  std::string bookWithOgai() {
    const std::vector<Row> id = {{"ID", "int", "", "1"}};
    return writeDesignBook(dir_.file("ogai.xlsx"), {{"Plain", id}, {"Mori" + kOgai, id}});
  }
  TempDir dir_;
};

TEST_F(DeployCommand, EachEncodingWritesItsBytesAndCp932StillRefuses) {
  const std::string book = bookWithOgai();
  const std::string utf8 = dir_.file("utf8"), bom = dir_.file("bom"), sjis = dir_.file("sjis");
  ASSERT_EQ(batch({"--encoding", "utf-8", "--sql", utf8, book}).status, 0);
  ASSERT_EQ(batch({"--encoding", "utf-8-bom", "--eol", "lf", "--sql", bom, book}).status, 0);
  const std::string script = readBytes(utf8 + "/Mori" + kOgai + ".sql");
  EXPECT_NE(script.find("CREATE TABLE dbo.Mori" + kOgai + " \r\n"), std::string::npos) << script;
  EXPECT_TRUE(script.ends_with("COMMIT \r\n"));
  std::string lf = script;
  std::erase(lf, '\r');
  EXPECT_EQ(readBytes(bom + "/Mori" + kOgai + ".sql"), "\xEF\xBB\xBF" + lf);
  const BatchRun refused = batch({"--sql", sjis, book});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("U+9DD7"), std::string::npos) << refused.err;
  EXPECT_EQ(filesIn(sjis), (Names{"Plain.sql"}));
  EXPECT_EQ(readBytes(sjis + "/Plain.sql"), readBytes(utf8 + "/Plain.sql"));
}

TEST_F(DeployCommand, OneScriptInListOrderHeadedByWhereItCameFrom) {
  const std::string book = dir_.file("design.xlsx");
  fs::copy_file(kExampleBook, book);
  const utimbuf times{981173106, 981173106};  // 2001-02-03 04:05:06 UTC
  ASSERT_EQ(::utime(book.c_str(), &times), 0);
  const std::string scripts = dir_.file("scripts"), deploy = dir_.file("deploy.sql");
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--table", "商品", "--table", "顧客", "--sql", scripts,
                              "--deploy", deploy, "--encoding", "utf-8", "--eol", "lf", book},
                             {"TZ=UTC"});
  ASSERT_EQ(run.status, 0) << run.err;
  // Undefined notations once, though two outputs were made.
  EXPECT_EQ(run.errLines(), 2) << run.err;
  const std::string text = readBytes(deploy);
  const std::string head = "-- ブック: design.xlsx\n-- ブックの更新日時: 2001-02-03 04:05:06 +0000\n";
  EXPECT_NE(text.find(head), std::string::npos) << text;
  EXPECT_NE(text.find("-- 作成: morvane-batch " MORVANE_VERSION "\nSET XACT_ABORT ON\nGO\n\n"), std::string::npos) << text;
  const std::string body = text.substr(text.find("\n\n") + 2);
  EXPECT_EQ(body, readBytes(scripts + "/顧客.sql") + "GO\n" + readBytes(scripts + "/商品.sql") + "GO\n");
}

TEST_F(DeployCommand, TablesThatCannotBeMadeAreLeftOutWithExitOne) {
  // Sizes read from the key column: identity and decimal sizes lose their comma.
  const std::string deploy = dir_.file("deploy.sql");
  const BatchRun run = batch({"--layout-values", "1,5,6,3,3,4,5,7,7,9", "--deploy", deploy, kExampleBook});
  EXPECT_EQ(run.status, 1);
  for (const char* table : {"顧客", "受注明細", "商品"}) {
    EXPECT_NE(run.err.find("テーブル「" + std::string(table) + "」のスクリプトを作成できません: "), std::string::npos)
        << run.err;
  }
  const std::string text = platform::fromCp932(readBytes(deploy));
  EXPECT_NE(text.find("CREATE TABLE dbo.受注 \r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("CREATE TABLE dbo.商品"), std::string::npos) << text;
  EXPECT_EQ(text.find("\r\nGO\r\n", text.find("CREATE")), text.rfind("\r\nGO\r\n"));
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);

  // A folder that is not there: one line, no file, nothing half written.
  const std::string missing = dir_.file("none/deploy.sql");
  const BatchRun unwritable = batch({"--layout-values", kExampleLayout, "--table", "商品", "--deploy", missing, kExampleBook});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("--deploy: " + missing), std::string::npos) << unwritable.err;
  EXPECT_EQ(unwritable.errLines(), 1) << unwritable.err;
  EXPECT_FALSE(fs::exists(dir_.path() / "none"));
}

TEST_F(DeployCommand, HtmlInUtf8NeedsNoCharacterReferences) {
  const std::string book = bookWithOgai();
  const std::string utf8 = dir_.file("utf8"), sjis = dir_.file("sjis");
  ASSERT_EQ(batch({"--encoding", "utf-8", "--html", utf8, book}).status, 0);
  ASSERT_EQ(batch({"--html", sjis, book}).status, 0);
  const std::string page = readBytes(utf8 + "/leftframe.htm");
  EXPECT_NE(page.find("charset=UTF-8\">"), std::string::npos) << page;
  EXPECT_NE(page.find(">Mori" + kOgai + "</a>"), std::string::npos) << page;
  EXPECT_EQ(page.find("&#x"), std::string::npos) << page;
  EXPECT_TRUE(page.ends_with("</html>\r\n"));
  const std::string old = platform::fromCp932(readBytes(sjis + "/leftframe.htm"));
  EXPECT_NE(old.find("charset=Shift_JIS\">"), std::string::npos);
  EXPECT_NE(old.find(">Mori&#x9DD7;</a>"), std::string::npos) << old;
}

TEST_F(DeployCommand, UnknownNamesAndOptionsWithoutAFileAreUsageErrors) {
  const std::string out = dir_.file("out");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--encoding", "utf8", "--sql", out, kExampleBook}, "--encoding には cp932、utf-8、utf-8-bom"},
      {{"--eol", "cr", "--sql", out, kExampleBook}, "--eol には crlf か lf"},
      {{"--eol", "lf", "--list", kExampleBook}, "--encoding と --eol は --sql、--html、--deploy と使います"},
      {{"--against-server", "--server", "s", "--database", "d", "--user", "u", "--deploy", out, kExampleBook},
       "--against-server と --deploy"},
  };
  for (const auto& [args, message] : cases) {
    const BatchRun run = batch(args);
    EXPECT_EQ(run.status, 2) << message;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
  }
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace morvane::test
