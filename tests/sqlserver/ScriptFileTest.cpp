// Scripts for new tables: column texts, statements, which cell texts may reach a server, and their files.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/text/Cp932.h"
#include "sqlserver/DeployScript.h"
#include "sqlserver/ScriptTokens.h"
#include "sqlserver/TypeNotationFile.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

using platform::Charset;
using platform::LineEnd;
using platform::OutputEncoding;
using test::FieldRow;
using test::makeTable;
using Names = std::vector<std::string>;

TEST(ScriptGenerator, ColumnTextOfEveryKindAsTheNotationsResolveIt) {
  // The generator holds the notations by reference: each step changes them for the ones after it.
  using Set = void (*)(clsSQLServerFieldAttr&);
  const std::string undefined = "<undefined>", failed = "<failed>";
  const std::string fullInt = "\xEF\xBC\xA9\xEF\xBC\xAE\xEF\xBC\xB4";  // ＩＮＴ
  const struct {
    Set set;
    std::string type, size;
    bool nullable;
    std::string column;  // after the field's name
  } steps[] = {
      // The other kinds' texts are the statement tests'; sizes a kind does not take are left out.
      {nullptr, "int", "99", false, "int  NOT NULL "}, {nullptr, "date", "8", true, "datetime  NULL "},
      {nullptr, "float", "53", true, "float(53)  NULL "}, {nullptr, "decimal", "18,4,1", true, "decimal(18,4,1)  NULL "},
      // Sizes split at the first comma, untrimmed; Identity and Decimal fail without one.
      {nullptr, "identity", "1, 1", true, "int  NULL  IDENTITY (1, 1) "},
      {nullptr, "identity", "1", false, failed}, {nullptr, "decimal", "", false, failed},
      // The field side is trimmed (blanks, ideographic spaces) and folded, not a tab.
      {nullptr, "  Int ", "", false, "int  NOT NULL "}, {nullptr, fullInt, "", false, undefined},
      {nullptr, "\xE3\x80\x80int\xE3\x80\x80", "", false, "int  NOT NULL "},
      {[](auto& t) { t.setInt("\xEF\xBD\x89\xEF\xBD\x8E\xEF\xBD\x94"); }, fullInt, "", false, "int  NOT NULL "},
      // The table side is folded but not trimmed.
      {[](auto& t) { t.setInt("int "); }, "int ", "", false, undefined},
      {[](auto& t) { t.setInt("Integer"); }, "INTEGER", "", false, "int  NOT NULL "},
      // Equal notations go to the earlier kind; empty ones match blank type cells.
      {[](auto& t) { t = clsSQLServerFieldAttr(); t.setIdentity("INT"); }, "int", "1", false, "int  NOT NULL "},
      {[](auto& t) { t.setReal("Money"); t.setFloat("money"); t.setDecimal("money"); }, "money", "1", false,
       "money  NOT NULL "},
      {[](auto& t) { t.setVarChar("char"); }, "char", "1", false, "char(1)  NOT NULL "},
      {nullptr, "", "", true, undefined}, {[](auto& t) { t.setReal(""); }, "", "", true, "real  NULL "},
      {nullptr, "\xE3\x80\x80", "", true, "real  NULL "},
  };
  auto types = std::make_shared<clsSQLServerFieldAttr>();
  clsSQLServerDB generator;
  generator.sbSetFieldAttr(types);
  for (const auto& step : steps) {
    if (step.set) step.set(*types);
    // The column line of a one-field table, without its TAB, the name and the line break.
    const auto script = generator.makeCreateSQL(makeTable("T", {{"a", step.type, step.size, step.nullable}}, {"k"}));
    std::string column = generator.getUndefinedNotations().empty() ? failed : undefined;
    if (script) {
      const auto begin = script->find("\t(\r\n\ta ") + 7;
      column = script->substr(begin, script->find("\r\n", begin) - begin);
    }
    EXPECT_EQ(column, step.column) << step.type << "(" << step.size << ")";
    EXPECT_TRUE(column != failed || generator.getFailReason().find("カンマがありません") != std::string::npos);
  }
}

