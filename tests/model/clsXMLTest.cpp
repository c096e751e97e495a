#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "model/clsHash.h"
#include "model/clsXML.h"
#include "tests/support/TempDir.h"

namespace morvane {
namespace {

class TagFile : public ::testing::Test {
 protected:
  // Reads the bytes as a tag file and asks for the value of one key.
  std::string valueIn(const std::string& bytes, const std::string& key) {
    test::writeBytes(dir.file("f.txt"), bytes);
    EXPECT_TRUE(reader.fnReadFile(dir.file("f.txt")));
    return tag(key);
  }
  std::string tag(const std::string& key) const { return reader.fnTagData("<" + key + ">", "</" + key + ">"); }

  test::TempDir dir;
  clsXML reader;
};

TEST_F(TagFile, ValuesWithCommasQuotesAndSpacesReadBackUnchanged) {
  const std::string values[] = {"abc,def", ",", " leading and trailing ", "\"quoted\"", "a,\"b\", c", "", "日付"};
  clsHash hash;
  for (std::size_t i = 0; i < std::size(values); ++i) hash.Add("k" + std::to_string(i), values[i]);
  ASSERT_TRUE(hash.fnSaveFileAsXml(dir.file("r.sfa")));
  ASSERT_TRUE(reader.fnReadFile(dir.file("r.sfa")));
  for (std::size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(tag("k" + std::to_string(i)), values[i]);
}

TEST_F(TagFile, FirstOccurrenceWinsAndValuesSpanLinesEndedAnyWay) {
  EXPECT_EQ(valueIn("<a>1</a>\r\n<a>2</a>\r\n", "a"), "1");
  EXPECT_EQ(valueIn("<a>x\r\n<a>y</a>\r\n", "a"), "y");  // a start tag seen again restarts the value
  for (const std::string bytes : {"<a>one\r\ntwo\r\n\r\nthree</a>tail\r\n", "<a>one\ntwo\nthree</a>\n",
                                  "<a>one\rtwo\rthree</a>", "<a>one\r\rtwo\n\nthree</a>"}) {
    EXPECT_EQ(valueIn(bytes, "a"), "onetwothree") << bytes;
  }
  for (const std::string bytes : {"<a>1</a>\n<b>2</b>\n<c>3</c>", "<a>1</a>\r<b>2</b>\r<c>3</c>\r"}) {
    EXPECT_EQ(valueIn(bytes, "a"), "1") << bytes;
    EXPECT_EQ(tag("b") + tag("c"), "23") << bytes;
  }
}

TEST_F(TagFile, EmptyMissingAndMalformedTagsGiveEmptyText) {
  EXPECT_EQ(tag("a"), "");  // before any read
  EXPECT_EQ(valueIn("", "a"), "");
  EXPECT_EQ(valueIn("<b>1</b>\r\n", "a"), "");
  EXPECT_EQ(valueIn("<a>never closed\r\nmore\r\n", "a"), "");
  EXPECT_EQ(valueIn("</a>x<a>\r\n", "a"), "");            // end tag before the start tag
  EXPECT_EQ(valueIn("</a>\r\n<a>v</a>\r\n", "a"), "v");  // a stray end tag on its own line
  EXPECT_EQ(reader.fnTagData("<a>", "a>"), "");         // end tag inside the start tag
  EXPECT_EQ(reader.fnTagData("", ""), "");
  EXPECT_EQ(valueIn("<a></a>\r\n", "a"), "");
}

TEST_F(TagFile, UnreadableFilesFailAndClearTheItems) {
  std::string huge = "<a>1</a>\r\n";
  huge.resize(clsXML::kMaxFileBytes + 1, 'x');
  test::writeBytes(dir.file("huge"), huge);
  test::writeBytes(dir.file("utf8.sfa"), "<a>\xE6\x97\xA5\xE4\xBB\x98</a>\r\n");
  test::writeBytes(dir.file("binary"), std::string("\x00\xff\xfe\x81\x0a<a>1</a>", 11));
  // What is not a file is refused before it is opened: a FIFO would wait for a writer for ever.
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", dir.file("device"));
  std::filesystem::create_symlink("/proc/self/environ", dir.file("proc"));
  const std::pair<const char*, const char*> cases[] = {
      {"missing", "ありません"}, {"", "フォルダです"}, {"huge", "設定ファイルとしては大きすぎます (64 KiB まで)"},
      {"utf8.sfa", "932"},       {"binary", "932"}, {"pipe", "名前付きパイプ (FIFO)"},
      {"device", "デバイス"},    {"proc", "/proc"}};
  for (const auto& [name, reason] : cases) {
    EXPECT_EQ(valueIn("<a>1</a>\r\n", "a"), "1");
    EXPECT_FALSE(reader.fnReadFile(dir.file(name))) << name;  // "" is the folder itself
    EXPECT_NE(reader.getErrMsg().find(reason), std::string::npos) << reader.getErrMsg();
    EXPECT_EQ(tag("a"), "") << name;
  }
  // The same word in code page 932 reads.
  EXPECT_EQ(valueIn("<date>\x93\xfa\x95\x74</date>\r\n", "date"), "日付");
}

}  // namespace
}  // namespace morvane
