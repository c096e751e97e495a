// Change scripts between two revisions of a design document.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <tuple>

#include "sqlserver/ChangeScript.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TdsTestServer.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

using test::dbOf;
using test::FieldRow;
using test::makeTable;
using Lines = std::vector<std::string>;

const std::vector<FieldRow> kOrderRows = {
    {"OrderNo", "int", "", false}, {"Customer", "varchar", "20", false}, {"Note", "varchar", "100", true}};

// Options by letter: d drop, l allow data loss, r rebuild, o old revision live, g gone tables left out.
ChangeOptions allowing(const std::string& flags, std::vector<Rename> renames = {}) {
  ChangeOptions options;
  options.allowDrop = flags.find('d') != std::string::npos;
  options.allowDataLoss = flags.find('l') != std::string::npos;
  options.allowRebuild = flags.find('r') != std::string::npos;
  options.oldIsLive = flags.find('o') != std::string::npos;
  options.includeGone = flags.find('g') == std::string::npos;
  options.renames = std::move(renames);
  return options;
}
const ChangeOptions kDrop = allowing("d"), kDropLossy = allowing("dl");

clsTableInfo orders(std::vector<FieldRow> rows = kOrderRows, std::vector<std::string> keys = {"OrderNo"}) {
  return makeTable("Orders", rows, keys);
}

// kOrderRows with one row changed by edit.
template <typename Edit>
std::vector<FieldRow> ordersRows(Edit edit) {
  auto rows = kOrderRows;
  edit(rows);
  return rows;
}

// Orders with cells set, each {row, cell, text}: D default, U unique, I index, L logical name,
// R reference; row -1 sets the table's logical name.
clsTableInfo ordersWith(std::vector<std::tuple<int, char, std::string>> cells, std::vector<FieldRow> rows = kOrderRows) {
  std::string logical;
  for (const auto& [at, cell, text] : cells) {
    if (at < 0) {
      logical = text;
      continue;
    }
    FieldRow& row = rows[at];
    (cell == 'D' ? row.defaultValue : cell == 'U' ? row.unique : cell == 'I' ? row.index
                                      : cell == 'L' ? row.logicalName : row.reference) = text;
  }
  clsTableInfo table = makeTable("Orders", rows, {"OrderNo"});
  table.setLogicalName(logical);
  return table;
}

TableChange changeOf(const clsTableInfo& before, const clsTableInfo& after, ChangeOptions options = {}) {
  auto changes = compareRevisions(dbOf({before}), dbOf({after}), nullptr, options);
  EXPECT_EQ(changes.size(), 1u);
  return changes.empty() ? TableChange{} : changes.front();
}

// Every change script aborts as a whole on the first failure, in one transaction.
std::string script(const Lines& lines) {
  std::string text = "SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\n";
  for (const auto& line : lines) text += line;
  return text + "COMMIT ";
}

const std::string kKey = "ALTER TABLE dbo.Orders ADD CONSTRAINT \r\n\tPK_Orders PRIMARY KEY CLUSTERED \r\n\t( \r\n"
                         "\tOrderNo\r\n\t) ON [PRIMARY] \r\n";

