#include "sqlserver/ServerNames.h"

#include "platform/loader/ModuleLoader.h"
#include "platform/text/Utf8.h"

namespace morvane {
namespace {

// Half-width katakana U+FF66..U+FF9D as their full-width letters.
constexpr char16_t kHalfKana[] =
    u"ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン";

char32_t widened(char32_t code) {
  if (code >= 0xFF01 && code <= 0xFF5E) return code - 0xFEE0;  // full-width ASCII
  if (code == 0x3000) return U' ';
  if (code >= 0xFF66 && code <= 0xFF9D) return kHalfKana[code - 0xFF66];
  switch (code) {
    case 0xFF61: return U'。';
    case 0xFF62: return U'「';
    case 0xFF63: return U'」';
    case 0xFF64: return U'、';
    case 0xFF65: return U'・';
    case 0xFF9E: return U'゛';
    case 0xFF9F: return U'゜';
    case 0xFFE0: return U'¢';
    case 0xFFE1: return U'£';
    case 0xFFE2: return U'¬';
    case 0xFFE3: return U'¯';
    case 0xFFE4: return U'¦';
    case 0xFFE5: return U'¥';
    case 0xFFE6: return U'₩';
    default: return code;
  }
}

// A voiced or semi-voiced mark after a half-width letter makes one full-width letter.
char32_t voiced(char32_t letter, char32_t mark) {
  const bool semi = mark == 0xFF9F;
  if (letter == U'ウ' && !semi) return U'ヴ';
  const bool kaToChi = letter >= U'カ' && letter <= U'チ' && (letter - U'カ') % 2 == 0;
  const bool tsuToTo = letter >= U'ツ' && letter <= U'ト' && (letter - U'ツ') % 2 == 0;
  if ((kaToChi || tsuToTo) && !semi) return letter + 1;
  if (letter >= U'ハ' && letter <= U'ホ' && (letter - U'ハ') % 3 == 0) return letter + (semi ? 2 : 1);
  return 0;
}

void append(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string foldName(std::string_view name) {
  static const auto foldCase = platform::loadModule<FoldModule>("fold").foldCase;
  std::string out;
  out.reserve(name.size());
  char32_t pending = 0;  // a half-width letter that a mark may still join
  auto flush = [&] {
    if (pending) append(out, pending);
    pending = 0;
  };
  while (!name.empty()) {
    char32_t code = 0;
    std::size_t length = platform::decodeUtf8(name, code);
    if (length == 0) {
      flush();
      out += name.front();  // not UTF-8: kept as a byte
      name.remove_prefix(1);
      continue;
    }
    name.remove_prefix(length);
    if (pending && (code == 0xFF9E || code == 0xFF9F)) {
      if (const char32_t joined = voiced(pending, code)) {
        pending = 0;
        append(out, foldCase(joined));
        continue;
      }
    }
    flush();
    const bool half = code >= 0xFF66 && code <= 0xFF9D;
    code = widened(code);
    if (code >= 0x3041 && code <= 0x3096) code += 0x60;  // hiragana as katakana
    code = foldCase(code);
    if (half) {
      pending = code;
    } else {
      append(out, code);
    }
  }
  flush();
  return out;
}

bool sameName(std::string_view a, std::string_view b) { return a == b || foldName(a) == foldName(b); }

std::string serverScriptName(const std::string& name) {
  bool plain = !name.empty() && name.find("--") == std::string::npos && name.find("/*") == std::string::npos &&
               name.find("*/") == std::string::npos;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || std::string_view(";'\"`[](){},.").find(c) != std::string_view::npos) plain = false;
  }
  if (plain) return name;
  std::string quoted = "[";
  for (const char c : name) quoted += c == ']' ? std::string("]]") : std::string(1, c);
  return quoted + "]";
}

}  // namespace morvane
