// The example's documentation set opened in a real browser (Debian's chromium, headless).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "htmldoc/clsHTMLDoc.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

const std::string kChromiumFlags =
    "--headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking "
    "--disable-component-update --disable-sync";

std::string quote(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct Result {
  int status = -1;
  std::string out;
};

Result run(const std::string& command) {
  Result result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool haveCommand(const std::string& name) { return run("command -v " + name + " >/dev/null 2>&1").status == 0; }

class HtmlBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveCommand("chromium")) GTEST_SKIP() << "chromium is not installed (apt-get install chromium)";
    const clsDBInfo db = test::exampleModel();
    for (const auto& table : db.getTables()) names_.push_back(table->getName());
    ASSERT_EQ(names_.size(), 4u);
    fs::create_directory(dir_.path() / "doc");
    clsHTMLDoc writer;
    writer.setTitle("販売管理 設計書");
    writer.fnWriteFile(db, dir_.file("doc"));
  }

  std::string dumpDom(const std::string& file) {
    const fs::path profile = dir_.path() / ("profile-" + std::to_string(++profiles_));
    const auto result = run("timeout 120 chromium " + kChromiumFlags + " --user-data-dir=" + quote(profile.string()) +
                            " --dump-dom " + quote((dir_.path() / "doc" / file).string()) + " 2>/dev/null");
    EXPECT_EQ(result.status, 0) << file;
    return result.out;
  }

  test::TempDir dir_;
  std::vector<std::string> names_;
  int profiles_ = 0;
};

TEST_F(HtmlBrowser, PagesDecodeAsShiftJisAndLinkToTheirTables) {
  const std::string index = dumpDom("leftframe.htm");
  EXPECT_NE(index.find("テーブル一覧</font>"), std::string::npos) << index;
  for (const auto& name : names_) {
    EXPECT_NE(index.find("<a href=\"" + name + ".htm\" target=\"mainFrame\">" + name + "</a>"), std::string::npos)
        << name;
    const std::string page = dumpDom(name + ".htm");
    EXPECT_NE(page.find("<title>" + name + "</title>"), std::string::npos) << page;
    EXPECT_NE(page.find("PrimaryKey"), std::string::npos) << page;
  }
  EXPECT_NE(dumpDom("rightframe.htm").find("<title>販売管理 設計書</title>"), std::string::npos);
}

TEST_F(HtmlBrowser, IndexLinksLoadTablesIntoMainFrame) {
  if (!haveCommand("node") || !haveCommand("npm")) GTEST_SKIP() << "node and npm are needed to drive the browser";
  // Installed beside the test program, once, and only for the tests.
  const fs::path modules = fs::read_symlink("/proc/self/exe").parent_path() / "browser-driver";
  if (!fs::exists(modules / "node_modules/playwright-core/package.json")) {
    const auto install = run("timeout 300 npm install --no-audit --no-fund --no-save --prefix " +
                             quote(modules.string()) + " playwright-core@1 2>&1");
    if (install.status != 0) GTEST_SKIP() << "playwright-core could not be installed from npm:\n" << install.out;
  }
  std::string command = "NODE_PATH=" + quote((modules / "node_modules").string()) + " timeout 180 node " +
                        quote(std::string(MORVANE_SOURCE_DIR) + "/tests/htmldoc/follow-links.cjs") + " " +
                        quote((dir_.path() / "doc" / "index.htm").string());
  for (const auto& name : names_) command += " " + quote(name);
  const auto result = run(command + " 2>&1");
  EXPECT_EQ(result.status, 0) << result.out;
  for (const auto& name : names_) EXPECT_NE(result.out.find("followed " + name), std::string::npos) << result.out;
}

}  // namespace
}  // namespace morvane
