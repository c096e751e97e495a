// Scripts for new tables: the column texts as the notations resolve them, the statements, which cell
// texts may go to a server, and the files they are written to (one per table, the deployment script,
// the notation file).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/text/Cp932.h"
#include "sqlserver/DeployScript.h"
#include "sqlserver/ScriptTokens.h"
#include "sqlserver/TypeNotationFile.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

using platform::Charset;
using platform::LineEnd;
using platform::OutputEncoding;
using test::FieldRow;
using test::makeTable;

TEST(ScriptGenerator, ColumnTextOfEveryKindAsTheNotationsResolveIt) {
  // The generator holds the notations by reference: each step changes them for the ones after it.
  using Set = void (*)(clsSQLServerFieldAttr&);
  const std::string undefined = "<undefined>", failed = "<failed>";
  const std::string fullInt = "\xEF\xBC\xA9\xEF\xBC\xAE\xEF\xBC\xB4";  // ＩＮＴ
  const struct {
    Set set;
    FieldRow row;
    std::string column;
  } steps[] = {
      {nullptr, {"a", "char", "10", false}, "a char(10)  NOT NULL "}, {nullptr, {"a", "int", "99", false}, "a int  NOT NULL "},
      {nullptr, {"a", "identity", "100,5", false}, "a int  NOT NULL  IDENTITY (100,5) "},
      {nullptr, {"a", "date", "8", true}, "a datetime  NULL "}, {nullptr, {"a", "float", "53", true}, "a float(53)  NULL "},
      {nullptr, {"a", "decimal", "18,4,1", true}, "a decimal(18,4,1)  NULL "},
      // Sizes split at the first comma, untrimmed; Identity and Decimal fail without one.
      {nullptr, {"a", "identity", "1, 1", true}, "a int  NULL  IDENTITY (1, 1) "},
      {nullptr, {"a", "identity", "1", false}, failed}, {nullptr, {"a", "decimal", "", false}, failed},
      // The field side is trimmed (blanks, ideographic spaces) and folded, not a tab.
      {nullptr, {"a", "  Int ", "", false}, "a int  NOT NULL "}, {nullptr, {"a", "\xE3\x80\x80int\xE3\x80\x80", "", false}, "a int  NOT NULL "},
      {nullptr, {"a", fullInt, "", false}, undefined},
      {[](auto& t) { t.setInt("\xEF\xBD\x89\xEF\xBD\x8E\xEF\xBD\x94"); }, {"a", fullInt, "", false}, "a int  NOT NULL "},
      // The table side is folded but not trimmed.
      {[](auto& t) { t.setInt("int "); }, {"a", "int ", "", false}, undefined},
      {[](auto& t) { t.setInt("Integer"); }, {"a", "INTEGER", "", false}, "a int  NOT NULL "},
      // Equal notations go to the earlier kind; empty ones match blank type cells.
      {[](auto& t) { t = clsSQLServerFieldAttr(); t.setIdentity("INT"); }, {"a", "int", "1", false}, "a int  NOT NULL "},
      {[](auto& t) { t.setReal("Money"); t.setFloat("money"); t.setDecimal("money"); }, {"a", "money", "1", false},
       "a money  NOT NULL "},
      {[](auto& t) { t.setVarChar("char"); }, {"a", "char", "1", false}, "a char(1)  NOT NULL "},
      {nullptr, {"a", "", "", true}, undefined}, {[](auto& t) { t.setReal(""); }, {"a", "", "", true}, "a real  NULL "},
      {nullptr, {"a", "\xE3\x80\x80", "", true}, "a real  NULL "},
  };
  auto types = std::make_shared<clsSQLServerFieldAttr>();
  clsSQLServerDB generator;
  generator.sbSetFieldAttr(types);
  for (const auto& step : steps) {
    if (step.set) step.set(*types);
    // The column line of a one-field table, without its TAB and line break.
    const auto script = generator.makeCreateSQL(makeTable("T", {step.row}, {"k"}));
    std::string column = generator.getUndefinedNotations().empty() ? failed : undefined;
    if (script) {
      const auto begin = script->find("\t(\r\n\t") + 5;
      column = script->substr(begin, script->find("\r\n", begin) - begin);
    }
    EXPECT_EQ(column, step.column) << step.row.type << "(" << step.row.size << ")";
    EXPECT_TRUE(column != failed || generator.getFailReason().find("カンマがありません") != std::string::npos);
  }
}

