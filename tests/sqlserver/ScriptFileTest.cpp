// Script files as written by fnSaveCreateSQL.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Cp932.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

using test::makeTable;

std::size_t fileCount(const std::filesystem::path& dir) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(ScriptFile, WorkedExampleByteForByte) {
  test::TempDir dir;
  clsSQLServerDB generator;
  ASSERT_TRUE(generator.fnSaveCreateSQL(test::customerTable(), dir.path().string()));
  EXPECT_EQ(test::readBytes(dir.file("Customer.sql")), test::kCustomerScript);
  EXPECT_EQ(generator.getErrMsg(), "textは未定義です");
  EXPECT_EQ(generator.getErrNo(), 0);
  EXPECT_EQ(fileCount(dir.path()), 1u);
}

}  // namespace
}  // namespace morvane
