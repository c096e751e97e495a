// morvane-batch --since: change scripts from an old revision of a design document.
#include <gtest/gtest.h>

#include <filesystem>

#include "Batch.h"
#include "tests/support/DesignBook.h"
#include "tests/support/TdsTestServer.h"

namespace morvane::test {
namespace {

namespace fs = std::filesystem;

const std::vector<Row> kOrders = {
    {"OrderID", "identity", "1,1", "○", ""}, {"Name", "varchar", "50", "", ""}, {"Memo", "varchar", "100", "", "○"}};
const std::vector<Row> kLines = {{"OrderID", "int", "", "○", ""}, {"LineNo", "int", "", "○", ""}};

std::string writeOld(const TempDir& dir) {
  return writeDesignBook(dir.file("old.xlsx"), {{"Orders", kOrders}, {"Lines", kLines}, {"Audit", {{"At", "date"}}}});
}

// Orders widened and given a column, Lines as it was, Items new, Audit gone.
std::string writeNew(const TempDir& dir, std::vector<Row> orders = {}) {
  if (orders.empty()) {
    orders = kOrders;
    orders[1].size = "100";
    orders.push_back({"Shipped", "date", "", "", "○"});
  }
  return writeDesignBook(dir.file("new.xlsx"), {{"Orders", orders},
                                                {"Lines", kLines},
                                                {"Items", {{"ItemNo", "char", "8", "○"}, {"Price", "money", "", "", "○"}}}});
}

TEST(ChangeCommand, WritesChangedAndNewTablesAndSummarisesEveryTable) {
  TempDir dir;
  const std::string oldBook = writeOld(dir), newBook = writeNew(dir);
  const BatchRun run = batch({"--since", oldBook, "--sql", dir.file("out"), newBook});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "テーブル「Orders」: 変更 (列の追加 1、変更 1、削除 0)\n"
            "テーブル「Lines」: 変更なし\n"
            "テーブル「Items」: 新規 (CREATE TABLE)\n"
            "テーブル「Audit」: 新しいブックにありません (削除しません)\n");
  EXPECT_EQ(run.err,
            "morvane-batch: テーブル「Audit」は新しいブックにありませんが、削除しません\n"
            "morvane-batch: 列とテーブルを削除するのは --allow-drop を指定したときだけです\n");
  EXPECT_EQ(filesIn(dir.file("out")), (std::vector<std::string>{"Items.sql", "Orders.sql"}));
  EXPECT_EQ(readBytes(dir.file("out/Orders.sql")),
            "SET XACT_ABORT ON \r\n"
            "BEGIN TRANSACTION \r\n"
            "ALTER TABLE dbo.Orders ALTER COLUMN Name varchar(100)  NOT NULL \r\n"
            "ALTER TABLE dbo.Orders ADD Shipped datetime  NULL \r\n"
            "COMMIT \r\n");
  // A new table's script is the one --sql writes.
  ASSERT_EQ(batch({"--table", "Items", "--sql", dir.file("create"), newBook}).status, 0);
  EXPECT_EQ(readBytes(dir.file("out/Items.sql")), readBytes(dir.file("create/Items.sql")));

  const BatchRun dropping =
      batch({"--since", oldBook, "--allow-drop", "--encoding", "utf-8", "--sql", dir.file("drop"), newBook});
  EXPECT_EQ(dropping.status, 0) << dropping.err;
  EXPECT_EQ(readBytes(dir.file("drop/Audit.sql")),
            "SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\nIF EXISTS (SELECT 1 FROM dbo.Audit) THROW 50000, "
            "N'テーブル「Audit」: 行があり、テーブルを削除できません。このテーブルの変更は行いません', 1;\r\n"
            "DROP TABLE dbo.Audit \r\nCOMMIT \r\n");
  EXPECT_EQ(dropping.err, "");

  // --table picks among the new tables; the old revision's others are left alone.
  const BatchRun picked = batch({"--since", oldBook, "--table", "Orders", "--sql", dir.file("one"), newBook});
  EXPECT_EQ(picked.out, "テーブル「Orders」: 変更 (列の追加 1、変更 1、削除 0)\n");
  EXPECT_EQ(filesIn(dir.file("one")), std::vector<std::string>{"Orders.sql"});
}

TEST(ChangeCommand, AnUnchangedWorkbookWritesNothing) {
  TempDir dir;
  const std::string oldBook = writeOld(dir);
  const BatchRun run = batch({"--since", oldBook, "--sql", dir.file("out"), oldBook});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "テーブル「Orders」: 変更なし\nテーブル「Lines」: 変更なし\nテーブル「Audit」: 変更なし\n");
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(filesIn(dir.file("out")).empty());
}

