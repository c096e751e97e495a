// Workbooks written by other software: python3-xlwt (see tests/fixtures/xls/make-fixtures.py).
#include <gtest/gtest.h>

#include <cstdio>

#include "document/clsExcel.h"
#include "document/clsExcelDBDoc.h"
#include "platform/xls/XlsWorkbook.h"
#include "tests/support/ExampleModel.h"

namespace morvane {
namespace {

std::string fixture(const std::string& name) { return std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/xls/" + name; }

TEST(XlsFixtures, XlwtValuesReadAsTheSpreadsheetGivesThem) {
  clsExcel excel;
  ASSERT_TRUE(excel.fnOpenBook(fixture("xlwt-values.xls")));
  ASSERT_TRUE(excel.fnOpenSheet(1));
  EXPECT_EQ(excel.SheetName(), "値");
  const char* expected[5][4] = {
      {"text", " 前後に空白 ", "\u3000", "日本語テキスト"},
      {"10", "1.5", "0.3", "-12.25"},
      {"123456789012345", "1E+15", "1E-06", "1099511627776"},
      {"True", "False", "", ""},
      {"2024/01/01", "2024/01/01 12:34:56", "18:00:00", "45292"},
  };
  for (int row = 0; row < 5; ++row) {
    for (int col = 0; col < 4; ++col) {
      EXPECT_EQ(excel.Cells(row + 1, col + 1), expected[row][col]) << "row " << row + 1 << " col " << col + 1;
    }
  }
  EXPECT_EQ(excel.Cells(6, 1), "");  // a formula xlwt stored without its result
  EXPECT_EQ(excel.Cells(6, 2), "");  // a formatted blank
  EXPECT_EQ(excel.Cells(999, 99), "last");
  EXPECT_EQ(excel.Cells(1000, 1), "");
  // The hidden second sheet counts.
  ASSERT_TRUE(excel.fnOpenSheet(2));
  EXPECT_EQ(excel.Cells(3, 3), "隠しシート");
  EXPECT_FALSE(excel.fnOpenSheet(3));
}

TEST(XlsFixtures, Xlwt1904DatesAndLongSharedStrings) {
  auto book = platform::openXlsWorkbook(fixture("xlwt-1904.xls"));
  ASSERT_TRUE(book);
  auto sheet = book->readSheet(1);
  EXPECT_EQ(sheet.text(1, 1), "2024/01/01");
  EXPECT_EQ(sheet.text(1, 2), "45292");

  book = platform::openXlsWorkbook(fixture("xlwt-long-strings.xls"));
  ASSERT_TRUE(book);
  sheet = book->readSheet(1);
  for (int r = 0; r < 40; ++r) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "列%02d:", r);
    std::string text = prefix;
    for (int i = 0; i < 30; ++i) text += r % 2 ? "日本語の長い説明文" : "long ascii text ";
    EXPECT_EQ(sheet.text(r + 1, 1), text) << "row " << r + 1;
  }
}

TEST(XlsFixtures, AnXlwtDesignDocumentReadsIntoTheModel) {
  clsExcelDBDoc reader;
  ASSERT_TRUE(reader.fnReadDBDoc(fixture("xlwt-design.xls")));
  // Two tables alike; the cover sheet has no table name.
  const std::string table = R"("fields":[{"name":"ID","type":"int","size":"4","nullable":false},
      {"name":"名前","type":"varchar","size":"50","nullable":true},
      {"name":"登録日","type":"date","size":"","nullable":true}],"primaryKeys":["ID"]})";
  EXPECT_EQ(test::modelJson(reader.getDBInfo()),
            nlohmann::ordered_json::parse(R"({"tables":[{"name":"顧客",)" + table + R"(,{"name":"注文",)" + table + "]}"));
}

}  // namespace
}  // namespace morvane
