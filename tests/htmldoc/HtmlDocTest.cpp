#include <gtest/gtest.h>

#include <filesystem>

#include "htmldoc/clsHTMLDoc.h"
#include "platform/files/Files.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using namespace test;  // the builders and the folder helpers
using Names = std::vector<std::string>;

// The documentation pages as they must come out, written out by hand from their pieces in code
// page 932 bytes, so that the writer is checked against something it did not compute itself.
const std::string kSpace3000 = "\x81\x40";                                          // U+3000
const std::string kTableList = "\x83\x65\x81\x5B\x83\x75\x83\x8B\x88\xEA\x97\x97";  // テーブル一覧

std::string head(const std::string& title) {
  return "<html> <head> <title>" + title + "</title> " +
         R"(<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"> </head> )";
}
const std::string kListBody =
    R"(<body bgcolor="#FFFFFF" text="#996699" link="#3333FF" alink="#0000CC" vlink="#333366"> )";

std::string indexPage(const std::string& title) {
  return head(title) + R"(<frameset cols="258,*" frameborder="YES" border="1" framespacing="1" rows="*">  )" +
         R"(  <frame name="leftFrame" noresize src="leftframe.htm" scrolling="AUTO"> )" +
         R"(  <frame name="mainFrame" src="rightframe.htm" scrolling="AUTO"> </frameset> )" +
         R"(<noframes><body bgcolor="#FFFFFF" text="#000000"> </body></noframes> </html> )" + "\r\n";
}

std::string titlePage(const std::string& title) {
  return head(title) + kListBody + R"(<p align="left"><font size="4"><b><NOBR>)" + title + "</NOBR></b></font></p> " +
         R"(<p><b><font size="4"><a href="https://morvane.example/">https://morvane.example/  )" +
         "  </a></font></b></p> </body> </html> \r\n";
}

// The list page: its lines as (link, name).
std::string listPage(const std::vector<std::pair<std::string, std::string>>& lines) {
  std::string page = head(kTableList) + kListBody +
                     R"(<table width="238" border="1" cellspacing="0" cellpadding="2" align="left">   <tr>  )" +
                     R"(    <td bgcolor="#6633CC"><font color="#FFFFFF"><b><font size="3">)" + kTableList +
                     "</font></b></font></td>   </tr> ";
  for (const auto& [link, name] : lines) {
    page += R"(  <tr>      <td bgcolor="#CCFF99">        <div align="left"><font size="2"><a href=")" + link +
            R"(.htm" target="mainFrame">)" + name + "</a></font></div>     </td>   </tr> ";
  }
  return page + "</table><p>" + kSpace3000 + "</p></body></html>\r\n";
}

// A table's page: its rows of five cells (field, attribute, size, null, key).
std::string tablePage(const std::string& name, const std::vector<std::vector<std::string>>& rows) {
  std::string page = head(name) + R"(<body bgcolor="#FFFFFF" text="#000000"> )" +
                     R"(<table width="400" border="2" cellspacing="0" cellpadding="2"> )" +
                     R"(  <tr bgcolor="#6633CC" align="center">      <td align="center" colspan="5">  )" +
                     R"(      <div align="left"><font size="3" color="#FFFFFF"><b>)" + name + "</b></font></div> " +
                     R"(    </td>   </tr>   <tr bgcolor="#6633CC" align="center">  )" +
                     R"(    <td align="center"><b><font color="white" size="2">Field</font></b></td> )";
  for (const char* heading : {"Attribute", "Size", "Null", "PrimaryKey"}) {
    page += std::string(R"(    <td><b><font color="white" size="2">)") + heading + "</font></b></td> ";
  }
  page += "  </tr> ";
  for (const auto& row : rows) {
    page += R"(  <tr bgcolor="#CCFF99">  )";
    for (std::size_t i = 0; i < row.size(); ++i) {
      page += std::string(i == 0 ? R"(    <td align="center">  )" : "    <td>  ") +
              R"(      <div align="center"><font size="2">)" + (row[i].empty() ? kSpace3000 : row[i]) +
              "</font></div>     </td> ";
    }
    page += "  </tr> ";
  }
  return page + "</table></body></html>\r\n";
}

