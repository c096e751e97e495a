// morvane-batch --list and --dump over .xlsx workbooks, and its exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "tests/support/ExampleModel.h"
#include "tests/support/TempDir.h"
#include "tests/support/XlsxPackage.h"

namespace morvane {
namespace {

struct BatchRun {
  int status = -1;
  std::string out;
  std::string err;
};

BatchRun batch(const test::TempDir& dir, const std::string& arguments) {
  const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
  const std::string command =
      std::string("'") + MORVANE_BATCH + "' " + arguments + " >'" + out + "' 2>'" + err + "' </dev/null";
  const int raw = std::system(command.c_str());
  BatchRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = test::readBytes(out);
  run.err = test::readBytes(err);
  return run;
}

const std::string kExample = std::string("'") + MORVANE_SOURCE_DIR + "/examples/design-document.xlsx'";

TEST(BatchRead, ListsTheExamplesTablesInSheetOrder) {
  test::TempDir dir;
  const BatchRun run = batch(dir, "--layout-values 1,5,6,3,3,4,5,6,7,9 --list " + kExample);
  EXPECT_EQ(run.status, 0) << run.err;
  std::string expected;
  const clsDBInfo model = test::exampleModel();
  for (const auto& table : model.getTables()) expected += table->getName() + "\n";
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, "");
  // The default layout ends at sheet 4.
  const BatchRun defaults = batch(dir, "--list " + kExample);
  EXPECT_EQ(defaults.status, 0);
  EXPECT_EQ(defaults.out, "顧客\n受注\n受注明細\n");
}

TEST(BatchRead, DumpsTheExampleModelAsJson) {
  test::TempDir dir;
  const BatchRun run = batch(dir, "--layout-values 1,5,6,3,3,4,5,6,7,9 --dump " + kExample);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto printed = nlohmann::ordered_json::parse(run.out);
  EXPECT_EQ(printed, test::modelJson(test::exampleModel()));
}

TEST(BatchRead, AnUnreadableWorkbookExitsWithStatus2AndOneLine) {
  test::TempDir dir;
  test::writeBytes(dir.file("notes.xlsx"), "PK\x03\x04 not really a zip archive");
  test::HandPackage package;
  package.sheets = {test::worksheetXml("<row r=\"3\"><c r=\"C3\" t=\"e\"><v>#REF!</v></c></row>")};
  test::writeZip(dir.file("error.xlsx"), package.parts());
  for (const std::string name : {"missing.xlsx", "notes.xlsx", "error.xlsx"}) {
    const BatchRun run = batch(dir, "--list '" + dir.file(name) + "'");
    EXPECT_EQ(run.status, 2) << name;
    EXPECT_EQ(run.out, "") << name;
    ASSERT_FALSE(run.err.empty()) << name;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(name), std::string::npos) << run.err;
  }
  EXPECT_NE(batch(dir, "--dump '" + dir.file("error.xlsx") + "'").err.find("C3"), std::string::npos);
}

}  // namespace
}  // namespace morvane