TEST(ChangeCommand, ARefusedTableFailsTheRunButNotTheOthers) {
  TempDir dir;
  const std::string oldBook = writeOld(dir);
  auto orders = kOrders;
  orders[0].size = "1000,1";  // a new seed cannot be altered in place
  const BatchRun run = batch({"--since", oldBook, "--sql", dir.file("out"), writeNew(dir, orders)});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.starts_with("テーブル「Orders」: 変更できません: 列「OrderID」は IDENTITY")) << run.out;
  EXPECT_NE(run.err.find("テーブル「Orders」: 列「OrderID」"), std::string::npos) << run.err;
  EXPECT_EQ(filesIn(dir.file("out")), std::vector<std::string>{"Items.sql"});
  EXPECT_NE(run.out.find("--allow-rebuild"), std::string::npos) << run.out;

  const BatchRun rebuilt = batch({"--since", oldBook, "--allow-rebuild", "--sql", dir.file("rebuilt"), writeNew(dir, orders)});
  EXPECT_EQ(rebuilt.status, 0) << rebuilt.err;
  EXPECT_TRUE(rebuilt.out.starts_with("テーブル「Orders」: 変更 (テーブルの作り直し、")) << rebuilt.out;
  EXPECT_NE(readBytes(dir.file("rebuilt/Orders.sql")).find("CREATE TABLE dbo.tmp_morvane_Orders"), std::string::npos);
}

TEST(ChangeCommand, RenamesAreSuggestedOrMadeAndRowChecksFollowAllowDataLoss) {
  TempDir dir;
  const std::string oldBook = writeOld(dir);
  // Memo renamed to Remark; Name narrowed from 50 to 20.
  auto orders = kOrders;
  orders[1].size = "20";
  orders[2].name = "Remark";
  const std::string newBook = writeNew(dir, orders);
  const std::vector<std::string> base = {"--since", oldBook, "--table", "Orders", "--encoding", "utf-8"};
  auto run = [&](std::vector<std::string> extra, const std::string& out) {
    extra.insert(extra.begin(), base.begin(), base.end());
    for (const auto& arg : {std::string("--sql"), dir.file(out), newBook}) extra.push_back(arg);
    return batch(extra);
  };
  const BatchRun suggested = run({}, "suggested");
  EXPECT_NE(suggested.err.find("列「Memo」がなくなり、同じ型の列「Remark」が増えました。名前を変えたのなら --rename "
                               "Orders.Memo=Remark でデータを残せます\n"),
            std::string::npos)
      << suggested.err;
  EXPECT_EQ(suggested.out, "テーブル「Orders」: 変更 (列の追加 1、変更 1、削除 0); データ消失の確認: 列 Name (長さ); "
                           "列 Memo が消え、列 Remark が増えました; 削除しない列 1\n");

  const BatchRun renamed = run({"--rename", "Orders.Memo=Remark"}, "renamed");
  EXPECT_EQ(renamed.status, 0) << renamed.err;
  EXPECT_EQ(readBytes(dir.file("renamed/Orders.sql")),
            "SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\n"
            "IF EXISTS (SELECT 1 FROM dbo.Orders WHERE LEN(Name) > 20) THROW 50000, N'テーブル「Orders」の列「Name」: "
            "長さ 20 を超える値があり、varchar(20) にできません。このテーブルの変更は行いません', 1;\r\n"
            "EXEC sp_rename N'dbo.Orders.Memo', N'Remark', N'COLUMN';\r\n"
            "ALTER TABLE dbo.Orders ALTER COLUMN Name varchar(20)  NOT NULL \r\nCOMMIT \r\n");
  EXPECT_EQ(renamed.err, "");

  const BatchRun unguarded = run({"--rename", "Orders.Memo=Remark", "--allow-data-loss"}, "unguarded");
  EXPECT_EQ(readBytes(dir.file("unguarded/Orders.sql")).find("IF EXISTS"), std::string::npos);

  const BatchRun wrong = run({"--rename", "Orders.Note=Remark"}, "wrong");
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.err, "morvane-batch: --rename Orders.Note=Remark: 古い版のテーブル「Orders」に列「Note」がありません\n");
  EXPECT_FALSE(fs::exists(dir.file("wrong")));
}

