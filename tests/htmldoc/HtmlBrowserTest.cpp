// Documentation sets opened in a real browser (Debian's chromium, headless): every link resolves.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>

#include "htmldoc/clsHTMLDoc.h"
#include "model/FieldReference.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/Command.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::haveCommand;
using test::quote;
using test::run;

const std::string kChromium = "timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run "
                              "--disable-background-networking --disable-component-update --disable-sync";

// The example with its optional cells (logical names, keys, references, a diagram): the list
// loads each table into mainFrame, and each reference and diagram box lands on its page.
TEST(HtmlBrowser, IndexLinksLoadTablesIntoMainFrame) {
  if (!haveCommand("chromium") || !haveCommand("node") || !haveCommand("npm")) {
    GTEST_SKIP() << "chromium, node and npm are needed to drive the browser";
  }
  // Installed beside the test program, once, and only for the tests.
  const fs::path modules = fs::read_symlink("/proc/self/exe").parent_path() / "browser-driver";
  if (!fs::exists(modules / "node_modules/playwright-core/package.json")) {
    const auto install = run("timeout 300 npm install --no-audit --no-fund --no-save --prefix " +
                             quote(modules.string()) + " playwright-core@1 2>&1");
    if (install.status != 0) GTEST_SKIP() << "playwright-core could not be installed from npm:\n" << install.out;
  }
  test::TempDir dir;
  const clsDBInfo db = test::exampleModel(true);
  clsHTMLDoc().fnWriteFile(db, dir.path().string());
  std::string command = "NODE_PATH=" + quote((modules / "node_modules").string()) + " timeout 180 node " +
                        quote(std::string(MORVANE_SOURCE_DIR) + "/tests/htmldoc/follow-links.cjs") + " " +
                        quote(dir.file("index.htm"));
  for (const auto& table : db.getTables()) command += " " + quote(table->getName());
  const auto result = run(command + " 2>&1");
  EXPECT_EQ(result.status, 0) << result.out;
  std::size_t references = 0;
  for (const auto& table : db.getTables()) {
    EXPECT_NE(result.out.find("followed " + table->getName()), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("box " + table->getName()), std::string::npos) << result.out;
    for (const auto& field : table->getFields()) {
      const auto to = parseReference(field.getReference());
      if (!to) continue;
      ++references;
      EXPECT_NE(result.out.find("landed " + table->getName() + " -> " + to->table + "#" + to->column),
                std::string::npos);
      EXPECT_NE(result.out.find("landed " + to->table + " -> " + table->getName() + "#" + field.getName()),
                std::string::npos);
    }
  }
  EXPECT_NE(result.out.find("diagram 4 boxes " + std::to_string(references) + " arrows"), std::string::npos)
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
    var shown = (a.querySelector('text') || a).textContent;
    return [hrefs[i], b ? b.textContent : '-', shown].map(encodeURIComponent).join(' ');
  }).join(' ');
  document.body.appendChild(p);
});
</script>)";
}

// Every table refers to the last, so the diagram has a box and an arrow per table.
TEST(HtmlBrowser, EveryListAndDiagramLinkOpensItsOwnPageWhateverTheNameHolds) {
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
    tables.push_back(test::makeTable(name, {{"ID", "int"}, {"ref", "", "", false, "", "Orders.ID"}}));
  }
  clsHTMLDoc writer;
  writer.setEncoding({platform::Charset::Utf8, platform::LineEnd::CrLf});
  writer.fnWriteFile(test::dbOf(tables), folder.string());
  // The diagram's SVG is well-formed XML on its own.
  const std::string diagram = test::readBytes((folder / "diagram.htm").string());
  const std::size_t svg = diagram.find("<svg"), svgEnd = diagram.rfind("</svg>");
  ASSERT_TRUE(svg != std::string::npos && svgEnd != std::string::npos);
  test::writeBytes(dir.file("diagram.svg"), diagram.substr(svg, svgEnd + 6 - svg));
  EXPECT_EQ(run("xmllint --noout " + quote(dir.file("diagram.svg"))).status, 0);

  for (const auto& [page, selector] : {std::pair<std::string, std::string>{"leftframe.htm", "a:not(#diagram)"},
                                       {"diagram.htm", "svg a"}}) {
    SCOPED_TRACE(page);
    test::writeBytes((folder / "probe.htm").string(), test::readBytes((folder / page).string()) + linkProbe(selector));
    const auto result = run(kChromium + " --allow-file-access-from-files --user-data-dir=" + quote(dir.file("profile")) +
                            " --dump-dom " + quote((folder / "probe.htm").string()) + " 2>/dev/null");
    ASSERT_EQ(result.status, 0);
    const std::size_t open = result.out.find("<pre id=\"probe\">"), close = result.out.find("</pre>", open);
    ASSERT_TRUE(open != std::string::npos && close != std::string::npos) << result.out;
    std::istringstream probe(result.out.substr(open + 16, close - open - 16));
    const std::vector<std::string> words{std::istream_iterator<std::string>(probe), {}};
    ASSERT_EQ(words.size(), 3 * names.size()) << result.out;
    // Per file a link opened (the diagram's boxes come in Graphviz's order): what that page and
    // the link showed.
    const std::string inFolder = "file://" + folder.string() + "/";
    std::map<std::string, std::pair<std::string, std::string>> opened;
    for (std::size_t i = 0; i < words.size(); i += 3) {
      const std::string href = percentDecode(words[i]);
      ASSERT_EQ(href.rfind(inFolder, 0), 0u) << href;
      // No query or fragment, nothing that climbs out: the rest is one file name.
      EXPECT_EQ(href.find_first_of("/?#", inFolder.size()), std::string::npos) << href;
      opened[percentDecode(href.substr(inFolder.size()))] = {percentDecode(words[i + 1]), percentDecode(words[i + 2])};
    }
    for (const auto& name : names) {
      SCOPED_TRACE("table name '" + name + "'");
      const auto page = opened.find(name + ".htm");
      ASSERT_NE(page, opened.end());
      // The page heads itself with the table's name; the link shows it, a diagram box with its
      // control characters as blanks.
      std::string shown = name;
      const auto control = [](char c) { return c > 0 && c < ' '; };
      if (selector == "svg a") std::replace_if(shown.begin(), shown.end(), control, ' ');
      EXPECT_EQ(page->second, std::make_pair(name, shown));
    }
  }
}

}  // namespace
}  // namespace morvane
