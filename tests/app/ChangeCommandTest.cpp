// morvane-batch --since: change scripts from an old revision of a design document, written or run.
#include <gtest/gtest.h>

#include "Batch.h"
#include "tests/support/DesignBook.h"

// Catalog rows and configs name only the fields that matter; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace morvane::test {
namespace {

const std::vector<Row> kOrders = {
    {"OrderID", "identity", "1,1", "○", ""}, {"Name", "varchar", "50", "", ""}, {"Memo", "varchar", "100", "", "○"}};
const std::vector<Row> kLines = {{"OrderID", "int", "", "○", ""}, {"LineNo", "int", "", "○", ""}};

// The old revision, and the new: Orders as given (by default widened and given a column), Lines
// as it was, Items new, Audit gone.
struct Revisions {
  explicit Revisions(std::vector<Row> orders = {}) {
    if (orders.empty()) {
      orders = kOrders;
      orders[1].size = "100";
      orders.push_back({"Shipped", "date", "", "", "○"});
    }
    writeDesignBook(old, {{"Orders", kOrders}, {"Lines", kLines}, {"Audit", {{"At", "date"}}}});
    writeDesignBook(book, {{"Orders", orders}, {"Lines", kLines}, {"Items", {{"ItemNo", "char", "8", "○"}}}});
  }
  BatchRun since(std::vector<std::string> extra, const std::string& out) const {
    extra.insert(extra.begin(), {"--since", old});
    extra.insert(extra.end(), {"--sql", dir.file(out), book});
    return batch(extra);
  }
  TempDir dir;
  const std::string old = dir.file("old.xlsx"), book = dir.file("new.xlsx");
};

TEST(ChangeCommand, WritesChangedAndNewTablesAndSummarisesEveryTable) {
  const Revisions revisions;
  const TempDir& dir = revisions.dir;
  const BatchRun run = revisions.since({}, "out");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "テーブル「Orders」: 変更 (列の追加 1、変更 1、削除 0)\nテーブル「Lines」: 変更なし\n"
            "テーブル「Items」: 新規 (CREATE TABLE)\nテーブル「Audit」: 新しいブックにありません (削除しません)\n");
  EXPECT_EQ(run.err,
            "morvane-batch: テーブル「Audit」は新しいブックにありませんが、削除しません\n"
            "morvane-batch: 列とテーブルを削除するのは --allow-drop を指定したときだけです\n");
  EXPECT_EQ(filesIn(dir.file("out")), (Names{"Items.sql", "Orders.sql"}));
  EXPECT_EQ(readBytes(dir.file("out/Orders.sql")),
            "SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\nALTER TABLE dbo.Orders ALTER COLUMN Name varchar(100)  NOT NULL \r\n"
            "ALTER TABLE dbo.Orders ADD Shipped datetime  NULL \r\nCOMMIT \r\n");
  // A new table's script is the one --sql writes.
  ASSERT_EQ(batch({"--table", "Items", "--sql", dir.file("create"), revisions.book}).status, 0);
  EXPECT_EQ(readBytes(dir.file("out/Items.sql")), readBytes(dir.file("create/Items.sql")));

  const BatchRun dropping = revisions.since({"--allow-drop"}, "drop");
  EXPECT_EQ(dropping.status, 0);
  EXPECT_EQ(dropping.err, "");
  EXPECT_HAS(readBytes(dir.file("drop/Audit.sql")), "IF EXISTS (SELECT 1 FROM dbo.Audit) THROW 50000, N'");
  // --table picks among the new tables; the old revision's others are left alone.
  const BatchRun picked = revisions.since({"--table", "Orders"}, "one");
  EXPECT_EQ(picked.out, "テーブル「Orders」: 変更 (列の追加 1、変更 1、削除 0)\n");
  EXPECT_EQ(filesIn(dir.file("one")), Names{"Orders.sql"});

  const BatchRun same = batch({"--since", revisions.old, "--sql", dir.file("same"), revisions.old});
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "テーブル「Orders」: 変更なし\nテーブル「Lines」: 変更なし\nテーブル「Audit」: 変更なし\n");
  EXPECT_EQ(same.err, "");
  EXPECT_EQ(filesIn(dir.file("same")), Names{});
  writeBytes(dir.file("broken.xlsx"), "PK\x03\x04 not a zip");
  const BatchRun broken =
      batch({"--since", dir.file("broken.xlsx"), "--sql", dir.file("no"), revisions.book});
  EXPECT_EQ(broken.status, 2);
  EXPECT_HAS(broken.err, "broken.xlsx");
  EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
}

