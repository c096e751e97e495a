#include <gtest/gtest.h>

#include "sqlserver/TypeNotationFile.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

std::string allOf(const clsSQLServerFieldAttr& t) {
  return t.getChar() + "|" + t.getVarChar() + "|" + t.getIdentity() + "|" + t.getInt() + "|" + t.getDate() + "|" +
         t.getReal() + "|" + t.getFloat() + "|" + t.getDecimal() + "|" + t.getMoney();
}

clsSQLServerFieldAttr readFile(const std::string& path, clsSQLServerFieldAttr types) {
  clsXML reader;
  EXPECT_TRUE(reader.fnReadFile(path));
  sbReadDataType(reader, types);
  return types;
}

TEST(TypeNotationFile, WritesNineLinesInFileOrderAndTheCommittedExample) {
  test::TempDir dir;
  ASSERT_TRUE(fnSaveDataType(clsSQLServerFieldAttr(), dir.file("d.sfa")));
  EXPECT_EQ(test::readBytes(dir.file("d.sfa")),
            "<char>char</char>\r\n<varchar>varchar</varchar>\r\n<date>date</date>\r\n"
            "<identity>identity</identity>\r\n<int>int</int>\r\n<float>float</float>\r\n"
            "<real>real</real>\r\n<decimal>decimal</decimal>\r\n<money>money</money>\r\n");
  clsSQLServerFieldAttr types;
  types.setDate("日付");
  types.setMoney("通貨");
  ASSERT_TRUE(fnSaveDataType(types, dir.file("ja.sfa")));
  EXPECT_EQ(test::readBytes(dir.file("ja.sfa")), test::readBytes(MORVANE_SOURCE_DIR "/examples/types-ja.sfa"));
}

TEST(TypeNotationFile, RoundTripsEveryNotationToItsOwnSetter) {
  test::TempDir dir;
  clsSQLServerFieldAttr written;
  written.setChar(" 文字, 固定 ");
  written.setVarChar("c2");
  written.setIdentity("c3");
  written.setInt("");
  written.setDate("c5");
  written.setReal("c6");
  written.setFloat("c7");
  written.setDecimal("c8");
  written.setMoney("c9");
  ASSERT_TRUE(fnSaveDataType(written, dir.file("t.sfa")));
  EXPECT_EQ(allOf(readFile(dir.file("t.sfa"), clsSQLServerFieldAttr())), allOf(written));

  // A file lacking a key (decimal) stores empty text for it.
  test::writeBytes(dir.file("p.sfa"),
                   "<money>m</money>\r\n<char>c</char>\r\n<varchar>v</varchar>\r\n<date>d</date>\r\n"
                   "<identity>i</identity>\r\n<int>n</int>\r\n<float>f</float>\r\n<real>r</real>\r\n");
  EXPECT_EQ(allOf(readFile(dir.file("p.sfa"), written)), "c|v|i|n|d|r|f||m");

  // A type word is a word: a longer value is refused, and the notations stay as they were.
  test::writeBytes(dir.file("long.sfa"), "<char>c</char>\r\n<money>" + std::string(kMaxTypeWordBytes + 1, 'm') + "</money>\r\n");
  clsXML reader;
  ASSERT_TRUE(reader.fnReadFile(dir.file("long.sfa")));
  clsSQLServerFieldAttr kept = written;
  EXPECT_THROW(sbReadDataType(reader, kept), TypeNotationError);
  EXPECT_EQ(allOf(kept), allOf(written));
}

}  // namespace
}  // namespace morvane
