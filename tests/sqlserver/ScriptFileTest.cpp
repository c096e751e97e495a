// Files the scripts are written to: one per table, the deployment script, the notation file.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/text/Cp932.h"
#include "sqlserver/DeployScript.h"
#include "sqlserver/TypeNotationFile.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

using platform::Charset;
using platform::LineEnd;
using platform::OutputEncoding;
using test::makeTable;

TEST(ScriptFile, ByteForByteInCodePage932AndOverwritten) {
  test::TempDir dir;
  clsSQLServerDB generator;
  ASSERT_TRUE(generator.fnSaveCreateSQL(test::customerTable(), dir.path().string()));
  EXPECT_EQ(test::readBytes(dir.file("Customer.sql")), test::kCustomerScript);
  EXPECT_EQ(generator.getErrMsg(), "textは未定義です");
  ASSERT_TRUE(generator.fnSaveCreateSQL(makeTable("Customer", {{"c", "money", "", true}}), dir.path().string()));
  EXPECT_EQ(test::readBytes(dir.file("Customer.sql")),
            "BEGIN TRANSACTION \r\nCREATE TABLE dbo.Customer \r\n\t(\r\n\tc money  NULL \r\n\t) ON [PRIMARY] \r\nCOMMIT \r\n");
  EXPECT_EQ(test::filesIn(dir.path()).size(), 1u);  // no temporary file left

  // Table ～①, field 髙ｶﾅ (half-width katakana) of notation 日付 defined for Date.
  const std::string table = "\xEF\xBD\x9E\xE2\x91\xA0", field = "\xE9\xAB\x99\xEF\xBD\xB6\xEF\xBE\x85";
  auto types = std::make_shared<clsSQLServerFieldAttr>();
  types->setDate("日付");
  generator.sbSetFieldAttr(types);
  ASSERT_TRUE(generator.fnSaveCreateSQL(makeTable(table, {{field, "日付", "", false}}, {field}), dir.path().string()));
  const std::string cpTable = "\x81\x60\x87\x40", cpField = "\xFB\xFC\xB6\xC5";
  EXPECT_EQ(test::readBytes(dir.file(table + ".sql")),
            "BEGIN TRANSACTION \r\nCREATE TABLE dbo." + cpTable + " \r\n\t(\r\n\t" + cpField + " datetime  NOT NULL \r\n\t) ON "
            "[PRIMARY] \r\nALTER TABLE dbo." + cpTable + " ADD CONSTRAINT \r\n\tPK_" + cpTable +
            " PRIMARY KEY CLUSTERED \r\n\t( \r\n\t" + cpField + "\r\n\t) ON [PRIMARY] \r\nCOMMIT \r\n");
}

