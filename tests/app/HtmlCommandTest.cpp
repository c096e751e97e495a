// morvane-batch --html: the documentation set of the selected tables, and its failures.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Cp932.h"
#include "tests/support/TempDir.h"
#include "tests/support/XlsxPackage.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr const char* kExampleLayout = "1,5,6,3,3,4,5,6,7,9";

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class HtmlCommand : public ::testing::Test {
 protected:
  struct Run {
    int status = -1;
    std::string err;
  };

  Run batch(const std::vector<std::string>& args) {
    std::string command = quoted(MORVANE_BATCH);
    for (const auto& arg : args) command += " " + quoted(arg);
    const std::string errFile = dir_.file("stderr.txt");
    const int status = std::system((command + " >/dev/null 2>" + quoted(errFile)).c_str());
    Run run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::readBytes(errFile)};
    fs::remove(errFile);
    return run;
  }

  std::string folder(const std::string& name = "out") {
    fs::create_directories(dir_.path() / name);
    return dir_.file(name);
  }

  static Names files(const std::string& folder) {
    Names names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::string page(const std::string& path) { return platform::fromCp932(test::readBytes(path)); }

  // A workbook in the default layout: one table per sheet, the name in C3, one field in row 6.
  std::string workbookWithTables(const Names& tables) {
    const std::string path = dir_.file("tables.xlsx");
    test::XlsxWriterBook book(path);
    for (const auto& name : tables) {
      lxw_worksheet* sheet = book.addSheet();
      test::writeCell(sheet, "C3", name);
      test::writeCell(sheet, "D6", "ID");
      test::writeCell(sheet, "E6", "int");
    }
    book.close();
    return path;
  }

  std::string example() const { return std::string(MORVANE_SOURCE_DIR) + "/examples/design-document.xlsx"; }

  test::TempDir dir_;
};

TEST_F(HtmlCommand, WritesTheSelectedTablesWithTheGivenTitle) {
  const std::string out = folder();
  const Run run = batch({"--layout-values", kExampleLayout, "--table", "商品", "--table", "顧客", "--html", out,
                         "--title", "販売 & 在庫", example()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(files(out), (Names{"index.htm", "leftframe.htm", "rightframe.htm", "商品.htm", "顧客.htm"}));
  EXPECT_NE(page(out + "/rightframe.htm").find("<title>販売 &amp; 在庫</title>"), std::string::npos);
  // Lines in the workbook's order, not the order of the options.
  const std::string index = page(out + "/leftframe.htm");
  const auto customer = index.find(R"(<a href="顧客.htm" target="mainFrame">顧客</a>)");
  const auto goods = index.find(R"(<a href="商品.htm" target="mainFrame">商品</a>)");
  ASSERT_NE(customer, std::string::npos) << index;
  ASSERT_NE(goods, std::string::npos) << index;
  EXPECT_LT(customer, goods);
}

TEST_F(HtmlCommand, TitleDefaultsToTheWorkbookFileName) {
  const std::string out = folder();
  const Run run = batch({"--layout-values", kExampleLayout, "--html", out, example()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(files(out).size(), 7u);
  EXPECT_NE(page(out + "/index.htm").find("<title>design-document.xlsx</title>"), std::string::npos);
}

TEST_F(HtmlCommand, MissingFolderIsExitOneWithOneLine) {
  const std::string out = dir_.file("nowhere");
  const Run run = batch({"--layout-values", kExampleLayout, "--html", out, example()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(out + "/index.htm"), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(HtmlCommand, TableNameLeavingTheFolderStopsTheSet) {
  const std::string out = folder();
  // The line break must not split the reason over two lines.
  const Run run = batch({"--html", out, workbookWithTables({"ok", "x\n/../escape", "after"})});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("escape.htm"), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(files(out), (Names{"index.htm", "ok.htm", "rightframe.htm"}));
  EXPECT_FALSE(fs::exists(dir_.path() / "escape.htm"));
}

}  // namespace
}  // namespace morvane
