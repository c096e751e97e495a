// Which cell texts may go into a script that runs on a server.
#include <gtest/gtest.h>

#include "sqlserver/ScriptTokens.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/ExampleModel.h"

namespace morvane {
namespace {

using test::makeTable;

const clsSQLServerFieldAttr kTypes;

TEST(ScriptTokens, OrdinaryTablesPass) {
  const clsDBInfo example = test::exampleModel();
  for (const auto& t : example.getTables()) EXPECT_EQ(unsafeScriptToken(*t, kTypes), std::nullopt) << t->getName();
  const clsTableInfo sizes = makeTable("Sizes", {{"A", "varchar", "max"}, {"B", "char", " MAX "},
                                                 {"C", "decimal", "10, 2"}, {"D", "identity", "1,1"},
                                                 {"E", "float", ""}, {"社員_番号#", "varchar", "50"},
                                                 {"F", "int", "", false, " ((-1.5e3)) ", "R.k"},
                                                 {"G", "char", "2", false, "N'x'';--'", " R ( k ) "},
                                                 {"H", "date", "", false, "getdate ( )", "x"}});
  EXPECT_EQ(unsafeScriptToken(sizes, kTypes), std::nullopt);
}

TEST(ScriptTokens, EveryInsertedTextThatCouldEndOrCommentOutTheStatementIsRefused) {
  const struct {
    clsTableInfo table;
    std::string reason;
  } cases[] = {
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
  for (const auto& c : cases) {
    const auto reason = unsafeScriptToken(c.table, kTypes);
    ASSERT_TRUE(reason) << c.reason;
    EXPECT_NE(reason->find(c.reason), std::string::npos) << *reason;
    EXPECT_NE(reason->find("サーバでは実行しません"), std::string::npos) << *reason;
  }
}

TEST(ScriptTokens, TextsTheScriptLeavesOutAreNotChecked) {
  // An int takes no size and an undefined notation drops the whole field.
  const clsTableInfo t = makeTable("T", {{"A", "int", "なし; --"}, {"b;--", "未定義", "x')", false, "1;--", "a b.c"}});
  EXPECT_EQ(unsafeScriptToken(t, kTypes), std::nullopt);
}

}  // namespace
}  // namespace morvane
