#include <gtest/gtest.h>

#include <stdexcept>

#include "model/FieldReference.h"
#include "model/Number.h"
#include "model/Progress.h"
#include "model/Text.h"
#include "model/clsDBInfo.h"
#include "tests/support/RecordingProgress.h"

namespace morvane {
namespace {

using Texts = std::vector<std::string>;

std::vector<TablePtr> named(const Texts& names) {
  std::vector<TablePtr> tables;
  for (const auto& name : names) {
    auto table = std::make_shared<clsTableInfo>();
    table->setName(name);
    tables.push_back(table);
  }
  return tables;
}

TEST(DefinitionModel, GetTableFindsTheFirstExactMatch) {
  clsDBInfo db;
  for (const auto& table : named({"Orders", "orders", "Orders"})) db.setTable(table);
  EXPECT_EQ(db.getTable("Orders"), db.getTables()[0]);
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

TEST(Text, BlanksAndTheTwoFoldsOfFullWidthForms) {
  EXPECT_TRUE(isBlank(""));
  EXPECT_TRUE(isBlank("  \xE3\x80\x80 "));
  EXPECT_FALSE(isBlank("\t"));
  EXPECT_FALSE(isBlank(" a "));
  EXPECT_EQ(trimBlanks("\xE3\x80\x80 int \xE3\x80\x80"), "int");
  EXPECT_EQ(trimSpaces("\xE3\x80\x80 int "), "\xE3\x80\x80 int");
  // Full-width: digits, minus, point, E, capital A, small z, then ideographic space and a kana.
  const std::string text =
      "Ab\xEF\xBC\x91\xEF\xBC\x8D\xEF\xBC\x8E\xEF\xBC\xA5\xEF\xBC\xA1\xEF\xBD\x9A\xE3\x80\x80\xE3\x82\xA2";
  EXPECT_EQ(foldText(text, TextFold::NumberToAscii), "Ab1-.E\xEF\xBC\xA1\xEF\xBD\x9A\xE3\x80\x80\xE3\x82\xA2");
  EXPECT_EQ(foldText(text, TextFold::LatinToLower),
            "ab\xEF\xBC\x91\xEF\xBC\x8D\xEF\xBC\x8E\xEF\xBD\x85\xEF\xBD\x81\xEF\xBD\x9A\xE3\x80\x80\xE3\x82\xA2");
  // A form cut off at the end is kept as it is.
  EXPECT_EQ(foldText("1\xEF\xBC", TextFold::NumberToAscii), "1\xEF\xBC");
  EXPECT_EQ(foldText("A\xEF\xBC", TextFold::LatinToLower), "a\xEF\xBC");
}

// Half to even, decided by the text's own digits however many there are: nothing goes through a double.
TEST(NumberConversion, RoundsTheDecimalTextExactlyAndRejectsWhatIsNotAnInt32) {
  const std::pair<const char*, std::int32_t> numbers[] = {
      {" 7 ", 7}, {"1.5", 2}, {"2.5", 2}, {"0.5", 0}, {"-2.5", -2}, {"-1", -1}, {"+3", 3}, {".5", 0}, {"1e1", 10},
      {"\xEF\xBC\x93", 3}, {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}, {"2.5000000000000001", 3},
      {"2.4999999999999999", 2}, {"3.5", 4}, {"2.50000000000000000000", 2}, {"-2.5000000000000001", -3},
      {"-3.5", -4}, {"0.49999999999999999999", 0}, {"0.5000000000000000001", 1}, {"2147483647.4999999", INT32_MAX},
      {"2147483646.5", 2147483646}, {"-2147483648.5", INT32_MIN}, {"-2147483648.4999999999", INT32_MIN},
      {"0002147483647", INT32_MAX}, {"0.0000", 0}, {"-0.5", 0}, {"25e-1", 2}, {"2500000000000000001e-18", 3},
      {"0.035e2", 4}, {"0.0025e3", 2}, {"214748364.74e1", INT32_MAX}, {"-214748364.85e1", INT32_MIN},
      {"1e-400", 0}, {"0e400", 0}, {" +1.5E+0 ", 2}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(toInt32(text), value) << text;
  for (const char* text : {"2147483648", "", "   ", "1a", ".", "1 2", "1e400", "2147483647.5", "2147483647.50000000001",
                           "-2147483648.5000000001", "-2147483649", "99999999999", "21474836480e-1", "214748364.75e1",
                           "1e10", "1e999999999999999999999", "2.5e", "2.5e+", "--1", "+-1", "1.2.3", "0x10", "1,5"}) {
    EXPECT_FALSE(toInt32(text)) << text;
  }
  EXPECT_TRUE(isNumeric("1e12"));
  EXPECT_FALSE(isNumeric("-"));
}

// The work fails (or throws) on the second table; the sink hears begin and end whatever happens. A cancel
// after a table is the writers' to show.
TEST(ForEachTable, EachTableStartsOnceInOrderAndCancelStopsBetweenTables) {
  const struct {
    Texts names;
    std::optional<std::size_t> cancelAfter;
    bool throws;
    Texts calls;
  } cases[] = {{{"顧客", "受注", "商品"}, {}, false, {"begin 3", "step 0 顧客", "step 1 受注", "step 2 商品", "end 2/1/0"}},
               {{"A"}, 0, false, {"begin 1", "end 0/0/1 cancelled"}},
               {{"A", "B", "C"}, {}, true, {"begin 3", "step 0 A", "step 1 B", "end 1/1/1"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.calls.back());
    test::RecordingProgress progress(c.cancelAfter), returned;
    std::size_t worked = 0;
    const auto work = [&](const clsTableInfo&) {
      if (++worked == 2 && c.throws) throw std::runtime_error("disk full");
      return worked != 2;
    };
    if (c.throws) {
      EXPECT_THROW(forEachTable(named(c.names), progress, work), std::runtime_error);
    } else {
      returned.end(forEachTable(named(c.names), progress, work));
      EXPECT_EQ(returned.calls().back(), c.calls.back()) << "the tally returned is the one the sink heard";
    }
    EXPECT_EQ(progress.calls(), c.calls);
    EXPECT_EQ(worked, c.calls.size() - 2);
  }
}

}  // namespace
}  // namespace morvane
