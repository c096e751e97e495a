// The example's documentation set opened in a real browser (Debian's chromium, headless).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "htmldoc/clsHTMLDoc.h"
#include "model/FieldReference.h"
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
    // The example with its optional cells: logical names, keys, references and a diagram.
    const clsDBInfo db = test::exampleModel(true);
    for (const auto& table : db.getTables()) {
      names_.push_back(table->getName());
      for (const auto& field : table->getFields()) {
        if (const auto to = parseReference(field.getReference())) {
          landings_.push_back(table->getName() + " -> " + to->table + "#" + to->column);
          landings_.push_back(to->table + " -> " + table->getName() + "#" + field.getName());
        }
      }
    }
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
  std::vector<std::string> landings_;  // "page -> table#field" for each link a reference gives
  int profiles_ = 0;
};

TEST_F(HtmlBrowser, PagesDecodeAsShiftJisAndLinkToTheirTables) {
  const std::string index = dumpDom("leftframe.htm");
  EXPECT_NE(index.find("テーブル一覧</font>"), std::string::npos) << index;
  for (const auto& name : names_) {
    EXPECT_NE(index.find("<a href=\"" + name + ".htm\" target=\"mainFrame\">" + name + "</a>"), std::string::npos)
        << name;
    const std::string page = dumpDom(name + ".htm");
    EXPECT_NE(page.find("<title>" + name + " ("), std::string::npos) << page;
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
  for (const auto& name : names_) {
    EXPECT_NE(result.out.find("followed " + name), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("box " + name), std::string::npos) << result.out;
  }
  for (const auto& landing : landings_) EXPECT_NE(result.out.find("landed " + landing), std::string::npos) << landing;
  EXPECT_NE(result.out.find("diagram 4 boxes " + std::to_string(landings_.size() / 2) + " arrows"), std::string::npos)
      << result.out;
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

// A copy of a page in the same folder (so the same base URL) loads every link that the selector
// finds in a frame of its own and reports, per link, where the browser resolved it, the table
// name that the loaded page shows and the text of the link (of a diagram box, its first line).
std::string linkProbe(const std::string& selector) {
  return "<script>var links = Array.from(document.querySelectorAll('" + selector + "'));" + R"(
var hrefs = links.map(function (a) {
  return new URL(a.getAttribute('href') || a.getAttribute('xlink:href'), document.baseURI).href;
});
var frames = hrefs.map(function (href) {
  var f = document.createElement('iframe'); f.src = href; document.body.appendChild(f); return f;
});
window.addEventListener('load', function () {
  var p = document.createElement('pre'); p.id = 'probe';
  p.textContent = links.map(function (a, i) {
    var d = null; try { d = frames[i].contentDocument; } catch (e) {}
    var b = d && d.querySelector('b');
    return [hrefs[i], b ? b.textContent : '-', (a.querySelector('text') || a).textContent].map(encodeURIComponent).join(' ');
  }).join(' ');
  document.body.appendChild(p);
});
</script>)";
}

// Every table refers to the last, so the diagram has a box and an arrow per table.
TEST(HtmlBrowserLinks, EveryListAndDiagramLinkOpensItsOwnPageWhateverTheNameHolds) {
  if (!haveCommand("chromium")) GTEST_SKIP() << "chromium is not installed (apt-get install chromium)";
  const std::vector<std::string> names = {
      "javascript:document.write('<b>ran')", "JavaScript:void(0)", " javascript:void(2)",
      "\tjava\nscript:void(3)", "data:text,<b>x", "vbscript:x", "file:x", "mailto:a@example.com", "C|x", "c:x",
      "a#b", "a?b=1", "100%", "%2e%2e", "R&D", "R&amp;D", "<i>\"受注\" & 明細", "受注:明細", "Orders"};
  test::TempDir dir;
  const fs::path folder = dir.path() / "doc";
  fs::create_directory(folder);
  std::vector<clsTableInfo> tables;
  for (const auto& name : names) {
    tables.push_back(test::makeTable(name, {{"ID", "int"}}));
    clsFieldInfo reference;
    reference.setName("ref");
    reference.setReference("Orders.ID");
    tables.back().setField(reference);
  }
  clsHTMLDoc writer;
  writer.setEncoding({platform::Charset::Utf8, platform::LineEnd::CrLf});
  writer.fnWriteFile(test::dbOf(tables), folder.string());
  // The diagram's SVG is well-formed XML on its own.
  const std::string diagram = test::readBytes((folder / "diagram.htm").string());
  const std::size_t svg = diagram.find("<svg"), svgEnd = diagram.rfind("</svg>");
  ASSERT_TRUE(svg != std::string::npos && svgEnd != std::string::npos);
  test::writeBytes((dir.path() / "diagram.svg").string(), diagram.substr(svg, svgEnd + 6 - svg));
  EXPECT_EQ(run("xmllint --noout " + quote((dir.path() / "diagram.svg").string())).status, 0);

  for (const auto& [page, selector] : {std::pair<std::string, std::string>{"leftframe.htm", "a:not(#diagram)"},
                                       {"diagram.htm", "svg a"}}) {
    SCOPED_TRACE(page);
    test::writeBytes((folder / "probe.htm").string(), test::readBytes((folder / page).string()) + linkProbe(selector));
    const auto result = run("timeout 60 chromium " + kChromiumFlags + " --allow-file-access-from-files --user-data-dir=" +
                            quote((dir.path() / "profile").string()) + " --dump-dom " +
                            quote((folder / "probe.htm").string()) + " 2>/dev/null");
    ASSERT_EQ(result.status, 0);
    const std::size_t open = result.out.find("<pre id=\"probe\">");
    const std::size_t close = result.out.find("</pre>", open);
    ASSERT_TRUE(open != std::string::npos && close != std::string::npos) << result.out;
    std::istringstream probe(result.out.substr(open, close - open).substr(std::string("<pre id=\"probe\">").size()));
    const std::vector<std::string> words{std::istream_iterator<std::string>(probe), {}};
    ASSERT_EQ(words.size(), 3 * names.size()) << result.out;
    // Per file a link opened (the diagram's boxes come in Graphviz's order): what that page and
    // the link showed.
    const std::string inFolder = "file://" + folder.string() + "/";
    std::map<std::string, std::pair<std::string, std::string>> opened;
    for (std::size_t i = 0; i < words.size(); i += 3) {
      const std::string href = percentDecode(words[i]);
      ASSERT_EQ(href.rfind(inFolder, 0), 0u) << href;
      const std::string file = href.substr(inFolder.size());
      // No query or fragment, nothing that climbs out: the rest is one file name.
      EXPECT_EQ(file.find_first_of("/?#"), std::string::npos) << href;
      opened[percentDecode(file)] = {percentDecode(words[i + 1]), percentDecode(words[i + 2])};
    }
    for (const auto& name : names) {
      SCOPED_TRACE("table name '" + name + "'");
      const auto page = opened.find(name + ".htm");
      ASSERT_NE(page, opened.end());
      // The page the link opened heads itself with the table's name.
      EXPECT_EQ(page->second.first, name);
      // The link shows the name; a diagram box with its control characters as blanks.
      std::string shown = name;
      if (selector == "svg a") std::replace_if(shown.begin(), shown.end(), [](char c) { return c > 0 && c < ' '; }, ' ');
      EXPECT_EQ(page->second.second, shown);
    }
  }
}

}  // namespace
}  // namespace morvane
