// morvane-batch --check: findings on stdout in text and JSON, exit statuses, and nothing written
// after an error; duplicate table names in --sql and --html.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>

#include "Batch.h"
#include "tests/support/DesignBook.h"

namespace morvane::test {
namespace {

using Names = std::vector<std::string>;

class CheckCommand : public ::testing::Test {
 protected:
  std::string book(const std::vector<DesignSheet>& sheets) { return writeDesignBook(dir_.file("design.xlsx"), sheets); }
  std::string folder(const std::string& name) {
    std::filesystem::create_directories(dir_.path() / name);
    return dir_.file(name);
  }
  TempDir dir_;
};

TEST_F(CheckCommand, TextFindingsInSheetAndRowOrderAndTheExitStatus) {
  const std::string path = book({{"T1", {{"id", "int", "", "*"}, {"name", "varchar", "8001"}}},
                                 {"log", {{"at", "date", "3"}}}});
  const BatchRun run = batch({"--check", path});
  EXPECT_EQ(run.status, 1) << run.err;
  const std::string expected =
      "Sheet1!F7: エラー: 型「varchar」にサイズ「8001」は使えません。サイズに 1～8000 の長さか max を指定してください\n"
      "Sheet2!C3: 警告: テーブル「log」に主キーがありません。スクリプトに主キー制約が入りません。主キーの列に印を付けてください\n"
      "Sheet2!F6: 警告: 型「date」にはサイズがなく、サイズ「3」はスクリプトで使われません。サイズを空にしてください\n";
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, "morvane-batch: チェック: エラー 1 件、警告 2 件\n");

  // The optional cells where the layout names them; a reference may name a table not selected.
  const BatchRun full = batch({"--check", "--table", "注文", "--layout-extra", "ColDefault=8,ColUnique=11,ColReference=13",
                               writeDesignBook(dir_.file("full.xlsx"), fullDesignSheets())});
  EXPECT_EQ(full.status, 1);
  EXPECT_TRUE(full.out.ends_with("Sheet2!M12: エラー: 参照先「顧客」は「テーブル.列」か「テーブル(列)」の形ではありません。例: 顧客.顧客ID\n"))
      << full.out;
  EXPECT_EQ(full.err, "morvane-batch: チェック: エラー 5 件、警告 0 件\n");

  // Warnings alone pass.
  const BatchRun warned = batch({"--check", book({{"log", {{"at", "date", "3"}}}})});
  EXPECT_EQ(warned.status, 0) << warned.err;
  EXPECT_EQ(std::count(warned.out.begin(), warned.out.end(), '\n'), 2);
}

TEST_F(CheckCommand, JsonParsesBackWithCountsAndNullForTableFindings) {
  const std::string path = book({{"T1", {{"id", "int", "", "*", "x"}, {"ID", "text"}}}, {"t1", {{"id", "int", "", "*"}}}});
  const BatchRun run = batch({"--check", "--check-format", "json", path});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err, "");
  const auto document = nlohmann::json::parse(run.out);
  EXPECT_EQ(document["errors"], 4);
  EXPECT_EQ(document["warnings"], 0);
  const auto& findings = document["findings"];
  ASSERT_EQ(findings.size(), 4u) << run.out;
  Names rules;
  for (const auto& finding : findings) {
    rules.push_back(finding["sheet"].get<std::string>() + "!" + finding["cell"].get<std::string>() + " " +
                    finding["rule"].get<std::string>() + " " + finding["severity"].get<std::string>());
  }
  EXPECT_EQ(rules, (Names{"Sheet1!I6 nullable-key error", "Sheet1!D7 duplicate-field error",
                          "Sheet1!E7 undefined-type error", "Sheet2!C3 duplicate-table error"}));
  EXPECT_EQ(findings[1]["field"], "ID");
  EXPECT_TRUE(findings[3]["field"].is_null());
  EXPECT_EQ(findings[3]["table"], "t1");

