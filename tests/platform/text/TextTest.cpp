// Cell values as text, code page 932, UTF-8 and the output encodings: pure functions, so each
// test is a table of inputs and the exact text or bytes they give.
#include <gtest/gtest.h>

#include "platform/files/Files.h"
#include "platform/text/CellText.h"
#include "platform/text/Cp932.h"
#include "platform/text/OutputEncoding.h"
#include "platform/text/Utf8.h"
#include "platform/text/VisibleText.h"
#include "platform/workbook/Workbook.h"

namespace morvane::platform {
namespace {

TEST(CellText, NumbersAndDateSerials) {
  const std::pair<double, const char*> numbers[] = {
      {10, "10"}, {1.5, "1.5"}, {0.1 + 0.2, "0.3"}, {-0.0, "0"}, {-12.25, "-12.25"}, {1e15, "1E+15"},
      {123456789012345.0, "123456789012345"}, {1234567890123456.0, "1.23456789012346E+15"},
      {0.00001, "0.00001"}, {0.000001, "1E-06"}, {1.0 / 3.0, "0.333333333333333"},
      {2.0 / 3.0 * 100, "66.6666666666667"}};
  for (const auto& [value, text] : numbers) EXPECT_EQ(formatNumber(value), text) << text;
  const struct {
    double serial;
    bool date1904;
    const char* text;
  } dates[] = {{45292, false, "2024/01/01"}, {45292.5, false, "2024/01/01 12:00:00"},
               {0.75, false, "18:00:00"}, {1, false, "1900/01/01"}, {60, false, "1900/02/29"},
               {61, false, "1900/03/01"},
               {43830, true, "2024/01/01"}, {45292.99999999, false, "2024/01/02"},
               {45292.000005, false, "2024/01/01"}, {45292.4999943, false, "2024/01/01 12:00:00"},
               {45292.4999936, false, "2024/01/01 11:59:59"}};
  for (const auto& [serial, in1904, text] : dates) EXPECT_EQ(formatDateSerial(serial, in1904), text) << text;
  EXPECT_THROW(formatDateSerial(-1, false), WorkbookError);
}

TEST(CellText, DateFormatsAreToldFromNumberFormats) {
  for (const int id : {14, 21, 22, 45, 57}) EXPECT_TRUE(isBuiltinDateFormat(id)) << id;
  for (const int id : {0, 2, 10, 49}) EXPECT_FALSE(isBuiltinDateFormat(id)) << id;
  for (const char* code : {"yyyy/m/d", "[$-411]ggge\"年\"m\"月\"d\"日\"", "[h]:mm", "h:mm AM/PM"}) {
    EXPECT_TRUE(isDateFormatCode(code)) << code;
  }
  for (const char* code : {"0.00", "General", "\"day\" 0", "[Red]0.00", "0.00E+00", "#,##0;[Red]-#,##0"}) {
    EXPECT_FALSE(isDateFormatCode(code)) << code;
  }
}

TEST(Cp932, RoundTripsWhatItHoldsAndRefusesTheRest) {
  // ～ ① 髙 and half-width katakana ｶﾅ, which plain Shift_JIS rejects, and the ideographic space.
  const std::pair<std::string, std::string> held[] = {
      {"\xEF\xBD\x9E\xE2\x91\xA0\xE9\xAB\x99\xEF\xBD\xB6\xEF\xBE\x85", "\x81\x60\x87\x40\xFB\xFC\xB6\xC5"},
      {"\xE3\x80\x80", "\x81\x40"}, {"\xE3\x82\xAB\xE3\x83\x8A", "\x83\x4A\x83\x69"}, {"a\\~", "a\\~"}};
  for (const auto& [utf8, bytes] : held) {
    EXPECT_EQ(toCp932(utf8), bytes) << utf8;
    EXPECT_EQ(fromCp932(bytes), utf8) << utf8;
    EXPECT_TRUE(fitsCp932(utf8)) << utf8;
  }
  // 鷗 and an emoji are outside code page 932; broken UTF-8 is refused too.
  for (const std::string bad : {"a\xF0\x9F\x98\x80", "\xE9\xB7\x97", "\xFF", "ok\xC3("}) {
    EXPECT_THROW(toCp932(bad), Cp932Error) << bad;
    EXPECT_FALSE(fitsCp932(bad)) << bad;
  }
  EXPECT_THROW(fromCp932("\x81"), Cp932Error);
  EXPECT_EQ(toCp932WithCharRefs("a\xF0\x9F\x98\x80\xE3\x81\x82"), "a&#x1F600;\x82\xA0");
}

TEST(Utf8, DecodingIsStrictAndUtf16PairsMaySpanPushes) {
  char32_t code = 0;
  EXPECT_EQ(decodeUtf8("\xF0\x9F\x98\x80", code), 4u);
  EXPECT_EQ(code, U'\U0001F600');
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE3\x80", "\x80"}) {
    EXPECT_EQ(decodeUtf8(bad, code), 0u) << bad;
  }
  Utf16ToUtf8 text;
  for (char16_t unit : {u'a', char16_t(0xD83D), char16_t(0xDE00), char16_t(0xDC00), char16_t(0xD800)}) {
    text.push(unit);
  }
  EXPECT_EQ(text.take(), "a\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(OutputEncoding, NamesOfTheCommandLineOnly) {
  EXPECT_EQ(parseCharset("cp932"), Charset::Cp932);
  EXPECT_EQ(parseCharset("utf-8"), Charset::Utf8);
  EXPECT_EQ(parseCharset("utf-8-bom"), Charset::Utf8Bom);
  for (const char* other : {"", "UTF-8", "utf8", "sjis", "utf-8-BOM"}) EXPECT_FALSE(parseCharset(other));
  EXPECT_EQ(parseLineEnd("crlf"), LineEnd::CrLf);
  EXPECT_EQ(parseLineEnd("lf"), LineEnd::Lf);
  for (const char* other : {"", "CRLF", "cr", "LF"}) EXPECT_FALSE(parseLineEnd(other)) << other;
  EXPECT_EQ(charsetLabel(Charset::Cp932), "Shift_JIS");
  EXPECT_EQ(charsetLabel(Charset::Utf8Bom), "UTF-8");
}

TEST(OutputEncoding, EachCodeGivesItsOwnBytes) {
  const std::string kana = "A \xE3\x82\xAB\xE3\x83\x8A\r\n";
  const std::string lines = "a\r\nb\rc\r\n\r\n";
  const OutputEncoding cp932{}, utf8{Charset::Utf8, LineEnd::CrLf}, bom{Charset::Utf8Bom, LineEnd::CrLf};
  const struct {
    std::string text;
    OutputEncoding encoding;
    bool file;
    std::string bytes;
  } cases[] = {
      {kana, cp932, true, "A \x83\x4A\x83\x69\r\n"},
      {kana, utf8, true, kana},
      {kana, bom, true, "\xEF\xBB\xBF" + kana},
      {kana, bom, false, kana},  // the mark opens a file, never a piece of one
      {lines, {Charset::Cp932, LineEnd::Lf}, false, "a\nb\rc\n\n"},  // LF takes a line end's CR only
      {lines, {Charset::Utf8, LineEnd::Lf}, false, "a\nb\rc\n\n"},
      {lines, cp932, false, lines},
      {"end\r", {Charset::Utf8, LineEnd::Lf}, false, "end\r"},
      {"\xE9\xB7\x97\r\n", utf8, true, "\xE9\xB7\x97\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.file ? encodeFile(c.text, c.encoding) : encodeText(c.text, c.encoding), c.bytes) << c.text;
  }
  EXPECT_EQ(encodeFile("\xF0\x9F\x98\x80", {}, true), "&#x1F600;");
  try {
    encodeFile("\xE9\xB7\x97", {});
    ADD_FAILURE() << "code page 932 took 鷗";
  } catch (const Cp932Error& error) {
    EXPECT_NE(std::string(error.what()).find("U+9DD7"), std::string::npos) << error.what();
  }
  // Broken UTF-8 is refused in UTF-8 too, not copied through.
  EXPECT_THROW(encodeFile("ok\xC3(", {Charset::Utf8, LineEnd::Lf}), Cp932Error);
  EXPECT_THROW(encodeFile("\xED\xA0\x80", bom), Cp932Error);
}

TEST(VisibleText, ControlCharactersBecomeEscapesAndTheRestIsKept) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x1B[31mred", "\\x1B[31mred"},
      {"two\nlines\r\n", "two\\nlines\\r\\n"},
      {"a\tb", "a\\tb"},
      {std::string("nul\0x", 5), "nul\\x00x"},
      {"\x01\x1F\x7F", "\\x01\\x1F\\x7F"},
      {"\xC2\x9B" "31m", "\\u009B31m"},                        // the one-character CSI
      {"\xC2\x80\xC2\x9F\xC2\xA0", "\\u0080\\u009F\xC2\xA0"},  // C1 ends before U+00A0
      {"\xFF" "a\xE3\x81", "\\xFFa\\xE3\\x81"},                // bytes that are not UTF-8
      {"受注明細 ｶﾅ 𠮷 \\x1B", "受注明細 ｶﾅ 𠮷 \\x1B"},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(visibleText(text), shown) << shown;
}

TEST(Files, SafeFileStems) {
  for (const char* safe : {"顧客", "a.b", "..a"}) EXPECT_TRUE(isSafeFileStem(safe)) << safe;
  for (const std::string& unsafe : {std::string(), std::string("."), std::string(".."), std::string("a/b"),
                                    std::string("a\\b"), std::string("a\0b", 3)}) {
    EXPECT_FALSE(isSafeFileStem(unsafe)) << unsafe;
  }
}

}  // namespace
}  // namespace morvane::platform
