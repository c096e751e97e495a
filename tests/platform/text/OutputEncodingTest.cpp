#include <gtest/gtest.h>

#include "platform/text/Cp932.h"
#include "platform/text/OutputEncoding.h"

namespace morvane::platform {
namespace {

const std::string kOgai = "\xE9\xB7\x97";          // 鷗, outside code page 932
const std::string kSmile = "\xF0\x9F\x98\x80";     // U+1F600
const std::string kKana = "\xE3\x82\xAB\xE3\x83\x8A";  // カナ, "\x83\x4A\x83\x69" in code page 932

TEST(OutputEncoding, NamesOfTheCommandLineOnly) {
  EXPECT_EQ(parseCharset("cp932"), Charset::Cp932);
  EXPECT_EQ(parseCharset("utf-8"), Charset::Utf8);
  EXPECT_EQ(parseCharset("utf-8-bom"), Charset::Utf8Bom);
  for (const char* other : {"", "UTF-8", "utf8", "sjis", "utf-8-BOM"}) EXPECT_FALSE(parseCharset(other)) << other;
  EXPECT_EQ(parseLineEnd("crlf"), LineEnd::CrLf);
  EXPECT_EQ(parseLineEnd("lf"), LineEnd::Lf);
  for (const char* other : {"", "CRLF", "cr", "LF"}) EXPECT_FALSE(parseLineEnd(other)) << other;
}

TEST(OutputEncoding, EachCodeGivesItsOwnBytes) {
  const std::string text = "A " + kKana + "\r\n";
  EXPECT_EQ(encodeFile(text, {}), "A \x83\x4A\x83\x69\r\n");
  EXPECT_EQ(encodeFile(text, {Charset::Utf8, LineEnd::CrLf}), text);
  EXPECT_EQ(encodeFile(text, {Charset::Utf8Bom, LineEnd::CrLf}), "\xEF\xBB\xBF" + text);
  // The mark opens a file, never a piece of one.
  EXPECT_EQ(encodeText(text, {Charset::Utf8Bom, LineEnd::CrLf}), text);
  EXPECT_EQ(charsetLabel(Charset::Cp932), "Shift_JIS");
  EXPECT_EQ(charsetLabel(Charset::Utf8Bom), "UTF-8");
}

TEST(OutputEncoding, CharactersOutsideCodePage932) {
  const std::string text = kOgai + kSmile + "\r\n";
  EXPECT_EQ(encodeFile(text, {Charset::Utf8, LineEnd::CrLf}), text);
  try {
    encodeFile(text, {});
    FAIL() << "code page 932 took 鷗";
  } catch (const Cp932Error& error) {
    EXPECT_NE(std::string(error.what()).find("U+9DD7"), std::string::npos) << error.what();
  }
  EXPECT_EQ(encodeFile(kSmile, {}, true), "&#x1F600;");
  // Broken UTF-8 is refused in UTF-8 too, not copied through.
  EXPECT_THROW(encodeFile("ok\xC3(", {Charset::Utf8, LineEnd::Lf}), Cp932Error);
  EXPECT_THROW(encodeFile("\xED\xA0\x80", {Charset::Utf8Bom, LineEnd::CrLf}), Cp932Error);
}

TEST(OutputEncoding, LfTakesOnlyTheCarriageReturnOfALineEnd) {
  const std::string text = "a\r\nb\rc\r\n\r\n";
  for (const Charset charset : {Charset::Cp932, Charset::Utf8}) {
    EXPECT_EQ(encodeText(text, {charset, LineEnd::Lf}), "a\nb\rc\n\n");
    EXPECT_EQ(encodeText(text, {charset, LineEnd::CrLf}), text);
  }
  EXPECT_EQ(encodeText("end\r", {Charset::Utf8, LineEnd::Lf}), "end\r");
}

}  // namespace
}  // namespace morvane::platform
