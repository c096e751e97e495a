// Change scripts between two revisions of a design document.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <tuple>

#include "sqlserver/ChangeScript.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TempDir.h"
#include "tests/support/TdsTestServer.h"

namespace morvane {
namespace {

using test::FieldRow;
using test::makeTable;
using test::dbOf;

const std::vector<FieldRow> kOrderRows = {
    {"OrderNo", "int", "", false}, {"Customer", "varchar", "20", false}, {"Note", "varchar", "100", true}};

clsTableInfo orders(std::vector<FieldRow> rows = kOrderRows, std::vector<std::string> keys = {"OrderNo"}) {
  return makeTable("Orders", rows, keys);
}

TableChange changeOf(const clsTableInfo& before, const clsTableInfo& after, ChangeOptions options = {}) {
  auto changes = compareRevisions(dbOf({before}), dbOf({after}), nullptr, options);
  EXPECT_EQ(changes.size(), 1u);
  return changes.empty() ? TableChange{} : changes.front();
}

// Every change script aborts as a whole on the first failure.
std::string script(std::initializer_list<std::string> lines) {
  std::string text = "SET XACT_ABORT ON \r\n";
  for (const auto& line : lines) text += line;
  return text;
}

TEST(ChangeScript, EachKindOfColumnChangeAloneGivesItsOwnStatement) {
  auto rows = kOrderRows;
  rows.push_back({"Shipped", "date", "", true});
  TableChange added = changeOf(orders(), orders(rows));
  EXPECT_EQ(added.kind, TableChange::Kind::changed);
  EXPECT_EQ(added.script, script({"BEGIN TRANSACTION \r\n", "ALTER TABLE dbo.Orders ADD Shipped datetime  NULL \r\n",
                                  "COMMIT "}));
  EXPECT_TRUE(added.warnings.empty());

  rows = kOrderRows;
  rows[2].size = "200";
  EXPECT_EQ(changeOf(orders(), orders(rows)).script,
            script({"BEGIN TRANSACTION \r\n", "ALTER TABLE dbo.Orders ALTER COLUMN Note varchar(200)  NULL \r\n",
                    "COMMIT "}));
  rows = kOrderRows;
  rows[1].nullable = true;
  EXPECT_EQ(changeOf(orders(), orders(rows)).altered, std::vector<std::string>{"Customer"});

  rows = kOrderRows;
  rows.pop_back();
  ChangeOptions allowDrop;
  allowDrop.allowDrop = true;
  const TableChange dropped = changeOf(orders(), orders(rows), allowDrop);
  EXPECT_EQ(dropped.script,
            script({"BEGIN TRANSACTION \r\n",
                    "IF EXISTS (SELECT 1 FROM dbo.Orders WHERE Note IS NOT NULL) THROW 50000, N'テーブル「Orders」の列「Note」: "
                    "値のある行があり、列を削除できません。このテーブルの変更は行いません', 1;\r\n",
                    "ALTER TABLE dbo.Orders DROP COLUMN Note \r\n", "COMMIT "}));
  EXPECT_TRUE(dropped.warnings.empty());
  EXPECT_EQ(changeSummary(dropped, allowDrop),
            "テーブル「Orders」: 変更 (列の追加 0、変更 0、削除 1); データ消失の確認: 列 Note (削除)");
}

TEST(ChangeScript, WhatSpellsTheSameColumnOrOnlyMovesItIsNoChange) {
  // Type words compare as the generator resolves them; a field's row is not part of its column.
  auto rows = std::vector<FieldRow>{{"Note", "VARCHAR ", "100", true},
                                    {"OrderNo", "Int", "", false},
                                    {"Customer", "varchar", "20", false}};
  const TableChange change = changeOf(orders(), orders(rows));
  EXPECT_EQ(change.kind, TableChange::Kind::unchanged);
  EXPECT_EQ(change.script, "");
  EXPECT_EQ(changeSummary(change, {}), "テーブル「Orders」: 変更なし");

  // A field under a new name is a drop and an add, said as a likely rename.
  rows = kOrderRows;
  rows[2].name = "Remark";
  ChangeOptions allowDrop;
  allowDrop.allowDrop = true;
  const TableChange renamed = changeOf(orders(), orders(rows), allowDrop);
  EXPECT_EQ(renamed.added, std::vector<std::string>{"Remark"});
  EXPECT_EQ(renamed.dropped, std::vector<std::string>{"Note"});
  EXPECT_EQ(changeSummary(renamed, allowDrop),
            "テーブル「Orders」: 変更 (列の追加 1、変更 0、削除 1); データ消失の確認: 列 Note (削除); 列 Note が消え、列 Remark が増えました");
}

TEST(ChangeScript, SeveralChangesAndAKeyChangeComeInTheirOrder) {
  // A composite key becomes a key on an altered column; one field goes, one is widened, one is new.
  const clsTableInfo before = makeTable("OrderLine",
                                        {{"OrderNo", "int", "", false},
                                         {"LineNo", "int", "", false},
                                         {"Item", "char", "8", false},
                                         {"Memo", "varchar", "10", true}},
                                        {"OrderNo", "LineNo"});
  const clsTableInfo after = makeTable("OrderLine",
                                       {{"OrderNo", "int", "", false},
                                        {"Item", "char", "12", false},
                                        {"Memo", "varchar", "50", true},
                                        {"Qty", "decimal", "9,2", true}},
                                       {"OrderNo", "Item"});
  ChangeOptions allowDrop;
  allowDrop.allowDrop = true;
  allowDrop.allowDataLoss = true;
  const TableChange change = changeOf(before, after, allowDrop);
  EXPECT_TRUE(change.keyChanged);
  EXPECT_EQ(change.script, script({"BEGIN TRANSACTION \r\n",
                                   "ALTER TABLE dbo.OrderLine DROP CONSTRAINT PK_OrderLine \r\n",
                                   "ALTER TABLE dbo.OrderLine DROP COLUMN LineNo \r\n",
                                   "ALTER TABLE dbo.OrderLine ALTER COLUMN Item char(12)  NOT NULL \r\n",
                                   "ALTER TABLE dbo.OrderLine ALTER COLUMN Memo varchar(50)  NULL \r\n",
                                   "ALTER TABLE dbo.OrderLine ADD Qty decimal(9,2)  NULL \r\n",
                                   "ALTER TABLE dbo.OrderLine ADD CONSTRAINT \r\n",
                                   "\tPK_OrderLine PRIMARY KEY CLUSTERED \r\n", "\t( \r\n", "\tOrderNo,\r\n",
                                   "\tItem\r\n", "\t) ON [PRIMARY] \r\n", "COMMIT "}));
  EXPECT_EQ(changeSummary(change, allowDrop),
            "テーブル「OrderLine」: 変更 (列の追加 1、変更 2、削除 1、主キー変更あり)");
}

// Orders with cells set, each {field, cell, text} (cells D default, U unique, I index, L logical
// name, R reference; field -1 the table's logical name).
clsTableInfo ordersWith(std::vector<std::tuple<int, char, std::string>> cells, std::vector<FieldRow> rows = kOrderRows) {
  clsTableInfo table;
  table.setName("Orders");
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    clsFieldInfo field = makeTable("T", {rows[i]}).getFields()[0];
    for (const auto& [at, cell, text] : cells) {
      if (at != i) continue;
      const auto set = cell == 'D' ? &clsFieldInfo::setDefault : cell == 'U' ? &clsFieldInfo::setUnique
                       : cell == 'I' ? &clsFieldInfo::setIndex : cell == 'L' ? &clsFieldInfo::setLogicalName
                                                                             : &clsFieldInfo::setReference;
      (field.*set)(text);
    }
    table.setField(field);
  }
  for (const auto& [at, cell, text] : cells) {
    if (at < 0) table.setLogicalName(text);
  }
  table.sbAddPKey("OrderNo");
  return table;
}

TEST(ChangeScript, EachAttributeChangedAloneAndTogetherGivesItsStatements) {
  using Cells = std::vector<std::tuple<int, char, std::string>>;
  const std::string addDefault = "ALTER TABLE dbo.Orders ADD CONSTRAINT \r\n\tDF_Orders_Customer DEFAULT ('y') FOR Customer\r\n";
  const std::string dropDefault = "ALTER TABLE dbo.Orders DROP CONSTRAINT DF_Orders_Customer \r\n";
  const std::string index = "CREATE NONCLUSTERED INDEX IX_Orders_Note ON dbo.Orders \r\n\t( \r\n\tNote\r\n\t) ON [PRIMARY] \r\n";
  const std::string property = " @name = N'MS_Description', ";
  const std::string on = "@level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = N'Orders'";
  const std::string onNote = on + ", @level2type = N'COLUMN', @level2name = N'Note'\r\n";
  auto wider = kOrderRows;
  wider[2].size = "200";
  const struct {
    Cells before, after;
    std::vector<std::string> lines;  // between BEGIN TRANSACTION and COMMIT; none: unchanged
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
      {{{2, 'I', "A"}}, {}, {"DROP INDEX IX_Orders_Note ON dbo.Orders \r\n"}},
      {{}, {{-1, 'L', "受注"}}, {"EXEC sys.sp_addextendedproperty" + property + "@value = N'受注', " + on + "\r\n"}},
      {{{2, 'L', "備考"}}, {{2, 'L', "It's"}}, {"EXEC sys.sp_updateextendedproperty" + property + "@value = N'It''s', " + onNote}},
      {{{2, 'L', "備考"}}, {}, {"EXEC sys.sp_dropextendedproperty" + property + onNote}},
      // An altered column's index goes first and comes back; its description stays.
      {{{2, 'I', "A"}, {2, 'L', "備考"}}, {{2, 'I', "A"}, {2, 'L', "備考"}},
       {"DROP INDEX IX_Orders_Note ON dbo.Orders \r\n", "ALTER TABLE dbo.Orders ALTER COLUMN Note varchar(200)  NULL \r\n", index},
       wider},
      {{{1, 'D', "'x'"}, {2, 'I', "A"}}, {{1, 'D', "'y'"}, {2, 'L', "備考"}},  // together
       {dropDefault, "DROP INDEX IX_Orders_Note ON dbo.Orders \r\n", addDefault,
        "EXEC sys.sp_addextendedproperty" + property + "@value = N'備考', " + onNote}},
  };
  for (const auto& c : cases) {
    const TableChange change = changeOf(ordersWith(c.before), ordersWith(c.after, c.rows));
    std::string expected;
    for (const auto& line : c.lines) expected += line;
    EXPECT_EQ(change.script, c.lines.empty() ? "" : script({"BEGIN TRANSACTION \r\n", expected, "COMMIT "})) << expected;
  }

  // A NOT NULL column added with a default carries it and fits a table with rows; a dropped
  // column's default and description go before it.
  auto added = kOrderRows;
  added.push_back({"Qty", "int", "", false});
  const TableChange withDefault = changeOf(ordersWith({}), ordersWith({{3, 'D', "0"}}, added));
  EXPECT_EQ(withDefault.script, script({"BEGIN TRANSACTION \r\n",
                                        "ALTER TABLE dbo.Orders ADD Qty int  NOT NULL CONSTRAINT DF_Orders_Qty DEFAULT (0) \r\n",
                                        "COMMIT "}));
  EXPECT_TRUE(withDefault.warnings.empty());
  ChangeOptions allowDrop;
  allowDrop.allowDrop = true;
  allowDrop.allowDataLoss = true;
  const TableChange dropped = changeOf(ordersWith({{3, 'D', "0"}, {3, 'L', "数"}}, added), ordersWith({}), allowDrop);
  EXPECT_EQ(dropped.script,
            script({"BEGIN TRANSACTION \r\n",
                    "EXEC sys.sp_dropextendedproperty" + property + on + ", @level2type = N'COLUMN', @level2name = N'Qty'\r\n",
                    "ALTER TABLE dbo.Orders DROP CONSTRAINT DF_Orders_Qty \r\n", "ALTER TABLE dbo.Orders DROP COLUMN Qty \r\n",
                    "COMMIT "}));
}

TEST(ChangeScript, AForeignKeyInTheWayIsDroppedFirstAndTheLastScriptMakesItAgain) {
  // Widening a code others refer to: both sides altered, the key dropped before the first.
  auto customer = [](const std::string& size) { return makeTable("Customer", {{"Code", "char", size, false}}, {"Code"}); };
  auto order = [](const std::string& size, const std::string& reference) {
    clsTableInfo table = makeTable("Orders", {{"No", "int", "", false}}, {"No"});
    clsFieldInfo code = makeTable("T", {{"Code", "char", size, false}}).getFields()[0];
    code.setReference(reference);
    table.setField(code);
    return table;
  };
  ChangeOptions noChecks;
  noChecks.allowDataLoss = true;
  const auto changes = compareRevisions(dbOf({customer("5"), order("5", "Customer.Code")}),
                                        dbOf({customer("8"), order("8", "Customer(Code)")}), nullptr, noChecks);
  ASSERT_EQ(changes.size(), 3u);
  const std::string drop = "ALTER TABLE dbo.Orders DROP CONSTRAINT FK_Orders_Code \r\n";
  EXPECT_EQ(changes[0].script, script({"BEGIN TRANSACTION \r\n", drop,
                                       "ALTER TABLE dbo.Customer DROP CONSTRAINT PK_Customer \r\n",
                                       "ALTER TABLE dbo.Customer ALTER COLUMN Code char(8)  NOT NULL \r\n"}) +
                                      clsSQLServerDB::makeKeyConstraintSQL(customer("8")) + "COMMIT ");
  EXPECT_EQ(changes[1].script.find(drop), std::string::npos);
  const std::string add = "ALTER TABLE dbo.Orders ADD CONSTRAINT \r\n\tFK_Orders_Code FOREIGN KEY (Code) REFERENCES dbo.Customer (Code) \r\n";
  EXPECT_EQ(changes[2].name, "_foreign_keys");
  EXPECT_EQ(changes[2].script, script({"BEGIN TRANSACTION \r\n", add, "COMMIT "}));
  EXPECT_EQ(changeSummary(changes[2], noChecks), "外部キー: 削除 0、追加 1");

  // A key that went is dropped by the last script; one only new is added there.
  const auto gone = compareRevisions(dbOf({customer("5"), order("5", "Customer.Code")}), dbOf({customer("5"), order("5", "")}),
                                     nullptr, noChecks);
  ASSERT_EQ(gone.size(), 3u);
  EXPECT_EQ(gone[2].script, script({"BEGIN TRANSACTION \r\n", drop, "COMMIT "}));
  const auto added = compareRevisions(dbOf({customer("5"), order("5", "")}), dbOf({customer("5"), order("5", "Customer.Code")}),
                                      nullptr, noChecks);
  ASSERT_EQ(added.size(), 3u);
  EXPECT_EQ(added[2].script, script({"BEGIN TRANSACTION \r\n", add, "COMMIT "}));
}

TEST(ChangeScript, TheKeyIsDroppedWhenItsColumnChangesAndAddedWhenNew) {
  // Same key list, but the key column is altered: the server refuses that inside a constraint.
  auto rows = kOrderRows;
  rows[0] = {"OrderNo", "decimal", "12,0", false};
  const TableChange altered = changeOf(orders(), orders(rows));
  EXPECT_TRUE(altered.keyChanged);
  EXPECT_NE(altered.script.find("DROP CONSTRAINT PK_Orders \r\nALTER TABLE dbo.Orders ALTER COLUMN OrderNo "),
            std::string::npos);
  EXPECT_NE(altered.script.find("ADD CONSTRAINT \r\n\tPK_Orders"), std::string::npos);

  // No key before: nothing to drop. No key after: nothing to add.
  const TableChange fresh = changeOf(orders(kOrderRows, {}), orders());
  EXPECT_EQ(fresh.script.find("DROP CONSTRAINT"), std::string::npos);
  EXPECT_NE(fresh.script.find("ADD CONSTRAINT"), std::string::npos);
  const TableChange keyless = changeOf(orders(), orders(kOrderRows, {}));
  EXPECT_EQ(keyless.script,
            script({"BEGIN TRANSACTION \r\n", "ALTER TABLE dbo.Orders DROP CONSTRAINT PK_Orders \r\n", "COMMIT "}));
  // A changed non-key column leaves the key alone.
  rows = kOrderRows;
  rows[2].size = "5";
  EXPECT_FALSE(changeOf(orders(), orders(rows)).keyChanged);
}

TEST(ChangeScript, GoneColumnsAndTablesAreDroppedOnlyWhenAllowed) {
  auto rows = kOrderRows;
  rows.erase(rows.begin() + 1);
  rows.push_back({"Shipped", "date", "", true});
  const TableChange kept = changeOf(orders(), orders(rows));
  EXPECT_EQ(kept.kind, TableChange::Kind::changed);
  EXPECT_EQ(kept.script, script({"BEGIN TRANSACTION \r\n", "ALTER TABLE dbo.Orders ADD Shipped datetime  NULL \r\n",
                                 "COMMIT "}));
  ASSERT_EQ(kept.warnings.size(), 1u);
  EXPECT_NE(kept.warnings[0].find("Customer"), std::string::npos);
  EXPECT_NE(kept.warnings[0].find("Orders"), std::string::npos);

  // Only a gone column, kept: nothing to run.
  rows = kOrderRows;
  rows.pop_back();
  EXPECT_EQ(changeOf(orders(), orders(rows)).kind, TableChange::Kind::unchanged);

  const clsDBInfo before = dbOf({orders(), makeTable("Audit", {{"At", "date", "", false}}, {})});
  const clsDBInfo after = dbOf({orders()});
  auto changes = compareRevisions(before, after, nullptr, {});
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[1].kind, TableChange::Kind::gone);
  EXPECT_EQ(changes[1].script, "");
  ASSERT_EQ(changes[1].warnings.size(), 1u);
  EXPECT_NE(changes[1].warnings[0].find("Audit"), std::string::npos);

