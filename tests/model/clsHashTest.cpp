#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "model/clsHash.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

std::string keysOf(const clsHash& hash) { return hash.GetAllKeys("|"); }
std::string itemsOf(const clsHash& hash) { return hash.GetAllItems("|"); }

TEST(KeyedCollection, AddAppendsOrReplacesInPlace) {
  clsHash hash;
  hash.Add("a", "1");
  hash.Add("b", "2");
  hash.Add("A", "3");  // letter case makes a different key
  hash.Add("b", "20");
  EXPECT_EQ(hash.getCount(), 3);
  EXPECT_EQ(keysOf(hash), "a|b|A");
  EXPECT_EQ(itemsOf(hash), "1|20|3");

  hash.Add("  ", "");         // both blank
  hash.Add("\u3000", " ");    // ideographic space counts as blank
  EXPECT_EQ(hash.getCount(), 3);
  hash.Add("empty", "");      // a blank item alone is stored
  hash.Add(" ", "x");         // a blank key alone is stored, untrimmed
  EXPECT_EQ(hash.getCount(), 5);
  EXPECT_EQ(hash.getItem("empty"), "");
  EXPECT_TRUE(hash.Exists("empty"));
  EXPECT_EQ(hash.getItem(" "), "x");
  EXPECT_EQ(hash.getKey("20"), "b");
  EXPECT_EQ(hash.getKey("nothing"), "");
  EXPECT_EQ(hash.GetAllKeys(", "), "a, b, A, empty,  ");  // no trailing separator
  EXPECT_EQ(clsHash().GetAllItems(","), "");
}

TEST(KeyedCollection, RemoveClosesTheGapAndPositionsOutsideGiveEmptyText) {
  clsHash hash;
  hash.Add("a", "1");
  hash.Add("b", "2");
  hash.Add("c", "3");
  hash.Remove("b");
  hash.Remove("missing");
  hash.Remove("A");
  EXPECT_EQ(hash.getKey2(1), "a");
  EXPECT_EQ(hash.getKey2(2), "c");
  EXPECT_EQ(hash.getItem2(2), "3");
  for (std::int32_t position : {0, 3, -1, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(hash.getKey2(position), "") << position;
    EXPECT_EQ(hash.getItem2(position), "") << position;
  }
  hash.RemoveAll();
  EXPECT_EQ(hash.getCount(), 0);
}

TEST(KeyedCollection, AddKeyEmptiesInPlaceAddItemNumbersAndDropsTheNextKey) {
  clsHash hash;
  hash.Add("a", "1");
  hash.Add("b", "2");
  hash.AddKey("a");
  hash.AddKey("c");
  hash.AddKey(" ");
  EXPECT_EQ(keysOf(hash), "a|b|c");
  EXPECT_EQ(itemsOf(hash), "|2|");

  clsHash numbered;
  numbered.AddItem("x");
  numbered.AddItem(" ");
  numbered.AddItem("y");
  EXPECT_EQ(keysOf(numbered), "1|2");
  EXPECT_EQ(itemsOf(numbered), "x|y");

  clsHash taken;
  taken.Add("2", "old");
  taken.AddItem("new");  // key "2" is count + 1: removed first, then "1" is appended
  EXPECT_EQ(keysOf(taken), "1");
  EXPECT_EQ(itemsOf(taken), "new");
}

TEST(KeyedCollection, SplitKeepsInnerAndLeadingEmptyPiecesOnly) {
  clsHash hash;
  hash.Split(",", "a,,b");
  EXPECT_EQ(keysOf(hash), "1|2|3");
  const struct {
    const char *separator, *text;
    int count;
    const char* items;
  } cases[] = {{",", "a,,b", 3, "a||b"}, {",", "a,b,", 2, "a|b"},       {",", ",a", 2, "|a"},
               {",", "abc", 1, "abc"},   {",", "   ", 0, ""},            {",", " a , b ", 2, " a | b "},
               {"", "a,b", 1, "a,b"},    {"::", "a::b::", 2, "a|b"}};
  for (const auto& c : cases) {
    hash.Split(c.separator, c.text);
    EXPECT_EQ(hash.getCount(), c.count) << c.text;
    EXPECT_EQ(itemsOf(hash), c.items) << c.text;
  }
}

TEST(KeyedCollection, SavesOneTaggedLinePerPairInCodePage932) {
  test::TempDir dir;
  clsHash hash;
  hash.Add("char", "文字");
  hash.Add("empty", "");
  hash.Add("raw", "a<b>&c, d");
  ASSERT_TRUE(hash.fnSaveFileAsXml(dir.file("t.sfa")));
  EXPECT_EQ(test::readBytes(dir.file("t.sfa")),
            "<char>\x95\xb6\x8e\x9a</char>\r\n<empty></empty>\r\n<raw>a<b>&c, d</raw>\r\n");

  clsHash none;
  test::writeBytes(dir.file("old"), "previous");
  ASSERT_TRUE(none.fnSaveFileAsXml(dir.file("old")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("old")));
  EXPECT_EQ(std::filesystem::file_size(dir.file("old")), 0u);
}

TEST(KeyedCollection, FailedSaveKeepsTheOldFileAndSuccessResetsTheError) {
  test::TempDir dir;
  test::writeBytes(dir.file("t.sfa"), "old content");
  std::filesystem::create_directory(dir.file("folder"));
  test::writeBytes(dir.file("locked.edf"), "locked content");
  std::filesystem::permissions(dir.file("locked.edf"), std::filesystem::perms::owner_read);
  clsHash hash;
  hash.Add("char", "\xF0\x9F\x98\x80");  // U+1F600, not in code page 932
  for (const char* name : {"t.sfa", "missing/x.edf", "folder", "locked.edf"}) {
    EXPECT_FALSE(hash.fnSaveFileAsXml(dir.file(name))) << name;
    EXPECT_NE(hash.getErrNo(), 0) << name;
    EXPECT_NE(hash.getErrMsg(), "") << name;
    hash.Add("char", "a");
  }
  EXPECT_EQ(test::readBytes(dir.file("t.sfa")), "old content");
  EXPECT_EQ(test::readBytes(dir.file("locked.edf")), "locked content");
  EXPECT_EQ(hash.getErrNo(), EACCES);  // the read-only file's refusal
  EXPECT_NE(hash.getErrMsg().find("locked.edf"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder")));
  ASSERT_TRUE(hash.fnSaveFileAsXml(dir.file("x.edf")));
  EXPECT_EQ(hash.getErrNo(), 0);
  EXPECT_EQ(hash.getErrMsg(), "");
}

// A write that fails half way (here the file size limit standing in for a full disk) must leave
// the previous file whole and no temporary file behind. Runs in a child so the limit stays there.
TEST(KeyedCollection, WriteFailureMidwayKeepsThePreviousFile) {
  test::TempDir dir;
  const std::string path = dir.file("layout.edf");
  test::writeBytes(path, "previous");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    clsHash hash;
    for (int i = 0; i < 100; ++i) hash.Add("key" + std::to_string(i), std::string(20, 'v'));
    const bool saved = hash.fnSaveFileAsXml(path);
    ::_exit(saved ? 1 : (hash.getErrNo() != 0 ? 0 : 3));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(test::readBytes(path), "previous");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

}  // namespace
}  // namespace morvane