TEST(ScriptFile, WhatCannotBeBuiltOrWrittenThereTouchesNoFile) {
  test::TempDir dir;
  const std::string out = (dir.path() / "out").string();
  std::filesystem::create_directory(out);
  test::writeBytes(out + "/T.sql", "previous");
  std::filesystem::create_directory(out + "/D.sql");  // a folder where the file should be
  const std::string emoji = "\xF0\x9F\x98\x80";
  const std::pair<clsTableInfo, std::string> cases[] = {
      {makeTable("T", {{"a", "int", "", false}, {"b", "identity", "1", false}}, {"a"}), "カンマがありません"},
      {makeTable("E", {}), "作成できる列がありません"},
      {makeTable("V", {{"a", "blob", "", false}}, {"a"}), "作成できる列がありません"},
      {makeTable("T" + emoji, {{"a", "int", "", false}}, {"a"}), "U+1F600"},
      {makeTable("T", {{"a" + emoji, "int", "", false}}), "U+1F600"},
      {makeTable("T", {{"a", "char", emoji, false}}), "U+1F600"},
      {makeTable("D", {{"a", "int", "", false}}), "D.sql"},
  };
  clsSQLServerDB generator;
  for (const auto& [table, reason] : cases) {
    EXPECT_FALSE(generator.fnSaveCreateSQL(table, out)) << reason;
    EXPECT_NE(generator.getFailReason().find(reason), std::string::npos) << generator.getFailReason();
  }
  EXPECT_EQ(generator.getErrMsg(), "blobは未定義です");
  // Names that leave the folder, and a folder that is not there.
  for (const std::string name : {"", ".", "..", "../T", "..\\T", "a/b", "/tmp/x"}) {
    EXPECT_FALSE(generator.fnSaveCreateSQL(makeTable(name, {{"a", "int", "", false}}, {"a"}), out)) << name;
  }
  EXPECT_FALSE(generator.fnSaveCreateSQL(test::customerTable(), dir.file("missing")));
  EXPECT_NE(generator.getFailReason().find("missing"), std::string::npos);
  EXPECT_EQ(test::readBytes(out + "/T.sql"), "previous");
  EXPECT_EQ(test::filesIn(out), (std::vector<std::string>{"D.sql", "T.sql"}));
  EXPECT_EQ(test::filesIn(dir.path()), std::vector<std::string>{"out"});
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
  auto report = [&](const clsTableInfo& table, bool saved) {
    reports.push_back(table.getName() + ": " + (saved ? "ok" : generator.getFailReason()));
  };
  const ProgressTally tally = generator.fnSaveCreateSQLs(db, dir.path().string(), progress, report);
  EXPECT_EQ(tally.done, 2u);
  EXPECT_EQ(tally.failed, 2u);
  EXPECT_EQ(test::filesIn(dir.path()), (std::vector<std::string>{"T1.sql", "T2.sql"}));
  EXPECT_NE(test::readBytes(dir.file("T1.sql")).find("first"), std::string::npos);
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports[1], "T2: ok");
  for (const int later : {2, 3}) EXPECT_NE(reports[later].find("「T1」と同じファイル名"), std::string::npos) << reports[later];
  // Another run starts with no name taken.
  test::TempDir again;
  EXPECT_EQ(generator.fnSaveCreateSQLs(db, again.path().string(), progress, report).done, 2u);

  // With a reference selected, a table would be the foreign keys' file: refused, its key left out.
  test::TempDir keys;
  reports.clear();
  generator.fnSaveCreateSQLs(test::dbOf({makeTable("_Foreign_Keys", {{"a", "int", "", false, "", "T1.first"}}, {"a"})}),
                             keys.path().string(), progress, report);
  EXPECT_EQ(reports, (std::vector<std::string>{"_Foreign_Keys: テーブル名「_Foreign_Keys」は外部キーのスクリプト "
                                               "_foreign_keys.sql と同じファイル名になるため、書きません"}));
  EXPECT_EQ(generator.getForeignKeyFailures(),
            (std::vector<std::string>{"外部キー「FK__Foreign_Keys_a」を作りません: テーブル「_Foreign_Keys」を作成できませんでした"}));
  EXPECT_TRUE(test::filesIn(keys.path()).empty());
}

TEST(DeployScript, SplitAtItsGoLinesItIsThePerTableScripts) {
  const DeployHeading heading{"\xE8\xA8\xAD\xE8\xA8\x88.xlsx", "2026-01-02 03:04:05 +0900", "9.9"};  // 設計.xlsx
  for (const OutputEncoding encoding :
       {OutputEncoding{}, OutputEncoding{Charset::Utf8, LineEnd::Lf}, OutputEncoding{Charset::Utf8Bom, LineEnd::CrLf}}) {
    const std::string eol = encoding.lineEnd == LineEnd::Lf ? "\n" : "\r\n";
    test::TempDir dir;
    clsSQLServerDB generator;
    DeployScript deploy(heading, encoding);
    std::string expected;
    for (const auto& table : {test::customerTable(), makeTable("Log", {{"At", "date", "", false}}),
                              makeTable("\xE9\xA1\xA7\xE5\xAE\xA2", {{"No", "int", "", false}}, {"No"})}) {  // 顧客
      const auto script = generator.fnEncodeCreateSQL(table, encoding);
      ASSERT_TRUE(script) << generator.getFailReason();
      deploy.add(*script);
      ASSERT_TRUE(generator.fnSaveCreateSQL(table, dir.path().string(), encoding));
      const std::string file = test::readBytes(dir.file(table.getName() + ".sql"));
      ASSERT_TRUE(file.starts_with(platform::byteOrderMark(encoding)));
      expected += file.substr(platform::byteOrderMark(encoding).size()) + "GO" + eol;
    }
    // The heading: comment lines naming the workbook, its time and the version, then SET XACT_ABORT ON.
    const std::string& bytes = deploy.bytes();
    const std::string set = "SET XACT_ABORT ON" + eol + "GO" + eol + eol;
    ASSERT_NE(bytes.find(set), std::string::npos) << bytes;
    EXPECT_EQ(bytes.substr(bytes.find(set) + set.size()), expected);
    const std::string head = bytes.substr(0, bytes.find(set));
    const std::string text = encoding.charset == Charset::Cp932 ? platform::fromCp932(head) : head;
    for (const std::string& part : {heading.workbookName, heading.workbookModified, std::string("morvane-batch 9.9")}) {
      EXPECT_NE(text.find(part), std::string::npos) << part;
    }
    for (std::size_t at = platform::byteOrderMark(encoding).size(); at < head.size(); at = head.find('\n', at) + 1) {
      EXPECT_EQ(head.compare(at, 3, "-- "), 0) << head.substr(at);
    }
    EXPECT_EQ(bytes.starts_with("\xEF\xBB\xBF"), encoding.charset == Charset::Utf8Bom);
    EXPECT_EQ(bytes.find("\xEF\xBB\xBF", 1), std::string::npos);
    EXPECT_EQ(bytes.find('\r') == std::string::npos, encoding.lineEnd == LineEnd::Lf);
  }
  // A file name may hold a line break, and characters code page 932 has not: neither ends the comment.
  const DeployHeading hostile{"a\nDROP TABLE dbo.x\r\xF0\x9F\x98\x80\xE9\xB7\x97.xlsx", "t", "1"};
  EXPECT_NE(platform::fromCp932(DeployScript(hostile, {}).bytes()).find("-- \xE3\x83\x96\xE3\x83\x83\xE3\x82\xAF: a DROP TABLE dbo.x ??.xlsx\r\n"),
            std::string::npos);
  EXPECT_NE(DeployScript(hostile, {Charset::Utf8, LineEnd::CrLf}).bytes().find(": a DROP TABLE dbo.x \xF0\x9F\x98\x80\xE9\xB7\x97.xlsx\r\n"),
            std::string::npos);
}

