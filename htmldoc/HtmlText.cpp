#include "htmldoc/HtmlText.h"

#include <cstdio>

namespace morvane::htmldoc {

std::string escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

namespace {

std::string percentEncode(std::string_view fileName, std::string_view also) {
  std::string out;
  out.reserve(fileName.size());
  for (const char c : fileName) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '%' || c == '#' || c == '?' || c == ':' || c == '|' || byte <= 0x20 || byte == 0x7F ||
        also.find(c) != std::string_view::npos) {
      char buffer[4];
      std::snprintf(buffer, sizeof buffer, "%%%02X", byte);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string encodeLinkPath(std::string_view fileName) { return percentEncode(fileName, {}); }

std::string encodeDiagramLink(std::string_view fileName) { return percentEncode(fileName, "&<>\"'\\"); }

}  // namespace morvane::htmldoc