  ChangeOptions allowDrop;
  allowDrop.allowDrop = true;
  changes = compareRevisions(before, after, nullptr, allowDrop);
  EXPECT_EQ(changes[1].script, script({"BEGIN TRANSACTION \r\n",
                                       "IF EXISTS (SELECT 1 FROM dbo.Audit) THROW 50000, N'テーブル「Audit」: 行があり、"
                                       "テーブルを削除できません。このテーブルの変更は行いません', 1;\r\n",
                                       "DROP TABLE dbo.Audit \r\n", "COMMIT "}));
  EXPECT_TRUE(changes[1].warnings.empty());

  // Tables picked by name leave the old revision's others alone.
  allowDrop.includeGone = false;
  EXPECT_EQ(compareRevisions(before, after, nullptr, allowDrop).size(), 1u);
}

TEST(ChangeScript, ANewTableGetsTheCreateScriptAndANotNullColumnAWarning) {
  const clsTableInfo customer = test::customerTable();
  const auto changes = compareRevisions(dbOf({}), dbOf({customer}), nullptr, {});
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].kind, TableChange::Kind::added);
  EXPECT_EQ(changes[0].script + "\r\n", test::kCustomerScript);
  EXPECT_EQ(changes[0].undefinedNotations, std::vector<std::string>{"text"});

  auto rows = kOrderRows;
  rows.push_back({"Total", "money", "", false});
  const TableChange change = changeOf(orders(), orders(rows));
  EXPECT_NE(change.script.find("ADD Total money  NOT NULL "), std::string::npos);
  ASSERT_EQ(change.warnings.size(), 1u);
  EXPECT_NE(change.warnings[0].find("NOT NULL"), std::string::npos);
}