TEST(ChangeScript, ColumnAndKeyChangesGiveTheirStatementsInOrder) {
  const FieldRow shipped{"Shipped", "date", "", true};
  const struct {
    const char* what;
    clsTableInfo before, after;
    ChangeOptions options;
    std::optional<Lines> lines;  // none: not checked; empty: no script
    std::string summary = {};    // empty: not checked
    int warnings = 0;            // -1: not checked
  } cases[] = {
      {"added", orders(), orders(ordersRows([&](auto& r) { r.push_back(shipped); })), {},
       Lines{"ALTER TABLE dbo.Orders ADD Shipped datetime  NULL \r\n"}},
      {"widened", orders(), orders(ordersRows([](auto& r) { r[2].size = "200"; })), {},
       Lines{"ALTER TABLE dbo.Orders ALTER COLUMN Note varchar(200)  NULL \r\n"}},
      {"made nullable", orders(), orders(ordersRows([](auto& r) { r[1].nullable = true; })), {},
       Lines{"ALTER TABLE dbo.Orders ALTER COLUMN Customer varchar(20)  NULL \r\n"}},
      {"dropped", orders(), orders(ordersRows([](auto& r) { r.pop_back(); })), kDrop,
       Lines{"IF EXISTS (SELECT 1 FROM dbo.Orders WHERE Note IS NOT NULL) THROW 50000, N'テーブル「Orders」の列「Note」: "
             "値のある行があり、列を削除できません。このテーブルの変更は行いません', 1;\r\n",
             "ALTER TABLE dbo.Orders DROP COLUMN Note \r\n"},
       "テーブル「Orders」: 変更 (列の追加 0、変更 0、削除 1); データ消失の確認: 列 Note (削除)"},
      // Type words compare as the generator resolves them; a field's row is not part of its column.
      {"spelled and moved", orders(),
       orders({{"Note", "VARCHAR ", "100", true}, {"OrderNo", "Int", "", false}, {"Customer", "varchar", "20", false}}), {},
       Lines{}, "テーブル「Orders」: 変更なし"},
      {"likely rename", orders(), orders(ordersRows([](auto& r) { r[2].name = "Remark"; })), kDrop, std::nullopt,
       "テーブル「Orders」: 変更 (列の追加 1、変更 0、削除 1); データ消失の確認: 列 Note (削除); 列 Note が消え、列 Remark が増えました"},
      {"gone column kept", orders(), orders(ordersRows([&](auto& r) { r[1] = shipped; })), {},
       Lines{"ALTER TABLE dbo.Orders ADD Shipped datetime  NULL \r\n"}, "", 1},
      {"only a gone column, kept", orders(), orders(ordersRows([](auto& r) { r.pop_back(); })), {}, Lines{}, "", 1},
      {"not null without default", orders(), orders(ordersRows([](auto& r) { r.push_back({"Total", "money", "", false}); })),
       {}, Lines{"ALTER TABLE dbo.Orders ADD Total money  NOT NULL \r\n"}, "", 1},
      // With a default it fits a table with rows.
      {"not null with default", ordersWith({}), ordersWith({{3, 'D', "0"}}, ordersRows([](auto& r) {
                                                  r.push_back({"Qty", "int", "", false});
                                                })),
       {}, Lines{"ALTER TABLE dbo.Orders ADD Qty int  NOT NULL CONSTRAINT DF_Orders_Qty DEFAULT (0) \r\n"}},
      // A dropped column's description and default go before it.
      {"dropped with attributes",
       ordersWith({{3, 'D', "0"}, {3, 'L', "数"}}, ordersRows([](auto& r) { r.push_back({"Qty", "int", "", false}); })),
       ordersWith({}), kDropLossy,
       Lines{"EXEC sys.sp_dropextendedproperty @name = N'MS_Description', @level0type = N'SCHEMA', @level0name = N'dbo', "
             "@level1type = N'TABLE', @level1name = N'Orders', @level2type = N'COLUMN', @level2name = N'Qty'\r\n",
             "ALTER TABLE dbo.Orders DROP CONSTRAINT DF_Orders_Qty \r\n", "ALTER TABLE dbo.Orders DROP COLUMN Qty \r\n"}},
      // The server refuses to alter a column inside a key.
      {"key column altered", orders(), orders(ordersRows([](auto& r) { r[0] = {"OrderNo", "decimal", "12,0", false}; })), {},
       Lines{"ALTER TABLE dbo.Orders DROP CONSTRAINT PK_Orders \r\n",
             "ALTER TABLE dbo.Orders ALTER COLUMN OrderNo decimal(12,0)  NOT NULL \r\n", kKey}},
      {"key added", orders(kOrderRows, {}), orders(), {}, Lines{kKey}},
      {"key dropped", orders(), orders(kOrderRows, {}), {}, Lines{"ALTER TABLE dbo.Orders DROP CONSTRAINT PK_Orders \r\n"}},
      {"identity added", makeTable("T", {{"Name", "varchar", "10", true}}),
       makeTable("T", {{"Name", "varchar", "10", true}, {"ID", "identity", "1,1", false}}), {},
       Lines{"ALTER TABLE dbo.T ADD ID int  NOT NULL  IDENTITY (1,1) \r\n"}, "", -1},
      // A composite key becomes a key on an altered column; one field goes, one is widened, one is new.
      {"several",
       makeTable("OrderLine",
                 {{"OrderNo", "int", "", false}, {"LineNo", "int", "", false}, {"Item", "char", "8", false},
                  {"Memo", "varchar", "10", true}},
                 {"OrderNo", "LineNo"}),
       makeTable("OrderLine",
                 {{"OrderNo", "int", "", false}, {"Item", "char", "12", false}, {"Memo", "varchar", "50", true},
                  {"Qty", "decimal", "9,2", true}},
                 {"OrderNo", "Item"}),
       kDropLossy,
       Lines{"ALTER TABLE dbo.OrderLine DROP CONSTRAINT PK_OrderLine \r\n", "ALTER TABLE dbo.OrderLine DROP COLUMN LineNo \r\n",
             "ALTER TABLE dbo.OrderLine ALTER COLUMN Item char(12)  NOT NULL \r\n",
             "ALTER TABLE dbo.OrderLine ALTER COLUMN Memo varchar(50)  NULL \r\n",
             "ALTER TABLE dbo.OrderLine ADD Qty decimal(9,2)  NULL \r\n",
             "ALTER TABLE dbo.OrderLine ADD CONSTRAINT \r\n\tPK_OrderLine PRIMARY KEY CLUSTERED \r\n\t( \r\n\tOrderNo,\r\n"
             "\tItem\r\n\t) ON [PRIMARY] \r\n"},
       "テーブル「OrderLine」: 変更 (列の追加 1、変更 2、削除 1、主キー変更あり)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TableChange change = changeOf(c.before, c.after, c.options);
    if (c.lines) {
      EXPECT_EQ(change.script, c.lines->empty() ? "" : script(*c.lines));
    }
    if (!c.summary.empty()) {
      EXPECT_EQ(changeSummary(change, c.options), c.summary);
    }
    if (c.warnings >= 0) {
      EXPECT_EQ(change.warnings.size(), static_cast<std::size_t>(c.warnings));
    }
  }
  // A gone column kept is named in its warning; a widened non-key column leaves the key alone.
  const auto kept = changeOf(orders(), orders(ordersRows([](auto& r) { r.erase(r.begin() + 1); })));
  EXPECT_EQ(kept.warnings, Lines{"テーブル「Orders」: 列「Customer」はなくなりましたが、削除しません"});
  EXPECT_FALSE(changeOf(orders(), orders(ordersRows([](auto& r) { r[2].size = "5"; })), kDropLossy).keyChanged);
}

TEST(ChangeScript, EachAttributeChangedAloneAndTogetherGivesItsStatements) {
  using Cells = std::vector<std::tuple<int, char, std::string>>;
  const std::string addDefault = "ALTER TABLE dbo.Orders ADD CONSTRAINT \r\n\tDF_Orders_Customer DEFAULT ('y') FOR Customer\r\n";
  const std::string dropDefault = "ALTER TABLE dbo.Orders DROP CONSTRAINT DF_Orders_Customer \r\n";
  const std::string dropIndex = "DROP INDEX IX_Orders_Note ON dbo.Orders \r\n";
  const std::string property = " @name = N'MS_Description', ";
  const std::string on = "@level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = N'Orders'";
  const std::string onNote = on + ", @level2type = N'COLUMN', @level2name = N'Note'\r\n";
  const struct {
    Cells before, after;
    Lines lines;  // none: unchanged
    std::vector<FieldRow> rows = kOrderRows;
  } cases[] = {
      {{}, {{1, 'D', "'y'"}}, {addDefault}},
      {{{1, 'D', "('x')"}}, {{1, 'D', " 'y' "}}, {dropDefault, addDefault}},
      {{{1, 'D', "'x'"}}, {}, {dropDefault}},
      {{{0, 'D', "((0))"}, {1, 'D', "(N'な')"}}, {{0, 'D', "0.0"}, {1, 'D', "n'な'"}}, {}},  // said two ways
      {{{1, 'U', "U1"}}, {{1, 'U', "U1"}, {2, 'U', "U1"}},
       {"ALTER TABLE dbo.Orders DROP CONSTRAINT UQ_Orders_Customer \r\n",
        "ALTER TABLE dbo.Orders ADD CONSTRAINT \r\n\tUQ_Orders_Customer_Note UNIQUE NONCLUSTERED \r\n"
        "\t( \r\n\tCustomer,\r\n\tNote\r\n\t) ON [PRIMARY] \r\n"}},
      {{{2, 'I', "A"}}, {{2, 'I', "B"}}, {}},  // labels are not names
      {{{2, 'I', "A"}}, {}, {dropIndex}},
      {{}, {{-1, 'L', "受注"}}, {"EXEC sys.sp_addextendedproperty" + property + "@value = N'受注', " + on + "\r\n"}},
      {{{2, 'L', "備考"}}, {{2, 'L', "It's"}}, {"EXEC sys.sp_updateextendedproperty" + property + "@value = N'It''s', " + onNote}},
      {{{2, 'L', "備考"}}, {}, {"EXEC sys.sp_dropextendedproperty" + property + onNote}},
      // An altered column's index goes first and comes back; its description stays.
      {{{2, 'I', "A"}, {2, 'L', "備考"}}, {{2, 'I', "A"}, {2, 'L', "備考"}},
       {dropIndex, "ALTER TABLE dbo.Orders ALTER COLUMN Note varchar(200)  NULL \r\n",
        "CREATE NONCLUSTERED INDEX IX_Orders_Note ON dbo.Orders \r\n\t( \r\n\tNote\r\n\t) ON [PRIMARY] \r\n"},
       ordersRows([](auto& r) { r[2].size = "200"; })},
      {{{1, 'D', "'x'"}, {2, 'I', "A"}}, {{1, 'D', "'y'"}, {2, 'L', "備考"}},  // together
       {dropDefault, dropIndex, addDefault, "EXEC sys.sp_addextendedproperty" + property + "@value = N'備考', " + onNote}},
  };
  for (const auto& c : cases) {
    const TableChange change = changeOf(ordersWith(c.before), ordersWith(c.after, c.rows));
    EXPECT_EQ(change.script, c.lines.empty() ? "" : script(c.lines)) << (c.lines.empty() ? "" : c.lines[0]);
  }
}

// Each change that can lose values is checked row by row first, and only then; with
// --allow-data-loss it is written unchecked, with a warning instead.
TEST(ChangeScript, EachLossyChangeIsGuardedFirstAndNoWideningIs) {
  const struct {
    FieldRow before, after;
    Lines conditions;  // one guard each, in this order
    bool warned;
  } cases[] = {
      {{"N", "varchar", "100", true}, {"N", "varchar", "50", true}, {"LEN(N) > 50"}, true},
      {{"N", "varchar", "max", true}, {"N", "varchar", "8000", true}, {"LEN(N) > 8000"}, true},
      {{"N", "varchar", "100", true}, {"N", "char", "20", true}, {"LEN(N) > 20"}, true},
      {{"N", "decimal", "10,2", true}, {"N", "decimal", "8,2", true}, {"ABS(N) >= 1000000"}, true},
      {{"N", "decimal", "10,2", true}, {"N", "decimal", "10,1", true}, {"N <> ROUND(N, 1)"}, true},
      {{"N", "varchar", "100", true}, {"N", "int", "", true},
       {"N IS NOT NULL AND CASE WHEN TRY_CONVERT(varchar(100), TRY_CONVERT(int, N)) = N THEN 0 ELSE 1 END = 1"}, true},
      {{"N", "float", "53", true}, {"N", "float", "10", true}, {"N IS NOT NULL AND CASE WHEN TRY_CONVERT(float, TRY_CONVERT(real, N))"}, true},
      {{"N", "money", "", true}, {"N", "int", "", true}, {"N IS NOT NULL AND CASE WHEN TRY_CONVERT(money, TRY_CONVERT(int, N))"}, true},
      {{"N", "int", "", true}, {"N", "decimal", "9,0", true}, {"N IS NOT NULL AND CASE"}, true},
      {{"N", "varchar", "100", true}, {"N", "varchar", "10", false}, {"LEN(N) > 10", "N IS NULL"}, true},
      {{"N", "varchar", "10", true}, {"N", "varchar", "10", false}, {"N IS NULL"}, false},
      {{"N", "varchar", "100", true}, {"N", "varchar", "max", true}, {}, false},
      {{"N", "char", "10", false}, {"N", "varchar", "10", true}, {}, false},
      {{"N", "decimal", "10,2", true}, {"N", "decimal", "12,3", true}, {}, false},
      {{"N", "int", "", true}, {"N", "decimal", "12,0", true}, {}, false},
      {{"N", "int", "", true}, {"N", "money", "", true}, {}, false},
      {{"N", "float", "10", true}, {"N", "float", "53", true}, {}, false},
  };
  for (const auto& [before, after, conditions, warned] : cases) {
    SCOPED_TRACE(before.type + "(" + before.size + ") -> " + after.type + "(" + after.size + ")");
    const TableChange change = changeOf(makeTable("T", {before}), makeTable("T", {after}));
    ASSERT_EQ(change.guards.size(), conditions.size());
    std::string guards = "SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\n";
    for (std::size_t i = 0; i < conditions.size(); ++i) {
      EXPECT_NE(change.guards[i].statement.find("dbo.T WHERE " + conditions[i]), std::string::npos) << change.guards[i].statement;
      guards += change.guards[i].statement + "\r\n";
    }
    EXPECT_TRUE(change.script.starts_with(guards + "ALTER TABLE dbo.T ALTER COLUMN N ")) << change.script;
    EXPECT_TRUE(change.warnings.empty());
    const TableChange unguarded = changeOf(makeTable("T", {before}), makeTable("T", {after}), allowing("l"));
    EXPECT_EQ(unguarded.kind, TableChange::Kind::changed);
    EXPECT_EQ(unguarded.script.find("IF EXISTS"), std::string::npos);
    EXPECT_EQ(unguarded.warnings.size(), warned ? 1u : 0u);
  }
  // A server type the notations cannot say is checked value by value, or warned about by name.
  const auto nvarchar = makeTable("T", {{"N", "nvarchar", "100", true}}), varchar = makeTable("T", {{"N", "varchar", "100", true}});
  const TableChange fromServer = changeOf(nvarchar, varchar, allowing("o"));
  ASSERT_EQ(fromServer.guards.size(), 1u);
  EXPECT_NE(fromServer.guards[0].statement.find("TRY_CONVERT(nvarchar(100), TRY_CONVERT(varchar(100), N)) = N"),
            std::string::npos);
  EXPECT_EQ(changeOf(nvarchar, varchar, allowing("ol")).warnings,
            Lines{"テーブル「T」: 列「N」をデータベースの nvarchar(100) NULL から varchar(100) NULL に変えると、値が失われるか変更が"
                  "失敗することがあります"});
  EXPECT_EQ(changeOf(varchar, makeTable("T", {{"N", "varchar", "50", true}}), allowing("l")).warnings,
            Lines{"テーブル「T」: 列「N」を varchar(100) NULL から varchar(50) NULL に変えると、値が失われるか変更が失敗することがあります"});
}

TEST(ChangeScript, WhatCannotBeDoneInPlaceIsRefused) {
  const std::vector<FieldRow> identity = {{"ID", "identity", "1,1", false}, {"Name", "varchar", "10", true}};
  const std::string rebuild = "IDENTITY";
  const struct {
    clsTableInfo before, after;
    std::string reason;  // found in the reason given
    std::size_t undefined = 0;
  } cases[] = {
      {makeTable("T", identity), makeTable("T", {{"ID", "int", "", false}, identity[1]}), "--allow-rebuild"},
      {makeTable("T", identity), makeTable("T", {{"ID", "identity", "100,1", false}, identity[1]}), "--allow-rebuild"},
      {makeTable("T", {{"ID", "int", "", false}}), makeTable("T", {identity[0]}), "IDENTITY"},
      {orders(), orders(ordersRows([](auto& r) { r[2].type = "memo"; })), "列「Note」は型が未定義のため、変更できません", 1},
      // A sheet emptied of fields, or left with undefined words only, is refused as a new one is.
      {orders(), orders({}, {}), "作成できる列がありません"},
      {orders(), orders({{"OrderNo", "memo", "", false}}, {}), "作成できる列がありません", 1},
      // Names the server holds as one: a drop and an add would lose the data.
      {orders(), orders(ordersRows([](auto& r) { r[2].name = "ＮＯＴＥ"; })),
       "列「Note」と「ＮＯＴＥ」はサーバでは同じ名前のため、削除と追加はできません"},
  };
  for (const auto& c : cases) {
    const TableChange change = changeOf(c.before, c.after, kDrop);
    EXPECT_EQ(change.kind, TableChange::Kind::refused) << c.reason;
    EXPECT_EQ(change.script, "");
    EXPECT_NE(change.reason.find(c.reason), std::string::npos) << change.reason;
    EXPECT_EQ(change.undefinedNotations.size(), c.undefined) << c.reason;
  }
  // The same undefined word in both revisions is left out of both scripts alike.
  const auto memo = orders(ordersRows([](auto& r) { r[2].type = "memo"; }));
  EXPECT_EQ(changeOf(memo, memo).kind, TableChange::Kind::unchanged);
}

TEST(ChangeScript, TablesNewGoneAndSharingAName) {
  const auto created = compareRevisions(dbOf({}), dbOf({test::customerTable()}), nullptr, {});
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0].kind, TableChange::Kind::added);
  EXPECT_EQ(created[0].script + "\r\n", test::kCustomerScript);
  EXPECT_EQ(created[0].undefinedNotations, std::vector<std::string>{"text"});

  // A gone table is kept with a warning, or dropped when allowed and empty.
  const clsDBInfo before = dbOf({orders(), makeTable("Audit", {{"At", "date", "", false}})});
  const auto kept = compareRevisions(before, dbOf({orders()}), nullptr, {});
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[1].kind, TableChange::Kind::gone);
  EXPECT_EQ(kept[1].script, "");
  ASSERT_EQ(kept[1].warnings.size(), 1u);
  EXPECT_NE(kept[1].warnings[0].find("Audit"), std::string::npos);
  const auto dropped = compareRevisions(before, dbOf({orders()}), nullptr, kDrop);
  EXPECT_EQ(dropped.at(1).script, script({"IF EXISTS (SELECT 1 FROM dbo.Audit) THROW 50000, N'テーブル「Audit」: 行があり、"
                                          "テーブルを削除できません。このテーブルの変更は行いません', 1;\r\n",
                                          "DROP TABLE dbo.Audit \r\n"}));
  EXPECT_TRUE(dropped[1].warnings.empty());
  // A name that is no token is bracketed in the statement and quoted in the message.
  const auto odd = compareRevisions(dbOf({makeTable("It's]", {{"At", "date", "", false}})}), dbOf({}), nullptr, kDrop);
  EXPECT_NE(odd.at(0).script.find("IF EXISTS (SELECT 1 FROM dbo.[It's]]]) THROW 50000, N'テーブル「It''s]」: 行があり、"
                                  "テーブルを削除できません。このテーブルの変更は行いません', 1;\r\n"),
            std::string::npos)
      << odd[0].script;
  // Tables picked by name leave the old revision's others alone.
  EXPECT_EQ(compareRevisions(before, dbOf({orders()}), nullptr, allowing("dg")).size(), 1u);

  // Names the server holds as one: a create and a drop would lose the data.
  const auto recased = compareRevisions(dbOf({makeTable("Étude", kOrderRows)}), dbOf({makeTable("étude", kOrderRows)}),
                                        nullptr, kDrop);
  ASSERT_EQ(recased.size(), 2u);
  for (const auto& change : recased) {
    EXPECT_EQ(change.kind, TableChange::Kind::refused) << change.name;
    EXPECT_EQ(change.script, "");
  }
}

