// One deployment script: the per-table scripts in order, each closed by GO.
#include <gtest/gtest.h>

#include <vector>

#include "platform/text/Cp932.h"
#include "sqlserver/DeployScript.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

using platform::Charset;
using platform::LineEnd;
using platform::OutputEncoding;

std::vector<clsTableInfo> tables() {
  return {test::customerTable(),
          test::makeTable("Log", {{"At", "date", "", false}}, {}),
          test::makeTable("\xE9\xA1\xA7\xE5\xAE\xA2", {{"No", "int", "", false}}, {"No"})};  // 顧客
}

// The file cut after its heading (up to the first empty line) and at each GO line.
std::vector<std::string> splitAtGo(std::string bytes, const std::string& eol) {
  const auto bodyStart = bytes.find(eol + eol);
  if (bodyStart == std::string::npos) return {};
  bytes.erase(0, bodyStart + 2 * eol.size());
  std::vector<std::string> pieces;
  const std::string go = eol + "GO" + eol;
  for (std::size_t at; (at = bytes.find(go)) != std::string::npos;) {
    pieces.push_back(bytes.substr(0, at + eol.size()));
    bytes.erase(0, at + go.size());
  }
  if (!bytes.empty()) pieces.push_back("left over: " + bytes);
  return pieces;
}

TEST(DeployScript, SplitAtItsGoLinesItIsThePerTableScripts) {
  for (const OutputEncoding encoding :
       {OutputEncoding{}, OutputEncoding{Charset::Utf8, LineEnd::Lf}, OutputEncoding{Charset::Utf8Bom, LineEnd::CrLf}}) {
    const std::string eol = encoding.lineEnd == LineEnd::Lf ? "\n" : "\r\n";
    test::TempDir dir;
    clsSQLServerDB generator;
    DeployScript deploy({"book.xlsx", "2026-01-02 03:04:05 +0900", "9.9"}, encoding);
    std::vector<std::string> files;
    for (const auto& table : tables()) {
      const auto script = generator.fnEncodeCreateSQL(table, encoding);
      ASSERT_TRUE(script) << generator.getFailReason();
      deploy.add(*script);
      ASSERT_TRUE(generator.fnSaveCreateSQL(table, dir.path().string(), encoding));
      std::string file = test::readBytes(dir.file(table.getName() + ".sql"));
      const std::string_view mark = platform::byteOrderMark(encoding);
      ASSERT_TRUE(file.starts_with(mark));
      files.push_back(file.substr(mark.size()));
    }
    const std::string& bytes = deploy.bytes();
    EXPECT_EQ(splitAtGo(bytes, eol), files);
    EXPECT_EQ(bytes.starts_with("\xEF\xBB\xBF"), encoding.charset == Charset::Utf8Bom);
    EXPECT_EQ(bytes.find("\xEF\xBB\xBF", 1), std::string::npos);
    if (encoding.lineEnd == LineEnd::Lf) {
      EXPECT_EQ(bytes.find('\r'), std::string::npos);
    }
  }
}

TEST(DeployScript, HeadingNamesTheWorkbookItsTimeAndTheVersionInComments) {
  const DeployHeading heading{"\xE8\xA8\xAD\xE8\xA8\x88.xlsx", "2026-01-02 03:04:05 +0900", "1.2"};  // 設計.xlsx
  const std::string text = DeployScript(heading, {Charset::Utf8, LineEnd::Lf}).bytes();
  EXPECT_NE(text.find(heading.workbookName), std::string::npos) << text;
  EXPECT_NE(text.find(heading.workbookModified), std::string::npos) << text;
  EXPECT_NE(text.find("morvane-batch 1.2"), std::string::npos) << text;
  // Every line before SET XACT_ABORT ON, GO and the empty line is a comment.
  ASSERT_TRUE(text.ends_with("\nSET XACT_ABORT ON\nGO\n\n")) << text;
  const std::string head = text.substr(0, text.rfind("SET"));
  for (std::size_t at = 0; at < head.size(); at = head.find('\n', at) + 1) {
    EXPECT_EQ(head.compare(at, 3, "-- "), 0) << head.substr(at);
  }
  // The same heading in code page 932.
  EXPECT_EQ(platform::fromCp932(DeployScript(heading, {}).bytes()),
            DeployScript(heading, {Charset::Utf8, LineEnd::CrLf}).bytes());
}

TEST(DeployScript, AWorkbookNameCannotEndTheCommentOrSpoilTheCode) {
  // A file name may hold a line break, and characters code page 932 has not.
  const DeployHeading heading{"a\nDROP TABLE dbo.x\r\xF0\x9F\x98\x80\xE9\xB7\x97.xlsx", "t", "1"};
  const std::string text = platform::fromCp932(DeployScript(heading, {}).bytes());
  EXPECT_NE(text.find("-- \xE3\x83\x96\xE3\x83\x83\xE3\x82\xAF: a DROP TABLE dbo.x ??.xlsx\r\n"), std::string::npos)
      << text;
  const std::string utf8 = DeployScript(heading, {Charset::Utf8, LineEnd::CrLf}).bytes();
  EXPECT_NE(utf8.find(": a DROP TABLE dbo.x \xF0\x9F\x98\x80\xE9\xB7\x97.xlsx\r\n"), std::string::npos) << utf8;
}

}  // namespace
}  // namespace morvane