// Sizes of blanks show U+3000 (here ""), other sizes keep their blanks; keys match fields whatever the
// blanks around them, but not whatever the letter case. Inserted values are escaped, links encoded and
// characters code page 932 cannot hold (U+1F600) referenced; a page carries its name as it is.
TEST(HtmlDocSet, ASmallSetIsWrittenByteForByte) {
  TempDir dir;
  const std::string customer = "\xE9\xA1\xA7\xE5\xAE\xA2", customerSjis = "\x8C\xDA\x8B\x71";  // 顧客
  const std::string smile = "\xF0\x9F\x98\x80", odd = R"(R&D<"x">%#?:| 1)" + smile;
  const auto first =
      makeTable(customer, {{"ID", "identity", "1,1"}, {"Name", "varchar", "50", true}, {"Born", "date"}}, {"ID"});
  const auto second = makeTable("Orders",
                                {{"No", "int", "   "}, {"CustomerID", "Int ", " 10", true}, {"D", "varchar", "\u3000", true},
                                 {"ID ", "int"}, {"id", "int"}, {"Id", "int"}},
                                {"No", "CustomerID", "X", " ID", " Id "});
  const auto third = makeTable(odd, {{"a<b", "<script>alert(1)</script>", "\"5\"" + smile}}, {"a<b"});
  clsHTMLDoc writer;
  writer.setTitle("Q&A <draft> " + smile + customer);
  EXPECT_TRUE(writer.fnWriteFile(dbOf({first, second, makeTable("Empty", {}), third}), dir.path().string()));

  const std::string title = "Q&amp;A &lt;draft&gt; &#x1F600;" + customerSjis;
  const std::string shown = "R&amp;D&lt;&quot;x&quot;&gt;%#?:| 1&#x1F600;";
  EXPECT_EQ(filesIn(dir.path()), (Names{"Empty.htm", "Orders.htm", odd + ".htm", "index.htm", "leftframe.htm",
                                        "rightframe.htm", customer + ".htm"}));
  EXPECT_EQ(readBytes(dir.file("index.htm")), indexPage(title));
  EXPECT_EQ(readBytes(dir.file("rightframe.htm")), titlePage(title));
  EXPECT_EQ(readBytes(dir.file("leftframe.htm")),
            listPage({{customerSjis, customerSjis}, {"Orders", "Orders"}, {"Empty", "Empty"},
                      {"R&amp;D&lt;&quot;x&quot;&gt;%25%23%3F%3A%7C%201&#x1F600;", shown}}));
  EXPECT_EQ(readBytes(dir.file(customer + ".htm")),
            tablePage(customerSjis, {{"ID", "identity", "1,1", "", "y"}, {"Name", "varchar", "50", "y", ""},
                                     {"Born", "date", "", "", ""}}));
  EXPECT_EQ(readBytes(dir.file("Orders.htm")),
            tablePage("Orders", {{"No", "int", "", "", "y"}, {"CustomerID", "Int ", " 10", "y", "y"},
                                 {"D", "varchar", "", "y", ""}, {"ID ", "int", "", "", "y"},
                                 {"id", "int", "", "", ""}, {"Id", "int", "", "", "y"}}));
  EXPECT_EQ(readBytes(dir.file("Empty.htm")), tablePage("Empty", {}));
  EXPECT_EQ(readBytes(dir.file(odd + ".htm")),
            tablePage(shown, {{"a&lt;b", "&lt;script&gt;alert(1)&lt;/script&gt;", "&quot;5&quot;&#x1F600;", "", "y"}}));
}

