// Which cell texts may go into a script that runs on a server.
#include <gtest/gtest.h>

#include "sqlserver/ScriptTokens.h"
#include "tests/support/ExampleModel.h"

namespace morvane {
namespace {

clsFieldInfo field(const std::string& name, const std::string& type, const std::string& size = "") {
  clsFieldInfo f;
  f.setName(name);
  f.setAttr(type);
  f.setSize(size);
  return f;
}

clsTableInfo table(const std::string& name, std::vector<clsFieldInfo> fields, std::vector<std::string> keys = {}) {
  clsTableInfo t;
  t.setName(name);
  for (auto& f : fields) t.setField(f);
  for (auto& k : keys) t.sbAddPKey(k);
  return t;
}

const clsSQLServerFieldAttr kTypes;

TEST(ScriptTokens, OrdinaryTablesPass) {
  const clsDBInfo example = test::exampleModel();
  for (const auto& t : example.getTables()) EXPECT_EQ(unsafeScriptToken(*t, kTypes), std::nullopt) << t->getName();
  const clsTableInfo sizes = table("Sizes", {field("A", "varchar", "max"), field("B", "char", " MAX "),
                                             field("C", "decimal", "10, 2"), field("D", "identity", "1,1"),
                                             field("E", "float", ""), field("社員_番号#", "varchar", "50")});
  EXPECT_EQ(unsafeScriptToken(sizes, kTypes), std::nullopt);
}

TEST(ScriptTokens, EveryInsertedTextThatCouldEndOrCommentOutTheStatementIsRefused) {
  const struct {
    clsTableInfo table;
    std::string reason;
  } cases[] = {
      {table("x;DROP TABLE y--", {field("A", "int")}), "テーブル名「x;DROP TABLE y--」に「--」が含まれている"},
      {table("t'", {field("A", "int")}), "テーブル名「t'」に「'」が含まれている"},
      {table("t\"", {field("A", "int")}), "「\"」"},
      {table("[t]", {field("A", "int")}), "「[」"},
      {table("t(a int)DROP", {field("A", "int")}), "「(」"},
      {table("t/*", {field("A", "int")}), "「/*」"},
      {table("t x", {field("A", "int")}), "テーブル名「t x」に空白が含まれている"},
      {table("t\x1B[31m", {field("A", "int")}), "テーブル名「t\\x1B[31m」に制御文字が含まれている"},
      {table("t\nx", {field("A", "int")}), "テーブル名「t\\nx」に制御文字"},
      {table("T", {field("a,b", "int")}), "フィールド名「a,b」に「,」が含まれている"},
      {table("T", {field("A", "varchar", "10); DROP TABLE w;--")}),
       "フィールド「A」のサイズ「10); DROP TABLE w;--」は数字、カンマ、空白か max でない"},
      {table("T", {field("A", "decimal", "10,2)x")}), "サイズ「10,2)x」"},
      {table("T", {field("A", "identity", "1,1\n")}), "サイズ「1,1\\n」"},
      {table("T", {field("A", "float", "maxi")}), "サイズ「maxi」"},
      {table("T", {field("A", "int")}, {"A;B"}), "主キー「A;B」に「;」"},
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
  const clsTableInfo t = table("T", {field("A", "int", "なし; --"), field("b;--", "未定義", "x')")});
  EXPECT_EQ(unsafeScriptToken(t, kTypes), std::nullopt);
}

}  // namespace
}  // namespace morvane
