#include "model/Text.h"

namespace morvane {
namespace {

std::string_view trimView(std::string_view text, bool ideographic) {
  for (;;) {
    if (!text.empty() && text.front() == ' ') {
      text.remove_prefix(1);
    } else if (ideographic && text.starts_with(kIdeographicSpace)) {
      text.remove_prefix(kIdeographicSpace.size());
    } else {
      break;
    }
  }
  for (;;) {
    if (!text.empty() && text.back() == ' ') {
      text.remove_suffix(1);
    } else if (ideographic && text.ends_with(kIdeographicSpace)) {
      text.remove_suffix(kIdeographicSpace.size());
    } else {
      break;
    }
  }
  return text;
}

}  // namespace

std::string trimSpaces(std::string_view text) { return std::string(trimView(text, false)); }

std::string trimBlanks(std::string_view text) { return std::string(trimView(text, true)); }

bool isBlank(std::string_view text) { return trimView(text, true).empty(); }

std::string foldText(std::string_view text, TextFold fold) {
  const bool lower = fold == TextFold::LatinToLower;
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (lower && c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
      ++i;
      continue;
    }
    // U+FF01..U+FF5E are EF BC 81..EF BD 9E in UTF-8; each is U+0021..U+007E made wide.
    if (c == '\xEF' && i + 2 < text.size()) {
      const auto b1 = static_cast<unsigned char>(text[i + 1]);
      const auto b2 = static_cast<unsigned char>(text[i + 2]);
      unsigned code = 0;
      if (b1 == 0xBC && b2 >= 0x81 && b2 <= 0xBF) code = 0xFF00 + (b2 - 0x80);
      if (b1 == 0xBD && b2 >= 0x80 && b2 <= 0x9E) code = 0xFF40 + (b2 - 0x80);
      const char ascii = code != 0 ? static_cast<char>(code - 0xFF00 + 0x20) : '\0';
      if (!lower && ((ascii >= '0' && ascii <= '9') || ascii == '+' || ascii == '-' || ascii == '.' || ascii == 'e' ||
                     ascii == 'E')) {
        out += ascii;
        i += 3;
        continue;
      }
      if (lower && ascii >= 'A' && ascii <= 'Z') {
        // U+FF21..U+FF3A (EF BC A1..BA) become U+FF41..U+FF5A (EF BD 81..9A).
        out += "\xEF\xBD";
        out += static_cast<char>(b2 - 0xA1 + 0x81);
        i += 3;
        continue;
      }
    }
    out += c;
    ++i;
  }
  return out;
}

}  // namespace morvane
