#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "htmldoc/clsHTMLDoc.h"
#include "platform/files/Files.h"
#include "tests/htmldoc/HtmlDocExpected.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using namespace test::html;
using test::readBytes;
using test::TempDir;

using test::dbOf;
using test::filesIn;
using test::makeTable;
using Names = std::vector<std::string>;

TEST(HtmlDocSet, SmallSetIsWrittenByteForByte) {
  TempDir dir;
  const std::string customer = "\xE9\xA1\xA7\xE5\xAE\xA2";  // 顧客
  const std::string customerSjis = "\x8C\xDA\x8B\x71";
  const auto first = makeTable(customer,
                               {{"ID", "identity", "1,1", false},
                                {"Name", "varchar", "50", true},
                                {"Born", "date", "", false}},
                               {"ID"});
  const auto second = makeTable("Orders", {{"No", "int", "", false}, {"CustomerID", "Int ", " 10", true}},
                                {"No", "CustomerID"});
  clsHTMLDoc writer;
  writer.setTitle(customer + " DB");
  EXPECT_TRUE(writer.fnWriteFile(dbOf({first, second}), dir.path().string()));

  EXPECT_EQ(filesIn(dir.path()), (Names{"Orders.htm", "index.htm", "leftframe.htm", "rightframe.htm",
                                        customer + ".htm"}));
  EXPECT_EQ(readBytes(dir.file("index.htm")), indexPage(customerSjis + " DB"));
  EXPECT_EQ(readBytes(dir.file("rightframe.htm")), titlePage(customerSjis + " DB"));
  EXPECT_EQ(readBytes(dir.file("leftframe.htm")),
            indexHead() + indexLine(customerSjis, customerSjis) + indexLine("Orders", "Orders") + indexFoot());
  EXPECT_EQ(readBytes(dir.file(customer + ".htm")),
            tableHead(customerSjis) + fieldRow("ID", "identity", "1,1", kSpace3000, "y") +
                fieldRow("Name", "varchar", "50", "y", kSpace3000) +
                fieldRow("Born", "date", kSpace3000, kSpace3000, kSpace3000) + tableFoot());
  EXPECT_EQ(readBytes(dir.file("Orders.htm")),
            tableHead("Orders") + fieldRow("No", "int", kSpace3000, kSpace3000, "y") +
                fieldRow("CustomerID", "Int ", " 10", "y", "y") + tableFoot());
}

TEST(HtmlDocSet, EmptyDefinitionMissingTitleAndTableWithoutFields) {
  TempDir dir;
  clsHTMLDoc writer;
  writer.fnWriteFile(clsDBInfo{}, dir.path().string());
  EXPECT_EQ(filesIn(dir.path()), (Names{"index.htm", "leftframe.htm", "rightframe.htm"}));
  EXPECT_EQ(readBytes(dir.file("leftframe.htm")), indexHead() + indexFoot());
  EXPECT_EQ(readBytes(dir.file("index.htm")), indexPage(""));
  EXPECT_EQ(readBytes(dir.file("rightframe.htm")), titlePage(""));
  writer.fnWriteFile(dbOf({makeTable("Empty", {})}), dir.path().string());
  EXPECT_EQ(readBytes(dir.file("Empty.htm")), tableHead("Empty") + tableFoot());
}

TEST(HtmlDocSet, SizeCellsAndKeyMatching) {
  TempDir dir;
  const auto sizes = makeTable("T",
                               {{"A", "int", "", false},
                                {"B", "int", "   ", false},
                                {"C", "char", " 10", false},
                                {"D", "varchar", "\xE3\x80\x80", true}});
  // Blanks around a key or a field name do not matter, letter case does.
  const auto blanks = makeTable("K1", {{"ID ", "int", "", false}}, {"X", " ID"});
  const auto letterCase = makeTable("K2", {{"id", "int", "", false}, {"Id", "int", "", false}}, {"ID", " Id "});
  clsHTMLDoc writer;
  writer.fnWriteFile(dbOf({sizes, blanks, letterCase}), dir.path().string());
  // A size of blanks is shown as U+3000; any other size is kept with its blanks.
  EXPECT_EQ(readBytes(dir.file("T.htm")),
            tableHead("T") + fieldRow("A", "int", kSpace3000, kSpace3000, kSpace3000) +
                fieldRow("B", "int", kSpace3000, kSpace3000, kSpace3000) +
                fieldRow("C", "char", " 10", kSpace3000, kSpace3000) +
                fieldRow("D", "varchar", kSpace3000, "y", kSpace3000) + tableFoot());
  EXPECT_EQ(readBytes(dir.file("K1.htm")),
            tableHead("K1") + fieldRow("ID ", "int", kSpace3000, kSpace3000, "y") + tableFoot());
  EXPECT_EQ(readBytes(dir.file("K2.htm")),
            tableHead("K2") + fieldRow("id", "int", kSpace3000, kSpace3000, kSpace3000) +
                fieldRow("Id", "int", kSpace3000, kSpace3000, "y") + tableFoot());
}

