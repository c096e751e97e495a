#include <gtest/gtest.h>

#include "model/FieldReference.h"
#include "model/Number.h"
#include "model/Text.h"
#include "model/clsDBInfo.h"

namespace morvane {
namespace {

TEST(DefinitionModel, GetTableFindsTheFirstExactMatch) {
  auto make = [](const std::string& name) {
    auto table = std::make_shared<clsTableInfo>();
    table->setName(name);
    return table;
  };
  clsDBInfo db;
  const TablePtr first = make("Orders");
  db.setTable(first);
  db.setTable(make("orders"));
  db.setTable(make("Orders"));
  EXPECT_EQ(db.getTables().size(), 3u);
  EXPECT_EQ(db.getTable("Orders"), first);
  for (const char* missing : {"ORDERS", "Orders ", ""}) EXPECT_EQ(db.getTable(missing), nullptr) << missing;
}

TEST(FieldReference, TheTwoFormsWithBlanksAroundTheParts) {
  const std::pair<const char*, const char*> good[] = {
      {"顧客.ID", "顧客|ID"}, {" 顧客 ( ID ) ", "顧客|ID"}, {"T(\xE3\x80\x80" "C)", "T|C"}, {"T . C", "T|C"}};
  for (const auto& [text, parts] : good) {
    const auto reference = parseReference(text);
    ASSERT_TRUE(reference) << text;
    EXPECT_EQ(reference->table + "|" + reference->column, parts);
  }
  for (const char* bad : {"", "顧客", "顧客.", ".ID", "dbo.T.C", "T(C", "T()", "T(C)x", "T(C)(D)", "T.(C)", " ( C)"}) {
    EXPECT_FALSE(parseReference(bad)) << bad;
  }
}

TEST(Text, BlankIgnoresAsciiAndIdeographicSpacesOnly) {
  EXPECT_TRUE(isBlank(""));
  EXPECT_TRUE(isBlank("  \xE3\x80\x80 "));
  EXPECT_FALSE(isBlank("\t"));
  EXPECT_FALSE(isBlank(" a "));
  EXPECT_EQ(trimBlanks("\xE3\x80\x80 int \xE3\x80\x80"), "int");
  EXPECT_EQ(trimSpaces("\xE3\x80\x80 int "), "\xE3\x80\x80 int");
}

TEST(Text, TheTwoFoldsOfFullWidthForms) {
  // Full-width: digits, minus, point, E, capital A, small z, then ideographic space and a kana.
  const std::string text = "Ab\xEF\xBC\x91\xEF\xBC\x8D\xEF\xBC\x8E\xEF\xBC\xA5\xEF\xBC\xA1\xEF\xBD\x9A\xE3\x80\x80\xE3\x82\xA2";
  EXPECT_EQ(foldText(text, TextFold::NumberToAscii), "Ab1-.E\xEF\xBC\xA1\xEF\xBD\x9A\xE3\x80\x80\xE3\x82\xA2");
  EXPECT_EQ(foldText(text, TextFold::LatinToLower),
            "ab\xEF\xBC\x91\xEF\xBC\x8D\xEF\xBC\x8E\xEF\xBD\x85\xEF\xBD\x81\xEF\xBD\x9A\xE3\x80\x80\xE3\x82\xA2");
  // A form cut off at the end is kept as it is.
  EXPECT_EQ(foldText("1\xEF\xBC", TextFold::NumberToAscii), "1\xEF\xBC");
  EXPECT_EQ(foldText("A\xEF\xBC", TextFold::LatinToLower), "a\xEF\xBC");
}

TEST(NumberConversion, RoundsHalfToEvenAndRejectsWhatIsNotANumber) {
  const std::pair<const char*, std::int32_t> numbers[] = {
      {" 7 ", 7}, {"1.5", 2}, {"2.5", 2}, {"0.5", 0}, {"-2.5", -2}, {"-1", -1}, {"+3", 3}, {".5", 0}, {"1e1", 10},
      {"\xEF\xBC\x93", 3},  // full-width 3
      {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(toInt32(text), value) << text;
  for (const char* text : {"2147483648", "", "   ", "1a", ".", "1 2", "1e400"}) EXPECT_FALSE(toInt32(text)) << text;
  EXPECT_TRUE(isNumeric("1e12"));
  EXPECT_FALSE(isNumeric("-"));
}

// The text's own digits decide, however many there are: nothing goes through a double.
TEST(NumberConversion, RoundsTheDecimalTextExactly) {
  const std::pair<const char*, std::int32_t> numbers[] = {
      {"2.5000000000000001", 3}, {"2.4999999999999999", 2}, {"2.5", 2}, {"3.5", 4}, {"2.50000000000000000000", 2},
      {"-2.5000000000000001", -3}, {"-3.5", -4}, {"0.49999999999999999999", 0}, {"0.5000000000000000001", 1},
      {"2147483647.4999999", INT32_MAX}, {"2147483646.5", 2147483646}, {"-2147483648.5", INT32_MIN},
      {"-2147483648.4999999999", INT32_MIN}, {"0002147483647", INT32_MAX}, {"0.0000", 0}, {"-0.5", 0},
      {"25e-1", 2}, {"2500000000000000001e-18", 3}, {"0.035e2", 4}, {"0.0025e3", 2}, {"214748364.74e1", INT32_MAX}, {"-214748364.85e1", INT32_MIN},
      {"1e-400", 0}, {"0e400", 0}, {" +1.5E+0 ", 2}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(toInt32(text), value) << text;
  for (const char* text : {"2147483647.5", "2147483647.50000000001", "-2147483648.5000000001", "-2147483649",
                           "99999999999", "21474836480e-1", "214748364.75e1", "1e10", "1e999999999999999999999", "2.5e", "2.5e+", "--1",
                           "+-1", "1.2.3", "0x10", "1,5"}) {
    EXPECT_FALSE(toInt32(text)) << text;
  }
}

}  // namespace
}  // namespace morvane
