// The script text: notation matching, column texts, the frame and the error state.
#include <gtest/gtest.h>

#include <memory>

#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"

namespace morvane {
namespace {

using test::FieldRow;
using test::makeTable;

// The column line of a one-field table, without its TAB and line break; "<undefined>" when the
// field was left out (the table then has no column), "<failed>" when no script came out.
std::string columnOf(clsSQLServerDB& generator, const FieldRow& row) {
  const auto script = generator.makeCreateSQL(makeTable("T", {row}, {"k"}));
  if (!script) return generator.getUndefinedNotations().empty() ? "<failed>" : "<undefined>";
  const std::string open = "\t(\r\n\t";
  const auto begin = script->find(open) + open.size();
  return script->substr(begin, script->find("\r\n", begin) - begin);
}

std::shared_ptr<clsSQLServerFieldAttr> defaults() { return std::make_shared<clsSQLServerFieldAttr>(); }

TEST(ScriptGenerator, ColumnTextOfEveryKindAndSizeSplitting) {
  clsSQLServerDB generator;
  EXPECT_EQ(columnOf(generator, {"a", "char", "10", false}), "a char(10)  NOT NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "varchar", "x y", true}), "a varchar(x y)  NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "char", "", true}), "a char()  NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "int", "99", false}), "a int  NOT NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "identity", "100,5", false}), "a int  NOT NULL  IDENTITY (100,5) ");
  EXPECT_EQ(columnOf(generator, {"a", "date", "8", true}), "a datetime  NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "money", "", true}), "a money  NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "real", "4", true}), "a real  NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "float", "53", true}), "a float(53)  NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "float", "", true}), "a float()  NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "decimal", "18,4,1", true}), "a decimal(18,4,1)  NULL ");
  EXPECT_EQ(generator.getErrMsg(), "");
  // Sizes split at the first comma, untrimmed; Identity and Decimal fail without one.
  EXPECT_EQ(columnOf(generator, {"a", "identity", ",5", false}), "a int  NOT NULL  IDENTITY (,5) ");
  EXPECT_EQ(columnOf(generator, {"a", "identity", "1, 1", true}), "a int  NULL  IDENTITY (1, 1) ");
  EXPECT_EQ(columnOf(generator, {"a", "decimal", "10,", true}), "a decimal(10,)  NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "identity", "1", false}), "<failed>");
  EXPECT_EQ(columnOf(generator, {"a", "decimal", "", false}), "<failed>");
  EXPECT_NE(generator.getFailReason().find("カンマがありません"), std::string::npos);
}

TEST(ScriptGenerator, FieldSideIsTrimmedAndFoldedTableSideOnlyFolded) {
  clsSQLServerDB generator;
  EXPECT_EQ(columnOf(generator, {"a", "INT", "", false}), "a int  NOT NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "  Int ", "", false}), "a int  NOT NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "\xE3\x80\x80int\xE3\x80\x80", "", false}), "a int  NOT NULL ");
  // Full-width ＩＮＴ and ｉｎｔ.
  EXPECT_EQ(columnOf(generator, {"a", "\xEF\xBC\xA9\xEF\xBC\xAE\xEF\xBC\xB4", "", false}), "<undefined>");
  auto types = defaults();
  types->setInt("\xEF\xBD\x89\xEF\xBD\x8E\xEF\xBD\x94");
  generator.sbSetFieldAttr(types);
  EXPECT_EQ(columnOf(generator, {"a", "\xEF\xBC\xA9\xEF\xBC\xAE\xEF\xBC\xB4", "", false}), "a int  NOT NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "\xEF\xBC\xA9\xEF\xBD\x8E\xEF\xBC\xB4", "", false}), "a int  NOT NULL ");
  // A tab is not a blank: it stays part of the notation.
  EXPECT_EQ(columnOf(generator, {"a", "\tchar", "1", false}), "<undefined>");

  // The table side is folded but not trimmed; the generator holds the table by reference.
  types->setInt("int ");
  EXPECT_EQ(columnOf(generator, {"a", "int ", "", false}), "<undefined>");
  EXPECT_EQ(columnOf(generator, {"a", "int", "", false}), "<undefined>");
  types->setInt("Integer");
  EXPECT_EQ(columnOf(generator, {"a", "INTEGER", "", false}), "a int  NOT NULL ");
  // Japanese notations match as they are.
  types->setDate("日付");
  EXPECT_EQ(columnOf(generator, {"a", " 日付", "", true}), "a datetime  NULL ");
}

