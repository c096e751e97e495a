#include "platform/text/OutputEncoding.h"

#include "platform/text/Cp932.h"
#include "platform/text/Utf8.h"

namespace morvane::platform {
namespace {

void checkUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    char32_t code = 0;
    const std::size_t len = decodeUtf8(text.substr(at), code);
    if (len == 0) throw Cp932Error("UTF-8 として正しくない文字列です");
    at += len;
  }
}

std::string withLineEnds(std::string_view text, LineEnd lineEnd) {
  if (lineEnd == LineEnd::CrLf) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace

std::optional<Charset> parseCharset(std::string_view name) {
  if (name == "cp932") return Charset::Cp932;
  if (name == "utf-8") return Charset::Utf8;
  if (name == "utf-8-bom") return Charset::Utf8Bom;
  return std::nullopt;
}

std::optional<LineEnd> parseLineEnd(std::string_view name) {
  if (name == "crlf") return LineEnd::CrLf;
  if (name == "lf") return LineEnd::Lf;
  return std::nullopt;
}

std::string_view charsetLabel(Charset charset) { return charset == Charset::Cp932 ? "Shift_JIS" : "UTF-8"; }

std::string_view byteOrderMark(const OutputEncoding& encoding) {
  return encoding.charset == Charset::Utf8Bom ? "\xEF\xBB\xBF" : "";
}

std::string encodeText(std::string_view text, const OutputEncoding& encoding, bool charRefs) {
  const std::string lines = withLineEnds(text, encoding.lineEnd);
  if (encoding.charset == Charset::Cp932) return charRefs ? toCp932WithCharRefs(lines) : toCp932(lines);
  checkUtf8(lines);
  return lines;
}

std::string encodeFile(std::string_view text, const OutputEncoding& encoding, bool charRefs) {
  return std::string(byteOrderMark(encoding)) + encodeText(text, encoding, charRefs);
}

}  // namespace morvane::platform
