// The example's documentation set opened in a real browser (Debian's chromium, headless).
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "htmldoc/clsHTMLDoc.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/Command.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

const std::string kChromiumFlags =
    "--headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking "
    "--disable-component-update --disable-sync";

using test::haveCommand;
using test::quote;
using test::run;

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

std::string percentDecode(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool escape = text[i] == '%' && i + 2 < text.size();
    out += escape ? static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)) : text[i];
    if (escape) i += 2;
  }
  return out;
}

// A copy of leftframe.htm in the same folder (so the same base URL) loads every link of the
// list in a frame of its own and reports, per link, where the browser resolved it and the table
// name that the loaded page shows.
constexpr const char* kLinkProbe = R"(<script>
var links = Array.from(document.querySelectorAll('a'));
var frames = links.map(function (a) {
  var f = document.createElement('iframe'); f.src = a.href; document.body.appendChild(f); return f;
});
window.addEventListener('load', function () {
  var p = document.createElement('pre'); p.id = 'probe';
  p.textContent = links.map(function (a, i) {
    var d = null; try { d = frames[i].contentDocument; } catch (e) {}
    var b = d && d.querySelector('b');
    return encodeURIComponent(a.href) + ' ' + (b ? encodeURIComponent(b.textContent) : '-');
  }).join(' ');
  document.body.appendChild(p);
});
</script>)";

TEST(HtmlBrowserLinks, EveryListLinkOpensItsOwnPageWhateverTheNameHolds) {
  if (!haveCommand("chromium")) GTEST_SKIP() << "chromium is not installed (apt-get install chromium)";
  const std::vector<std::string> names = {
      "javascript:document.write('<b>ran')", "JavaScript:void(0)", " javascript:void(2)",
      "\tjava\nscript:void(3)", "data:text,<b>x", "vbscript:x", "file:x", "mailto:a@example.com", "C|x", "c:x",
      "a#b", "a?b=1", "100%", "%2e%2e", "R&D", "受注:明細", "Orders"};
  test::TempDir dir;
  const fs::path folder = dir.path() / "doc";
  fs::create_directory(folder);
  std::vector<clsTableInfo> tables;
  for (const auto& name : names) tables.push_back(test::makeTable(name, {{"ID", "int"}}));
  clsHTMLDoc writer;
  writer.fnWriteFile(test::dbOf(tables), folder.string());
  test::writeBytes((folder / "probe.htm").string(), test::readBytes((folder / "leftframe.htm").string()) + kLinkProbe);

  const auto result = run("timeout 60 chromium " + kChromiumFlags + " --allow-file-access-from-files --user-data-dir=" +
                          quote((dir.path() / "profile").string()) + " --dump-dom " +
                          quote((folder / "probe.htm").string()) + " 2>/dev/null");
  ASSERT_EQ(result.status, 0);
  const std::size_t open = result.out.find("<pre id=\"probe\">");
  const std::size_t close = result.out.find("</pre>", open);
  ASSERT_TRUE(open != std::string::npos && close != std::string::npos) << result.out;
  std::istringstream probe(result.out.substr(open, close - open).substr(std::string("<pre id=\"probe\">").size()));
  const std::vector<std::string> words{std::istream_iterator<std::string>(probe), {}};
  ASSERT_EQ(words.size(), 2 * names.size()) << result.out;
  const std::string inFolder = "file://" + folder.string() + "/";
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE("table name '" + names[i] + "'");
    const std::string href = percentDecode(words[2 * i]);
    ASSERT_EQ(href.rfind(inFolder, 0), 0u) << href;
    const std::string file = href.substr(inFolder.size());
    // No query or fragment, nothing that climbs out: the rest is one file name.
    EXPECT_EQ(file.find_first_of("/?#"), std::string::npos) << href;
    EXPECT_EQ(percentDecode(file), names[i] + ".htm") << href;
    // The page the link opened heads itself with the table's name.
    EXPECT_EQ(percentDecode(words[2 * i + 1]), names[i]);
  }
}

}  // namespace
}  // namespace morvane