// Every statement a table can get, in order, with quotes and brackets of the texts escaped. A field left out for
// its type word takes its default, description, unique key and index along: they would fail the whole table.
TEST(ScriptGenerator, EveryStatementOfATableWithItsTextsEscaped) {
  clsSQLServerDB generator;
  clsTableInfo table = makeTable("顧客",
                                 {{"ID", "int", "", false, "", "", "", "", "", "顧客ID"},
                                  {"コード", "char", "10", false, "'000'", "", "U1", "IX1", "", "コード"},
                                  {"支店", "char", "3", false, " ( N'な''し' ) ", "", "U1"},
                                  {"名前", "varchar", "40", true, "NULL", "", "", "IX1", "", "O'Neil ]の名前"},
                                  {"登録日", "date", "", false, "(getdate())", "", "U9", "IX2", "", "登録日"},
                                  {"メモ", "blob", "", true, "'x'", "", "U9", "IX3", "", "説明"}},
                                 {"ID"});
  table.setLogicalName("顧客's ]マスタ");
  // Keys are listed as held, even when no field carries the name; fields are never reordered.
  EXPECT_EQ(generator.makeCreateSQL(makeTable(" T 1", {{"b", "char", "1", true}, {"a", "int", "", false}}, {"a", "b", "zz"})),
            "BEGIN TRANSACTION \r\nCREATE TABLE dbo. T 1 \r\n\t(\r\n\tb char(1)  NULL ,\r\n\ta int  NOT NULL \r\n"
            "\t) ON [PRIMARY] \r\nALTER TABLE dbo. T 1 ADD CONSTRAINT \r\n\tPK_ T 1 PRIMARY KEY CLUSTERED \r\n"
            "\t( \r\n\ta,\r\n\tb,\r\n\tzz\r\n\t) ON [PRIMARY] \r\nCOMMIT ");
  const std::string add = "ALTER TABLE dbo.顧客 ADD CONSTRAINT \r\n\t";
  const std::string describe = "EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'";
  const std::string on = "', @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = N'顧客'";
  const std::string column = on + ", @level2type = N'COLUMN', @level2name = N'";
  EXPECT_EQ(generator.makeCreateSQL(table),
            "BEGIN TRANSACTION \r\nCREATE TABLE dbo.顧客 \r\n\t(\r\n\tID int  NOT NULL ,\r\n\tコード char(10)  NOT NULL ,\r\n"
            "\t支店 char(3)  NOT NULL ,\r\n\t名前 varchar(40)  NULL ,\r\n\t登録日 datetime  NOT NULL \r\n\t) ON [PRIMARY] \r\n" +
                add + "PK_顧客 PRIMARY KEY CLUSTERED \r\n\t( \r\n\tID\r\n\t) ON [PRIMARY] \r\n" + add +
                "DF_顧客_コード DEFAULT ('000') FOR コード\r\n" + add + "DF_顧客_支店 DEFAULT (N'な''し') FOR 支店\r\n" + add +
                "DF_顧客_登録日 DEFAULT (getdate()) FOR 登録日\r\n" + add +
                "UQ_顧客_コード_支店 UNIQUE NONCLUSTERED \r\n\t( \r\n\tコード,\r\n\t支店\r\n\t) ON [PRIMARY] \r\n"
                "CREATE NONCLUSTERED INDEX IX_顧客_コード_名前 ON dbo.顧客 \r\n\t( \r\n\tコード,\r\n\t名前\r\n\t) ON [PRIMARY] \r\n"
                "CREATE NONCLUSTERED INDEX IX_顧客_登録日 ON dbo.顧客 \r\n\t( \r\n\t登録日\r\n\t) ON [PRIMARY] \r\n" +
                describe + "顧客''s ]マスタ" + on + "\r\n" + describe + "顧客ID" + column + "ID'\r\n" + describe + "コード" +
                column + "コード'\r\n" + describe + "O''Neil ]の名前" + column + "名前'\r\n" + describe + "登録日" + column +
                "登録日'\r\nCOMMIT ");
}

