#include <gtest/gtest.h>

#include "document/LayoutFile.h"
#include "tests/support/DesignBook.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

using Values = std::array<std::int32_t, 10>;

clsExcelDBDocInfo layoutOf(const Values& v, const std::string& extra = "") {
  clsExcelDBDocInfo layout;
  layout.sbSetPage(v[0], v[1]);
  layout.sbSetFieldPos(v[2]);
  layout.sbSetTableNmPos(v[3], v[4]);
  layout.sbSetFieldDefPos(v[5], v[6], v[7], v[8], v[9]);
  return test::withLayoutExtra(layout, extra);
}

// The layout as its file's pairs, which the first test pins byte for byte.
std::string pairsOf(const clsExcelDBDocInfo& layout) {
  const clsHash hash = layoutToHash(layout);
  std::string text;
  for (std::int32_t i = 1; i <= hash.getCount(); ++i) text += hash.getKey2(i) + "=" + hash.getItem2(i) + ",";
  return text;
}

const char* const kKeys[] = {"StartSheetNo", "EndSheetNo",   "StartRowFieldDef", "RowTableName",  "ColTableName",
                             "ColFieldName", "ColFieldType", "ColFieldSize",     "ColPrimarykey", "ColNull"};
const std::string kAllExtras = "ColLogicalName=1,ColDefault=2,ColRemarks=3,ColUnique=4,ColIndex=5,ColReference=6,"
                               "RowTableLogicalName=7,ColTableLogicalName=8,NullMarkMeansNotNull=1";

// A hand-written file: 11 to 20 under the ten keys in reverse order, with `key` given `value`
// instead (left out when empty).
std::string fileWith(const std::string& key, const std::string& value) {
  std::string bytes = "<Other>99</Other>\r\n";
  for (int i = 9; i >= 0; --i) {
    const std::string text = kKeys[i] == key ? value : std::to_string(11 + i);
    if (!text.empty()) bytes += std::string("<") + kKeys[i] + ">" + text + "</" + kKeys[i] + ">\r\n";
  }
  return bytes + "<" + key + ">" + value + "</" + key + ">\r\n";  // the first of a key counts
}

TEST(LayoutFile, WritesTheTenKeysThenTheUsedOptionalOnesAndReadsThemBack) {
  test::TempDir dir;
  ASSERT_TRUE(saveLayoutFile(clsExcelDBDocInfo(), dir.file("d.edf")));
  EXPECT_EQ(test::readBytes(dir.file("d.edf")),
            "<StartSheetNo>1</StartSheetNo>\r\n<EndSheetNo>4</EndSheetNo>\r\n"
            "<StartRowFieldDef>6</StartRowFieldDef>\r\n<RowTableName>3</RowTableName>\r\n"
            "<ColTableName>3</ColTableName>\r\n<ColFieldName>4</ColFieldName>\r\n"
            "<ColFieldType>5</ColFieldType>\r\n<ColFieldSize>6</ColFieldSize>\r\n"
            "<ColPrimarykey>7</ColPrimarykey>\r\n<ColNull>9</ColNull>\r\n");
  const auto written = layoutOf({-1, 0, INT32_MAX, INT32_MIN, 3, 4, 5, 6, 7, 9},
                                "ColLogicalName=2,ColRemarks=10,ColReference=2147483647,RowTableLogicalName=2,"
                                "ColTableLogicalName=3,NullMarkMeansNotNull=1");
  ASSERT_TRUE(saveLayoutFile(written, dir.file("x.edf")));
  EXPECT_TRUE(test::readBytes(dir.file("x.edf")).ends_with(
      "<ColNull>9</ColNull>\r\n<ColLogicalName>2</ColLogicalName>\r\n<ColRemarks>10</ColRemarks>\r\n"
      "<ColReference>2147483647</ColReference>\r\n<RowTableLogicalName>2</RowTableLogicalName>\r\n"
      "<ColTableLogicalName>3</ColTableLogicalName>\r\n<NullMarkMeansNotNull>1</NullMarkMeansNotNull>\r\n"));
  clsExcelDBDocInfo read = layoutOf({11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, kAllExtras);
  ASSERT_TRUE(read.fnReadFile(dir.file("x.edf")));
  EXPECT_EQ(pairsOf(read), pairsOf(written));
  ASSERT_TRUE(read.fnReadFile(dir.file("d.edf")));
  EXPECT_EQ(pairsOf(read), pairsOf(clsExcelDBDocInfo())) << "a missing optional tag reads as 0";
}

// Hand-edited values round half to even; a bad one fails with one line naming its key and changes
// nothing, not just the values after the bad key.
TEST(LayoutFile, HandEditedValuesRoundOrFailNamingTheirKey) {
  test::TempDir dir;
  const auto before = layoutOf({1, 4, 6, 3, 3, 4, 5, 6, 7, 9}, kAllExtras);
  const std::string kept = pairsOf(layoutOf({11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
  // The numbers' own rules are pinned with the conversion; here each kind of value reaches it.
  const std::tuple<const char*, const char*, const char*> cases[] = {  // key, value, read as ("" = refused)
      {"StartSheetNo", "2.5", "2"}, {"EndSheetNo", " 7 ", "7"}, {"ColNull", "-1", "-1"}, {"ColFieldType", "", ""},
      {"ColNull", "abc", ""},       {"EndSheetNo", " ", ""},    {"StartSheetNo", "2147483648", ""},
      {"ColDefault", "x", ""},      {"ColIndex", "-1", ""},     {"NullMarkMeansNotNull", "2", ""}};
  for (const auto& [key, value, readAs] : cases) {
    SCOPED_TRACE(std::string(key) + "=" + value);
    test::writeBytes(dir.file("h.edf"), fileWith(key, value));
    clsExcelDBDocInfo layout = before;
    try {
      ASSERT_TRUE(layout.fnReadFile(dir.file("h.edf")) && *readAs);
      const std::size_t at = kept.find(key);
      EXPECT_EQ(pairsOf(layout), kept.substr(0, at) + key + "=" + readAs + kept.substr(kept.find(',', at)));
    } catch (const LayoutFileError& error) {
      EXPECT_FALSE(*readAs) << error.what();
      EXPECT_NE(std::string(error.what()).find(key), std::string::npos) << error.what();
      EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos);
      EXPECT_EQ(pairsOf(layout), pairsOf(before));
    }
  }
  test::writeBytes(dir.file("empty.edf"), "");
  clsExcelDBDocInfo layout = before;
  EXPECT_THROW(layout.fnReadFile(dir.file("empty.edf")), LayoutFileError);
  EXPECT_FALSE(layout.fnReadFile(dir.file("none.edf")));
  EXPECT_EQ(pairsOf(layout), pairsOf(before));
  EXPECT_FALSE(saveLayoutFile(layout, dir.file("no/folder.edf")));
}

}  // namespace
}  // namespace morvane