TEST(HtmlDocSet, ANameEqualButForCaseKeepsTheFirstPageAndFailsTheLater) {
  TempDir dir;
  clsHTMLDoc writer;
  const auto db = dbOf({makeTable("Dup", {{"A", "int", "", false}}), makeTable("Other", {}),
                          makeTable("DUP", {{"B", "int", "", false}}), makeTable("Dup", {{"C", "int", "", false}})});
  test::RecordingProgress progress;
  const ProgressTally tally = writer.fnWriteFile(db, dir.path().string(), progress);
  EXPECT_EQ(tally.total, 4u);
  EXPECT_EQ(tally.done, 2u);
  EXPECT_EQ(tally.failed, 2u);
  EXPECT_EQ(filesIn(dir.path()), (Names{"Dup.htm", "Other.htm", "index.htm", "leftframe.htm", "rightframe.htm"}));
  EXPECT_EQ(readBytes(dir.file("leftframe.htm")),
            indexHead() + indexLine("Dup", "Dup") + indexLine("Other", "Other") + indexFoot());
  EXPECT_EQ(readBytes(dir.file("Dup.htm")),
            tableHead("Dup") + fieldRow("A", "int", kSpace3000, kSpace3000, kSpace3000) + tableFoot());
  ASSERT_EQ(writer.getRefused().size(), 2u);
  EXPECT_EQ(writer.getRefused()[0].table, db.getTables()[2]);
  EXPECT_NE(writer.getRefused()[0].reason.find("「Dup」"), std::string::npos);
  EXPECT_EQ(writer.getRefused()[1].table, db.getTables()[3]);
  // The next set starts afresh.
  TempDir other;
  EXPECT_TRUE(writer.fnWriteFile(dbOf({makeTable("Dup", {})}), other.path().string()));
  EXPECT_TRUE(writer.getRefused().empty());
  EXPECT_FALSE(writer.fnWriteFile(db, other.path().string()));
}

// Characters code page 932 cannot hold (U+1F600) become references.
TEST(HtmlDocSet, InsertedValuesAreEscapedLinksEncodedAndForeignCharactersReferenced) {
  TempDir dir;
  const std::string smile = "\xF0\x9F\x98\x80";
  const std::string name = R"(R&D<"x">%#?:| 1)" + smile;
  const auto table = makeTable(name, {{"a<b", "<script>alert(1)</script>", "\"5\"" + smile, false}}, {"a<b"});
  clsHTMLDoc writer;
  writer.setTitle("Q&A <draft> " + smile);
  writer.fnWriteFile(dbOf({table}), dir.path().string());

  const std::string title = "Q&amp;A &lt;draft&gt; &#x1F600;";
  const std::string shown = "R&amp;D&lt;&quot;x&quot;&gt;%#?:| 1&#x1F600;";
  EXPECT_EQ(readBytes(dir.file("index.htm")), indexPage(title));
  EXPECT_EQ(readBytes(dir.file("rightframe.htm")), titlePage(title));
  EXPECT_EQ(readBytes(dir.file("leftframe.htm")),
            indexHead() + indexLine("R&amp;D&lt;&quot;x&quot;&gt;%25%23%3F%3A%7C%201&#x1F600;", shown) + indexFoot());
  // The page itself carries the name as it is.
  EXPECT_EQ(readBytes(dir.file(name + ".htm")),
            tableHead(shown) +
                fieldRow("a&lt;b", "&lt;script&gt;alert(1)&lt;/script&gt;", "&quot;5&quot;&#x1F600;", kSpace3000, "y") +
                tableFoot());
}