  const auto clean = nlohmann::json::parse(batch({"--check", "--check-format", "json", book({{"T", {{"id", "int", "", "*"}}}})}).out);
  EXPECT_EQ(clean, nlohmann::json::parse(R"({"findings":[],"errors":0,"warnings":0})"));
}

TEST_F(CheckCommand, AnErrorStopsEveryWriteAndAWarningDoesNot) {
  const std::string bad = book({{"T", {{"id", "int", "", "*"}, {"memo", "varchar"}}}});
  const std::string sql = folder("sql"), html = folder("html");
  const BatchRun stopped = batch({"--check", "--sql", sql, "--html", html, "--deploy", dir_.file("deploy.sql"), bad});
  EXPECT_EQ(stopped.status, 1);
  EXPECT_NE(stopped.err.find("何も作成しません"), std::string::npos) << stopped.err;
  EXPECT_EQ(filesIn(sql), Names{});
  EXPECT_EQ(filesIn(html), Names{});
  EXPECT_FALSE(std::filesystem::exists(dir_.file("deploy.sql")));
  // Without --check the same workbook is written as it comes.
  EXPECT_EQ(batch({"--sql", sql, bad}).status, 0);
  EXPECT_EQ(filesIn(sql), Names{"T.sql"});

  const std::string warned = book({{"T", {{"id", "int", "4", "*"}}}});
  const std::string out = folder("warned");
  const BatchRun written = batch({"--check", "--sql", out, warned});
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(filesIn(out), Names{"T.sql"});
}

TEST_F(CheckCommand, UnreadableInputAndMisusedOptionsExitTwo) {
  EXPECT_EQ(batch({"--check", dir_.file("missing.xlsx")}).status, 2);
  const std::string path = book({{"T", {{"id", "int", "", "*"}}}});
  EXPECT_EQ(batch({"--check", "--types", dir_.file("missing.sfa"), path}).status, 2);
  EXPECT_EQ(batch({"--check", "--check-format", "xml", path}).status, 2);
  EXPECT_EQ(batch({"--check-format", "json", path}).status, 2);
}

TEST_F(CheckCommand, TheExampleWorkbookTriggersEachRuleOnce) {
  const BatchRun run = batch({"--check", "--check-format", "json", kExamples + "check-findings.xlsx"});
  EXPECT_EQ(run.status, 1) << run.err;
  std::map<std::string, int> times;
  const auto document = nlohmann::json::parse(run.out);
  for (const auto& finding : document["findings"]) ++times[finding["rule"].get<std::string>()];
  std::map<std::string, int> once;
  for (const char* rule : {"undefined-type", "size-required", "size-invalid", "duplicate-field", "duplicate-table",
                           "nullable-key", "multiple-identity", "name-too-long", "no-key", "reserved-word",
                           "untrimmed-name", "size-ignored"}) {
    once[rule] = 1;
  }
  EXPECT_EQ(times, once) << run.out;
}

TEST_F(CheckCommand, TablesWhoseNamesDifferOnlyInCaseNeverReplaceEachOthersFiles) {
  const std::string path = book({{"T1", {{"first", "int", "", "*"}}}, {"t1", {{"second", "int", "", "*"}}}});
  const std::string sql = folder("sql"), html = folder("html");
  const BatchRun scripts = batch({"--sql", sql, path});
  EXPECT_EQ(scripts.status, 1);
  EXPECT_EQ(filesIn(sql), Names{"T1.sql"});
  EXPECT_NE(scripts.err.find("テーブル「t1」のスクリプトを作成できません"), std::string::npos) << scripts.err;
  const BatchRun pages = batch({"--html", html, path});
  EXPECT_EQ(pages.status, 1);
  EXPECT_NE(pages.err.find("テーブル「t1」のページを作成できません"), std::string::npos) << pages.err;
}

}  // namespace
}  // namespace morvane::test