TEST(ChangeScript, WhatCannotBeDoneInPlaceIsRefused) {
  const std::vector<FieldRow> withIdentity = {{"ID", "identity", "1,1", false}, {"Name", "varchar", "10", true}};
  const std::vector<std::vector<FieldRow>> refusedAfter = {
      {{"ID", "int", "", false}, {"Name", "varchar", "10", true}},         // identity removed
      {{"ID", "identity", "100,1", false}, {"Name", "varchar", "10", true}},  // identity altered
  };
  for (const auto& rows : refusedAfter) {
    const TableChange change = changeOf(makeTable("T", withIdentity, {}), makeTable("T", rows, {}));
    EXPECT_EQ(change.kind, TableChange::Kind::refused);
    EXPECT_EQ(change.script, "");
    EXPECT_NE(change.reason.find("IDENTITY"), std::string::npos);
    EXPECT_NE(change.reason.find("--allow-rebuild"), std::string::npos);
  }
  const TableChange gained = changeOf(makeTable("T", {{"ID", "int", "", false}}, {}),
                                      makeTable("T", {{"ID", "identity", "1,1", false}}, {}));
  EXPECT_EQ(gained.kind, TableChange::Kind::refused);
  // A new identity column is an ADD, which the server takes.
  const TableChange added = changeOf(makeTable("T", {{"Name", "varchar", "10", true}}, {}),
                                     makeTable("T", {{"Name", "varchar", "10", true}, {"ID", "identity", "1,1", false}}, {}));
  EXPECT_EQ(added.kind, TableChange::Kind::changed);
  EXPECT_NE(added.script.find("ADD ID int  NOT NULL  IDENTITY (1,1) "), std::string::npos);

  auto rows = kOrderRows;
  rows[2].type = "memo";
  const TableChange undefined = changeOf(orders(), orders(rows));
  EXPECT_EQ(undefined.kind, TableChange::Kind::refused);
  EXPECT_EQ(undefined.reason, "列「Note」は型が未定義のため、変更できません");
  EXPECT_EQ(undefined.undefinedNotations, std::vector<std::string>{"memo"});
  // A sheet emptied of fields, or left with undefined words only, is refused as a new one is.
  ChangeOptions allowDrop;
  allowDrop.allowDrop = true;
  for (const auto& left : {std::vector<FieldRow>{}, std::vector<FieldRow>{{"OrderNo", "memo", "", false}}}) {
    const TableChange emptied = changeOf(orders(), orders(left, {}), allowDrop);
    EXPECT_EQ(emptied.kind, TableChange::Kind::refused);
    EXPECT_EQ(emptied.reason, "作成できる列がありません");
    EXPECT_EQ(emptied.undefinedNotations.size(), left.size());
  }
  // Names the server holds as one: a drop and an add, or a create and a drop, would lose the data.
  rows = kOrderRows;
  rows[2].name = "ＮＯＴＥ";
  const TableChange recased = changeOf(orders(), orders(rows), allowDrop);
  EXPECT_EQ(recased.kind, TableChange::Kind::refused);
  EXPECT_EQ(recased.reason, "列「Note」と「ＮＯＴＥ」はサーバでは同じ名前のため、削除と追加はできません");
  const auto renamed = compareRevisions(dbOf({makeTable("Étude", kOrderRows, {})}),
                                        dbOf({makeTable("étude", kOrderRows, {})}), nullptr, allowDrop);
  ASSERT_EQ(renamed.size(), 2u);
  for (const auto& change : renamed) {
    EXPECT_EQ(change.kind, TableChange::Kind::refused) << change.name;
    EXPECT_EQ(change.script, "");
  }

  // Each conversion that can lose values is warned about, and still written; with the rows checked
  // first, the summary says so instead.
  const std::vector<std::tuple<FieldRow, FieldRow, bool>> conversions = {
      {{"N", "decimal", "10,4", true}, {"N", "decimal", "10,2", true}, true},
      {{"N", "decimal", "10,2", true}, {"N", "decimal", "12,2", true}, false},
      {{"N", "float", "53", true}, {"N", "real", "", true}, true},
      {{"N", "money", "", true}, {"N", "int", "", true}, true},
      {{"N", "int", "", true}, {"N", "decimal", "9,0", true}, true},
      {{"N", "int", "", true}, {"N", "money", "", true}, false},
      {{"N", "varchar", "20", true}, {"N", "varchar", "10", true}, true},
      {{"N", "varchar", "max", true}, {"N", "varchar", "8000", true}, true},
      {{"N", "char", "10", true}, {"N", "varchar", "10", true}, false},
      {{"N", "varchar", "10", true}, {"N", "int", "", true}, true},
      {{"N", "varchar", "10", true}, {"N", "varchar", "10", false}, false},
  };
  // Without --allow-data-loss the rows are checked instead.
  ChangeOptions unguarded;
  unguarded.allowDataLoss = true;
  for (const auto& [from, to, warned] : conversions) {
    const TableChange change = changeOf(makeTable("T", {from}, {}), makeTable("T", {to}, {}), unguarded);
    EXPECT_EQ(change.kind, TableChange::Kind::changed) << from.type << from.size << " " << to.type << to.size;
    EXPECT_EQ(change.warnings.size(), warned ? 1u : 0u) << from.type << from.size << " " << to.type << to.size;
  }
  // The same undefined word in both revisions is left out of both scripts alike.
  EXPECT_EQ(changeOf(orders(rows), orders(rows)).kind, TableChange::Kind::unchanged);
}

