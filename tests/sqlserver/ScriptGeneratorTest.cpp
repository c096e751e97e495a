// The script text: notation matching, column texts, the frame, the error state, and which cell
// texts may go into a script that runs on a server.
#include <gtest/gtest.h>

#include <memory>

#include "sqlserver/ScriptTokens.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/ExampleModel.h"

namespace morvane {
namespace {

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
      {nullptr, {"a", "char", "10", false}, "a char(10)  NOT NULL "},
      {nullptr, {"a", "varchar", "x y", true}, "a varchar(x y)  NULL "},
      {nullptr, {"a", "char", "", true}, "a char()  NULL "},
      {nullptr, {"a", "int", "99", false}, "a int  NOT NULL "},
      {nullptr, {"a", "identity", "100,5", false}, "a int  NOT NULL  IDENTITY (100,5) "},
      {nullptr, {"a", "date", "8", true}, "a datetime  NULL "},
      {nullptr, {"a", "money", "", true}, "a money  NULL "},
      {nullptr, {"a", "real", "4", true}, "a real  NULL "},
      {nullptr, {"a", "float", "53", true}, "a float(53)  NULL "},
      {nullptr, {"a", "float", "", true}, "a float()  NULL "},
      {nullptr, {"a", "decimal", "18,4,1", true}, "a decimal(18,4,1)  NULL "},
      // Sizes split at the first comma, untrimmed; Identity and Decimal fail without one.
      {nullptr, {"a", "identity", ",5", false}, "a int  NOT NULL  IDENTITY (,5) "},
      {nullptr, {"a", "identity", "1, 1", true}, "a int  NULL  IDENTITY (1, 1) "},
      {nullptr, {"a", "decimal", "10,", true}, "a decimal(10,)  NULL "},
      {nullptr, {"a", "identity", "1", false}, failed},
      {nullptr, {"a", "decimal", "", false}, failed},
      // The field side is trimmed (blanks, ideographic spaces) and folded, not a tab.
      {nullptr, {"a", "  Int ", "", false}, "a int  NOT NULL "},
      {nullptr, {"a", "\xE3\x80\x80int\xE3\x80\x80", "", false}, "a int  NOT NULL "},
      {nullptr, {"a", fullInt, "", false}, undefined},
      {nullptr, {"a", "\tchar", "1", false}, undefined},
      {[](auto& t) { t.setInt("\xEF\xBD\x89\xEF\xBD\x8E\xEF\xBD\x94"); }, {"a", fullInt, "", false}, "a int  NOT NULL "},
      {nullptr, {"a", "\xEF\xBC\xA9\xEF\xBD\x8E\xEF\xBC\xB4", "", false}, "a int  NOT NULL "},
      // The table side is folded but not trimmed.
      {[](auto& t) { t.setInt("int "); }, {"a", "int ", "", false}, undefined},
      {nullptr, {"a", "int", "", false}, undefined},
      {[](auto& t) { t.setInt("Integer"); }, {"a", "INTEGER", "", false}, "a int  NOT NULL "},
      {[](auto& t) { t.setDate("日付"); }, {"a", " 日付", "", true}, "a datetime  NULL "},
      // Equal notations go to the earlier kind; empty ones match blank type cells.
      {[](auto& t) { t = clsSQLServerFieldAttr(); t.setIdentity("INT"); }, {"a", "int", "1", false}, "a int  NOT NULL "},
      {[](auto& t) { t.setReal("Money"); t.setFloat("money"); t.setDecimal("money"); }, {"a", "money", "1", false},
       "a money  NOT NULL "},
      {[](auto& t) { t.setVarChar("char"); }, {"a", "char", "1", false}, "a char(1)  NOT NULL "},
      {[](auto& t) { t.setChar("x"); }, {"a", "char", "1", false}, "a varchar(1)  NOT NULL "},
      {nullptr, {"a", "", "", true}, undefined},
      {[](auto& t) { t.setReal(""); }, {"a", "", "", true}, "a real  NULL "},
      {nullptr, {"a", "   ", "", true}, "a real  NULL "},
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
    if (column == failed) {
      EXPECT_NE(generator.getFailReason().find("カンマがありません"), std::string::npos);
    }
  }
}

TEST(ScriptGenerator, ErrorMessageNamesTheLastUndefinedNotationAsHeld) {
  clsSQLServerDB generator;
  EXPECT_EQ(generator.getErrMsg(), "");
  ASSERT_TRUE(generator.makeCreateSQL(
      makeTable("A", {{"a", " Text ", "", true}, {"b", "int", "", false}, {"c", "ＢＬＯＢ", "", true}}, {"b"})));
  EXPECT_EQ(generator.getErrMsg(), "ＢＬＯＢは未定義です");
  EXPECT_EQ(generator.getUndefinedNotations(), (std::vector<std::string>{" Text ", "ＢＬＯＢ"}));
  // Later well-defined tables keep the message; the per-script list starts afresh.
  ASSERT_TRUE(generator.makeCreateSQL(makeTable("B", {{"b", "int", "", false}}, {"b"})));
  EXPECT_EQ(generator.getErrMsg(), "ＢＬＯＢは未定義です");
  EXPECT_TRUE(generator.getUndefinedNotations().empty());
  // A failing size stops the script: fields after it are not looked at.
  EXPECT_FALSE(generator.makeCreateSQL(makeTable(
      "C", {{"a", " Memo\xE3\x80\x80", "", true}, {"b", "decimal", "10", false}, {"c", "image", "", true}}, {"b"})));
  EXPECT_EQ(generator.getErrMsg(), " Memo\xE3\x80\x80は未定義です");
  EXPECT_EQ(generator.getErrNo(), 0);
}

