#include <gtest/gtest.h>

#include "platform/text/Cp932.h"
#include "platform/files/Files.h"
#include "platform/text/Utf8.h"
#include "tests/support/TempDir.h"

namespace morvane::platform {
namespace {

TEST(Cp932, RoundTripsCharactersThatPlainShiftJisRejects) {
  // ～ ① 髙 and half-width katakana ｶﾅ
  const std::string text = "\xEF\xBD\x9E\xE2\x91\xA0\xE9\xAB\x99\xEF\xBD\xB6\xEF\xBE\x85";
  const std::string bytes = toCp932(text);
  EXPECT_EQ(bytes, std::string("\x81\x60\x87\x40\xFB\xFC\xB6\xC5"));
  EXPECT_EQ(fromCp932(bytes), text);
  EXPECT_EQ(toCp932("\xE3\x80\x80"), "\x81\x40");
}

TEST(Cp932, RefusesWhatItCannotHold) {
  const std::string emoji = "a\xF0\x9F\x98\x80";
  EXPECT_THROW(toCp932(emoji), Cp932Error);
  EXPECT_FALSE(fitsCp932(emoji));
  EXPECT_EQ(toCp932WithCharRefs(emoji + "\xE3\x81\x82"), "a&#x1F600;\x82\xA0");
  EXPECT_THROW(toCp932("\xFF"), Cp932Error);
  EXPECT_THROW(fromCp932("\x81"), Cp932Error);
}

TEST(Files, ReplaceFileLeavesTheOldFileWhenItFails) {
  test::TempDir dir;
  const std::string path = dir.file("a.txt");
  replaceFile(path, "first");
  replaceFile(path, "second");
  EXPECT_EQ(test::readBytes(path), "second");
  EXPECT_THROW(replaceFile(dir.file("missing/a.txt"), "x"), FileError);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(Files, SafeFileStems) {
  EXPECT_TRUE(isSafeFileStem("顧客"));
  EXPECT_TRUE(isSafeFileStem("a.b"));
  EXPECT_FALSE(isSafeFileStem(""));
  EXPECT_FALSE(isSafeFileStem("."));
  EXPECT_FALSE(isSafeFileStem(".."));
  EXPECT_FALSE(isSafeFileStem("a/b"));
  EXPECT_FALSE(isSafeFileStem("a\\b"));
}

}  // namespace
}  // namespace morvane::platform

namespace morvane::platform {
namespace {

TEST(Utf8, DecodingIsStrictAndUtf16PairsMaySpanPushes) {
  char32_t code = 0;
  EXPECT_EQ(decodeUtf8("\xF0\x9F\x98\x80", code), 4u);
  EXPECT_EQ(code, U'\U0001F600');
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE3\x80", "\x80"}) {
    EXPECT_EQ(decodeUtf8(bad, code), 0u) << bad;
  }
  Utf16ToUtf8 text;
  for (char16_t unit : {u'a', char16_t(0xD83D), char16_t(0xDE00), char16_t(0xDC00), char16_t(0xD800)}) text.push(unit);
  EXPECT_EQ(text.take(), "a\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace morvane::platform