TEST(ChangeScript, EachLossyChangeIsGuardedFirstAndNoWideningIs) {
  struct Case {
    FieldRow before, after;
    std::vector<std::string> conditions;  // one guard each, in this order
  };
  const std::vector<Case> cases = {
      {{"Note", "varchar", "100", true}, {"Note", "varchar", "50", true}, {"LEN(Note) > 50"}},
      {{"Note", "varchar", "100", true}, {"Note", "char", "20", true}, {"LEN(Note) > 20"}},
      {{"Note", "decimal", "10,2", true}, {"Note", "decimal", "8,2", true}, {"ABS(Note) >= 1000000"}},
      {{"Note", "decimal", "10,2", true}, {"Note", "decimal", "10,1", true}, {"Note <> ROUND(Note, 1)"}},
      {{"Note", "varchar", "100", true},
       {"Note", "int", "", true},
       {"Note IS NOT NULL AND CASE WHEN TRY_CONVERT(varchar(100), TRY_CONVERT(int, Note)) = Note THEN 0 ELSE 1 END = 1"}},
      {{"Note", "float", "53", true}, {"Note", "float", "10", true}, {"Note IS NOT NULL AND CASE WHEN TRY_CONVERT(float, TRY_CONVERT(real, Note))"}},
      {{"Note", "varchar", "100", true}, {"Note", "varchar", "10", false}, {"LEN(Note) > 10", "Note IS NULL"}},
      {{"Note", "varchar", "100", true}, {"Note", "varchar", "max", true}, {}},
      {{"Note", "char", "10", false}, {"Note", "varchar", "10", true}, {}},
      {{"Note", "decimal", "10,2", true}, {"Note", "decimal", "12,3", true}, {}},
      {{"Note", "int", "", true}, {"Note", "decimal", "12,0", true}, {}},
      {{"Note", "float", "10", true}, {"Note", "float", "53", true}, {}},
  };
  ChangeOptions allowDataLoss;
  allowDataLoss.allowDataLoss = true;
  for (const auto& [before, after, conditions] : cases) {
    SCOPED_TRACE(before.type + "(" + before.size + ") -> " + after.type + "(" + after.size + ")");
    const TableChange change = changeOf(makeTable("T", {before}, {}), makeTable("T", {after}, {}));
    ASSERT_EQ(change.guards.size(), conditions.size());
    std::string guards = script({"BEGIN TRANSACTION \r\n"});
    for (std::size_t i = 0; i < conditions.size(); ++i) {
      EXPECT_NE(change.guards[i].statement.find("dbo.T WHERE " + conditions[i]), std::string::npos) << change.guards[i].statement;
      guards += change.guards[i].statement + "\r\n";
    }
    EXPECT_TRUE(change.script.starts_with(guards + "ALTER TABLE dbo.T ALTER COLUMN Note ")) << change.script;
    const TableChange unguarded = changeOf(makeTable("T", {before}, {}), makeTable("T", {after}, {}), allowDataLoss);
    EXPECT_TRUE(unguarded.guards.empty());
    EXPECT_EQ(unguarded.script.find("IF EXISTS"), std::string::npos);
  }  // A server type the notations cannot say is checked value by value.
  ChangeOptions live;
  live.oldIsLive = true;
  const TableChange fromServer = changeOf(makeTable("T", {{"Note", "nvarchar", "100", true}}, {}),
                                          makeTable("T", {{"Note", "varchar", "100", true}}, {}), live);
  ASSERT_EQ(fromServer.guards.size(), 1u);
  EXPECT_NE(fromServer.guards[0].statement.find("TRY_CONVERT(nvarchar(100), TRY_CONVERT(varchar(100), Note)) = Note"),
            std::string::npos);
}