TEST(ScriptGenerator, FrameWithSeveralKeysAndAFieldLeftOutWithItsStatements) {
  clsSQLServerDB generator;
  // Keys are listed as held, even when no field carries the name; fields are never reordered.
  EXPECT_EQ(generator.makeCreateSQL(makeTable(" T 1", {{"b", "char", "1", true}, {"a", "int", "", false}}, {"a", "b", "zz"})),
            "BEGIN TRANSACTION \r\nCREATE TABLE dbo. T 1 \r\n\t(\r\n\tb char(1)  NULL ,\r\n\ta int  NOT NULL \r\n"
            "\t) ON [PRIMARY] \r\nALTER TABLE dbo. T 1 ADD CONSTRAINT \r\n\tPK_ T 1 PRIMARY KEY CLUSTERED \r\n"
            "\t( \r\n\ta,\r\n\tb,\r\n\tzz\r\n\t) ON [PRIMARY] \r\nCOMMIT ");
  // A field left out for its type word takes its default, description, unique key and index
  // along: on a server they would fail the whole table.
  const auto script = generator.makeCreateSQL(makeTable(
      "T", {{"a", "int", "", false, "1", "", "U", "I", "説明"}, {"b", "blob", "", true, "2", "", "U", "J", "説明"}}, {"a"}));
  ASSERT_TRUE(script);
  EXPECT_EQ(script->substr(script->find("\t) ON [PRIMARY] \r\nALTER")),
            "\t) ON [PRIMARY] \r\nALTER TABLE dbo.T ADD CONSTRAINT \r\n\tPK_T PRIMARY KEY CLUSTERED \r\n\t( \r\n\ta\r\n"
            "\t) ON [PRIMARY] \r\nALTER TABLE dbo.T ADD CONSTRAINT \r\n\tDF_T_a DEFAULT (1) FOR a\r\n"
            "CREATE NONCLUSTERED INDEX IX_T_a ON dbo.T \r\n\t( \r\n\ta\r\n\t) ON [PRIMARY] \r\n"
            "EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'説明', @level0type = N'SCHEMA', "
            "@level0name = N'dbo', @level1type = N'TABLE', @level1name = N'T', @level2type = N'COLUMN', @level2name = N'a'\r\n"
            "COMMIT ");
}

// Every statement a table can get, in order, with quotes and brackets of the texts escaped.
TEST(ScriptGenerator, EveryStatementOfATableWithItsTextsEscaped) {
  clsTableInfo table = makeTable("顧客",
                                 {{"ID", "int", "", false, "", "", "", "", "", "顧客ID"},
                                  {"コード", "char", "10", false, "'000'", "", "U1", "IX1", "", "コード"},
                                  {"支店", "char", "3", false, " ( N'な''し' ) ", "", "U1"},
                                  {"名前", "varchar", "40", true, "NULL", "", "", "IX1", "", "O'Neil ]の名前"},
                                  {"登録日", "date", "", false, "(getdate())", "", "", "IX2", "", "登録日"}},
                                 {"ID"});
  table.setLogicalName("顧客's ]マスタ");
  const std::string add = "ALTER TABLE dbo.顧客 ADD CONSTRAINT \r\n\t";
  const std::string describe = "EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'";
  const std::string on = "', @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = N'顧客'";
  const std::string column = on + ", @level2type = N'COLUMN', @level2name = N'";
  EXPECT_EQ(clsSQLServerDB().makeCreateSQL(table),
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
  EXPECT_EQ(unsafeScriptToken(makeTable("Sizes", {{"A", "varchar", "max"}, {"B", "char", " MAX "}, {"C", "decimal", "10, 2"},
                                                  {"D", "identity", "1,1"}, {"E", "float", ""}, {"社員_番号#", "varchar", "50"},
                                                  {"F", "int", "", false, " ((-1.5e3)) ", "R.k"},
                                                  {"G", "char", "2", false, "N'x'';--'", " R ( k ) "},
                                                  {"H", "date", "", false, "getdate ( )", "x"}, {"I", "int", "なし; --"},
                                                  {"b;--", "未定義", "x')", false, "1;--", "a b.c"}}),
                              types),
            std::nullopt);
  const std::pair<clsTableInfo, std::string> cases[] = {
      {makeTable("x;DROP TABLE y--", {{"A", "int"}}), "テーブル名「x;DROP TABLE y--」に「--」が含まれている"},
      {makeTable("t'", {{"A", "int"}}), "テーブル名「t'」に「'」が含まれている"},
      {makeTable("t\"", {{"A", "int"}}), "「\"」"},
      {makeTable("[t]", {{"A", "int"}}), "「[」"},
      {makeTable("t(a int)DROP", {{"A", "int"}}), "「(」"},
      {makeTable("t/*", {{"A", "int"}}), "「/*」"},
      {makeTable("t x", {{"A", "int"}}), "テーブル名「t x」に空白が含まれている"},
      {makeTable("t\x1B[31m", {{"A", "int"}}), "テーブル名「t\\x1B[31m」に制御文字が含まれている"},
      {makeTable("t\nx", {{"A", "int"}}), "テーブル名「t\\nx」に制御文字"},
      {makeTable("T", {{"a,b", "int"}}), "フィールド名「a,b」に「,」が含まれている"},
      {makeTable("T", {{"A", "varchar", "10); DROP TABLE w;--"}}),
       "フィールド「A」のサイズ「10); DROP TABLE w;--」は数字、カンマ、空白か max でない"},
      {makeTable("T", {{"A", "decimal", "10,2)x"}}), "サイズ「10,2)x」"},
      {makeTable("T", {{"A", "identity", "1,1\n"}}), "サイズ「1,1\\n」"},
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

}  // namespace
}  // namespace morvane