TEST(ScriptTokens, EveryInsertedTextThatCouldEndOrCommentOutTheStatementIsRefused) {
  const clsSQLServerFieldAttr types;
  const clsDBInfo example = test::exampleModel();
  for (const auto& t : example.getTables()) EXPECT_EQ(unsafeScriptToken(*t, types), std::nullopt) << t->getName();
  // Sizes, defaults and references in every form they may take; texts the script leaves out (an
  // int's size, a field of an undefined notation) are not checked.
  const auto forms = makeTable("Forms", {{"A", "varchar", "max"}, {"B", "char", " MAX "}, {"C", "decimal", "10, 2"},
      {"D", "identity", "1,1"}, {"E", "float", ""}, {"社員_番号#", "varchar", "50"}, {"F", "int", "", false, " ((-1.5e3)) ", "R.k"},
      {"G", "char", "2", false, "N'x'';--'", " R ( k ) "}, {"H", "date", "", false, "getdate ( )", "x"}, {"I", "int", "なし; --"},
      {"b;--", "未定義", "x')", false, "1;--", "a b.c"}});
  EXPECT_EQ(unsafeScriptToken(forms, types), std::nullopt);
  const std::pair<clsTableInfo, std::string> cases[] = {
      {makeTable("x;DROP TABLE y--", {{"A", "int"}}), "テーブル名「x;DROP TABLE y--」に「--」が含まれている"},
      {makeTable("t'", {{"A", "int"}}), "テーブル名「t'」に「'」が含まれている"},
      {makeTable("[t]", {{"A", "int"}}), "「[」"},
      {makeTable("t(a int)DROP", {{"A", "int"}}), "「(」"},
      {makeTable("t/*", {{"A", "int"}}), "「/*」"},
      {makeTable("t x", {{"A", "int"}}), "テーブル名「t x」に空白が含まれている"},
      {makeTable("t\x1B[31m", {{"A", "int"}}), "テーブル名「t\\x1B[31m」に制御文字が含まれている"},
      {makeTable("T", {{"a,b", "int"}}), "フィールド名「a,b」に「,」が含まれている"},
      {makeTable("T", {{"A", "varchar", "10); DROP TABLE w;--"}}),
       "フィールド「A」のサイズ「10); DROP TABLE w;--」は数字、カンマ、空白か max でない"},
      {makeTable("T", {{"A", "float", "maxi"}}), "サイズ「maxi」"},
      {makeTable("T", {{"A", "int"}}, {"A;B"}), "主キー「A;B」に「;」"},
      {makeTable("T", {{"A", "int", "", false, "0); DROP TABLE x; --"}}),
       "フィールド「A」の既定値「0); DROP TABLE x; --」は数値、文字列、NULL、決まった関数のどれでもない"},
      {makeTable("T", {{"A", "int", "", false, "", "R.k;--"}}), "参照先のフィールド名「k;--」に「--」"},
      {makeTable("T", {{"A", "int", "", false, "", "R x(k)"}}), "参照先のテーブル名「R x」に空白"},
  };
  for (const auto& [table, expected] : cases) {
    const auto reason = unsafeScriptToken(table, types);
    ASSERT_TRUE(reason) << expected;
    EXPECT_NE(reason->find(expected), std::string::npos) << *reason;
    EXPECT_NE(reason->find("サーバでは実行しません"), std::string::npos) << *reason;
  }
}

