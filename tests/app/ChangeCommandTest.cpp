// morvane-batch --since: change scripts from an old revision of a design document, written or run.
// The scripts' text is the change-script tests' concern; here each option reaches them.
#include <gtest/gtest.h>

#include "Batch.h"
#include "tests/support/DesignBook.h"

// Catalog rows and configs name only the fields that matter; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace morvane::test {
namespace {

const std::vector<Row> kOrders = {
    {"OrderID", "identity", "1,1", "○", ""}, {"Name", "varchar", "50", "", ""}, {"Memo", "varchar", "100", "", "○"}};

// The old revision, and the new: Orders as given (by default widened and given a column 出荷日),
// Lines as it was, Items new, Audit gone.
struct Revisions {
  explicit Revisions(std::vector<Row> orders = {}) {
    if (orders.empty()) {
      orders = kOrders;
      orders[1].size = "100";
      orders.push_back({"出荷日", "date", "", "", "○"});
    }
    const std::vector<Row> lines = {{"OrderID", "int", "", "○", ""}, {"LineNo", "int", "", "○", ""}};
    writeDesignBook(old, {{"Orders", kOrders}, {"Lines", lines}, {"Audit", {{"At", "date"}}}});
    writeDesignBook(book, {{"Orders", orders}, {"Lines", lines}, {"Items", {{"ItemNo", "char", "8", "○"}}}});
  }
  BatchRun since(std::vector<std::string> extra, const std::string& out) const {
    extra.insert(extra.begin(), {"--since", old});
    extra.insert(extra.end(), {"--sql", dir.file(out), book});
    return batch(extra);
  }
  TempDir dir;
  const std::string old = dir.file("old.xlsx"), book = dir.file("new.xlsx");
};

TEST(ChangeCommand, WritesChangedAndNewTablesAndFollowsTheRefusalRebuildAndRenameOptions) {
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
  // In the scripts' default code page 932 (出荷日).
  EXPECT_HAS(readBytes(dir.file("out/Orders.sql")), "dbo.Orders ADD \x8f\x6f\x89\xd7\x93\xfa datetime  NULL \r\n");
  // --table picks among the new tables; the old revision's others are left alone.
  EXPECT_EQ(revisions.since({"--table", "Orders"}, "one").out.find("Audit"), std::string::npos);
  EXPECT_EQ(filesIn(dir.file("one")), Names{"Orders.sql"});

  writeBytes(dir.file("broken.xlsx"), "PK\x03\x04 not a zip");
  const BatchRun broken = batch({"--since", dir.file("broken.xlsx"), "--sql", dir.file("no"), revisions.book});
  EXPECT_EQ(broken.status, 2);
  EXPECT_HAS(broken.err, "broken.xlsx");
  EXPECT_FALSE(std::filesystem::exists(dir.file("no")));

  // Refused, rebuilt, renamed: a new seed, which cannot be altered in place; Memo renamed; Name narrowed to 20.
  auto orders = kOrders;
  orders[0].size = "1000,1";
  orders[1].size = "20";
  orders[2].name = "Remark";
  const Revisions changed(orders);
  const BatchRun refused = changed.since({}, "out");
  EXPECT_EQ(refused.status, 1);
  EXPECT_HAS(refused.err, "morvane-batch: テーブル「Orders」: 列「OrderID」は IDENTITY");
  EXPECT_EQ(filesIn(changed.dir.file("out")), Names{"Items.sql"});
  auto since = [&](std::vector<std::string> extra, const std::string& out) {
    extra.insert(extra.end(), {"--table", "Orders", "--allow-rebuild"});
    return changed.since(extra, out);
  };
  // The rebuild would lose the gone column; the run names the rename instead of guessing it.
  const BatchRun kept = since({}, "kept");
  EXPECT_HAS(kept.out, "列「Memo」を残したままではテーブルを作り直せません (--allow-drop が必要です)");
  EXPECT_HAS(kept.err, "morvane-batch: テーブル「Orders」: 列「Memo」がなくなり、同じ型の列「Remark」が増えました。"
                       "名前を変えたのなら --rename Orders.Memo=Remark でデータを残せます\n");
  const BatchRun made = since({"--rename", "Orders.Memo=Remark"}, "renamed");
  EXPECT_EQ(made.status, 0);
  EXPECT_EQ(made.err, "");
  EXPECT_HAS(readBytes(changed.dir.file("renamed/Orders.sql")), "IF EXISTS");  // Name narrowed: guarded
  since({"--rename", "Orders.Memo=Remark", "--allow-data-loss"}, "unguarded");
  EXPECT_LACKS(readBytes(changed.dir.file("unguarded/Orders.sql")), "IF EXISTS");
  const BatchRun wrong = since({"--rename", "Orders.Note=Remark"}, "wrong");
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.err,
            "morvane-batch: --rename Orders.Note=Remark: 古い版のテーブル「Orders」に列「Note」がありません\n");
  EXPECT_FALSE(std::filesystem::exists(changed.dir.file("wrong")));
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
  EXPECT_HAS(run.out, "テーブル「Orders」: 変更 (列の追加 1、変更 1、削除 0) (失敗)\n");
  EXPECT_EQ(server.batches().size(), 3u);  // Orders, Items, Audit; Lines is unchanged
  EXPECT_TRUE(server.tables().contains("Items"));
  EXPECT_FALSE(server.tables().contains("Audit"));
}

}  // namespace
}  // namespace morvane::test
