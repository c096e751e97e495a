// Change scripts between two revisions of a design document.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "sqlserver/ChangeScript.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TdsTestServer.h"
#include "tests/support/TempDir.h"

// Options name only the fields that matter; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace morvane {
namespace {

using test::dbOf;
using test::FieldRow;
using test::makeTable;
using Lines = std::vector<std::string>;
using Rows = std::vector<FieldRow>;
using Cells = std::vector<std::tuple<int, char, std::string>>;

const ChangeOptions kDrop{.allowDrop = true}, kLossy{.allowDataLoss = true};
const ChangeOptions kDropLossy{.allowDrop = true, .allowDataLoss = true};

// Orders (OrderNo int key, Customer varchar(20), Note varchar(100) NULL), its rows edited, then cells set as
// {row, cell, text}: D default, U unique, I index, L logical name, R reference; row -1: the table's logical name.
clsTableInfo orders(const std::function<void(Rows&)>& edit = {}, const Cells& cells = {},
                    const std::vector<std::string>& keys = {"OrderNo"}) {
  Rows rows = {{"OrderNo", "int"}, {"Customer", "varchar", "20"}, {"Note", "varchar", "100", true}};
  if (edit) edit(rows);
  std::string logical;
  for (const auto& [at, cell, text] : cells) {
    FieldRow& row = rows[std::max(at, 0)];
    (at < 0 ? logical : cell == 'D' ? row.defaultValue : cell == 'U' ? row.unique : cell == 'I' ? row.index
                        : cell == 'L' ? row.logicalName : row.reference) = text;
  }
  clsTableInfo table = makeTable("Orders", rows, keys);
  table.setLogicalName(logical);
  return table;
}

TableChange changeOf(const clsTableInfo& before, const clsTableInfo& after, const ChangeOptions& options = {}) {
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

const std::string kAlter = "ALTER TABLE dbo.Orders ", kDropKey = kAlter + "DROP CONSTRAINT PK_Orders \r\n";
const std::string kKey =
    kAlter + "ADD CONSTRAINT \r\n\tPK_Orders PRIMARY KEY CLUSTERED \r\n\t( \r\n\tOrderNo\r\n\t) ON [PRIMARY] \r\n";

TEST(ChangeScript, EachColumnKeyAndAttributeChangeGivesItsStatementsInOrder) {
  const FieldRow shipped{"Shipped", "date", "", true};
  const std::string dropIndex = "DROP INDEX IX_Orders_Note ON dbo.Orders \r\n";
  auto property = [](const char* verb, const char* value, const char* column = "") {
    return test::description(verb, "Orders", value, column);
  };
  auto memo = [](auto& r) { r[2].type = "memo"; };
  const struct {
    const char* what;
    clsTableInfo before, after;
    ChangeOptions options;
    Lines lines;                               // empty: no script
    std::string summary = {};                  // empty: not checked
    Lines warnings = {};
  } cases[] = {
      // Dropped, widened, added; with a default NOT NULL fits a table with rows.
      {"several", orders(),
       orders([&](auto& r) { r = {r[0], {"Customer", "varchar", "30"}, shipped, {"Qty", "int", "", false, "0"}}; }),
       kDrop,
       {"IF EXISTS (SELECT 1 FROM dbo.Orders WHERE Note IS NOT NULL) THROW 50000, N'テーブル「Orders」の列「Note」: "
        "値のある行があり、列を削除できません。このテーブルの変更は行いません', 1;\r\n",
        kAlter + "DROP COLUMN Note \r\n", kAlter + "ALTER COLUMN Customer varchar(30)  NOT NULL \r\n",
        kAlter + "ADD Shipped datetime  NULL \r\n",
        kAlter + "ADD Qty int  NOT NULL CONSTRAINT DF_Orders_Qty DEFAULT (0) \r\n"},
       "テーブル「Orders」: 変更 (列の追加 2、変更 1、削除 1); データ消失の確認: 列 Note (削除)"},
      // Type words compare as the generator resolves them; a field's row is not part of its column.
      {"spelled and moved", orders(),
       orders([](auto& r) { r = {{"Note", "VARCHAR ", "100", true}, {"OrderNo", "Int"}, r[1]}; }), {}, {},
       "テーブル「Orders」: 変更なし"},
      {"a gone column, kept", orders(), orders([](auto& r) { r.erase(r.begin() + 1); }), {}, {}, "",
       Lines{"テーブル「Orders」: 列「Customer」はなくなりましたが、削除しません"}},
      // The server fills an identity column in a table with rows: no warning for it.
      {"not null without default", orders(),
       orders([](auto& r) { r.insert(r.end(), {{"Total", "money"}, {"ID", "identity", "1,1"}}); }), {},
       {kAlter + "ADD Total money  NOT NULL \r\n", kAlter + "ADD ID int  NOT NULL  IDENTITY (1,1) \r\n"}, "",
       Lines{"テーブル「Orders」: 列「Total」は NOT NULL で追加します。行のあるテーブルでは失敗します"}},
      // A dropped column's description and default go before it.
      {"dropped with attributes",
       orders([](auto& r) { r.push_back({"Qty", "int", "", false, "0", "", "", "", "", "数"}); }), orders(), kDropLossy,
       {property("drop", "", "Qty"), kAlter + "DROP CONSTRAINT DF_Orders_Qty \r\n", kAlter + "DROP COLUMN Qty \r\n"}},
      // The server refuses to alter a column inside a key.
      {"key column altered", orders(), orders([](auto& r) { r[0] = {"OrderNo", "decimal", "12,0"}, r.pop_back(); }),
       kDropLossy,
       {kDropKey, kAlter + "DROP COLUMN Note \r\n", kAlter + "ALTER COLUMN OrderNo decimal(12,0)  NOT NULL \r\n", kKey},
       "テーブル「Orders」: 変更 (列の追加 0、変更 1、削除 1、主キー変更あり)"},
      {"key added", orders({}, {}, {}), orders(), {}, {kKey}},
      {"key dropped", orders(), orders({}, {}, {}), {}, {kDropKey}},
      // Refused: an undefined word, undefined words only, two names the server holds as one (data lost).
      {"undefined", orders(), orders(memo), kDrop, {},
       "テーブル「Orders」: 変更できません: 列「Note」は型が未定義のため、変更できません"},
      {"undefined in both", orders(memo), orders(memo), {}, {}, "テーブル「Orders」: 変更なし"},
      {"undefined only", orders(), orders([](auto& r) { r = {{"OrderNo", "memo"}}; }, {}, {}), kDrop, {},
       "テーブル「Orders」: 変更できません: 作成できる列がありません"},
      {"same server name", orders(), orders([](auto& r) { r[2].name = "ＮＯＴＥ"; }), kDrop, {},
       "テーブル「Orders」: 変更できません: 列「Note」と「ＮＯＴＥ」はサーバでは同じ名前のため、削除と追加はできません"},
      // Attributes; a default changed is dropped and added; an altered column's index goes and comes back.
      {"defaults said two ways", orders({}, {{0, 'D', "((0))"}, {1, 'D', "(N'な')"}}),
       orders({}, {{0, 'D', "0.0"}, {1, 'D', "n'な'"}}), {}, {}},
      {"unique widened", orders({}, {{1, 'U', "U1"}}), orders({}, {{1, 'U', "U1"}, {2, 'U', "U1"}}), {},
       {kAlter + "DROP CONSTRAINT UQ_Orders_Customer \r\n",
        kAlter + "ADD CONSTRAINT \r\n\tUQ_Orders_Customer_Note UNIQUE NONCLUSTERED \r\n\t( \r\n\tCustomer,\r\n"
                 "\tNote\r\n\t) ON [PRIMARY] \r\n"}},
      {"index labels are not names", orders({}, {{2, 'I', "A"}}), orders({}, {{2, 'I', "B"}}), {}, {}},
      {"table described", orders(), orders({}, {{-1, 'L', "受注"}}), {}, {property("add", "受注")}},
      {"description changed", orders({}, {{2, 'L', "備考"}}), orders({}, {{2, 'L', "It's"}}), {},
       {property("update", "It''s", "Note")}},
      {"altered with index", orders({}, {{2, 'I', "A"}, {2, 'L', "備考"}}),
       orders([](auto& r) { r[2].size = "200"; }, {{2, 'I', "A"}, {2, 'L', "備考"}}), {},
       {dropIndex, kAlter + "ALTER COLUMN Note varchar(200)  NULL \r\n",
        "CREATE NONCLUSTERED INDEX IX_Orders_Note ON dbo.Orders \r\n\t( \r\n\tNote\r\n\t) ON [PRIMARY] \r\n"}},
      {"together", orders({}, {{0, 'L', "番号"}, {1, 'D', "'x'"}, {2, 'I', "A"}}),
       orders({}, {{1, 'D', "'y'"}, {2, 'L', "備考"}}), {},
       {property("drop", "", "OrderNo"), kAlter + "DROP CONSTRAINT DF_Orders_Customer \r\n", dropIndex,
        kAlter + "ADD CONSTRAINT \r\n\tDF_Orders_Customer DEFAULT ('y') FOR Customer\r\n",
        property("add", "備考", "Note")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TableChange change = changeOf(c.before, c.after, c.options);
    EXPECT_EQ(change.script, c.lines.empty() ? "" : script(c.lines));
    EXPECT_EQ(c.summary.empty() ? "" : changeSummary(change, c.options), c.summary);
    EXPECT_EQ(change.warnings, c.warnings);
  }
  // An undefined word is reported as the CREATE scripts report it, in a refused change too.
  for (const auto& after : {orders(memo), orders([](auto& r) { r = {{"OrderNo", "memo"}}; }, {}, {})}) {
    EXPECT_EQ(changeOf(orders(), after).undefinedNotations, Lines{"memo"});
  }
}

// A change that can lose values is checked row by row first; with --allow-data-loss it goes unchecked, warned.
TEST(ChangeScript, EachLossyChangeIsGuardedFirstAndNoWideningIs) {
  auto n = [](const char* type, const char* size, bool nullable = true) { return FieldRow{"N", type, size, nullable}; };
  const struct {
    FieldRow before, after;
    Lines conditions;  // one guard each, in this order
    bool warned;
  } cases[] = {
      {n("varchar", "100"), n("varchar", "50"), {"LEN(N) > 50"}, true},
      {n("varchar", "max"), n("varchar", "8000"), {"LEN(N) > 8000"}, true},
      {n("decimal", "10,2"), n("decimal", "8,2"), {"ABS(N) >= 1000000"}, true},
      {n("decimal", "10,2"), n("decimal", "10,1"), {"N <> ROUND(N, 1)"}, true},
      {n("varchar", "100"), n("int", ""),
       {"N IS NOT NULL AND CASE WHEN TRY_CONVERT(varchar(100), TRY_CONVERT(int, N)) = N THEN 0 ELSE 1 END = 1"}, true},
      {n("float", "53"), n("float", "10"), {"N IS NOT NULL AND CASE WHEN TRY_CONVERT(float, TRY_CONVERT(real,"}, true},
      {n("int", ""), n("decimal", "9,0"), {"N IS NOT NULL AND CASE"}, true},
      {n("varchar", "100"), n("varchar", "10", false), {"LEN(N) > 10", "N IS NULL"}, true},
      {n("varchar", "10"), n("varchar", "10", false), {"N IS NULL"}, false},
      // Widenings: to max, the same length, more digits on both sides, and the types that hold every value.
      {n("varchar", "100"), n("varchar", "max"), {}, false}, {n("char", "10"), n("varchar", "10"), {}, false},
      {n("decimal", "10,2"), n("decimal", "11,3"), {}, false}, {n("int", ""), n("decimal", "10,0"), {}, false},
      {n("int", ""), n("money", ""), {}, false}, {n("float", "10"), n("float", "53"), {}, false},
  };
  const std::string begin = "SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\n";
  for (const auto& [before, after, conditions, warned] : cases) {
    SCOPED_TRACE(before.type + "(" + before.size + ") -> " + after.type + "(" + after.size + ")");
    const TableChange change = changeOf(makeTable("T", {before}), makeTable("T", {after}));
    ASSERT_EQ(change.guards.size(), conditions.size());
    std::string guards = begin;
    for (std::size_t i = 0; i < conditions.size(); ++i) {
      EXPECT_HAS(change.guards[i].statement, "dbo.T WHERE " + conditions[i]);
      guards += change.guards[i].statement + "\r\n";
    }
    EXPECT_TRUE(change.script.starts_with(guards + "ALTER TABLE dbo.T ALTER COLUMN N ")) << change.script;
    EXPECT_TRUE(change.warnings.empty());
    const TableChange unguarded = changeOf(makeTable("T", {before}), makeTable("T", {after}), kLossy);
    EXPECT_TRUE(unguarded.script.starts_with(begin + "ALTER TABLE")) << unguarded.script;
    EXPECT_EQ(unguarded.warnings.size(), warned ? 1u : 0u);
  }
  // A server type the notations cannot say is checked value by value, or warned about by name.
  const auto nvarchar = makeTable("T", {n("nvarchar", "100")}), varchar = makeTable("T", {n("varchar", "100")});
  EXPECT_HAS(changeOf(nvarchar, varchar, {.oldIsLive = true}).script,
             "IF EXISTS (SELECT 1 FROM dbo.T WHERE N IS NOT NULL AND CASE WHEN TRY_CONVERT(nvarchar(100), "
             "TRY_CONVERT(varchar(100), N)) = N");
  const std::string lossy = " NULL に変えると、値が失われるか変更が失敗することがあります";
  EXPECT_EQ(changeOf(nvarchar, varchar, {.oldIsLive = true, .allowDataLoss = true}).warnings,
            Lines{"テーブル「T」: 列「N」をデータベースの nvarchar(100) NULL から varchar(100)" + lossy});
  EXPECT_EQ(changeOf(varchar, makeTable("T", {n("varchar", "50")}), kLossy).warnings,
            Lines{"テーブル「T」: 列「N」を varchar(100) NULL から varchar(50)" + lossy});
}

TEST(ChangeScript, TablesNewGoneAndSharingANameAndTheForeignKeysLast) {
  const auto created = compareRevisions(dbOf({}), dbOf({test::customerTable()}), nullptr, {}).at(0);
  EXPECT_EQ(created.script + "\r\n", test::kCustomerScript);
  EXPECT_EQ(created.undefinedNotations, Lines{"text"});

  // A gone table is kept with a warning (the change command's test), or dropped when allowed and empty.
  const clsDBInfo before = dbOf({orders(), makeTable("Audit", {{"At", "date"}})});
  const std::string refusal = ": 行があり、テーブルを削除できません。このテーブルの変更は行いません', 1;\r\n";
  EXPECT_EQ(compareRevisions(before, dbOf({orders()}), nullptr, kDrop).at(1).script,
            script({"IF EXISTS (SELECT 1 FROM dbo.Audit) THROW 50000, N'テーブル「Audit」" + refusal,
                    "DROP TABLE dbo.Audit \r\n"}));
  // A name that is no token is bracketed in the statement and quoted in the message.
  EXPECT_HAS(compareRevisions(dbOf({makeTable("It's]", {{"At", "date"}})}), dbOf({}), nullptr, kDrop).at(0).script,
             "IF EXISTS (SELECT 1 FROM dbo.[It's]]]) THROW 50000, N'テーブル「It''s]」" + refusal);

  // Names the server holds as one: a create and a drop would lose the data.
  for (const auto& change : compareRevisions(dbOf({makeTable("Étude", {{"A", "int"}})}),
                                             dbOf({makeTable("étude", {{"A", "int"}})}), nullptr, kDrop)) {
    EXPECT_TRUE(change.kind == TableChange::Kind::refused && change.script.empty()) << change.name;
  }

  // The run's last script (the server-drift tests pin the run's order): a foreign key that went, one new.
  auto last = [](const std::string& before, const std::string& after) {
    auto revision = [](const std::string& reference) {
      return dbOf({makeTable("Customer", {{"Code", "char", "5"}}, {"Code"}),
                   makeTable("Orders", {{"No", "int"}, {"Code", "char", "5", false, "", reference}}, {"No"})});
    };
    return compareRevisions(revision(before), revision(after), nullptr, {}).at(2);
  };
  const auto added = last("", "Customer(Code)");
  EXPECT_EQ(added.script, script({kAlter + "ADD CONSTRAINT \r\n\tFK_Orders_Code FOREIGN KEY (Code) REFERENCES "
                                           "dbo.Customer (Code) \r\n"}));
  EXPECT_EQ(changeSummary(added, {}), "外部キー: 削除 0、追加 1");
  EXPECT_EQ(last("Customer.Code", "").script, script({kAlter + "DROP CONSTRAINT FK_Orders_Code \r\n"}));
}

TEST(ChangeScript, RenamesComeFirstAndTheRestOfTheChangeFollowsUnderTheNewName) {
  // Note becomes Remark and narrower; Orders becomes Sales and gains a column.
  const ChangeOptions options{.renames = {{"Orders", "Note", "Remark"}, {"Orders", "", "Sales"}}};
  clsTableInfo sales = orders([](auto& r) {
    r[2] = {"Remark", "varchar", "50", true};
    r.push_back({"Shipped", "date", "", true});
  });
  sales.setName("Sales");
  const auto renamed = changeOf(orders(), sales, options);
  EXPECT_EQ(renamed.script,
            script({"IF EXISTS (SELECT 1 FROM dbo.Orders WHERE LEN(Note) > 50) THROW 50000, N'テーブル「Orders」の列"
                    "「Note」: 長さ 50 を超える値があり、varchar(50) にできません。このテーブルの変更は行いません', 1;\r\n",
                    "EXEC sp_rename N'dbo.Orders.Note', N'Remark', N'COLUMN';\r\n",
                    "EXEC sp_rename N'dbo.Orders', N'Sales';\r\n", "IF OBJECT_ID(N'dbo.PK_Orders') IS NOT NULL "
                    "EXEC sp_rename N'dbo.PK_Orders', N'PK_Sales', N'OBJECT';\r\n",
                    "ALTER TABLE dbo.Sales ALTER COLUMN Remark varchar(50)  NULL \r\n",
                    "ALTER TABLE dbo.Sales ADD Shipped datetime  NULL \r\n"}));
  EXPECT_EQ(changeSummary(renamed, options),
            "テーブル「Sales」: 変更 (列の追加 1、変更 1、削除 0); テーブル名の変更 Orders → Sales; "
            "列名の変更 Note → Remark; データ消失の確認: 列 Note (長さ)");

  // Without the rename the pair is only suggested: the same kind and size, or the same logical name.
  const auto remark = [](const std::string& size, const std::string& logical) {
    return orders([&](auto& r) { r[2] = {"Remark", "varchar", size, true, "", "", "", "", "", logical}; });
  };
  EXPECT_EQ(changeSummary(changeOf(orders(), remark("100", "")), {}),
            "テーブル「Orders」: 変更 (列の追加 1、変更 0、削除 0); 列 Note が消え、列 Remark が増えました; 削除しない列 1");
  EXPECT_TRUE(changeOf(orders(), remark("99", "")).renamed.empty());
  EXPECT_EQ(changeOf(orders({}, {{2, 'L', "備考"}}), remark("99", "備考")).renamed.size(), 1u);

  // What a rename must name, and how it is written.
  const std::pair<std::string, std::string> problems[] = {
      {"Orders.Note=Remark", ""},
      {"Orders.Nope=Remark", "古い版のテーブル「Orders」に列「Nope」がありません"},
      {"Nope=Sales", "古い版にテーブル「Nope」がありません"},
      {"Orders.Note=Customer", "古い版のテーブル「Orders」に列「Customer」がもうあります"},
      {"Orders.Note=Other", "新しい版のテーブル「Orders」に列「Other」がありません"},
      {"Orders=Missing", "新しい版にテーブル「Missing」がありません"},
  };
  for (const auto& [text, problem] : problems) {
    const auto rename = parseRename(text);
    ASSERT_TRUE(rename) << text;
    EXPECT_EQ(renameText(*rename), text);
    const auto found = renameProblems(dbOf({orders()}), dbOf({remark("99", "")}), {*rename});
    EXPECT_EQ(found, problem.empty() ? Lines{} : Lines{"--rename " + text + ": " + problem});
  }
  for (const std::string bad : {"Orders", "=Sales", "Orders.=X", "Orders.Note=", "Orders="}) {
    EXPECT_FALSE(parseRename(bad)) << bad;
  }
}

// An identity change is refused, or rebuilds the table in one transaction when allowed.
TEST(ChangeScript, AnIdentityChangeRebuildsTheTableWhenAllowed) {
  const FieldRow name{"Name", "varchar", "10", true}, named{"Name", "varchar", "10", true, "'x'"};
  const struct {
    Rows before, after;
    std::vector<Rename> renames;
  } cases[] = {
      // Gained (key on it), lost (a column renamed too), reseeded (a default made again under its name).
      {{{"ID", "int", "", true}, name}, {{"ID", "identity", "1,1"}, name}, {}},
      {{{"ID", "identity", "1,1"}, name}, {{"ID", "int"}, {"Title", "varchar", "10", true}}, {{"T1", "Name", "Title"}}},
      {{{"ID", "identity", "1,1"}, named}, {{"ID", "identity", "100,5"}, named}, {}},
  };
  std::vector<TableChange> changes;
  for (const auto& [before, after, renames] : cases) {
    const std::string table = changes.empty() ? "T" : "T" + std::to_string(changes.size());
    const ChangeOptions options{.renames = renames, .allowRebuild = true};
    const auto old = makeTable(table, before, {"ID"}), now = makeTable(table, after, {"ID"});
    EXPECT_HAS(changeOf(old, now, {.renames = renames}).reason,
               "ALTER COLUMN ではできません (--allow-rebuild でテーブルを作り直せます)");
    changes.push_back(changeOf(old, now, options));
    EXPECT_TRUE(changes.back().rebuilt);
    EXPECT_HAS(changeSummary(changes.back(), options), "変更 (テーブルの作り直し、列の追加 0、変更 1");
  }
  EXPECT_EQ(changes[0].script,
            script({"IF EXISTS (SELECT 1 FROM dbo.T WHERE ID IS NULL) THROW 50000, N'テーブル「T」の列「ID」: NULL の行があり、"
                    "NOT NULL にできません。このテーブルの変更は行いません', 1;\r\n",
                    "CREATE TABLE dbo.tmp_morvane_T \r\n\t(\r\n\tID int  NOT NULL  IDENTITY (1,1) ,\r\n",
                    "\tName varchar(10)  NULL \r\n\t) ON [PRIMARY] \r\n",
                    "ALTER TABLE dbo.tmp_morvane_T ADD CONSTRAINT \r\n",
                    "\tPK_tmp_morvane_T PRIMARY KEY CLUSTERED \r\n\t( \r\n\tID\r\n\t) ON [PRIMARY] \r\n",
                    "SET IDENTITY_INSERT dbo.tmp_morvane_T ON;\r\n", "INSERT INTO dbo.tmp_morvane_T (ID, Name)\r\n",
                    "\tSELECT ID, Name FROM dbo.T WITH (TABLOCKX, HOLDLOCK);\r\n",
                    "SET IDENTITY_INSERT dbo.tmp_morvane_T OFF;\r\n",
                    "DECLARE @last int;\r\nSELECT @last = MAX(ID) FROM dbo.tmp_morvane_T;\r\n", "DROP TABLE dbo.T;\r\n",
                    "EXEC sp_rename N'dbo.tmp_morvane_T', N'T';\r\n",
                    "EXEC sp_rename N'dbo.PK_tmp_morvane_T', N'PK_T', N'OBJECT';\r\n",
                    "IF @last IS NOT NULL DBCC CHECKIDENT (N'dbo.T', RESEED, @last);\r\n"}));
  // No identity left: nothing to insert into it or reseed.
  EXPECT_HAS(changes[1].script, "INSERT INTO dbo.tmp_morvane_T1 (ID, Title)\r\n\tSELECT ID, Name FROM dbo.T1 ");
  EXPECT_EQ(changes[1].script.find("IDENTITY_INSERT"), changes[1].script.find("RESEED"));  // neither there
  EXPECT_HAS(changes[2].script, "\tID int  NOT NULL  IDENTITY (100,5) ,");
  const auto madeAgain = changes[2].script.find("\tDF_T2_Name DEFAULT ('x') FOR Name");
  ASSERT_NE(madeAgain, std::string::npos) << changes[2].script;
  EXPECT_GT(madeAgain, changes[2].script.find("EXEC sp_rename N'dbo.tmp_morvane_T2'"));
  EXPECT_EQ(changes[2].script.find("DF_tmp_morvane"), std::string::npos);
}

// How a run reaches the server is the change command's test; here what no run may do.
TEST(ChangeScript, SavedAndRunScripts) {
  // Saved: no script overwrites another's (the file-name clash's text is the script file test's).
  test::TempDir dir;
  const auto changes = compareRevisions(dbOf({}), dbOf({orders(), makeTable("ORDERS", {{"X", "int"}})}), nullptr, {});
  clsSQLServerDB db;
  std::string last;  // the last table's report
  auto report = [&](const TableChange&, bool ok, const std::string& why) { last = ok ? "ok" : why; };
  test::RecordingProgress progress;
  EXPECT_EQ(fnSaveChangeSQLs(db, changes, dir.path().string(), progress, report).failed, 1u);
  EXPECT_EQ(test::readBytes(dir.file("Orders.sql")), changes[0].script + "\r\n");
  EXPECT_EQ(test::filesIn(dir.path()), Lines{"Orders.sql"});

  // Run: a table name, a default and a reference cell that are no tokens never reach the server.
  test::TdsTestServer server;
  ASSERT_TRUE(db.fnOpenDB(server.address(), "master", "sa", "secret")) << db.getFailReason();
  const std::size_t sent = server.batches().size();
  for (const auto& [old, now] : {std::pair{makeTable("x;DROP TABLE y--", {{"A", "int"}}), makeTable("", {})},
                                  {orders(), orders({}, {{1, 'D', "0); DROP TABLE x; --"}})},
                                  {orders(), orders({}, {{1, 'R', "x;DROP TABLE y.z"}})}}) {
    const auto unsafe = compareRevisions(dbOf({old}), now.getName().empty() ? dbOf({}) : dbOf({now}), nullptr, kDrop);
    ASSERT_NE(unsafe.back().script, "");
    fnRunChanges(db, unsafe, progress, report);
    EXPECT_HAS(last, "サーバでは実行しません");
  }
  db.fnCloseDB();
  EXPECT_EQ(server.batches().size(), sent);
}

}  // namespace
}  // namespace morvane
