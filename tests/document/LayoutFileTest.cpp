#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "document/LayoutFile.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

using Values = std::array<std::int32_t, 10>;

Values valuesOf(const clsExcelDBDocInfo& layout) {
  return {layout.getStartPage(),    layout.getEndPage(),      layout.getStartRowFieldDef(),
          layout.getRowTableName(), layout.getColTableName(), layout.getColFieldName(),
          layout.getColFieldType(), layout.getColFieldSize(), layout.getColPrimaryKey(),
          layout.getColNULL()};
}

std::vector<std::int32_t> extrasOf(const clsExcelDBDocInfo& layout) {
  std::vector<std::int32_t> values;
  for (const auto& extra : layoutExtras()) values.push_back((layout.*extra.get)());
  return values;
}

clsExcelDBDocInfo withExtras(clsExcelDBDocInfo layout, const std::vector<std::int32_t>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) (layout.*layoutExtras()[i].set)(values[i]);
  return layout;
}

clsExcelDBDocInfo layoutOf(const Values& v) {
  clsExcelDBDocInfo layout;
  layout.sbSetPage(v[0], v[1]);
  layout.sbSetFieldPos(v[2]);
  layout.sbSetTableNmPos(v[3], v[4]);
  layout.sbSetFieldDefPos(v[5], v[6], v[7], v[8], v[9]);
  return layout;
}

const char* const kKeys[] = {"StartSheetNo", "EndSheetNo",   "StartRowFieldDef", "RowTableName",  "ColTableName",
                             "ColFieldName", "ColFieldType", "ColFieldSize",     "ColPrimarykey", "ColNull"};

const Values kOther = {11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

// A hand-written file: kOther's values, with `key` given `value` instead (left out when empty).
std::string fileWith(const std::string& key = "", const std::string& value = "", bool reversed = false) {
  std::string bytes;
  for (int i = 0; i < 10; ++i) {
    const int at = reversed ? 9 - i : i;
    const std::string text = kKeys[at] == key ? value : std::to_string(kOther[at]);
    if (!text.empty()) bytes += std::string("<") + kKeys[at] + ">" + text + "</" + kKeys[at] + ">\r\n";
  }
  if (!key.empty() && std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys)) bytes += "<" + key + ">" + value + "</" + key + ">\r\n";
  return bytes;
}

TEST(LayoutFile, WritesTheTenKeysInFileOrderAndRoundTripsAnyValues) {
  test::TempDir dir;
  ASSERT_TRUE(saveLayoutFile(clsExcelDBDocInfo(), dir.file("d.edf")));
  EXPECT_EQ(test::readBytes(dir.file("d.edf")),
            "<StartSheetNo>1</StartSheetNo>\r\n<EndSheetNo>4</EndSheetNo>\r\n"
            "<StartRowFieldDef>6</StartRowFieldDef>\r\n<RowTableName>3</RowTableName>\r\n"
            "<ColTableName>3</ColTableName>\r\n<ColFieldName>4</ColFieldName>\r\n"
            "<ColFieldType>5</ColFieldType>\r\n<ColFieldSize>6</ColFieldSize>\r\n"
            "<ColPrimarykey>7</ColPrimarykey>\r\n<ColNull>9</ColNull>\r\n");
  EXPECT_EQ(layoutToHash(layoutOf(kOther)).GetAllItems(","), "11,12,13,14,15,16,17,18,19,20");

  const Values written = {-1, 0, INT32_MAX, INT32_MIN, 3, 4, 5, 6, 7, 9};
  ASSERT_TRUE(saveLayoutFile(layoutOf(written), dir.file("x.edf")));
  clsExcelDBDocInfo read = withExtras(layoutOf(kOther), {1, 2, 3, 4, 5, 6, 7, 8, 1});
  ASSERT_TRUE(read.fnReadFile(dir.file("x.edf")));
  EXPECT_EQ(valuesOf(read), written);
  EXPECT_EQ(extrasOf(read), std::vector<std::int32_t>(9, 0)) << "a missing optional tag reads as 0";

  // The optional positions follow the ten lines, each only when it is used.
  const std::vector<std::int32_t> extras = {2, 0, 10, 0, 0, INT32_MAX, 2, 3, 1};
  ASSERT_TRUE(saveLayoutFile(withExtras(clsExcelDBDocInfo(), extras), dir.file("e.edf")));
  EXPECT_TRUE(test::readBytes(dir.file("e.edf")).ends_with(
      "<ColNull>9</ColNull>\r\n<ColLogicalName>2</ColLogicalName>\r\n<ColRemarks>10</ColRemarks>\r\n"
      "<ColReference>2147483647</ColReference>\r\n<RowTableLogicalName>2</RowTableLogicalName>\r\n"
      "<ColTableLogicalName>3</ColTableLogicalName>\r\n<NullMarkMeansNotNull>1</NullMarkMeansNotNull>\r\n"));
  ASSERT_TRUE(read.fnReadFile(dir.file("e.edf")));
  EXPECT_EQ(extrasOf(read), extras);
}

