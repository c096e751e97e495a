// morvane-batch --html: the documentation set of the selected tables, and its failures.
#include <gtest/gtest.h>

#include "Batch.h"
#include "platform/text/Cp932.h"
#include "tests/support/DesignBook.h"

namespace morvane::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class HtmlCommand : public ::testing::Test {
 protected:
  std::string folder() {
    fs::create_directories(dir_.path() / "out");
    return dir_.file("out");
  }
  static std::string page(const std::string& path) { return platform::fromCp932(readBytes(path)); }
  TempDir dir_;
};

TEST_F(HtmlCommand, WritesTheSelectedTablesWithTheGivenTitle) {
  const std::string out = folder();
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--table", "商品", "--table", "顧客", "--html", out,
                              "--title", "販売 & 在庫", kExampleBook});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(filesIn(out), (Names{"index.htm", "leftframe.htm", "rightframe.htm", "商品.htm", "顧客.htm"}));
  EXPECT_NE(page(out + "/rightframe.htm").find("<title>販売 &amp; 在庫</title>"), std::string::npos);
  // Lines in the workbook's order, not the order of the options.
  const std::string index = page(out + "/leftframe.htm");
  const auto customer = index.find(R"(<a href="顧客.htm" target="mainFrame">顧客</a>)");
  const auto goods = index.find(R"(<a href="商品.htm" target="mainFrame">商品</a>)");
  ASSERT_NE(customer, std::string::npos) << index;
  ASSERT_NE(goods, std::string::npos) << index;
  EXPECT_LT(customer, goods);

  // Without --title: every table, titled with the workbook's file name.
  const std::string all = dir_.file("all");
  fs::create_directory(all);
  ASSERT_EQ(batch({"--layout-values", kExampleLayout, "--html", all, kExampleBook}).status, 0);
  EXPECT_EQ(filesIn(all).size(), 7u);
  EXPECT_NE(page(all + "/index.htm").find("<title>design-document.xlsx</title>"), std::string::npos);
}

TEST_F(HtmlCommand, AFolderThatCannotBeMadeIsExitOneWithOneLine) {
  writeBytes(dir_.file("plain"), "x");
  const std::string out = dir_.file("plain/out");
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--html", out, kExampleBook});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(out), std::string::npos) << run.err;
  EXPECT_EQ(run.errLines(), 1) << run.err;
}

TEST_F(HtmlCommand, TablesWithoutAPageAreReportedAndTheRestIsAWholeSet) {
  const std::vector<Row> id = {{"ID", "int"}};
  const std::string book = writeDesignBook(dir_.file("tables.xlsx"),
                                           {{"ok", id}, {"x\n/../escape", id}, {"Index", id}, {"after", id}});
  const std::string out = folder();
  const BatchRun run = batch({"--html", out, book});
  EXPECT_EQ(run.status, 1);
  // One line per refused table, the line break in the name shown, not obeyed.
  EXPECT_EQ(run.errLines(), 2) << run.err;
  EXPECT_NE(run.err.find("テーブル「x\\n/../escape」"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("テーブル「Index」"), std::string::npos) << run.err;
  EXPECT_EQ(filesIn(out), (Names{"after.htm", "index.htm", "leftframe.htm", "ok.htm", "rightframe.htm"}));
  EXPECT_FALSE(fs::exists(dir_.path() / "escape.htm"));
  const std::string index = page(out + "/leftframe.htm");
  EXPECT_NE(index.find(R"(href="after.htm")"), std::string::npos) << index;
  EXPECT_EQ(index.find("Index"), std::string::npos) << index;
}

}  // namespace
}  // namespace morvane::test