std::string allOf(const clsSQLServerFieldAttr& t) {
  return t.getChar() + "|" + t.getVarChar() + "|" + t.getIdentity() + "|" + t.getInt() + "|" + t.getDate() + "|" +
         t.getReal() + "|" + t.getFloat() + "|" + t.getDecimal() + "|" + t.getMoney();
}

TEST(TypeNotationFile, WritesNineLinesInFileOrderAndReadsEachBackToItsOwnSetter) {
  test::TempDir dir;
  ASSERT_TRUE(fnSaveDataType(clsSQLServerFieldAttr(), dir.file("d.sfa")));
  EXPECT_EQ(test::readBytes(dir.file("d.sfa")),
            "<char>char</char>\r\n<varchar>varchar</varchar>\r\n<date>date</date>\r\n<identity>identity</identity>\r\n"
            "<int>int</int>\r\n<float>float</float>\r\n<real>real</real>\r\n<decimal>decimal</decimal>\r\n<money>money</money>\r\n");
  clsSQLServerFieldAttr ja;
  ja.setDate("日付");
  ja.setMoney("通貨");
  ASSERT_TRUE(fnSaveDataType(ja, dir.file("ja.sfa")));
  EXPECT_EQ(test::readBytes(dir.file("ja.sfa")), test::readBytes(MORVANE_SOURCE_DIR "/examples/types-ja.sfa"));

  clsSQLServerFieldAttr written;
  int n = 0;
  for (auto set : {&clsSQLServerFieldAttr::setChar, &clsSQLServerFieldAttr::setVarChar, &clsSQLServerFieldAttr::setIdentity,
                   &clsSQLServerFieldAttr::setInt, &clsSQLServerFieldAttr::setDate, &clsSQLServerFieldAttr::setReal,
                   &clsSQLServerFieldAttr::setFloat, &clsSQLServerFieldAttr::setDecimal, &clsSQLServerFieldAttr::setMoney}) {
    (written.*set)(n == 0 ? " 文字, 固定 " : n == 3 ? "" : "c" + std::to_string(n));
    ++n;
  }
  auto readBack = [&](const std::string& file, clsSQLServerFieldAttr types) {
    clsXML reader;
    EXPECT_TRUE(reader.fnReadFile(dir.file(file)));
    sbReadDataType(reader, types);
    return allOf(types);
  };
  ASSERT_TRUE(fnSaveDataType(written, dir.file("t.sfa")));
  EXPECT_EQ(readBack("t.sfa", {}), allOf(written));
  // A file lacking a key (decimal) stores empty text for it.
  test::writeBytes(dir.file("p.sfa"), "<money>m</money>\r\n<char>c</char>\r\n<varchar>v</varchar>\r\n<date>d</date>\r\n"
                                      "<identity>i</identity>\r\n<int>n</int>\r\n<float>f</float>\r\n<real>r</real>\r\n");
  EXPECT_EQ(readBack("p.sfa", written), "c|v|i|n|d|r|f||m");
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
