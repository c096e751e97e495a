#pragma once
// UTF-8 encoding and decoding shared by the adapters that meet UTF-16 (BIFF strings, ODBC's
// wide API, XML escapes) or must name a single character (code page errors).
#include <string>
#include <string_view>

namespace morvane::platform {

// Appends the code point as UTF-8; a surrogate or a value beyond U+10FFFF becomes U+FFFD.
void appendUtf8(std::string& out, char32_t code);

// The length of the UTF-8 sequence at the start of text, with its code point in code; 0 when
// the sequence is not valid UTF-8 (bad bytes, overlong forms, surrogates, beyond U+10FFFF).
std::size_t decodeUtf8(std::string_view text, char32_t& code);

// UTF-16 code units to UTF-8, unit by unit: a surrogate pair may arrive in two pushes, and a
// lone surrogate becomes U+FFFD.
class Utf16ToUtf8 {
 public:
  explicit Utf16ToUtf8(std::size_t expected = 0) { out_.reserve(expected); }
  void push(char16_t unit);
  std::string take();

 private:
  std::string out_;
  char16_t pendingHigh_ = 0;
};

}  // namespace morvane::platform
