// The keyed collection and the tag files it saves (layouts, type notations, settings).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "model/clsHash.h"
#include "model/clsXML.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

std::string pairsOf(const clsHash& hash) { return hash.GetAllKeys("|") + "=" + hash.GetAllItems("|"); }

TEST(KeyedCollection, AddRemovePositionsAndSplit) {
  // Letter case makes a different key, a key given again is replaced in place, both blank is nothing,
  // a blank item or key alone is stored, untrimmed.
  clsHash hash;
  for (const auto& [key, item] : std::vector<std::pair<std::string, std::string>>{
           {"a", "1"}, {"b", "2"}, {"A", "3"}, {"b", "20"}, {"  ", ""}, {"\u3000", " "}, {"empty", ""}, {" ", "x"}}) {
    hash.Add(key, item);
  }
  EXPECT_EQ(pairsOf(hash), "a|b|A|empty| =1|20|3||x");
  EXPECT_EQ(hash.getCount(), 5);
  EXPECT_EQ(hash.getItem(" ") + hash.getKey("20") + hash.getKey("nothing"), "xb");
  hash.Remove("b");
  hash.Remove("missing");
  EXPECT_EQ(hash.getKey2(2) + hash.getItem2(2), "A3");
  for (std::int32_t position : {0, 5, -1, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(hash.getKey2(position) + hash.getItem2(position), "") << position;
  }
  for (const char* key : {"a", "c", " "}) hash.AddKey(key);  // an existing key's item emptied in place
  EXPECT_EQ(pairsOf(hash), "a|A|empty| |c=|3||x|");
  hash.RemoveAll();
  for (const char* item : {"x", " ", "y"}) hash.AddItem(item);
  EXPECT_EQ(pairsOf(hash), "1|2=x|y");
  clsHash taken;
  taken.Add("2", "old");
  taken.AddItem("new");  // key "2" is count + 1: removed first, then "1" is appended
  EXPECT_EQ(pairsOf(taken), "1=new");

  // Split keeps inner and leading empty pieces only.
  const struct {
    const char *separator, *text, *pairs;
  } cases[] = {{",", "a,,b", "1|2|3=a||b"}, {",", "a,b,", "1|2=a|b"},     {",", ",a", "1|2=|a"},
               {",", "abc", "1=abc"},       {",", "   ", "="},            {",", " a , b ", "1|2= a | b "},
               {"", "a,b", "1=a,b"},        {"::", "a::b::", "1|2=a|b"}};
  for (const auto& c : cases) {
    hash.Split(c.separator, c.text);
    EXPECT_EQ(pairsOf(hash), c.pairs) << c.text;
  }
}

// One line per pair in code page 932, values written as they are and read back unchanged; a failed
// save keeps the old file (a full disk is the file replacement's to try), and a good one resets the error.
TEST(TagFile, SavedPairsReadBackAndAFailedSaveKeepsTheOldFile) {
  test::TempDir dir;
  const std::string values[] = {"文字", "", "a<b>&c, d", " leading and trailing ", "a,\"b\", c"};
  clsHash hash;
  for (std::size_t i = 0; i < std::size(values); ++i) hash.Add("k" + std::to_string(i), values[i]);
  ASSERT_TRUE(hash.fnSaveFileAsXml(dir.file("t.sfa")));
  EXPECT_EQ(test::readBytes(dir.file("t.sfa")), "<k0>\x95\xb6\x8e\x9a</k0>\r\n<k1></k1>\r\n<k2>a<b>&c, d</k2>\r\n"
                                                "<k3> leading and trailing </k3>\r\n<k4>a,\"b\", c</k4>\r\n");
  clsXML reader;
  ASSERT_TRUE(reader.fnReadFile(dir.file("t.sfa")));
  for (std::size_t i = 0; i < std::size(values); ++i) {
    const std::string key = "k" + std::to_string(i);
    EXPECT_EQ(reader.fnTagData("<" + key + ">", "</" + key + ">"), values[i]);
  }
  ASSERT_TRUE(clsHash().fnSaveFileAsXml(dir.file("t.sfa")));
  EXPECT_EQ(fs::file_size(dir.file("t.sfa")), 0u);

  test::writeBytes(dir.file("t.sfa"), "old content");
  test::writeBytes(dir.file("locked.edf"), "locked content");
  fs::permissions(dir.file("locked.edf"), fs::perms::owner_read);
  hash.Add("char", "\xF0\x9F\x98\x80");  // U+1F600, not in code page 932
  EXPECT_FALSE(hash.fnSaveFileAsXml(dir.file("t.sfa")));
  EXPECT_NE(hash.getErrMsg(), "");
  hash.Add("char", "a");
  EXPECT_FALSE(hash.fnSaveFileAsXml(dir.file("locked.edf")));
  EXPECT_EQ(test::readBytes(dir.file("t.sfa")) + "|" + test::readBytes(dir.file("locked.edf")), "old content|locked content");
  EXPECT_EQ(hash.getErrNo(), EACCES);  // the read-only file's refusal
  EXPECT_NE(hash.getErrMsg().find("locked.edf"), std::string::npos);
  ASSERT_TRUE(hash.fnSaveFileAsXml(dir.file("x.edf")));
  EXPECT_EQ(hash.getErrMsg() + std::to_string(hash.getErrNo()), "0");

  EXPECT_EQ(test::filesIn(dir.path()), (std::vector<std::string>{"locked.edf", "t.sfa", "x.edf"}));
}

TEST(TagFile, TheFirstClosedValueWhateverTheLineEnds) {
  test::TempDir dir;
  clsXML reader;
  const auto tag = [&](const std::string& key) { return reader.fnTagData("<" + key + ">", "</" + key + ">"); };
  EXPECT_EQ(tag("a"), "");  // before any read
  // The value of a, then those of b and c.
  const std::pair<std::string, std::string> cases[] = {
      {"<a>1</a>\r\n<a>2</a>\r\n", "1/"},
      {"<a>x\r\n<a>y</a>\r\n", "y/"},  // a start tag seen again restarts the value
      {"<a>one\r\ntwo\r\n\r\nthree</a>tail\r\n", "onetwothree/"},
      {"<a>one\rtwo\rthree</a>", "onetwothree/"},
      {"<a>one\r\rtwo\n\nthree</a>", "onetwothree/"},
      {"<a>1</a>\r<b>2</b>\r<c>3</c>\r", "1/23"},
      {"<a>never closed\r\nmore\r\n", "/"},
      {"</a>x<a>\r\n", "/"},  // end tag before the start tag
      {"</a>\r\n<a>v</a>\r\n", "v/"},
      {"<a>\x93\xfa\x95\x74</a>\r\n", "日付/"}};
  for (const auto& [bytes, values] : cases) {
    test::writeBytes(dir.file("f.txt"), bytes);
    ASSERT_TRUE(reader.fnReadFile(dir.file("f.txt"))) << bytes;
    EXPECT_EQ(tag("a") + "/" + tag("b") + tag("c"), values) << bytes;
  }
  EXPECT_EQ(reader.fnTagData("<a>", "a>"), "");  // end tag inside the start tag
}

TEST(TagFile, UnreadableFilesFailWithTheirReasonAndClearTheItems) {
  test::TempDir dir;
  std::string huge = "<a>1</a>\r\n";
  huge.resize(clsXML::kMaxFileBytes + 1, 'x');
  test::writeBytes(dir.file("huge"), huge);
  test::writeBytes(dir.file("utf8.sfa"), "<a>\xE6\x97\xA5\xE4\xBB\x98</a>\r\n");
  test::writeBytes(dir.file("good"), "<a>1</a>\r\n");
  // What is not a file is refused before it is opened: a FIFO would wait for a writer for ever.
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir.file("device"));
  fs::create_symlink("/proc/self/environ", dir.file("proc"));
  const std::pair<const char*, const char*> cases[] = {
      {"missing", "ありません"},
      {"", "フォルダです"},
      {"huge", "設定ファイルとしては大きすぎます (64 KiB まで)"},
      {"utf8.sfa", "932"},
      {"pipe", ": ファイルではなく名前付きパイプ (FIFO) です"},
      {"device", ": ファイルではなくデバイスです"},
      {"proc", ": 通常のファイルではなくシステムの疑似ファイル (/proc, /sys) です"}};
  clsXML reader;
  for (const auto& [name, reason] : cases) {
    ASSERT_TRUE(reader.fnReadFile(dir.file("good")));
    EXPECT_FALSE(reader.fnReadFile(dir.file(name))) << name;  // "" is the folder itself
    EXPECT_NE(reader.getErrMsg().find(reason), std::string::npos) << reader.getErrMsg();
    EXPECT_EQ(reader.fnTagData("<a>", "</a>"), "") << name;
  }
}

}  // namespace
}  // namespace morvane