TEST(ChangeScript, AForeignKeyInTheWayIsDroppedFirstAndTheLastScriptMakesItAgain) {
  auto customer = [](const std::string& size) { return makeTable("Customer", {{"Code", "char", size, false}}, {"Code"}); };
  auto order = [](const std::string& size, const std::string& reference) {
    return makeTable("Orders", {{"No", "int", "", false}, {"Code", "char", size, false, "", reference}}, {"No"});
  };
  auto compare = [&](const std::string& from, const std::string& to, const std::string& refFrom, const std::string& refTo) {
    const auto changes = compareRevisions(dbOf({customer(from), order(from, refFrom)}), dbOf({customer(to), order(to, refTo)}),
                                          nullptr, allowing("l"));
    EXPECT_EQ(changes.size(), 3u);
    return changes;
  };
  // Widening a code others refer to: both sides altered, the key dropped before the first.
  const auto changes = compare("5", "8", "Customer.Code", "Customer(Code)");
  const std::string drop = "ALTER TABLE dbo.Orders DROP CONSTRAINT FK_Orders_Code \r\n";
  const std::string add = "ALTER TABLE dbo.Orders ADD CONSTRAINT \r\n\tFK_Orders_Code FOREIGN KEY (Code) REFERENCES dbo.Customer (Code) \r\n";
  EXPECT_EQ(changes[0].script, script({drop, "ALTER TABLE dbo.Customer DROP CONSTRAINT PK_Customer \r\n",
                                       "ALTER TABLE dbo.Customer ALTER COLUMN Code char(8)  NOT NULL \r\n",
                                       clsSQLServerDB::makeKeyConstraintSQL(customer("8"))}));
  EXPECT_EQ(changes[1].script.find(drop), std::string::npos);
  EXPECT_EQ(changes[2].name, "_foreign_keys");
  EXPECT_EQ(changes[2].script, script({add}));
  EXPECT_EQ(changeSummary(changes[2], {}), "外部キー: 削除 0、追加 1");
  // A key that went is dropped by the last script; one only new is added there.
  EXPECT_EQ(compare("5", "5", "Customer.Code", "")[2].script, script({drop}));
  EXPECT_EQ(compare("5", "5", "", "Customer.Code")[2].script, script({add}));
}

