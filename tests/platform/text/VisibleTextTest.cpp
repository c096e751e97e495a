// Control characters shown as escapes, everything else untouched.
#include <gtest/gtest.h>

#include "platform/text/VisibleText.h"

namespace morvane::platform {
namespace {

TEST(VisibleText, ControlCharactersBecomeEscapesAndTheRestIsKept) {
  const struct {
    std::string text, shown;
  } cases[] = {
      {"\x1B[31mred", "\\x1B[31mred"},
      {"two\nlines\r\n", "two\\nlines\\r\\n"},
      {"a\tb", "a\\tb"},
      {std::string("nul\0x", 5), "nul\\x00x"},
      {"\x01\x1F\x7F", "\\x01\\x1F\\x7F"},
      {"\xC2\x9B" "31m", "\\u009B31m"},       // the one-character CSI
      {"\xC2\x80\xC2\x9F\xC2\xA0", "\\u0080\\u009F\xC2\xA0"},  // C1 ends before U+00A0
      {"\xFF" "a\xE3\x81", "\\xFFa\\xE3\\x81"},  // bytes that are not UTF-8
      {"受注明細 ｶﾅ 𠮷 \\x1B", "受注明細 ｶﾅ 𠮷 \\x1B"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(visibleText(c.text), c.shown) << c.shown;
}

}  // namespace
}  // namespace morvane::platform
