#include "platform/text/Utf8.h"

namespace morvane::platform {

void appendUtf8(std::string& out, char32_t code) {
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::size_t decodeUtf8(std::string_view text, char32_t& code) {
  if (text.empty()) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                             : (lead & 0xF8) == 0xF0 ? 4 : 0;
  if (length == 0 || length > text.size()) return 0;
  char32_t value = length == 1 ? lead : length == 2 ? (lead & 0x1Fu) : length == 3 ? (lead & 0x0Fu) : (lead & 0x07u);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = value << 6 | (next & 0x3Fu);
  }
  static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  code = value;
  return length;
}

void Utf16ToUtf8::push(char16_t unit) {
  if (pendingHigh_) {
    const char16_t high = pendingHigh_;
    pendingHigh_ = 0;
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      appendUtf8(out_, 0x10000 + ((char32_t(high) - 0xD800) << 10) + (char32_t(unit) - 0xDC00));
      return;
    }
    appendUtf8(out_, 0xFFFD);
  }
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    pendingHigh_ = unit;
  } else {
    appendUtf8(out_, unit);  // a lone low surrogate becomes U+FFFD there
  }
}

std::string Utf16ToUtf8::take() {
  if (pendingHigh_) appendUtf8(out_, 0xFFFD);
  pendingHigh_ = 0;
  return std::move(out_);
}

}  // namespace morvane::platform
