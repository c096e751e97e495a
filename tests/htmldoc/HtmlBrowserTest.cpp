// A documentation set opened in a real browser (Debian's chromium, headless): every link resolves.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "htmldoc/clsHTMLDoc.h"
#include "model/FieldReference.h"
#include "tests/app/Batch.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::quote;
using test::run;

// The example with its optional cells (logical names, keys, references, a diagram), then names that a
// link could misread, each referring to Orders: every list link, reference and box opens its own page.
TEST(HtmlBrowser, EveryListReferenceAndDiagramLinkOpensItsOwnPage) {
  for (const std::string tool : {"chromium", "node", "npm", "xmllint"}) {
    if (run("command -v " + tool).first != 0) GTEST_SKIP() << tool << " is needed to drive the browser";
  }
  // Installed beside the test program, once, and only for the tests.
  const fs::path modules = fs::read_symlink("/proc/self/exe").parent_path() / "browser-driver";
  if (!fs::exists(modules / "node_modules/playwright-core/package.json")) {
    const auto install = run("timeout 300 npm install --no-audit --no-fund --no-save --prefix " +
                             quote(modules.string()) + " playwright-core@1 2>&1");
    if (install.first != 0) GTEST_SKIP() << "playwright-core could not be installed from npm:\n" << install.second;
  }
  clsDBInfo db = test::exampleModel(true);
  for (const char* name : {"javascript:document.write('<b>ran')", "JavaScript:void(0)", " javascript:void(2)",
                           "\tjava\nscript:void(3)", "data:text,<b>x", "vbscript:x", "file:x", "mailto:a@example.com",
                           "C|x", "c:x", "a#b", "a?b=1", "100%", "%2e%2e", "R&D", "R&amp;D", "<i>\"受注\" & 明細",
                           "受注:明細", "Orders"}) {
    const auto table = test::makeTable(name, {{"ID", "int"}, {"ref", "", "", false, "", "Orders.ID"}});
    db.setTable(std::make_shared<clsTableInfo>(table));
  }
  test::TempDir dir;
  clsHTMLDoc writer;
  writer.setEncoding({platform::Charset::Utf8, platform::LineEnd::CrLf});
  writer.fnWriteFile(db, dir.path().string());
  // The diagram's SVG is well-formed XML on its own.
  const std::string diagram = test::readBytes(dir.file("diagram.htm"));
  const std::size_t svg = diagram.find("<svg"), svgEnd = diagram.rfind("</svg>");
  ASSERT_TRUE(svg != std::string::npos && svgEnd != std::string::npos);
  test::writeBytes(dir.file("diagram.svg"), diagram.substr(svg, svgEnd + 6 - svg));
  EXPECT_EQ(run("xmllint --noout " + quote(dir.file("diagram.svg"))).first, 0);

  std::string command = "NODE_PATH=" + quote((modules / "node_modules").string()) + " timeout 300 node " +
                        quote(std::string(MORVANE_SOURCE_DIR) + "/tests/htmldoc/follow-links.cjs") + " " +
                        quote(dir.file("index.htm"));
  for (const auto& table : db.getTables()) command += " " + quote(table->getName());
  const auto result = run(command + " 2>&1");
  const std::string& out = result.second;
  ASSERT_EQ(result.first, 0) << out;
  // Each reference lands on the row it names and back on the row it came from.
  const auto said = [&](const std::string& what, const nlohmann::json& value) {
    EXPECT_NE(out.find(what + " " + value.dump()), std::string::npos) << what << " " << value.dump();
  };
  std::size_t references = 0;
  for (const auto& table : db.getTables()) {
    said("box", table->getName());
    for (const auto& field : table->getFields()) {
      const auto to = parseReference(field.getReference());
      if (!to) continue;
      ++references;
      said("landed", {table->getName(), to->table, to->column});
      said("landed", {to->table, table->getName(), field.getName()});
    }
  }
  const std::string counts = std::to_string(db.getTables().size()) + " boxes " + std::to_string(references);
  EXPECT_NE(out.find("diagram " + counts + " arrows"), std::string::npos) << out;
}

}  // namespace
}  // namespace morvane
