// The keyed collection and the tag files it saves (layouts, type notations, settings).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "model/clsHash.h"
#include "model/clsXML.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

std::string pairsOf(const clsHash& hash) { return hash.GetAllKeys("|") + "=" + hash.GetAllItems("|"); }

TEST(KeyedCollection, AddRemovePositionsAndSplit) {
  clsHash hash;
  hash.Add("a", "1");
  hash.Add("b", "2");
  hash.Add("A", "3");  // letter case makes a different key
  hash.Add("b", "20");  // replaced in place
  hash.Add("  ", "");  // both blank: nothing
  hash.Add("\u3000", " ");
  hash.Add("empty", "");  // a blank item or key alone is stored, untrimmed
  hash.Add(" ", "x");
  EXPECT_EQ(pairsOf(hash), "a|b|A|empty| =1|20|3||x");
  EXPECT_EQ(hash.getCount(), 5);
  EXPECT_EQ(hash.getItem(" ") + hash.getKey("20") + hash.getKey("nothing"), "xb");
  hash.Remove("b");
  hash.Remove("missing");
  EXPECT_EQ(hash.getKey2(2) + hash.getItem2(2), "A3");
  for (std::int32_t position : {0, 5, -1, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(hash.getKey2(position) + hash.getItem2(position), "") << position;
  }
  hash.AddKey("a");  // empties in place
  hash.AddKey("c");
  hash.AddKey(" ");
  EXPECT_EQ(pairsOf(hash), "a|A|empty| |c=|3||x|");
  hash.RemoveAll();
  hash.AddItem("x");
  hash.AddItem(" ");
  hash.AddItem("y");
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
// save keeps the old file, and a good one resets the error.
TEST(TagFile, SavedPairsReadBackAndAFailedSaveKeepsTheOldFile) {
  test::TempDir dir;
  const std::string values[] = {"文字", "", "a<b>&c, d", ",", " leading and trailing ", "a,\"b\", c"};
  clsHash hash;
  for (std::size_t i = 0; i < std::size(values); ++i) hash.Add("k" + std::to_string(i), values[i]);
  ASSERT_TRUE(hash.fnSaveFileAsXml(dir.file("t.sfa")));
  EXPECT_EQ(test::readBytes(dir.file("t.sfa")),
            "<k0>\x95\xb6\x8e\x9a</k0>\r\n<k1></k1>\r\n<k2>a<b>&c, d</k2>\r\n<k3>,</k3>\r\n"
            "<k4> leading and trailing </k4>\r\n<k5>a,\"b\", c</k5>\r\n");
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
  for (const char* name : {"t.sfa", "missing/x.edf", "locked.edf"}) {
    EXPECT_FALSE(hash.fnSaveFileAsXml(dir.file(name))) << name;
    EXPECT_NE(hash.getErrMsg(), "") << name;
    hash.Add("char", "a");
  }
  EXPECT_EQ(test::readBytes(dir.file("t.sfa")), "old content");
  EXPECT_EQ(test::readBytes(dir.file("locked.edf")), "locked content");
  EXPECT_EQ(hash.getErrNo(), EACCES);  // the read-only file's refusal
  EXPECT_NE(hash.getErrMsg().find("locked.edf"), std::string::npos);
  ASSERT_TRUE(hash.fnSaveFileAsXml(dir.file("x.edf")));
  EXPECT_EQ(hash.getErrMsg() + std::to_string(hash.getErrNo()), "0");

  // A write that fails half way (the file size limit standing in for a full disk) leaves the
  // previous file whole and no temporary file behind. In a child, so the limit stays there.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    for (int i = 0; i < 100; ++i) hash.Add("key" + std::to_string(i), std::string(20, 'v'));
    ::_exit(hash.fnSaveFileAsXml(dir.file("t.sfa")) ? 1 : (hash.getErrNo() != 0 ? 0 : 3));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(test::readBytes(dir.file("t.sfa")), "old content");
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
      {"missing", "ありません"}, {"", "フォルダです"}, {"huge", "設定ファイルとしては大きすぎます (64 KiB まで)"},
      {"utf8.sfa", "932"},       {"pipe", "名前付きパイプ (FIFO)"},
      {"device", "デバイス"},    {"proc", "/proc"}};
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
