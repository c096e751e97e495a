#include <gtest/gtest.h>

#include "sqlserver/TypeNotationFile.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

std::string allOf(const clsSQLServerFieldAttr& t) {
  return t.getChar() + "|" + t.getVarChar() + "|" + t.getIdentity() + "|" + t.getInt() + "|" + t.getDate() + "|" +
         t.getReal() + "|" + t.getFloat() + "|" + t.getDecimal() + "|" + t.getMoney();
}

clsSQLServerFieldAttr distinct() {
  clsSQLServerFieldAttr t;
  t.setChar("c1");
  t.setVarChar("c2");
  t.setIdentity("c3");
  t.setInt("c4");
  t.setDate("c5");
  t.setReal("c6");
  t.setFloat("c7");
  t.setDecimal("c8");
  t.setMoney("c9");
  return t;
}

TEST(TypeNotationFile, WritesNineLinesInFileOrder) {
  test::TempDir dir;
  ASSERT_TRUE(fnSaveDataType(clsSQLServerFieldAttr(), dir.file("d.sfa")));
  EXPECT_EQ(test::readBytes(dir.file("d.sfa")),
            "<char>char</char>\r\n<varchar>varchar</varchar>\r\n<date>date</date>\r\n"
            "<identity>identity</identity>\r\n<int>int</int>\r\n<float>float</float>\r\n"
            "<real>real</real>\r\n<decimal>decimal</decimal>\r\n<money>money</money>\r\n");
}

TEST(TypeNotationFile, RoundTripsEveryNotationToItsOwnSetter) {
  test::TempDir dir;
  clsSQLServerFieldAttr written = distinct();
  written.setChar(" 文字, 固定 ");
  written.setInt("");
  ASSERT_TRUE(fnSaveDataType(written, dir.file("t.sfa")));
  clsXML reader;
  ASSERT_TRUE(reader.fnReadFile(dir.file("t.sfa")));
  clsSQLServerFieldAttr read;
  sbReadDataType(reader, read);
  EXPECT_EQ(allOf(read), allOf(written));
}

TEST(TypeNotationFile, AMissingKeyStoresEmptyText) {
  test::TempDir dir;
  test::writeBytes(dir.file("p.sfa"),
                   "<money>m</money>\r\n<char>c</char>\r\n<varchar>v</varchar>\r\n<date>d</date>\r\n"
                   "<identity>i</identity>\r\n<int>n</int>\r\n<float>f</float>\r\n<real>r</real>\r\n");
  clsXML reader;
  ASSERT_TRUE(reader.fnReadFile(dir.file("p.sfa")));
  clsSQLServerFieldAttr read = distinct();
  sbReadDataType(reader, read);
  EXPECT_EQ(allOf(read), "c|v|i|n|d|r|f||m");
}

TEST(TypeNotationFile, ANotationOutsideCodePage932FailsTheSave) {
  test::TempDir dir;
  ASSERT_TRUE(fnSaveDataType(clsSQLServerFieldAttr(), dir.file("t.sfa")));
  const std::string before = test::readBytes(dir.file("t.sfa"));
  clsSQLServerFieldAttr types;
  types.setMoney("\xE2\x82\xA9");  // the won sign, not in code page 932
  EXPECT_FALSE(fnSaveDataType(types, dir.file("t.sfa")));
  EXPECT_EQ(test::readBytes(dir.file("t.sfa")), before);
}

// The committed example must be exactly what the writer produces for its notations.
TEST(TypeNotationFile, JapaneseExampleIsTheWritersOutput) {
  test::TempDir dir;
  clsSQLServerFieldAttr types;
  types.setDate("日付");
  types.setMoney("通貨");
  ASSERT_TRUE(fnSaveDataType(types, dir.file("ja.sfa")));
  EXPECT_EQ(test::readBytes(dir.file("ja.sfa")), test::readBytes(MORVANE_SOURCE_DIR "/examples/types-ja.sfa"));
}

}  // namespace
}  // namespace morvane