TEST(LayoutFile, HandEditedFilesInAnyLineOrder) {
  test::TempDir dir;
  std::string bytes = "<Other>99</Other>\r\n" + fileWith("StartSheetNo", "2.5", true);
  for (const auto& [key, value] : {std::pair{"<EndSheetNo>12<", "<EndSheetNo> 7 <"},
                                   std::pair{"<RowTableName>14<", "<RowTableName>3.5<"},
                                   std::pair{"<ColNull>20<", "<ColNull>-1<"},
                                   std::pair{"<ColFieldName>16<", "<ColFieldName>2147483647.4999999<"},
                                   std::pair{"<ColFieldType>17<", "<ColFieldType>2.5000000000000001<"}}) {
    bytes.replace(bytes.find(key), std::string(key).size(), value);
  }
  test::writeBytes(dir.file("h.edf"), bytes);
  clsExcelDBDocInfo layout;
  ASSERT_TRUE(layout.fnReadFile(dir.file("h.edf")));
  EXPECT_EQ(valuesOf(layout), (Values{2, 7, 13, 4, 15, INT32_MAX, 3, 18, 19, -1}));
}

// A bad file changes nothing: the layout keeps all ten values, not just those after the bad key.
TEST(LayoutFile, ABadValueFailsWithoutChangingTheLayout) {
  test::TempDir dir;
  const Values before = {1, 4, 6, 3, 3, 4, 5, 6, 7, 9};
  const std::pair<const char*, const char*> cases[] = {
      {"ColFieldType", ""}, {"ColNull", "abc"}, {"StartSheetNo", "2147483648"}, {"ColFieldSize", "2147483647.5"}, {"ColPrimarykey", "7,5"},
      {"EndSheetNo", " "}, {"ColDefault", "x"}, {"ColIndex", "-1"}, {"NullMarkMeansNotNull", "2"}};
  for (const auto& [key, value] : cases) {
    test::writeBytes(dir.file("bad.edf"), fileWith(key, value));
    clsExcelDBDocInfo layout = withExtras(layoutOf(before), {1, 2, 3, 4, 5, 6, 7, 8, 1});
    try {
      layout.fnReadFile(dir.file("bad.edf"));
      ADD_FAILURE() << key << " was accepted";
    } catch (const LayoutFileError& error) {
      EXPECT_NE(std::string(error.what()).find(key), std::string::npos) << error.what();
      EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos);
    }
    EXPECT_EQ(valuesOf(layout), before) << key;
    EXPECT_EQ(extrasOf(layout), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 1})) << key;
  }
}

TEST(LayoutFile, EmptyOrMissingFiles) {
  test::TempDir dir;
  test::writeBytes(dir.file("empty.edf"), "");
  clsExcelDBDocInfo layout = layoutOf(kOther);
  EXPECT_THROW(layout.fnReadFile(dir.file("empty.edf")), LayoutFileError);
  EXPECT_FALSE(layout.fnReadFile(dir.file("none.edf")));
  EXPECT_EQ(valuesOf(layout), kOther);
  EXPECT_FALSE(saveLayoutFile(layout, dir.file("no/folder.edf")));
}

}  // namespace
}  // namespace morvane