TEST(ScriptGenerator, EqualNotationsGoToTheEarlierKindEmptyOnesMatchBlankCells) {
  clsSQLServerDB generator;
  auto types = defaults();
  generator.sbSetFieldAttr(types);
  types->setIdentity("INT");
  EXPECT_EQ(columnOf(generator, {"a", "int", "1", false}), "a int  NOT NULL ");
  types->setReal("Money");
  types->setFloat("money");
  types->setDecimal("money");
  EXPECT_EQ(columnOf(generator, {"a", "money", "1", false}), "a money  NOT NULL ");
  types->setVarChar("char");
  EXPECT_EQ(columnOf(generator, {"a", "char", "1", false}), "a char(1)  NOT NULL ");
  types->setChar("x");
  EXPECT_EQ(columnOf(generator, {"a", "char", "1", false}), "a varchar(1)  NOT NULL ");

  // An empty notation matches blank type cells.
  EXPECT_EQ(columnOf(generator, {"a", "", "", true}), "<undefined>");
  types->setReal("");
  EXPECT_EQ(columnOf(generator, {"a", "", "", true}), "a real  NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "   ", "", true}), "a real  NULL ");
  EXPECT_EQ(columnOf(generator, {"a", "\xE3\x80\x80", "", true}), "a real  NULL ");
}

TEST(ScriptGenerator, ErrorMessageNamesTheLastUndefinedNotationAsHeld) {
  clsSQLServerDB generator;
  EXPECT_EQ(generator.getErrMsg(), "");
  const auto first = makeTable("A",
                               {{"a", " Text ", "", true}, {"b", "int", "", false}, {"c", "ＢＬＯＢ", "", true}},
                               {"b"});
  ASSERT_TRUE(generator.makeCreateSQL(first));
  EXPECT_EQ(generator.getErrMsg(), "ＢＬＯＢは未定義です");
  EXPECT_EQ(generator.getUndefinedNotations(), (std::vector<std::string>{" Text ", "ＢＬＯＢ"}));

  // Later well-defined tables keep the message; the per-script list starts afresh.
  ASSERT_TRUE(generator.makeCreateSQL(makeTable("B", {{"b", "int", "", false}}, {"b"})));
  EXPECT_EQ(generator.getErrMsg(), "ＢＬＯＢは未定義です");
  EXPECT_TRUE(generator.getUndefinedNotations().empty());
  EXPECT_EQ(generator.getErrNo(), 0);

  // A failing size stops the script: fields after it are not looked at.
  const auto failing = makeTable(
      "C", {{"a", " Memo\xE3\x80\x80", "", true}, {"b", "decimal", "10", false}, {"c", "image", "", true}}, {"b"});
  EXPECT_FALSE(generator.makeCreateSQL(failing));
  EXPECT_EQ(generator.getErrMsg(), " Memo\xE3\x80\x80は未定義です");
  EXPECT_EQ(generator.getErrNo(), 0);
}

TEST(ScriptGenerator, FrameWithSeveralKeys) {
  clsSQLServerDB generator;
  // Keys are listed as held, even when no field carries the name; fields are never reordered.
  const auto script = generator.makeCreateSQL(
      makeTable(" T 1", {{"b", "char", "1", true}, {"a", "int", "", false}}, {"a", "b", "zz"}));
  EXPECT_EQ(script,
            "BEGIN TRANSACTION \r\nCREATE TABLE dbo. T 1 \r\n\t(\r\n\tb char(1)  NULL ,\r\n\ta int  NOT NULL \r\n"
            "\t) ON [PRIMARY] \r\nALTER TABLE dbo. T 1 ADD CONSTRAINT \r\n\tPK_ T 1 PRIMARY KEY CLUSTERED \r\n"
            "\t( \r\n\ta,\r\n\tb,\r\n\tzz\r\n\t) ON [PRIMARY] \r\nCOMMIT ");
}

// A field left out for its type word takes its default, description, unique key and index along:
// on a server they would fail the whole table.
TEST(ScriptGenerator, AFieldLeftOutTakesItsStatementsAlong) {
  clsSQLServerDB generator;
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

}  // namespace
}  // namespace morvane