TEST(ChangeCommand, RefusedRebuiltAndRenamedChangesFollowTheirOptions) {
  auto seeded = kOrders;
  seeded[0].size = "1000,1";  // a new seed cannot be altered in place
  const Revisions reseeded(seeded);
  const BatchRun refused = reseeded.since({}, "out");
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(refused.out.starts_with("テーブル「Orders」: 変更できません: 列「OrderID」は IDENTITY")) << refused.out;
  EXPECT_HAS(refused.out, "--allow-rebuild");
  EXPECT_HAS(refused.err, "テーブル「Orders」: 列「OrderID」");
  EXPECT_EQ(filesIn(reseeded.dir.file("out")), Names{"Items.sql"});
  const BatchRun rebuilt = reseeded.since({"--allow-rebuild"}, "rebuilt");
  EXPECT_EQ(rebuilt.status, 0);
  EXPECT_TRUE(rebuilt.out.starts_with("テーブル「Orders」: 変更 (テーブルの作り直し、")) << rebuilt.out;
  EXPECT_HAS(readBytes(reseeded.dir.file("rebuilt/Orders.sql")), "CREATE TABLE dbo.tmp_morvane_Orders");

  // Memo renamed to Remark; Name narrowed from 50 to 20.
  auto renamed = kOrders;
  renamed[1].size = "20";
  renamed[2].name = "Remark";
  const Revisions revisions(renamed);
  const std::vector<std::string> base = {"--table", "Orders", "--encoding", "utf-8"};
  const BatchRun suggested = revisions.since(base, "suggested");
  EXPECT_HAS(suggested.err, "列「Memo」がなくなり、同じ型の列「Remark」が増えました。名前を変えたのなら --rename "
                            "Orders.Memo=Remark でデータを残せます\n");
  EXPECT_EQ(suggested.out, "テーブル「Orders」: 変更 (列の追加 1、変更 1、削除 0); データ消失の確認: 列 Name (長さ); "
                           "列 Memo が消え、列 Remark が増えました; 削除しない列 1\n");
  auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.end(), base.begin(), base.end());
    return extra;
  };
  const BatchRun made = revisions.since(with({"--rename", "Orders.Memo=Remark"}), "renamed");
  EXPECT_EQ(made.status, 0);
  EXPECT_EQ(made.err, "");
  // The script itself is the change script's; here the rename reaches it, guarded.
  const std::string renamedScript = readBytes(revisions.dir.file("renamed/Orders.sql"));
  EXPECT_HAS(renamedScript, "EXEC sp_rename N'dbo.Orders.Memo', N'Remark', N'COLUMN';\r\n");
  EXPECT_HAS(renamedScript, "IF EXISTS");
  revisions.since(with({"--rename", "Orders.Memo=Remark", "--allow-data-loss"}), "unguarded");
  EXPECT_LACKS(readBytes(revisions.dir.file("unguarded/Orders.sql")), "IF EXISTS");
  const BatchRun wrong = revisions.since(with({"--rename", "Orders.Note=Remark"}), "wrong");
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.err, "morvane-batch: --rename Orders.Note=Remark: 古い版のテーブル「Orders」に列「Note」がありません\n");
  EXPECT_FALSE(std::filesystem::exists(revisions.dir.file("wrong")));
}

TEST(ChangeCommand, OnAServerEachTableIsABatchAndAFailedOneDoesNotStopTheRest) {
  const Revisions revisions;
  // The server holds Lines and Audit but not Orders: Orders' ALTER fails, Items is still made.
  TdsTestServer::Catalog catalog;
  catalog.columns = {{"Lines", "OrderID", 1, "int", {}, 10, 0, "NO"}, {"Audit", "At", 1, "datetime", {}, {}, {}, "NO"}};
  TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .catalog = catalog});
  std::vector<std::string> args = login(server);
  args.insert(args.end(), {"--since", revisions.old, "--allow-drop", revisions.book});
  const BatchRun run = batch(args, {"MORVANE_PASSWORD=pw"});
  EXPECT_EQ(run.status, 1);
  EXPECT_HAS(run.err, "morvane-batch: テーブル「Orders」の変更を実行できません: ");
  EXPECT_HAS(run.err, "Cannot find the object");
  EXPECT_HAS(run.out, "テーブル「Orders」: 変更 (列の追加 1、変更 1、削除 0) (失敗)\n");
  const auto batches = server.batches();
  ASSERT_EQ(batches.size(), 3u);  // Orders, Items, Audit; Lines is unchanged
  EXPECT_TRUE(batches[0].starts_with("SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\nALTER TABLE dbo.Orders")) << batches[0];
  EXPECT_HAS(batches[1], "CREATE TABLE dbo.Items");
  EXPECT_TRUE(batches[2].ends_with("\r\nDROP TABLE dbo.Audit \r\nCOMMIT ")) << batches[2];
  EXPECT_TRUE(server.tables().contains("Items"));
  EXPECT_FALSE(server.tables().contains("Audit"));

  // The example pair, in the scripts' default code page 932: "ADD 出荷日 datetime  NULL ".
  const BatchRun example = batch({"--layout", kExamples + "design-document.edf", "--types", kExamples + "types-ja.sfa",
                                  "--since", kExampleBook, "--sql", revisions.dir.file("example"),
                                  kExamples + "design-document-rev2.xlsx"});
  EXPECT_EQ(example.status, 0);
  EXPECT_EQ(example.err, "");
  EXPECT_EQ(filesIn(revisions.dir.file("example")), (Names{"出荷.sql", "受注.sql", "受注明細.sql", "商品.sql"}));
  EXPECT_HAS(readBytes(revisions.dir.file("example/受注.sql")), "ADD \x8f\x6f\x89\xd7\x93\xfa datetime  NULL \r\n");
  EXPECT_HAS(readBytes(revisions.dir.file("example/受注明細.sql")), "DROP CONSTRAINT PK_");
}

}  // namespace
}  // namespace morvane::test