TEST(ChangeCommand, UnreadableRevisionsAndOptionsThatDoNotGoTogetherExitTwo) {
  TempDir dir;
  const std::string oldBook = writeOld(dir), newBook = writeNew(dir);
  writeBytes(dir.file("broken.xlsx"), "PK\x03\x04 not a zip");
  const BatchRun broken = batch({"--since", dir.file("broken.xlsx"), "--sql", dir.file("out"), newBook});
  EXPECT_EQ(broken.status, 2);
  EXPECT_NE(broken.err.find("broken.xlsx"), std::string::npos) << broken.err;
  EXPECT_FALSE(fs::exists(dir.file("out")));
  EXPECT_EQ(batch({"--since", oldBook, newBook}).status, 2);
  EXPECT_EQ(batch({"--allow-drop", "--sql", dir.file("out"), newBook}).status, 2);
  EXPECT_EQ(batch({"--since", oldBook, "--deploy", dir.file("d.sql"), newBook}).status, 2);
  EXPECT_EQ(batch({"--rename", "Orders=Sales", "--sql", dir.file("out"), newBook}).status, 2);
  EXPECT_EQ(batch({"--since", oldBook, "--rename", "Orders", "--sql", dir.file("out"), newBook}).status, 2);
  EXPECT_FALSE(fs::exists(dir.file("out")));
}

TEST(ChangeCommand, OnAServerEachTableIsABatchAndAFailedOneDoesNotStopTheRest) {
  TempDir dir;
  const std::string oldBook = writeOld(dir), newBook = writeNew(dir);
  // The server holds Lines and Audit but not Orders: Orders' ALTER fails, Items is still made.
  TdsTestServer::Catalog catalog;
  catalog.columns = {{"Lines", "OrderID", 1, "int", {}, 10, 0, "NO", 0, {}, {}},
                     {"Audit", "At", 1, "datetime", {}, {}, {}, "NO", 0, {}, {}}};
  TdsTestServer server({.user = "sa", .password = "pw", .database = "", .catalog = catalog});
  const BatchRun run = batch({"--since", oldBook, "--allow-drop", "--server", server.address(), "--database", "db",
                              "--user", "sa", newBook},
                             {"MORVANE_PASSWORD=pw"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("テーブル「Orders」の変更を実行できません: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Cannot find the object"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("テーブル「Orders」: 変更 (列の追加 1、変更 1、削除 0) (失敗)\n"), std::string::npos) << run.out;
  const auto batches = server.batches();
  ASSERT_EQ(batches.size(), 3u);  // Orders, Items, Audit; Lines is unchanged
  EXPECT_TRUE(batches[0].starts_with("SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\nALTER TABLE dbo.Orders"));
  EXPECT_TRUE(batches[1].find("CREATE TABLE dbo.Items") != std::string::npos);
  EXPECT_TRUE(batches[2].ends_with("\r\nDROP TABLE dbo.Audit \r\nCOMMIT ")) << batches[2];
  EXPECT_TRUE(server.tables().contains("Items"));
  EXPECT_FALSE(server.tables().contains("Audit"));
}

TEST(ChangeCommand, TheExamplePairGivesEveryKindOfChangeItDescribes) {
  TempDir dir;
  const BatchRun run = batch({"--layout", kExamples + "design-document.edf", "--types", kExamples + "types-ja.sfa",
                              "--since", kExampleBook, "--sql", dir.file("out"),
                              kExamples + "design-document-rev2.xlsx"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(filesIn(dir.file("out")), (std::vector<std::string>{"出荷.sql", "受注.sql", "受注明細.sql", "商品.sql"}));
  // Shift_JIS, as the CREATE scripts: "ADD 出荷日 datetime  NULL " and "ALTER COLUMN 商品名 varchar(150)".
  EXPECT_NE(readBytes(dir.file("out/受注.sql")).find("ADD \x8f\x6f\x89\xd7\x93\xfa datetime  NULL \r\n"),
            std::string::npos);
  EXPECT_NE(readBytes(dir.file("out/商品.sql")).find(" varchar(150)  NOT NULL \r\n"), std::string::npos);
  EXPECT_NE(readBytes(dir.file("out/受注明細.sql")).find("DROP CONSTRAINT PK_"), std::string::npos);
}

}  // namespace
}  // namespace morvane::test