TEST(ChangeScript, RenamesComeFirstAndTheRestOfTheChangeFollowsUnderTheNewName) {
  // Note becomes Remark and narrower; Orders becomes Sales and gains a column.
  auto rows = kOrderRows;
  rows[2] = {"Remark", "varchar", "50", true};
  rows.push_back({"Shipped", "date", "", true});
  ChangeOptions options;
  options.renames = {{"Orders", "Note", "Remark"}, {"Orders", "", "Sales"}};
  const auto changes = compareRevisions(dbOf({orders()}), dbOf({makeTable("Sales", rows, {"OrderNo"})}), nullptr, options);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].script,
            script({"BEGIN TRANSACTION \r\n",
                    "IF EXISTS (SELECT 1 FROM dbo.Orders WHERE LEN(Note) > 50) THROW 50000, N'テーブル「Orders」の列「Note」: "
                    "長さ 50 を超える値があり、varchar(50) にできません。このテーブルの変更は行いません', 1;\r\n",
                    "EXEC sp_rename N'dbo.Orders.Note', N'Remark', N'COLUMN';\r\n",
                    "EXEC sp_rename N'dbo.Orders', N'Sales';\r\n",
                    "IF OBJECT_ID(N'dbo.PK_Orders') IS NOT NULL EXEC sp_rename N'dbo.PK_Orders', N'PK_Sales', N'OBJECT';\r\n",
                    "ALTER TABLE dbo.Sales ALTER COLUMN Remark varchar(50)  NULL \r\n",
                    "ALTER TABLE dbo.Sales ADD Shipped datetime  NULL \r\n", "COMMIT "}));
  EXPECT_EQ(changeSummary(changes[0], options),
            "テーブル「Sales」: 変更 (列の追加 1、変更 1、削除 0); テーブル名の変更 Orders → Sales; 列名の変更 Note → Remark; "
            "データ消失の確認: 列 Note (長さ)");

  // Without the rename the pair is only suggested: the same kind and size, or the same logical name.
  rows = kOrderRows;
  rows[2].name = "Remark";
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(changeOf(orders(), orders(rows)).renamed, (Pairs{{"Note", "Remark"}}));
  rows[2].size = "99";
  EXPECT_EQ(changeOf(orders(), orders(rows)).renamed, Pairs{});
  // The same logical name pairs them whatever their kind.
  auto named = kOrderRows;
  named[2].logicalName = rows[2].logicalName = "備考";
  EXPECT_EQ(changeOf(orders(named), orders(rows)).renamed, (Pairs{{"Note", "Remark"}}));

  // What a rename must name, and how it is written.
  const std::vector<std::pair<std::string, std::string>> problems = {
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
    if (!problem.empty()) EXPECT_NE(found[0].find("--rename " + text + ": "), std::string::npos) << found[0];
    if (!problem.empty()) EXPECT_NE(found[0].find(problem), std::string::npos) << found[0];
  }
  for (const std::string bad : {"Orders", "=Sales", "Orders.=X", "Orders.Note=", "Orders="}) EXPECT_FALSE(parseRename(bad)) << bad;
}