TEST(ChangeScript, RenamesComeFirstAndTheRestOfTheChangeFollowsUnderTheNewName) {
  // Note becomes Remark and narrower; Orders becomes Sales and gains a column.
  auto rows = ordersRows([](auto& r) { r[2] = {"Remark", "varchar", "50", true}; });
  rows.push_back({"Shipped", "date", "", true});
  const ChangeOptions options = allowing("", {{"Orders", "Note", "Remark"}, {"Orders", "", "Sales"}});
  const auto changes = compareRevisions(dbOf({orders()}), dbOf({makeTable("Sales", rows, {"OrderNo"})}), nullptr, options);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].script,
            script({"IF EXISTS (SELECT 1 FROM dbo.Orders WHERE LEN(Note) > 50) THROW 50000, N'テーブル「Orders」の列「Note」: "
                    "長さ 50 を超える値があり、varchar(50) にできません。このテーブルの変更は行いません', 1;\r\n",
                    "EXEC sp_rename N'dbo.Orders.Note', N'Remark', N'COLUMN';\r\n", "EXEC sp_rename N'dbo.Orders', N'Sales';\r\n",
                    "IF OBJECT_ID(N'dbo.PK_Orders') IS NOT NULL EXEC sp_rename N'dbo.PK_Orders', N'PK_Sales', N'OBJECT';\r\n",
                    "ALTER TABLE dbo.Sales ALTER COLUMN Remark varchar(50)  NULL \r\n",
                    "ALTER TABLE dbo.Sales ADD Shipped datetime  NULL \r\n"}));
  EXPECT_EQ(changeSummary(changes[0], options),
            "テーブル「Sales」: 変更 (列の追加 1、変更 1、削除 0); テーブル名の変更 Orders → Sales; 列名の変更 Note → Remark; "
            "データ消失の確認: 列 Note (長さ)");

  // Without the rename the pair is only suggested: the same kind and size, or the same logical name.
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  rows = ordersRows([](auto& r) { r[2].name = "Remark"; });
  EXPECT_EQ(changeOf(orders(), orders(rows)).renamed, (Pairs{{"Note", "Remark"}}));
  rows[2].size = "99";
  EXPECT_EQ(changeOf(orders(), orders(rows)).renamed, Pairs{});
  auto named = kOrderRows;
  named[2].logicalName = rows[2].logicalName = "備考";
  EXPECT_EQ(changeOf(orders(named), orders(rows)).renamed, (Pairs{{"Note", "Remark"}}));

  // What a rename must name, and how it is written.
  const std::pair<std::string, std::string> problems[] = {
      {"Orders.Note=Remark", ""},
      {"Orders.Nope=Remark", "古い版のテーブル「Orders」に列「Nope」がありません"},
      {"Nope=Sales", "古い版にテーブル「Nope」がありません"},
      {"Orders.Note=Customer", "に列「Customer」がもうあります"},
      {"Orders.Note=Other", "新しい版のテーブル「Orders」に列「Other」がありません"},
      {"Orders=Missing", "新しい版にテーブル「Missing」がありません"},
  };
  for (const auto& [text, problem] : problems) {
    const auto rename = parseRename(text);
    ASSERT_TRUE(rename) << text;
    EXPECT_EQ(renameText(*rename), text);
    const auto found = renameProblems(dbOf({orders()}), dbOf({orders(rows)}), {*rename});
    ASSERT_EQ(found.size(), problem.empty() ? 0u : 1u) << text;
    if (!problem.empty()) {
      EXPECT_EQ(found[0].find("--rename " + text + ": "), 0u) << found[0];
      EXPECT_NE(found[0].find(problem), std::string::npos) << found[0];
    }
  }
  for (const std::string bad : {"Orders", "=Sales", "Orders.=X", "Orders.Note=", "Orders="}) EXPECT_FALSE(parseRename(bad)) << bad;
}

