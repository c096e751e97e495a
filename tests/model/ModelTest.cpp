#include <gtest/gtest.h>

#include "model/Number.h"
#include "model/Text.h"
#include "model/clsDBInfo.h"

namespace morvane {
namespace {

TablePtr makeTable(const std::string& name) {
  auto table = std::make_shared<clsTableInfo>();
  table->setName(name);
  return table;
}

TEST(DefinitionModel, GetTableFindsTheFirstExactMatch) {
  clsDBInfo db;
  auto first = makeTable("Orders");
  auto second = makeTable("Orders");
  db.setTable(first);
  db.setTable(makeTable("orders"));
  db.setTable(second);
  EXPECT_EQ(db.getTables().size(), 3u);
  EXPECT_EQ(db.getTable("Orders"), first);
  EXPECT_EQ(db.getTable("ORDERS"), nullptr);
  EXPECT_EQ(db.getTable("Orders "), nullptr);
  EXPECT_EQ(db.getTable(""), nullptr);
}

TEST(DefinitionModel, SelectionsShareTablesWithTheModel) {
  clsDBInfo model;
  model.setTable(makeTable("A"));
  clsDBInfo selection;
  selection.setTable(model.getTable("A"));
  EXPECT_EQ(selection.getTables().front().get(), model.getTables().front().get());
}

TEST(DefinitionModel, KeysAndFieldsKeepOrderAndDuplicates) {
  clsTableInfo table;
  table.sbAddPKey("id");
  table.sbAddPKey("id");
  clsFieldInfo field;
  EXPECT_EQ(field.getName(), "");
  EXPECT_FALSE(field.getNull());
  field.setSize("10");
  table.setField(field);
  table.setField(field);
  EXPECT_EQ(table.getPrimaryKeys(), (std::vector<std::string>{"id", "id"}));
  EXPECT_EQ(table.getFields().size(), 2u);
  EXPECT_EQ(table.getFields()[0].getSize(), "10");
}

TEST(Text, BlankIgnoresAsciiAndIdeographicSpacesOnly) {
  EXPECT_TRUE(isBlank(""));
  EXPECT_TRUE(isBlank("  \xE3\x80\x80 "));
  EXPECT_FALSE(isBlank("\t"));
  EXPECT_FALSE(isBlank(" a "));
  EXPECT_EQ(trimBlanks("\xE3\x80\x80 int \xE3\x80\x80"), "int");
  EXPECT_EQ(trimSpaces("\xE3\x80\x80 int "), "\xE3\x80\x80 int");
}

TEST(NumberConversion, RoundsHalfToEvenAndRejectsWhatIsNotANumber) {
  EXPECT_EQ(toInt32(" 7 "), 7);
  EXPECT_EQ(toInt32("1.5"), 2);
  EXPECT_EQ(toInt32("2.5"), 2);
  EXPECT_EQ(toInt32("0.5"), 0);
  EXPECT_EQ(toInt32("-2.5"), -2);
  EXPECT_EQ(toInt32("-1"), -1);
  EXPECT_EQ(toInt32("+3"), 3);
  EXPECT_EQ(toInt32(".5"), 0);
  EXPECT_EQ(toInt32("1e1"), 10);
  EXPECT_EQ(toInt32("\xEF\xBC\x93"), 3);  // full-width 3
  EXPECT_EQ(toInt32("2147483647"), 2147483647);
  EXPECT_EQ(toInt32("-2147483648"), INT32_MIN);
  EXPECT_FALSE(toInt32("2147483648"));
  EXPECT_FALSE(toInt32(""));
  EXPECT_FALSE(toInt32("   "));
  EXPECT_FALSE(toInt32("1a"));
  EXPECT_FALSE(toInt32("."));
  EXPECT_FALSE(toInt32("1 2"));
  EXPECT_FALSE(toInt32("1e400"));
  EXPECT_TRUE(isNumeric("1e12"));
  EXPECT_FALSE(isNumeric("-"));
}

}  // namespace
}  // namespace morvane