TEST(ChangeScript, AnIdentityChangeRebuildsTheTableInOneTransactionWhenAllowed) {
  struct Case {
    std::vector<FieldRow> before, after;
    std::vector<Rename> renames;
  };
  const std::vector<Case> cases = {
      // gained, with the key on it: the full script
      {{{"ID", "int", "", true}, {"Name", "varchar", "10", true}}, {{"ID", "identity", "1,1", false}, {"Name", "varchar", "10", true}}, {}},
      // lost, and a column renamed on the way
      {{{"ID", "identity", "1,1", false}, {"Name", "varchar", "10", true}}, {{"ID", "int", "", false}, {"Title", "varchar", "10", true}},
       {{"T1", "Name", "Title"}}},
      // reseeded, with a default made again under the table's own name
      {{{"ID", "identity", "1,1", false}, {"Name", "varchar", "10", true, "'x'"}},
       {{"ID", "identity", "100,5", false}, {"Name", "varchar", "10", true, "'x'"}}, {}},
  };
  ChangeOptions options;
  options.allowRebuild = true;
  std::vector<TableChange> changes;
  for (const auto& [before, after, renames] : cases) {
    // A table of its own each, so that the server takes all three.
    const std::string name = changes.empty() ? "T" : "T" + std::to_string(changes.size());
    options.renames = renames;
    changes.push_back(changeOf(makeTable(name, before, {"ID"}), makeTable(name, after, {"ID"}), options));
    EXPECT_TRUE(changes.back().rebuilt);
    EXPECT_NE(changeSummary(changes.back(), options).find("変更 (テーブルの作り直し、列の追加 0、変更 1"), std::string::npos);
  }
  EXPECT_EQ(changes[0].script,
            script({"BEGIN TRANSACTION \r\n",
                    "IF EXISTS (SELECT 1 FROM dbo.T WHERE ID IS NULL) THROW 50000, N'テーブル「T」の列「ID」: NULL の行があり、"
                    "NOT NULL にできません。このテーブルの変更は行いません', 1;\r\n",
                    "CREATE TABLE dbo.tmp_morvane_T \r\n", "\t(\r\n", "\tID int  NOT NULL  IDENTITY (1,1) ,\r\n",
                    "\tName varchar(10)  NULL \r\n", "\t) ON [PRIMARY] \r\n",
                    "ALTER TABLE dbo.tmp_morvane_T ADD CONSTRAINT \r\n", "\tPK_tmp_morvane_T PRIMARY KEY CLUSTERED \r\n",
                    "\t( \r\n", "\tID\r\n", "\t) ON [PRIMARY] \r\n", "SET IDENTITY_INSERT dbo.tmp_morvane_T ON;\r\n",
                    "INSERT INTO dbo.tmp_morvane_T (ID, Name)\r\n",
                    "\tSELECT ID, Name FROM dbo.T WITH (TABLOCKX, HOLDLOCK);\r\n",
                    "SET IDENTITY_INSERT dbo.tmp_morvane_T OFF;\r\n", "DECLARE @last int;\r\n",
                    "SELECT @last = MAX(ID) FROM dbo.tmp_morvane_T;\r\n", "DROP TABLE dbo.T;\r\n",
                    "EXEC sp_rename N'dbo.tmp_morvane_T', N'T';\r\n",
                    "EXEC sp_rename N'dbo.PK_tmp_morvane_T', N'PK_T', N'OBJECT';\r\n",
                    "IF @last IS NOT NULL DBCC CHECKIDENT (N'dbo.T', RESEED, @last);\r\n", "COMMIT "}));
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

  // Each script goes to the server as one batch.
  test::TdsTestServer server;
  clsSQLServerDB db;
  ASSERT_TRUE(db.fnOpenDB(server.address(), "master", "sa", "secret")) << db.getFailReason();
  test::RecordingProgress progress;
  const ProgressTally tally = fnRunChanges(db, changes, progress, [](const TableChange& change, bool ok, const std::string& why) {
    EXPECT_TRUE(ok) << change.name << ": " << why;
  });
  db.fnCloseDB();
  EXPECT_EQ(tally.done, 3u);
  const auto batches = server.batches();
  ASSERT_GE(batches.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(batches.end() - 3, batches.end()),
            (std::vector<std::string>{changes[0].script, changes[1].script, changes[2].script}));
}

