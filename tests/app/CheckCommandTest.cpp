// morvane-batch --check: findings on stdout in text and JSON, exit statuses, and nothing written
// after an error. Which rule fires where is the design check's tests' concern.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "Batch.h"
#include "tests/support/DesignBook.h"

namespace morvane::test {
namespace {

TEST(CheckCommand, FindingsAsTextOrJsonTheExitStatusAndAnErrorStopsEveryOutput) {
  TempDir dir;
  const std::vector<Row> t1 = {{"id", "int", "", "*"}, {"name", "varchar", "8001"}};
  const std::string mixed = writeDesignBook(dir.file("mixed.xlsx"), {{"T1", t1}, {"log", {{"at", "date", "3"}}}});
  const BatchRun run = batch({"--check", mixed});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "Sheet1!F7: エラー: 型「varchar」にサイズ「8001」は使えません。サイズに 1～8000 の長さか max を指定してください\n"
            "Sheet2!C3: 警告: テーブル「log」に主キーがありません。スクリプトに主キー制約が入りません。主キーの列に印を付けてください\n"
            "Sheet2!F6: 警告: 型「date」にはサイズがなく、サイズ「3」はスクリプトで使われません。サイズを空にしてください\n");
  EXPECT_EQ(run.err, "morvane-batch: チェック: エラー 1 件、警告 2 件\n");
  // Warnings alone pass and do not stop the output; a reference may name a table that is not selected.
  const std::string sql = dir.file("sql");
  const BatchRun warned = batch({"--check", "--table", "log", "--sql", sql, mixed});
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(warned.err, "morvane-batch: チェック: エラー 0 件、警告 2 件\n");
  EXPECT_EQ(filesIn(sql), Names{"log.sql"});
  const BatchRun all = batch({"--check", "--table", "注文", "--layout-extra", "ColDefault=8,ColUnique=11,ColReference=13",
                               writeDesignBook(dir.file("full.xlsx"), fullDesignSheets())});
  EXPECT_EQ(all.status, 1);
  EXPECT_EQ(all.err, "morvane-batch: チェック: エラー 5 件、警告 0 件\n");

  const BatchRun json = batch({"--check", "--check-format", "json", mixed});
  EXPECT_EQ(json.status, 1);
  EXPECT_EQ(json.err, "");
  // The same findings, each message as the text gives it.
  auto document = nlohmann::json::parse(json.out);
  EXPECT_TRUE(run.out.starts_with("Sheet1!F7: エラー: " + document["findings"][0]["message"].get<std::string>() + "\n"));
  for (auto& finding : document["findings"]) finding.erase("message");
  EXPECT_EQ(document, nlohmann::json::parse(R"({"errors":1,"warnings":2,"findings":[
      {"sheet":"Sheet1","cell":"F7","severity":"error","rule":"size-invalid","table":"T1","field":"name"},
      {"sheet":"Sheet2","cell":"C3","severity":"warning","rule":"no-key","table":"log","field":null},
      {"sheet":"Sheet2","cell":"F6","severity":"warning","rule":"size-ignored","table":"log","field":"at"}]})"));
  const std::string sound = writeDesignBook(dir.file("sound.xlsx"), {{"T", {{"id", "int", "", "*"}}}});
  const BatchRun clean = batch({"--check", "--check-format", "json", sound});
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(nlohmann::json::parse(clean.out), nlohmann::json::parse(R"({"findings":[],"errors":0,"warnings":0})"));

  // An error stops every output, a server's too; without --check the same workbook is written as it comes.
  const std::string bad = writeDesignBook(dir.file("bad.xlsx"), {{"T", {{"id", "int", "", "*"}, {"memo", "varchar"}}}});
  TdsTestServer server({.user = "sa", .password = "pw", .database = "販売"});
  std::vector<std::string> args = login(server);
  args.insert(args.end(), {"--check", "--sql", sql, "--html", dir.file("html"), "--deploy", dir.file("d.sql"), bad});
  const BatchRun stopped = batch(args, {"MORVANE_PASSWORD=pw"});
  EXPECT_EQ(stopped.status, 1);
  EXPECT_HAS(stopped.err, "morvane-batch: チェックでエラーが見つかったため、何も作成しません\n");
  EXPECT_EQ(filesIn(dir.path()), (Names{"bad.xlsx", "full.xlsx", "mixed.xlsx", "sound.xlsx", "sql"}));
  EXPECT_EQ(filesIn(sql), Names{"log.sql"});
  EXPECT_EQ(server.connectionCount(), 0u);
  EXPECT_EQ(batch({"--sql", sql, bad}).status, 0);
  EXPECT_EQ(filesIn(sql), (Names{"T.sql", "log.sql"}));
}

}  // namespace
}  // namespace morvane::test