// The set is written without them, whole: pages and list agree, and nothing lands outside.
TEST(HtmlDocSet, TablesWhosePageCannotBeWrittenAreLeftOutOfAWholeSet) {
  const std::string tooLong(252, 'n');  // with ".htm", one byte over the longest file name
  const Names bad = {"../escape", "a/b", "a\\b", ".", "..", "", "index", "LeftFrame", "RIGHTFRAME", tooLong};
  TempDir parent;
  const fs::path dir = parent.path() / "set";
  fs::create_directory(dir);
  std::vector<clsTableInfo> tables = {makeTable("Before", {})};
  for (const auto& name : bad) tables.push_back(makeTable(name, {{"X", "int", "", false}}));
  const std::string longest(251, 'm');  // "name.htm" of the longest legal length
  tables.push_back(makeTable("After", {}));
  tables.push_back(makeTable("index.htm", {}));  // its page is index.htm.htm: no clash
  tables.push_back(makeTable(longest, {}));
  clsHTMLDoc writer;
  writer.setTitle("T");
  test::RecordingProgress progress;
  const ProgressTally tally = writer.fnWriteFile(dbOf(tables), dir.string(), progress);
  EXPECT_EQ(tally.done, 4u);
  EXPECT_EQ(tally.failed, bad.size());

  Names refused;
  for (const auto& page : writer.getRefused()) {
    refused.push_back(page.table->getName());
    EXPECT_FALSE(page.reason.empty());
  }
  EXPECT_EQ(refused, bad);
  EXPECT_EQ(filesIn(dir), (Names{"After.htm", "Before.htm", "index.htm", "index.htm.htm", "leftframe.htm",
                                 longest + ".htm", "rightframe.htm"}));
  EXPECT_EQ(filesIn(parent.path()), (Names{"set"}));
  EXPECT_EQ(readBytes((dir / "index.htm").string()), indexPage("T"));
  EXPECT_EQ(readBytes((dir / "leftframe.htm").string()),
            indexHead() + indexLine("Before", "Before") + indexLine("After", "After") +
                indexLine("index.htm", "index.htm") + indexLine(longest, longest) + indexFoot());

  // The plain call says so by its result; a clean set afterwards clears the list.
  EXPECT_FALSE(writer.fnWriteFile(dbOf({makeTable("Index", {})}), dir.string()));
  ASSERT_EQ(writer.getRefused().size(), 1u);
  EXPECT_NE(writer.getRefused()[0].reason.find("leftframe"), std::string::npos);
  EXPECT_EQ(readBytes((dir / "index.htm").string()), indexPage("T"));
  EXPECT_TRUE(writer.fnWriteFile(dbOf({makeTable("Before", {})}), dir.string()));
  EXPECT_TRUE(writer.getRefused().empty());

  // "diagram" names the diagram's page only in a set with a reference.
  EXPECT_TRUE(writer.fnWriteFile(dbOf({makeTable("Diagram", {})}), dir.string()));
  clsTableInfo referring = makeTable("Before", {{"X", "int"}});
  clsFieldInfo reference;
  reference.setName("R");
  reference.setReference("Before.X");
  referring.setField(reference);
  EXPECT_FALSE(writer.fnWriteFile(dbOf({makeTable("Diagram", {}), referring}), dir.string()));
  ASSERT_EQ(writer.getRefused().size(), 1u);
  EXPECT_NE(writer.getRefused()[0].reason.find("diagram"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "diagram.htm"));
}

TEST(HtmlDocSet, FailedWriteStopsTheSetAndKeepsEarlierFilesWhole) {
  TempDir dir;
  const auto db = dbOf({makeTable("A", {}), makeTable("B", {}), makeTable("C", {})});
  clsHTMLDoc writer;
  writer.setTitle("old");
  writer.fnWriteFile(dbOf({makeTable("Z", {})}), dir.path().string());
  const std::string oldIndex = readBytes(dir.file("leftframe.htm"));

  // A folder where B's page should go: permissions would not stop a root test run, this does.
  fs::create_directory(dir.path() / "B.htm");
  writer.setTitle("new");
  try {
    writer.fnWriteFile(db, dir.path().string());
    ADD_FAILURE() << "the write into B.htm should have failed";
  } catch (const platform::FileError& error) {
    EXPECT_NE(std::string(error.what()).find("B.htm"), std::string::npos) << error.what();
  }
  EXPECT_EQ(filesIn(dir.path()), (Names{"A.htm", "B.htm", "Z.htm", "index.htm", "leftframe.htm", "rightframe.htm"}));
  EXPECT_TRUE(fs::is_directory(dir.path() / "B.htm"));
  EXPECT_EQ(readBytes(dir.file("index.htm")), indexPage("new"));
  EXPECT_EQ(readBytes(dir.file("A.htm")), tableHead("A") + tableFoot());
  EXPECT_EQ(readBytes(dir.file("leftframe.htm")), oldIndex);  // never reached: the old one stays whole
}

TEST(HtmlDocSet, ProgressIsPerPageAndACancelledSetListsOnlyTheWrittenPages) {
  TempDir dir;
  const auto db = dbOf({makeTable("A", {}), makeTable("B", {}), makeTable("C", {})});
  clsHTMLDoc writer;
  test::RecordingProgress afterFirst(1);
  const ProgressTally tally = writer.fnWriteFile(db, dir.path().string(), afterFirst);
  EXPECT_TRUE(tally.cancelled);
  EXPECT_EQ(afterFirst.calls(), (Names{"begin 3", "step 0 A", "end 1/0/2 cancelled"}));
  EXPECT_EQ(filesIn(dir.path()), (Names{"A.htm", "index.htm", "leftframe.htm", "rightframe.htm"}));
  const std::string index = readBytes(dir.file("leftframe.htm"));
  EXPECT_NE(index.find(R"(href="A.htm")"), std::string::npos) << index;
  EXPECT_EQ(index.find(R"(href="B.htm")"), std::string::npos) << index;

  // Uncancelled, the set with a sink is the set without one.
  TempDir plain, watched;
  writer.fnWriteFile(db, plain.path().string());
  test::RecordingProgress progress;
  EXPECT_EQ(writer.fnWriteFile(db, watched.path().string(), progress).done, 3u);
  EXPECT_EQ(readBytes(watched.file("leftframe.htm")), readBytes(plain.file("leftframe.htm")));
}

}  // namespace
}  // namespace morvane