TEST(ChangeScript, SavedScriptsNeverOverwriteEachOtherAndUnchangedTablesWriteNothing) {
  test::TempDir dir;
  auto rows = kOrderRows;
  rows[2].size = "200";
  const clsDBInfo before = dbOf({orders(), makeTable("Items", {{"No", "int", "", false}}, {"No"})});
  const clsDBInfo after = dbOf({orders(rows), makeTable("Items", {{"No", "int", "", false}}, {"No"}),
                                    makeTable("ORDERS", {{"X", "int", "", false}}, {})});
  const auto changes = compareRevisions(before, after, nullptr, {});
  clsSQLServerDB db;
  std::vector<std::pair<std::string, bool>> reports;
  test::RecordingProgress progress;
  const ProgressTally tally = fnSaveChangeSQLs(
      db, changes, dir.path().string(), progress,
      [&](const TableChange& change, bool ok, const std::string&) { reports.emplace_back(change.name, ok); });
  EXPECT_EQ(reports, (std::vector<std::pair<std::string, bool>>{{"Orders", true}, {"Items", true}, {"ORDERS", false}}));
  EXPECT_EQ(tally.failed, 1u);
  EXPECT_EQ(test::readBytes(dir.file("Orders.sql")), changes[0].script + "\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("Items.sql")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("ORDERS.sql")));
}

TEST(ChangeScript, OnAServerEachTableIsABatchAndAFailureDoesNotStopTheOthers) {
  test::TdsTestServer server;
  auto rows = kOrderRows;
  rows[2].size = "200";
  // Orders does not exist on the server, so its ALTER fails; the new table after it is still made.
  const auto changes = compareRevisions(dbOf({orders()}), dbOf({orders(rows), makeTable("Items", {{"No", "int", "", false}}, {})}),
                                        nullptr, {});
  clsSQLServerDB db;
  ASSERT_TRUE(db.fnOpenDB(server.address(), "master", "sa", "secret")) << db.getFailReason();
  std::vector<std::pair<std::string, std::string>> failures;
  test::RecordingProgress progress;
  const ProgressTally tally = fnRunChanges(db, changes, progress, [&](const TableChange& change, bool ok, const std::string& reason) {
    if (!ok) failures.emplace_back(change.name, reason);
  });
  db.fnCloseDB();
  EXPECT_EQ(tally.done, 1u);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].first, "Orders");
  EXPECT_NE(failures[0].second.find("Orders"), std::string::npos);
  const auto batches = server.batches();
  ASSERT_GE(batches.size(), 2u);
  EXPECT_EQ(batches[batches.size() - 2], changes[0].script);
  EXPECT_TRUE(server.tables().contains("Items"));
}