TEST(ScriptFile, ByteForByteInCodePage932AndWhatCannotBeBuiltOrWrittenThereTouchesNoFile) {
  test::TempDir dir;
  const std::string out = (dir.path() / "out").string();
  clsSQLServerDB generator;
  ASSERT_TRUE(generator.fnSaveCreateSQL(test::customerTable(), dir.path().string()));
  EXPECT_EQ(test::readBytes(dir.file("Customer.sql")), test::kCustomerScript);
  // Written again, in code page 932 (顧客), with no temporary file left.
  ASSERT_TRUE(generator.fnSaveCreateSQL(makeTable("Customer", {{"顧客", "money", "", true}}), dir.path().string()));
  EXPECT_EQ(test::readBytes(dir.file("Customer.sql")),
            "BEGIN TRANSACTION \r\nCREATE TABLE dbo.Customer \r\n\t(\r\n\t\x8C\xDA\x8B\x71 money  NULL \r\n\t) ON [PRIMARY] \r\nCOMMIT \r\n");
  EXPECT_EQ(test::filesIn(dir.path()), std::vector<std::string>{"Customer.sql"});

  std::filesystem::create_directory(out);
  test::writeBytes(out + "/T.sql", "previous");
  std::filesystem::create_directory(out + "/D.sql");  // a folder where the file should be
  const std::string emoji = "\xF0\x9F\x98\x80";
  const std::pair<clsTableInfo, std::string> cases[] = {
      {makeTable("T", {{"a", "int", "", false}, {"b", "identity", "1", false}}, {"a"}), "カンマがありません"},
      {makeTable("E", {}), "作成できる列がありません"},
      {makeTable("V", {{"a", "blob", "", false}}, {"a"}), "作成できる列がありません"},
      {makeTable("T" + emoji, {{"a", "int", "", false}}, {"a"}), "U+1F600"},
      {makeTable("D", {{"a", "int", "", false}}), "D.sql"},
  };
  for (const auto& [table, reason] : cases) {
    EXPECT_FALSE(generator.fnSaveCreateSQL(table, out)) << reason;
    EXPECT_NE(generator.getFailReason().find(reason), std::string::npos) << generator.getFailReason();
  }
  // Names that leave the folder, and a folder that is not there.
  for (const std::string name : {"", ".", "..", "../T", "..\\T", "a/b", "/tmp/x"}) {
    EXPECT_FALSE(generator.fnSaveCreateSQL(makeTable(name, {{"a", "int", "", false}}, {"a"}), out)) << name;
  }
  EXPECT_FALSE(generator.fnSaveCreateSQL(test::customerTable(), dir.file("missing")));
  EXPECT_NE(generator.getFailReason().find("missing"), std::string::npos);
  EXPECT_EQ(test::readBytes(out + "/T.sql"), "previous");
  EXPECT_EQ(test::filesIn(out), (std::vector<std::string>{"D.sql", "T.sql"}));
  EXPECT_EQ(test::filesIn(dir.path()), (std::vector<std::string>{"Customer.sql", "out"}));
}

// A run over tables writes the first of two names that differ only in case and fails the later.
TEST(ScriptFile, ARunNeverReplacesAnEarlierTablesScript) {
  test::TempDir dir;
  clsDBInfo db;
  for (const auto& [name, column] : {std::pair{"T1", "first"}, {"T2", "other"}, {"t1", "second"}, {"T1", "third"}}) {
    db.setTable(std::make_shared<clsTableInfo>(makeTable(name, {{column, "int", "", false}}, {column})));
  }
  clsSQLServerDB generator;
  test::RecordingProgress progress;
  std::vector<std::string> reports;
  auto report = [&](const clsTableInfo& table, bool saved) {
    reports.push_back(table.getName() + ": " + (saved ? "ok" : generator.getFailReason()));
  };
  EXPECT_EQ(generator.fnSaveCreateSQLs(db, dir.path().string(), progress, report).failed, 2u);
  EXPECT_EQ(test::filesIn(dir.path()), (std::vector<std::string>{"T1.sql", "T2.sql"}));
  EXPECT_NE(test::readBytes(dir.file("T1.sql")).find("first"), std::string::npos);
  const std::string clash = "」は先のテーブル「T1」と同じファイル名になるため、書きません (大文字小文字は区別されません)";
  EXPECT_EQ(reports, (std::vector<std::string>{"T1: ok", "T2: ok", "t1: テーブル名「t1" + clash, "T1: テーブル名「T1" + clash}));
  // Another run starts with no name taken.
  test::TempDir again;
  EXPECT_EQ(generator.fnSaveCreateSQLs(db, again.path().string(), progress, report).done, 2u);

  // With a reference selected, a table would be the foreign keys' file: refused, its key left out.
  test::TempDir keys;
  reports.clear();
  generator.fnSaveCreateSQLs(test::dbOf({makeTable("_Foreign_Keys", {{"a", "int", "", false, "", "T1.first"}}, {"a"})}),
                             keys.path().string(), progress, report);
  EXPECT_EQ(reports, (std::vector<std::string>{"_Foreign_Keys: テーブル名「_Foreign_Keys」は外部キーのスクリプト "
                                               "_foreign_keys.sql と同じファイル名になるため、書きません"}));
  EXPECT_EQ(generator.getForeignKeyFailures(),
            (std::vector<std::string>{"外部キー「FK__Foreign_Keys_a」を作りません: テーブル「_Foreign_Keys」を作成できませんでした"}));
  EXPECT_TRUE(test::filesIn(keys.path()).empty());
}

