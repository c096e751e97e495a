// Script files as written by fnSaveCreateSQL.
#include <gtest/gtest.h>

#include <filesystem>

#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

using test::makeTable;

TEST(ScriptFile, WorkedExampleByteForByte) {
  test::TempDir dir;
  clsSQLServerDB generator;
  ASSERT_TRUE(generator.fnSaveCreateSQL(test::customerTable(), dir.path().string()));
  EXPECT_EQ(test::readBytes(dir.file("Customer.sql")), test::kCustomerScript);
  EXPECT_EQ(generator.getErrMsg(), "textは未定義です");
  EXPECT_EQ(generator.getErrNo(), 0);
  EXPECT_EQ(test::filesIn(dir.path()).size(), 1u);
}

TEST(ScriptFile, OverwritesAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  clsSQLServerDB generator;
  ASSERT_TRUE(generator.fnSaveCreateSQL(makeTable("T", {{"a", "int", "", false}, {"b", "int", "", false}}, {"a"}),
                                        dir.path().string()));
  ASSERT_TRUE(generator.fnSaveCreateSQL(makeTable("T", {{"c", "money", "", true}}, {}), dir.path().string()));
  EXPECT_EQ(test::readBytes(dir.file("T.sql")),
            "BEGIN TRANSACTION \r\nCREATE TABLE dbo.T \r\n\t(\r\n\tc money  NULL \r\n\t) ON [PRIMARY] \r\n"
            "COMMIT \r\n");
  EXPECT_EQ(test::filesIn(dir.path()).size(), 1u);
}

TEST(ScriptFile, ScriptsThatCannotBeBuiltTouchNoFile) {
  test::TempDir dir;
  const std::string out = dir.path().string();
  test::writeBytes(dir.file("T.sql"), "previous");
  clsSQLServerDB generator;
  ASSERT_TRUE(generator.fnSaveCreateSQL(makeTable("U", {{"a", "text", "", true}, {"b", "int", "", false}}, {}), out));
  EXPECT_FALSE(generator.fnSaveCreateSQL(makeTable("T", {{"a", "int", "", false}, {"b", "identity", "1", false}}, {"a"}), out));
  EXPECT_FALSE(generator.fnSaveCreateSQL(makeTable("E", {}, {}), out));
  EXPECT_FALSE(generator.fnSaveCreateSQL(makeTable("V", {{"a", "blob", "", false}}, {"a"}), out));
  EXPECT_EQ(generator.getErrMsg(), "blobは未定義です");
  EXPECT_NE(generator.getFailReason().find("作成できる列がありません"), std::string::npos);
  EXPECT_EQ(test::readBytes(dir.file("T.sql")), "previous");
  EXPECT_EQ(test::filesIn(dir.path()).size(), 2u);
}

TEST(ScriptFile, NamesThatLeaveTheFolderAreRefused) {
  test::TempDir dir;
  const std::filesystem::path inner = dir.path() / "out";
  std::filesystem::create_directory(inner);
  clsSQLServerDB generator;
  for (const std::string name : {"", ".", "..", "../T", "..\\T", "a/b", "/tmp/x"}) {
    EXPECT_FALSE(generator.fnSaveCreateSQL(makeTable(name, {{"a", "int", "", false}}, {"a"}), inner.string()))
        << name;
  }
  EXPECT_EQ(test::filesIn(inner).size(), 0u);
  EXPECT_EQ(test::filesIn(dir.path()).size(), 1u);
}

TEST(ScriptFile, UnwritableFolderFails) {
  test::TempDir dir;
  clsSQLServerDB generator;
  EXPECT_FALSE(generator.fnSaveCreateSQL(test::customerTable(), dir.file("missing")));
  EXPECT_NE(generator.getFailReason().find("missing"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
  // A folder where the file should be.
  std::filesystem::create_directory(dir.file("Customer.sql"));
  EXPECT_FALSE(generator.fnSaveCreateSQL(test::customerTable(), dir.path().string()));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("Customer.sql")));
  EXPECT_EQ(test::filesIn(dir.path()).size(), 1u);
}