// Names that are no file of the folder (which ones is the platform's), that take the set's own pages, or
// that equal an earlier name but for letter case: the set is written without them, whole, each with its reason.
TEST(HtmlDocSet, TablesWhosePageCannotBeWrittenAreLeftOutOfAWholeSet) {
  const std::string tooLong(252, 'n'), longest(251, 'm');  // with ".htm", one byte over / the longest name
  const std::string own = "テーブル名がドキュメントの index、leftframe、rightframe のページと重なります";
  const std::string dup = "先のテーブル「Dup」と同じページ名になります (大文字小文字は区別されません)";
  const Names bad = {"../escape: テーブル名がフォルダ内のファイル名になりません", "index: " + own, "LeftFrame: " + own,
                     "RIGHTFRAME: " + own, tooLong + ": テーブル名が長すぎてファイル名になりません", "DUP: " + dup,
                     "Dup: " + dup};
  TempDir parent;
  const fs::path dir = parent.path() / "set";
  fs::create_directory(dir);
  std::vector<clsTableInfo> tables = {makeTable("Dup", {{"A", "int"}})};
  for (const auto& name : bad) tables.push_back(makeTable(name.substr(0, name.find(": ")), {{"X", "int"}}));
  tables.push_back(makeTable("index.htm", {}));  // its page is index.htm.htm: no clash
  tables.push_back(makeTable(longest, {}));
  clsHTMLDoc writer;
  writer.setTitle("T");
  test::RecordingProgress progress;
  EXPECT_EQ(writer.fnWriteFile(dbOf(tables), dir.string(), progress).done, 3u);
  EXPECT_EQ(progress.calls().back(), "end 3/7/0");
  Names refused;
  for (const auto& page : writer.getRefused()) refused.push_back(page.table->getName() + ": " + page.reason);
  EXPECT_EQ(refused, bad);
  EXPECT_EQ(filesIn(dir),
            (Names{"Dup.htm", "index.htm", "index.htm.htm", "leftframe.htm", longest + ".htm", "rightframe.htm"}));
  EXPECT_EQ(filesIn(parent.path()), (Names{"set"}));
  EXPECT_EQ(readBytes((dir / "leftframe.htm").string()),
            listPage({{"Dup", "Dup"}, {"index.htm", "index.htm"}, {longest, longest}}));

  // A clean set afterwards clears the list; the plain call says so by its result. "diagram" names the
  // diagram's page only in a set with a reference.
  EXPECT_TRUE(writer.fnWriteFile(dbOf({makeTable("Diagram", {})}), dir.string()));
  EXPECT_TRUE(writer.getRefused().empty());
  EXPECT_FALSE(writer.fnWriteFile(
      dbOf({makeTable("Diagram", {}), makeTable("Before", {{"X", "int"}, {"R", "int", "", false, "", "Before.X"}})}),
      dir.string()));
  ASSERT_EQ(writer.getRefused().size(), 1u);
  EXPECT_EQ(writer.getRefused()[0].reason, "テーブル名がドキュメントの関連図のページ diagram と重なります");
  EXPECT_TRUE(fs::exists(dir / "diagram.htm"));
}

TEST(HtmlDocSet, AFailedWriteStopsTheSetAndACancelledSetListsOnlyTheWrittenPages) {
  TempDir dir, cancelled;
  const auto db = dbOf({makeTable("A", {}), makeTable("B", {}), makeTable("C", {})});
  clsHTMLDoc writer;
  writer.fnWriteFile(dbOf({makeTable("Z", {})}), dir.path().string());
  const std::string oldList = readBytes(dir.file("leftframe.htm"));
  // A folder where B's page should go: permissions would not stop a root test run, this does.
  fs::create_directory(dir.path() / "B.htm");
  writer.setTitle("new");
  EXPECT_THROW(writer.fnWriteFile(db, dir.path().string()), platform::FileError);
  EXPECT_EQ(filesIn(dir.path()), (Names{"A.htm", "B.htm", "Z.htm", "index.htm", "leftframe.htm", "rightframe.htm"}));
  EXPECT_EQ(readBytes(dir.file("index.htm")), indexPage("new"));
  EXPECT_EQ(readBytes(dir.file("leftframe.htm")), oldList);  // never reached: the old one stays whole

  test::RecordingProgress afterFirst(1);
  EXPECT_TRUE(writer.fnWriteFile(db, cancelled.path().string(), afterFirst).cancelled);
  EXPECT_EQ(afterFirst.calls(), (Names{"begin 3", "step 0 A", "end 1/0/2 cancelled"}));
  EXPECT_EQ(filesIn(cancelled.path()), (Names{"A.htm", "index.htm", "leftframe.htm", "rightframe.htm"}));
  EXPECT_EQ(readBytes(cancelled.file("leftframe.htm")), listPage({{"A", "A"}}));
}

}  // namespace
}  // namespace morvane