// Every statement of a table, texts escaped; a field left out takes its default, description, keys and index.
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
  EXPECT_EQ(generator.makeCreateSQL(makeTable(" T 1", {{"b", "char", "1", true}, {"a", "int"}}, {"a", "b", "zz"})),
            "BEGIN TRANSACTION \r\nCREATE TABLE dbo. T 1 \r\n\t(\r\n\tb char(1)  NULL ,\r\n\ta int  NOT NULL \r\n"
            "\t) ON [PRIMARY] \r\nALTER TABLE dbo. T 1 ADD CONSTRAINT \r\n\tPK_ T 1 PRIMARY KEY CLUSTERED \r\n"
            "\t( \r\n\ta,\r\n\tb,\r\n\tzz\r\n\t) ON [PRIMARY] \r\nCOMMIT ");
  const std::string add = "ALTER TABLE dbo.顧客 ADD CONSTRAINT \r\n\t";
  auto describe = [](const char* text, const char* col = "") { return test::description("add", "顧客", text, col); };
  EXPECT_EQ(generator.makeCreateSQL(table),
            "BEGIN TRANSACTION \r\nCREATE TABLE dbo.顧客 \r\n\t(\r\n\tID int  NOT NULL ,\r\n\tコード char(10)  NOT NULL ,"
            "\r\n\t支店 char(3)  NOT NULL ,\r\n\t名前 varchar(40)  NULL ,\r\n\t登録日 datetime  NOT NULL \r\n"
            "\t) ON [PRIMARY] \r\n" +
                add + "PK_顧客 PRIMARY KEY CLUSTERED \r\n\t( \r\n\tID\r\n\t) ON [PRIMARY] \r\n" + add +
                "DF_顧客_コード DEFAULT ('000') FOR コード\r\n" + add + "DF_顧客_支店 DEFAULT (N'な''し') FOR 支店\r\n" + add +
                "DF_顧客_登録日 DEFAULT (getdate()) FOR 登録日\r\n" + add +
                "UQ_顧客_コード_支店 UNIQUE NONCLUSTERED \r\n\t( \r\n\tコード,\r\n\t支店\r\n\t) ON [PRIMARY] \r\n"
                "CREATE NONCLUSTERED INDEX IX_顧客_コード_名前 ON dbo.顧客 \r\n\t( \r\n\tコード,\r\n\t名前\r\n\t) ON [PRIMARY] \r\n"
                "CREATE NONCLUSTERED INDEX IX_顧客_登録日 ON dbo.顧客 \r\n\t( \r\n\t登録日\r\n\t) ON [PRIMARY] \r\n" +
                describe("顧客''s ]マスタ") + describe("顧客ID", "ID") + describe("コード", "コード") +
                describe("O''Neil ]の名前", "名前") + describe("登録日", "登録日") + "COMMIT ");
}