TEST(ScriptFile, JapaneseNamesAreWrittenInCodePage932) {
  test::TempDir dir;
  // Table ～①, field 髙ｶﾅ (half-width katakana) of notation 日付 defined for Date.
  const std::string table = "\xEF\xBD\x9E\xE2\x91\xA0";
  const std::string field = "\xE9\xAB\x99\xEF\xBD\xB6\xEF\xBE\x85";
  auto types = std::make_shared<clsSQLServerFieldAttr>();
  types->setDate("日付");
  clsSQLServerDB generator;
  generator.sbSetFieldAttr(types);
  ASSERT_TRUE(generator.fnSaveCreateSQL(makeTable(table, {{field, "日付", "", false}}, {field}), dir.path().string()));
  const std::string bytes = test::readBytes(dir.file(table + ".sql"));
  const std::string cpTable = "\x81\x60\x87\x40";
  const std::string cpField = "\xFB\xFC\xB6\xC5";
  EXPECT_EQ(bytes, "BEGIN TRANSACTION \r\nCREATE TABLE dbo." + cpTable + " \r\n\t(\r\n\t" + cpField +
                       " datetime  NOT NULL \r\n\t) ON [PRIMARY] \r\nALTER TABLE dbo." + cpTable +
                       " ADD CONSTRAINT \r\n\tPK_" + cpTable + " PRIMARY KEY CLUSTERED \r\n\t( \r\n\t" + cpField +
                       "\r\n\t) ON [PRIMARY] \r\nCOMMIT \r\n");
}

TEST(ScriptFile, TextsCodePage932CannotHoldAreRefused) {
  test::TempDir dir;
  test::writeBytes(dir.file("T.sql"), "previous");
  const std::string emoji = "\xF0\x9F\x98\x80";
  clsSQLServerDB generator;
  EXPECT_FALSE(generator.fnSaveCreateSQL(makeTable("T" + emoji, {{"a", "int", "", false}}, {"a"}), dir.path().string()));
  EXPECT_FALSE(generator.fnSaveCreateSQL(makeTable("T", {{"a" + emoji, "int", "", false}}, {}), dir.path().string()));
  EXPECT_FALSE(generator.fnSaveCreateSQL(makeTable("T", {{"a", "char", emoji, false}}, {}), dir.path().string()));
  EXPECT_NE(generator.getFailReason().find("U+1F600"), std::string::npos) << generator.getFailReason();
  EXPECT_EQ(test::readBytes(dir.file("T.sql")), "previous");
  EXPECT_EQ(test::filesIn(dir.path()).size(), 1u);
}

// A run over tables writes the first of two names that differ only in case and fails the later.
TEST(ScriptFile, ARunNeverReplacesAnEarlierTablesScript) {
  test::TempDir dir;
  clsDBInfo db;
  for (const auto& [name, column] : {std::pair{"T1", "first"}, {"T2", "other"}, {"t1", "second"}, {"T1", "third"}}) {
    db.setTable(std::make_shared<clsTableInfo>(makeTable(name, {{column, "int", "", false}}, {column})));
  }
  clsSQLServerDB generator;
  test::RecordingProgress progress;
  std::vector<std::string> reports;
  const ProgressTally tally =
      generator.fnSaveCreateSQLs(db, dir.path().string(), progress, [&](const clsTableInfo& table, bool saved) {
        reports.push_back(table.getName() + (saved ? " ok" : " " + generator.getFailReason()));
      });
  EXPECT_EQ(tally.done, 2u);
  EXPECT_EQ(tally.failed, 2u);
  EXPECT_EQ(test::filesIn(dir.path()).size(), 2u);
  EXPECT_NE(test::readBytes(dir.file("T1.sql")).find("first"), std::string::npos);
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports[0], "T1 ok");
  EXPECT_EQ(reports[1], "T2 ok");
  EXPECT_NE(reports[2].find("「T1」と同じファイル名"), std::string::npos) << reports[2];
  EXPECT_NE(reports[3].find("「T1」と同じファイル名"), std::string::npos) << reports[3];
  // Another run starts with no name taken.
  test::TempDir again;
  EXPECT_EQ(generator.fnSaveCreateSQLs(db, again.path().string(), progress, [](const clsTableInfo&, bool) {}).done, 2u);

  // With a reference selected, a table would be the foreign keys' file: refused, its key left out.
  test::TempDir keys;
  reports.clear();
  generator.fnSaveCreateSQLs(test::dbOf({makeTable("_Foreign_Keys", {{"a", "int", "", false, "", "T1.first"}}, {"a"})}),
                             keys.path().string(), progress, [&](const clsTableInfo&, bool saved) {
                               reports.push_back(saved ? "ok" : generator.getFailReason());
                             });
  EXPECT_EQ(reports, (std::vector<std::string>{"テーブル名「_Foreign_Keys」は外部キーのスクリプト _foreign_keys.sql と同じファイル名になるため、書きません"}));
  EXPECT_EQ(generator.getForeignKeyFailures(),
            (std::vector<std::string>{"外部キー「FK__Foreign_Keys_a」を作りません: テーブル「_Foreign_Keys」を作成できませんでした"}));
  EXPECT_TRUE(test::filesIn(keys.path()).empty());
}

}  // namespace
}  // namespace morvane
