#include <gtest/gtest.h>

#include "platform/text/CellText.h"
#include "platform/workbook/Workbook.h"

namespace morvane::platform {
namespace {

TEST(CellText, NumbersShowAsAGeneralCellShowsThem) {
  EXPECT_EQ(formatNumber(10), "10");
  EXPECT_EQ(formatNumber(1.5), "1.5");
  EXPECT_EQ(formatNumber(0.1 + 0.2), "0.3");
  EXPECT_EQ(formatNumber(-0.0), "0");
  EXPECT_EQ(formatNumber(-12.25), "-12.25");
  EXPECT_EQ(formatNumber(123456789012345.0), "123456789012345");
  EXPECT_EQ(formatNumber(1234567890123456.0), "1.23456789012346E+15");
  EXPECT_EQ(formatNumber(1e15), "1E+15");
  EXPECT_EQ(formatNumber(0.00001), "0.00001");
  EXPECT_EQ(formatNumber(0.000001), "1E-06");
  EXPECT_EQ(formatNumber(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(formatNumber(2.0 / 3.0 * 100), "66.6666666666667");
}

TEST(CellText, DateSerialsBecomeDatesTimesOrBoth) {
  EXPECT_EQ(formatDateSerial(45292, false), "2024/01/01");
  EXPECT_EQ(formatDateSerial(45292.5, false), "2024/01/01 12:00:00");
  EXPECT_EQ(formatDateSerial(0.75, false), "18:00:00");
  EXPECT_EQ(formatDateSerial(1, false), "1900/01/01");
  EXPECT_EQ(formatDateSerial(60, false), "1900/02/29");
  EXPECT_EQ(formatDateSerial(61, false), "1900/03/01");
  EXPECT_EQ(formatDateSerial(43830, true), "2024/01/01");  // 1904 system: 1462 days less
  EXPECT_EQ(formatDateSerial(45292.99999999, false), "2024/01/02");
  EXPECT_THROW(formatDateSerial(-1, false), WorkbookError);
}

TEST(CellText, DateFormatsAreToldFromNumberFormats) {
  EXPECT_TRUE(isBuiltinDateFormat(14));
  EXPECT_TRUE(isBuiltinDateFormat(57));
  EXPECT_FALSE(isBuiltinDateFormat(2));
  EXPECT_TRUE(isDateFormatCode("yyyy/m/d"));
  EXPECT_TRUE(isDateFormatCode("[$-411]ggge\"年\"m\"月\"d\"日\""));
  EXPECT_TRUE(isDateFormatCode("[h]:mm"));
  EXPECT_FALSE(isDateFormatCode("0.00"));
  EXPECT_FALSE(isDateFormatCode("General"));
  EXPECT_FALSE(isDateFormatCode("\"day\" 0"));
  EXPECT_FALSE(isDateFormatCode("[Red]0.00"));
  EXPECT_FALSE(isDateFormatCode("0.00E+00"));
  EXPECT_FALSE(isDateFormatCode("#,##0;[Red]-#,##0"));
}

}  // namespace
}  // namespace morvane::platform