TEST(ChangeScript, NamesThatAreNotTokensNeverReachTheServer) {
  test::TdsTestServer server;
  ChangeOptions allowDrop;
  allowDrop.allowDrop = true;
  // A table name, a default and a reference cell that are no tokens.
  const std::vector<TableChange> changes[] = {
      compareRevisions(dbOf({makeTable("x;DROP TABLE y--", {{"A", "int", "", false}}, {})}), dbOf({}), nullptr, allowDrop),
      compareRevisions(dbOf({orders()}), dbOf({ordersWith({{1, 'D', "0); DROP TABLE x; --"}})}), nullptr, {}),
      compareRevisions(dbOf({orders()}), dbOf({ordersWith({{1, 'R', "x;DROP TABLE y.z"}})}), nullptr, {})};
  clsSQLServerDB db;
  ASSERT_TRUE(db.fnOpenDB(server.address(), "master", "sa", "secret")) << db.getFailReason();
  const std::size_t before_batches = server.batches().size();
  for (const auto& change : changes) {
    ASSERT_NE(change.back().script, "");
    std::string reason;
    test::RecordingProgress progress;
    fnRunChanges(db, change, progress, [&](const TableChange&, bool ok, const std::string& why) {
      if (!ok) reason = why;
    });
    EXPECT_NE(reason.find("サーバでは実行しません"), std::string::npos) << reason;
  }
  db.fnCloseDB();
  EXPECT_EQ(server.batches().size(), before_batches);
}

}  // namespace
}  // namespace morvane
