#pragma once
// How a written text file is encoded: its code and its line ends. The default is what the
// Windows tools the scripts were first made for expect: code page 932 and CR LF.
#include <optional>
#include <string>
#include <string_view>

namespace morvane::platform {

enum class Charset { Cp932, Utf8, Utf8Bom };
enum class LineEnd { CrLf, Lf };

struct OutputEncoding {
  Charset charset = Charset::Cp932;
  LineEnd lineEnd = LineEnd::CrLf;
  bool operator==(const OutputEncoding&) const = default;
};

// The command-line names: cp932, utf-8, utf-8-bom; crlf, lf. Nothing for any other text.
std::optional<Charset> parseCharset(std::string_view name);
std::optional<LineEnd> parseLineEnd(std::string_view name);

// What a page declares as its charset: Shift_JIS or UTF-8.
std::string_view charsetLabel(Charset charset);

// The bytes that open the file: the UTF-8 byte order mark for utf-8-bom, else nothing.
std::string_view byteOrderMark(const OutputEncoding& encoding);

// UTF-8 text whose lines end in CR LF, in the chosen line ends and code, without the byte order
// mark. Code page 932 stays strict (Cp932Error naming the character) unless charRefs, when
// such a character becomes a numeric character reference; invalid UTF-8 throws Cp932Error in
// every code, so a broken text is never written.
std::string encodeText(std::string_view text, const OutputEncoding& encoding, bool charRefs = false);

// byteOrderMark followed by encodeText: a whole file.
std::string encodeFile(std::string_view text, const OutputEncoding& encoding, bool charRefs = false);

}  // namespace morvane::platform
