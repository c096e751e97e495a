#include "platform/text/VisibleText.h"

#include <cstdio>

#include "platform/text/Utf8.h"

namespace morvane::platform {
namespace {

std::string hex(const char* format, unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

}  // namespace

std::string visibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    char32_t code = 0;
    const std::size_t length = decodeUtf8(text, code);
    if (length == 0) {
      out += hex("\\x%02X", static_cast<unsigned char>(text.front()));
      text.remove_prefix(1);
      continue;
    }
    if (code == '\n') {
      out += "\\n";
    } else if (code == '\r') {
      out += "\\r";
    } else if (code == '\t') {
      out += "\\t";
    } else if (code < 0x20 || code == 0x7F) {
      out += hex("\\x%02X", static_cast<unsigned>(code));
    } else if (code >= 0x80 && code < 0xA0) {
      out += hex("\\u%04X", static_cast<unsigned>(code));
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return out;
}

}  // namespace morvane::platform