// An identity change rebuilds the table in one transaction when allowed, and each script goes to
// the server as one batch.
TEST(ChangeScript, AnIdentityChangeRebuildsTheTableWhenAllowed) {
  const struct {
    std::vector<FieldRow> before, after;
    std::vector<Rename> renames;
  } cases[] = {
      // gained, with the key on it
      {{{"ID", "int", "", true}, {"Name", "varchar", "10", true}}, {{"ID", "identity", "1,1", false}, {"Name", "varchar", "10", true}}, {}},
      // lost, and a column renamed on the way
      {{{"ID", "identity", "1,1", false}, {"Name", "varchar", "10", true}}, {{"ID", "int", "", false}, {"Title", "varchar", "10", true}},
       {{"T1", "Name", "Title"}}},
      // reseeded, with a default made again under the table's own name
      {{{"ID", "identity", "1,1", false}, {"Name", "varchar", "10", true, "'x'"}},
       {{"ID", "identity", "100,5", false}, {"Name", "varchar", "10", true, "'x'"}}, {}},
  };
  std::vector<TableChange> changes;
  for (const auto& [before, after, renames] : cases) {
    const std::string name = changes.empty() ? "T" : "T" + std::to_string(changes.size());
    const ChangeOptions options = allowing("r", renames);
    changes.push_back(changeOf(makeTable(name, before, {"ID"}), makeTable(name, after, {"ID"}), options));
    EXPECT_TRUE(changes.back().rebuilt);
    EXPECT_NE(changeSummary(changes.back(), options).find("変更 (テーブルの作り直し、列の追加 0、変更 1"), std::string::npos);
  }
  EXPECT_EQ(changes[0].script,
            script({"IF EXISTS (SELECT 1 FROM dbo.T WHERE ID IS NULL) THROW 50000, N'テーブル「T」の列「ID」: NULL の行があり、"
                    "NOT NULL にできません。このテーブルの変更は行いません', 1;\r\n",
                    "CREATE TABLE dbo.tmp_morvane_T \r\n\t(\r\n\tID int  NOT NULL  IDENTITY (1,1) ,\r\n",
                    "\tName varchar(10)  NULL \r\n\t) ON [PRIMARY] \r\n", "ALTER TABLE dbo.tmp_morvane_T ADD CONSTRAINT \r\n",
                    "\tPK_tmp_morvane_T PRIMARY KEY CLUSTERED \r\n\t( \r\n\tID\r\n\t) ON [PRIMARY] \r\n",
                    "SET IDENTITY_INSERT dbo.tmp_morvane_T ON;\r\n", "INSERT INTO dbo.tmp_morvane_T (ID, Name)\r\n",
                    "\tSELECT ID, Name FROM dbo.T WITH (TABLOCKX, HOLDLOCK);\r\n", "SET IDENTITY_INSERT dbo.tmp_morvane_T OFF;\r\n",
                    "DECLARE @last int;\r\nSELECT @last = MAX(ID) FROM dbo.tmp_morvane_T;\r\n", "DROP TABLE dbo.T;\r\n",
                    "EXEC sp_rename N'dbo.tmp_morvane_T', N'T';\r\n", "EXEC sp_rename N'dbo.PK_tmp_morvane_T', N'PK_T', N'OBJECT';\r\n",
                    "IF @last IS NOT NULL DBCC CHECKIDENT (N'dbo.T', RESEED, @last);\r\n"}));
  // No identity left: nothing to insert into it or reseed.
  EXPECT_NE(changes[1].script.find("INSERT INTO dbo.tmp_morvane_T1 (ID, Title)\r\n\tSELECT ID, Name FROM dbo.T1 "), std::string::npos);
  EXPECT_EQ(changes[1].script.find("IDENTITY_INSERT"), std::string::npos);
  EXPECT_EQ(changes[1].script.find("RESEED"), std::string::npos);
  EXPECT_NE(changes[2].script.find("\tID int  NOT NULL  IDENTITY (100,5) ,"), std::string::npos);
  EXPECT_NE(changes[2].script.find("DBCC CHECKIDENT (N'dbo.T2', RESEED, @last);"), std::string::npos);
  const auto madeAgain = changes[2].script.find("\tDF_T2_Name DEFAULT ('x') FOR Name");
  ASSERT_NE(madeAgain, std::string::npos) << changes[2].script;
  EXPECT_GT(madeAgain, changes[2].script.find("EXEC sp_rename N'dbo.tmp_morvane_T2'"));
  EXPECT_EQ(changes[2].script.find("DF_tmp_morvane"), std::string::npos);

  test::TdsTestServer server;
  clsSQLServerDB db;
  ASSERT_TRUE(db.fnOpenDB(server.address(), "master", "sa", "secret")) << db.getFailReason();
  test::RecordingProgress progress;
  EXPECT_EQ(fnRunChanges(db, changes, progress, [](const TableChange&, bool, const std::string&) {}).done, 3u);
  db.fnCloseDB();
  const auto batches = server.batches();
  ASSERT_GE(batches.size(), 3u);
  EXPECT_EQ(Lines(batches.end() - 3, batches.end()), (Lines{changes[0].script, changes[1].script, changes[2].script}));
}