// How code page 932 and LF ends are assembled is the write commands' test; here the heading, and a
// byte order mark at the start only.
TEST(DeployScript, TheHeadingThenEachTablesScriptAndGo) {
  const OutputEncoding encoding{Charset::Utf8Bom, LineEnd::CrLf};
  DeployScript deploy({"設計.xlsx", "2026-01-02 03:04:05 +0900", "9.9"}, encoding);
  deploy.add(clsSQLServerDB().fnEncodeCreateSQL(test::customerTable(), encoding).value());
  EXPECT_EQ(deploy.bytes(), "\xEF\xBB\xBF-- Morvane For SQLServer テーブル作成スクリプト (sqlcmd -i で実行します)\r\n-- ブック: 設計.xlsx\r\n"
                            "-- ブックの更新日時: 2026-01-02 03:04:05 +0900\r\n-- 作成: morvane-batch 9.9\r\nSET XACT_ABORT ON\r\nGO\r\n\r\n" +
                                test::kCustomerScript + "GO\r\n");
  // A file name may hold a line break, and characters code page 932 has not: neither ends the comment.
  const DeployHeading hostile{"a\nDROP TABLE dbo.x\r\xF0\x9F\x98\x80\xE9\xB7\x97.xlsx", "t", "1"};
  EXPECT_NE(platform::fromCp932(DeployScript(hostile, {}).bytes()).find("-- \xE3\x83\x96\xE3\x83\x83\xE3\x82\xAF: a DROP TABLE dbo.x ??.xlsx\r\n"),
            std::string::npos);
  EXPECT_NE(DeployScript(hostile, {Charset::Utf8, LineEnd::CrLf}).bytes().find(": a DROP TABLE dbo.x \xF0\x9F\x98\x80\xE9\xB7\x97.xlsx\r\n"),
            std::string::npos);
}

std::string allOf(const clsSQLServerFieldAttr& t) {
  return t.getChar() + "|" + t.getVarChar() + "|" + t.getIdentity() + "|" + t.getInt() + "|" + t.getDate() + "|" +
         t.getReal() + "|" + t.getFloat() + "|" + t.getDecimal() + "|" + t.getMoney();
}

TEST(TypeNotationFile, WritesNineLinesInFileOrderAndReadsEachBackToItsOwnSetter) {
  test::TempDir dir;
  ASSERT_TRUE(fnSaveDataType(clsSQLServerFieldAttr(), dir.file("d.sfa")));
  EXPECT_EQ(test::readBytes(dir.file("d.sfa")),
            "<char>char</char>\r\n<varchar>varchar</varchar>\r\n<date>date</date>\r\n<identity>identity</identity>\r\n"
            "<int>int</int>\r\n<float>float</float>\r\n<real>real</real>\r\n<decimal>decimal</decimal>\r\n<money>money</money>\r\n");

  auto read = [&](const std::string& file, clsSQLServerFieldAttr& types) {
    clsXML reader;
    EXPECT_TRUE(reader.fnReadFile(dir.file(file)));
    sbReadDataType(reader, types);
    return allOf(types);
  };
  // Saved and read back, blanks kept and a word up to the longest taken.
  clsSQLServerFieldAttr saved, types;
  saved.setChar(" 文字, 固定 ");
  saved.setReal(std::string(kMaxTypeWordBytes, 'r'));
  ASSERT_TRUE(fnSaveDataType(saved, dir.file("t.sfa")));
  EXPECT_EQ(read("t.sfa", types), allOf(saved));
  // In any order; a key the file lacks (decimal) is read as empty text.
  test::writeBytes(dir.file("p.sfa"), "<money>m</money>\r\n<char>c</char>\r\n<varchar>v</varchar>\r\n<date>d</date>\r\n"
                                      "<identity>i</identity>\r\n<int>n</int>\r\n<float>f</float>\r\n<real>r</real>\r\n");
  EXPECT_EQ(read("p.sfa", types), "c|v|i|n|d|r|f||m");
  // A longer word is refused, and the notations stay as they were.
  test::writeBytes(dir.file("long.sfa"), "<char>x</char>\r\n<money>" + std::string(kMaxTypeWordBytes + 1, 'm') + "</money>\r\n");
  EXPECT_THROW(read("long.sfa", types), TypeNotationError);
  EXPECT_EQ(allOf(types), "c|v|i|n|d|r|f||m");
}

}  // namespace
}  // namespace morvane
