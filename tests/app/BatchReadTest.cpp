// morvane-batch --list and --dump, and the exit status of a workbook that cannot be read.
#include <filesystem>
#include <gtest/gtest.h>

#include "Batch.h"
#include "document/clsExcelDBDoc.h"
#include "tests/support/DesignBook.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/UnreadableXls.h"
#include "tests/support/XlsxDamage.h"
#include "tests/support/XlsxPackage.h"

namespace morvane::test {
namespace {

TEST(BatchRead, ListsAndDumpsTheExample) {
  const BatchRun run = batch({"--layout-values", kExampleLayout, "--list", kExampleBook});
  EXPECT_EQ(run.status, 0) << run.err;
  std::string expected;
  const clsDBInfo model = exampleModel();
  for (const auto& table : model.getTables()) expected += table->getName() + "\n";
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, "");
  // The default layout ends at sheet 4.
  EXPECT_EQ(batch({"--list", kExampleBook}).out, "顧客\n受注\n受注明細\n");

  const BatchRun dump = batch({"--layout-values", kExampleLayout, "--dump", kExampleBook});
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(nlohmann::ordered_json::parse(dump.out), modelJson(model));

  // The optional cells appear under their keys when the layout names them.
  TempDir dir;
  const std::string full = writeDesignBook(dir.file("full.xlsx"), fullDesignSheets());
  clsExcelDBDoc reader;
  reader.sbSetDocInfo(fullLayout(true));
  ASSERT_TRUE(reader.fnReadDBDoc(full));
  const BatchRun extra = batch({"--layout-extra",
                                "ColLogicalName=2,ColDefault=8,ColRemarks=10,ColUnique=11,ColIndex=12,ColReference=13,"
                                "RowTableLogicalName=2,ColTableLogicalName=3,NullMarkMeansNotNull=1",
                                "--dump", full});
  ASSERT_EQ(extra.status, 0) << extra.err;
  EXPECT_EQ(nlohmann::ordered_json::parse(extra.out), modelJson(reader.getDBInfo()));
  EXPECT_NE(extra.out.find("\"logicalName\": \"顧客マスタ\""), std::string::npos);
}

TEST(BatchRead, AnUnreadableWorkbookExitsWithStatus2AndOneLine) {
  TempDir dir;
  writeBytes(dir.file("notes.xlsx"), "PK\x03\x04 not really a zip archive");
  HandPackage package;
  package.sheets = {worksheetXml("<row r=\"3\"><c r=\"C3\" t=\"e\"><v>#REF!</v></c></row>")};
  writeZip(dir.file("error.xlsx"), package.parts());
  for (const std::string name : {"missing.xlsx", "notes.xlsx", "error.xlsx"}) {
    const BatchRun run = batch({"--list", dir.file(name)});
    EXPECT_EQ(run.status, 2) << name;
    EXPECT_EQ(run.out, "") << name;
    EXPECT_EQ(run.errLines(), 1) << run.err;
    EXPECT_EQ(run.err.back(), '\n') << run.err;
    EXPECT_NE(run.err.find(name), std::string::npos) << run.err;
  }
  EXPECT_NE(batch({"--dump", dir.file("error.xlsx")}).err.find("C3"), std::string::npos);
}

// Exit status 2, nothing on stdout, one line naming the workbook with every word of its reason.
void expectCannotOpen(const std::string& path, const std::vector<std::string>& words, const std::string& what) {
  SCOPED_TRACE(what);
  const BatchRun run = batch({"--list", path});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.errLines(), 1) << run.err;
  EXPECT_TRUE(run.err.starts_with("morvane-batch: ブック「" + path + "」を開けません: ")) << run.err;
  for (const std::string& word : words) {
    EXPECT_NE(run.err.find(word), std::string::npos) << run.err << " (wanted " << word << ")";
  }
}

TEST(BatchRead, EachWorkbookThatCannotBeOpenedGivesItsReasonInOneJapaneseLine) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("folder.xls"));
  writeBytes(dir.file("empty.xls"), "");
  const std::pair<const char*, const char*> cases[] = {{"missing.xls", "ファイルが見つかりません"},
                                                       {"folder.xls", "ファイルではなくフォルダです"},
                                                       {"empty.xls", "ファイルが空です (0 バイト)"}};
  for (const auto& [name, reason] : cases) {
    const BatchRun run = batch({"--list", dir.file(name)});
    EXPECT_EQ(run.status, 2) << name;
    EXPECT_EQ(run.err, "morvane-batch: ブック「" + dir.file(name) + "」を開けません: " + reason + "\n");
  }
  for (const UnreadablePackage& package : unreadablePackages()) {
    const std::string path = dir.file("設計書.xlsx");
    writeBytes(path, package.bytes);
    expectCannotOpen(path, package.words, package.label);
  }
  for (const auto& file : writeUnreadableXlsFiles(dir)) expectCannotOpen(dir.file(file.name), {file.reason}, file.what);
}

}  // namespace
}  // namespace morvane::test