TEST(ChangeScript, SavedAndRunScripts) {
  // Saved: unchanged tables write nothing, and no script overwrites another's.
  test::TempDir dir;
  const auto wider = orders(ordersRows([](auto& r) { r[2].size = "200"; }));
  const auto items = makeTable("Items", {{"No", "int", "", false}}, {"No"});
  auto changes = compareRevisions(dbOf({orders(), items}), dbOf({wider, items, makeTable("ORDERS", {{"X", "int", "", false}})}),
                                  nullptr, {});
  clsSQLServerDB db;
  std::vector<std::pair<std::string, std::string>> reports;
  auto report = [&](const TableChange& change, bool ok, const std::string& why) {
    reports.emplace_back(change.name, ok ? "ok" : why);
  };
  test::RecordingProgress progress;
  EXPECT_EQ(fnSaveChangeSQLs(db, changes, dir.path().string(), progress, report).failed, 1u);
  EXPECT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[2].first, "ORDERS");
  EXPECT_NE(reports[2].second, "ok");
  EXPECT_EQ(test::readBytes(dir.file("Orders.sql")), changes[0].script + "\r\n");
  EXPECT_EQ(test::filesIn(dir.path()), Lines{"Orders.sql"});

  // Run: Orders does not exist on the server, so its ALTER fails; the new table after it is still made.
  test::TdsTestServer server;
  ASSERT_TRUE(db.fnOpenDB(server.address(), "master", "sa", "secret")) << db.getFailReason();
  changes = compareRevisions(dbOf({orders()}), dbOf({wider, makeTable("Items", {{"No", "int", "", false}})}), nullptr, {});
  reports.clear();
  EXPECT_EQ(fnRunChanges(db, changes, progress, report).done, 1u);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].first, "Orders");
  EXPECT_NE(reports[0].second.find("Cannot find the object \"Orders\""), std::string::npos) << reports[0].second;
  const auto batches = server.batches();
  EXPECT_EQ(Lines(batches.end() - 2, batches.end()), (Lines{changes[0].script, changes[1].script}));
  EXPECT_TRUE(server.tables().contains("Items"));

  // A table name, a default and a reference cell that are no tokens never reach the server.
  const std::size_t sent = server.batches().size();
  for (const auto& unsafe :
       {compareRevisions(dbOf({makeTable("x;DROP TABLE y--", {{"A", "int", "", false}})}), dbOf({}), nullptr, kDrop),
        compareRevisions(dbOf({orders()}), dbOf({ordersWith({{1, 'D', "0); DROP TABLE x; --"}})}), nullptr, {}),
        compareRevisions(dbOf({orders()}), dbOf({ordersWith({{1, 'R', "x;DROP TABLE y.z"}})}), nullptr, {})}) {
    ASSERT_NE(unsafe.back().script, "");
    reports.clear();
    fnRunChanges(db, unsafe, progress, report);
    EXPECT_NE(reports.back().second.find("サーバでは実行しません"), std::string::npos) << reports.back().second;
  }
  db.fnCloseDB();
  EXPECT_EQ(server.batches().size(), sent);
}

}  // namespace
}  // namespace morvane
