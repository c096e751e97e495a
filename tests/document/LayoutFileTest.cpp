#include <gtest/gtest.h>

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

std::string line(const std::string& key, const std::string& value) {
  return "<" + key + ">" + value + "</" + key + ">\r\n";
}

// The file of a layout, written by hand in the given line order.
std::string fileOf(const Values& v, bool reversed = false) {
  std::string bytes;
  for (int i = 0; i < 10; ++i) {
    const int at = reversed ? 9 - i : i;
    bytes += line(kKeys[at], std::to_string(v[at]));
  }
  return bytes;
}

const Values kOther = {11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

TEST(LayoutFile, WritesTheTenKeysInFileOrder) {
  test::TempDir dir;
  ASSERT_TRUE(saveLayoutFile(clsExcelDBDocInfo(), dir.file("d.edf")));
  EXPECT_EQ(test::readBytes(dir.file("d.edf")),
            "<StartSheetNo>1</StartSheetNo>\r\n<EndSheetNo>4</EndSheetNo>\r\n"
            "<StartRowFieldDef>6</StartRowFieldDef>\r\n<RowTableName>3</RowTableName>\r\n"
            "<ColTableName>3</ColTableName>\r\n<ColFieldName>4</ColFieldName>\r\n"
            "<ColFieldType>5</ColFieldType>\r\n<ColFieldSize>6</ColFieldSize>\r\n"
            "<ColPrimarykey>7</ColPrimarykey>\r\n<ColNull>9</ColNull>\r\n");
  EXPECT_EQ(layoutToHash(layoutOf(kOther)).GetAllItems(","), "11,12,13,14,15,16,17,18,19,20");
}

TEST(LayoutFile, RoundTripsAnyValues) {
  test::TempDir dir;
  const Values written = {-1, 0, INT32_MAX, INT32_MIN, 3, 4, 5, 6, 7, 9};
  ASSERT_TRUE(saveLayoutFile(layoutOf(written), dir.file("x.edf")));
  EXPECT_NE(test::readBytes(dir.file("x.edf")).find("<StartSheetNo>-1</StartSheetNo>"), std::string::npos);
  clsExcelDBDocInfo read = layoutOf(kOther);
  ASSERT_TRUE(read.fnReadFile(dir.file("x.edf")));
  EXPECT_EQ(valuesOf(read), written);
}

TEST(LayoutFile, LineOrderDoesNotMatter) {
  test::TempDir dir;
  const Values v = {2, 3, 8, 1, 2, 3, 4, 5, 6, 7};
  test::writeBytes(dir.file("r.edf"), "<Other>99</Other>\r\n" + fileOf(v, true));
  clsExcelDBDocInfo layout;
  ASSERT_TRUE(layout.fnReadFile(dir.file("r.edf")));
  EXPECT_EQ(valuesOf(layout), v);
}

TEST(LayoutFile, HandEditedNumbersAreConverted) {
  test::TempDir dir;
  std::string bytes = fileOf(kOther);
  auto replace = [&](const std::string& key, const std::string& value) {
    const auto from = bytes.find("<" + key + ">");
    const auto to = bytes.find("\r\n", from);
    bytes.replace(from, to - from, "<" + key + ">" + value + "</" + key + ">");
  };
  replace("StartSheetNo", "2.5");
  replace("EndSheetNo", " 7 ");
  replace("RowTableName", "3.5");
  replace("ColNull", "-1");
  test::writeBytes(dir.file("h.edf"), bytes);
  clsExcelDBDocInfo layout;
  ASSERT_TRUE(layout.fnReadFile(dir.file("h.edf")));
  EXPECT_EQ(layout.getStartPage(), 2);
  EXPECT_EQ(layout.getEndPage(), 7);
  EXPECT_EQ(layout.getRowTableName(), 4);
  EXPECT_EQ(layout.getColNULL(), -1);
}

// A bad file changes nothing: the layout keeps all ten values, not just those after the bad key.
TEST(LayoutFile, ABadValueFailsWithoutChangingTheLayout) {
  test::TempDir dir;
  const Values before = {1, 4, 6, 3, 3, 4, 5, 6, 7, 9};
  struct Case {
    std::string key;
    std::string value;  // empty: the line is left out
  } cases[] = {{"ColFieldType", ""}, {"ColNull", "abc"}, {"StartSheetNo", "2147483648"},
               {"ColPrimarykey", "7,5"}, {"EndSheetNo", " "}};
  for (const auto& c : cases) {
    std::string bytes;
    for (int i = 0; i < 10; ++i) {
      if (kKeys[i] != c.key) bytes += line(kKeys[i], std::to_string(kOther[i]));
      else if (!c.value.empty()) bytes += line(kKeys[i], c.value);
    }
    test::writeBytes(dir.file("bad.edf"), bytes);
    clsExcelDBDocInfo layout = layoutOf(before);
    try {
      layout.fnReadFile(dir.file("bad.edf"));
      ADD_FAILURE() << c.key << " was accepted";
    } catch (const LayoutFileError& error) {
      EXPECT_NE(std::string(error.what()).find(c.key), std::string::npos) << error.what();
      EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos);
    }
    EXPECT_EQ(valuesOf(layout), before) << c.key;
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