TEST(ScriptTokens, EveryInsertedTextThatCouldEndOrCommentOutTheStatementIsRefused) {
  const clsSQLServerFieldAttr types;
  // Every form of size, default and reference; texts the script leaves out (int's size, undefined) are not checked.
  const auto forms = makeTable("Forms", {{"A", "varchar", "max"}, {"B", "char", " MAX "}, {"C", "decimal", "10, 2"},
      {"D", "identity", "1,1"}, {"E", "float", ""}, {"社員_番号#", "varchar", "50"}, {"I", "int", "なし; --"},
      {"F", "int", "", false, " ((-1.5e3)) ", "R.k"}, {"G", "char", "2", false, "N'x'';--'", " R ( k ) "},
      {"H", "date", "", false, "getdate ( )", "x"}, {"b;--", "未定義", "x')", false, "1;--", "a b.c"}});
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

TEST(ScriptFile, ByteForByteInCodePage932WhatCannotBeWrittenTouchesNoFileAndNoneReplacesAnother) {
  test::TempDir dir;
  const std::string out = (dir.path() / "out").string();
  clsSQLServerDB generator;
  // In code page 932 (顧客), with no temporary file left.
  ASSERT_TRUE(generator.fnSaveCreateSQL(makeTable("Customer", {{"顧客", "money", "", true}}), dir.path().string()));
  EXPECT_EQ(test::readBytes(dir.file("Customer.sql")),
            "BEGIN TRANSACTION \r\nCREATE TABLE dbo.Customer \r\n\t(\r\n\t\x8C\xDA\x8B\x71 money  NULL \r\n"
            "\t) ON [PRIMARY] \r\nCOMMIT \r\n");
  EXPECT_EQ(test::filesIn(dir.path()), Names{"Customer.sql"});

  std::filesystem::create_directory(out);
  test::writeBytes(out + "/T.sql", "previous");
  std::filesystem::create_directory(out + "/D.sql");  // a folder where the file should be
  const std::string emoji = "\xF0\x9F\x98\x80";
  const std::pair<clsTableInfo, std::string> cases[] = {
      {makeTable("T", {{"a", "int", "", false}, {"b", "identity", "1", false}}, {"a"}), "カンマがありません"},
      {makeTable("E", {}), "作成できる列がありません"},
      {makeTable("T" + emoji, {{"a", "int", "", false}}, {"a"}), "U+1F600"},
      {makeTable("D", {{"a", "int", "", false}}), "D.sql"},
  };
  for (const auto& [table, reason] : cases) {
    EXPECT_FALSE(generator.fnSaveCreateSQL(table, out)) << reason;
    EXPECT_HAS(generator.getFailReason(), reason);
  }
  // Names that leave the folder, and a folder that is not there.
  for (const std::string name : {"", ".", "..", "../T", "..\\T", "a/b", "/tmp/x"}) {
    EXPECT_FALSE(generator.fnSaveCreateSQL(makeTable(name, {{"a", "int", "", false}}, {"a"}), out)) << name;
  }
  EXPECT_FALSE(generator.fnSaveCreateSQL(test::customerTable(), dir.file("missing")));
  EXPECT_HAS(generator.getFailReason(), "missing");
  EXPECT_EQ(test::readBytes(out + "/T.sql"), "previous");
  EXPECT_EQ(test::filesIn(out), (Names{"D.sql", "T.sql"}));
  EXPECT_EQ(test::filesIn(dir.path()), (Names{"Customer.sql", "out"}));

  // A run over tables writes the first of two names that differ only in case and fails the later.
  test::TempDir run;
  clsDBInfo db;
  for (const auto& [name, column] : {std::pair{"T1", "first"}, {"T2", "other"}, {"t1", "second"}, {"T1", "third"}}) {
    db.setTable(std::make_shared<clsTableInfo>(makeTable(name, {{column, "int", "", false}}, {column})));
  }
  test::RecordingProgress progress;
  Names reports;
  auto report = [&](const clsTableInfo& t, bool ok) {
    reports.push_back(t.getName() + ": " + (ok ? "ok" : generator.getFailReason()));
  };
  EXPECT_EQ(generator.fnSaveCreateSQLs(db, run.path().string(), progress, report).failed, 2u);
  EXPECT_EQ(test::filesIn(run.path()), (Names{"T1.sql", "T2.sql"}));
  EXPECT_HAS(test::readBytes(run.file("T1.sql")), "first");
  const std::string clash = "」は先のテーブル「T1」と同じファイル名になるため、書きません (大文字小文字は区別されません)";
  EXPECT_EQ(reports, (Names{"T1: ok", "T2: ok", "t1: テーブル名「t1" + clash, "T1: テーブル名「T1" + clash}));
  // Another run starts with no name taken.
  test::TempDir again;
  EXPECT_EQ(generator.fnSaveCreateSQLs(db, again.path().string(), progress, report).done, 2u);

  // With a reference selected, a table would be the foreign keys' file: refused, its key left out.
  test::TempDir keys;
  reports.clear();
  generator.fnSaveCreateSQLs(test::dbOf({makeTable("_Foreign_Keys", {{"a", "int", "", false, "", "T1.first"}}, {"a"})}),
                             keys.path().string(), progress, report);
  EXPECT_EQ(reports, (Names{"_Foreign_Keys: テーブル名「_Foreign_Keys」は外部キーのスクリプト "
                                               "_foreign_keys.sql と同じファイル名になるため、書きません"}));
  EXPECT_EQ(generator.getForeignKeyFailures(),
            (Names{"外部キー「FK__Foreign_Keys_a」を作りません: テーブル「_Foreign_Keys」を作成できませんでした"}));
  EXPECT_TRUE(test::filesIn(keys.path()).empty());
}

// Code page 932 and LF ends are the write commands' test; here the heading, and a byte order mark at the start.
TEST(DeployScript, TheHeadingThenEachTablesScriptAndGo) {
  const OutputEncoding encoding{Charset::Utf8Bom, LineEnd::CrLf};
  DeployScript deploy({"設計.xlsx", "2026-01-02 03:04:05 +0900", "9.9"}, encoding);
  deploy.add(clsSQLServerDB().fnEncodeCreateSQL(test::customerTable(), encoding).value());
  EXPECT_EQ(deploy.bytes(), "\xEF\xBB\xBF-- Morvane For SQLServer テーブル作成スクリプト (sqlcmd -i で実行します)\r\n"
                            "-- ブック: 設計.xlsx\r\n-- ブックの更新日時: 2026-01-02 03:04:05 +0900\r\n"
                            "-- 作成: morvane-batch 9.9\r\nSET XACT_ABORT ON\r\nGO\r\n\r\n" +
                                test::kCustomerScript + "GO\r\n");
  // A file name may hold a line break, and characters code page 932 has not: neither ends the comment.
  const DeployHeading hostile{"a\nDROP TABLE dbo.x\r\xF0\x9F\x98\x80\xE9\xB7\x97.xlsx", "t", "1"};
  EXPECT_HAS(platform::fromCp932(DeployScript(hostile, {}).bytes()), "-- ブック: a DROP TABLE dbo.x ??.xlsx\r\n");
  EXPECT_HAS(DeployScript(hostile, {Charset::Utf8, LineEnd::CrLf}).bytes(),
             ": a DROP TABLE dbo.x \xF0\x9F\x98\x80\xE9\xB7\x97.xlsx\r\n");
}

std::string allOf(const clsSQLServerFieldAttr& t) {
  return t.getChar() + "|" + t.getVarChar() + "|" + t.getIdentity() + "|" + t.getInt() + "|" + t.getDate() + "|" +
         t.getReal() + "|" + t.getFloat() + "|" + t.getDecimal() + "|" + t.getMoney();
}

// Saved and read back, blanks kept and a word up to the longest taken; a longer word is refused, nothing changed.
// The file's bytes are the read command's test (an example file saved again as it was).
TEST(TypeNotationFile, ReadsBackWhatItWroteAndRefusesAWordPastTheLongest) {
  test::TempDir dir;
  clsSQLServerFieldAttr saved, types;
  saved.setChar(" 文字, 固定 ");
  saved.setReal(std::string(kMaxTypeWordBytes, 'r'));
  ASSERT_TRUE(fnSaveDataType(saved, dir.file("t.sfa")));
  clsXML reader;
  ASSERT_TRUE(reader.fnReadFile(dir.file("t.sfa")));
  sbReadDataType(reader, types);
  EXPECT_EQ(allOf(types), allOf(saved));
  const std::string longer(kMaxTypeWordBytes + 1, 'm');
  test::writeBytes(dir.file("long.sfa"), "<char>x</char>\r\n<money>" + longer + "</money>\r\n");
  ASSERT_TRUE(reader.fnReadFile(dir.file("long.sfa")));
  EXPECT_THROW(sbReadDataType(reader, types), TypeNotationError);
  EXPECT_EQ(allOf(types), allOf(saved));
}

}  // namespace
}  // namespace morvane
