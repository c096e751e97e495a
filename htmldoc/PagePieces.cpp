#include "htmldoc/PagePieces.h"

#include "platform/files/Files.h"
#include "platform/text/Cp932.h"

namespace morvane::htmldoc {
namespace {

std::string contentTypeMeta(platform::Charset charset) {
  return R"(<meta http-equiv="Content-Type" content="text/html; charset=)" + std::string(platform::charsetLabel(charset)) +
         R"(">)";
}

}  // namespace

void put(std::string& out, int lead, std::string_view text, int trail) {
  out.append(static_cast<std::size_t>(lead), ' ');
  out += text;
  out.append(static_cast<std::size_t>(trail), ' ');
}

std::string titledHead(std::string_view escapedTitle, platform::Charset charset, std::string_view extraHead) {
  std::string text;
  put(text, 0, "<html>", 1);
  put(text, 0, "<head>", 1);
  put(text, 0, "<title>", 0);
  put(text, 0, escapedTitle, 0);
  put(text, 0, "</title>", 1);
  put(text, 0, contentTypeMeta(charset), 1);
  if (!extraHead.empty()) put(text, 0, extraHead, 1);
  put(text, 0, "</head>", 1);
  return text;
}

std::string fieldRow(const std::vector<std::string>& cells, std::string_view escapedId) {
  std::string text;
  put(text, 2, escapedId.empty() ? std::string(R"(<tr bgcolor="#CCFF99">)")
                                 : R"(<tr bgcolor="#CCFF99" id=")" + std::string(escapedId) + R"(">)", 2);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    put(text, 4, i == 0 ? R"(<td align="center">)" : "<td>", 2);
    put(text, 6, R"(<div align="center"><font size="2">)", 0);
    put(text, 0, cells[i], 0);
    put(text, 0, "</font></div>", 1);
    put(text, 4, "</td>", 1);
  }
  put(text, 2, "</tr>", 1);
  return text;
}

// Only code page 932 needs character references; UTF-8 holds every character.
void writePage(const std::string& path, std::string_view text, const platform::OutputEncoding& encoding) {
  std::string bytes;
  try {
    bytes = platform::encodeFile(std::string(text) + "\r\n", encoding, true);
  } catch (const platform::Cp932Error& error) {
    throw platform::FileError(path + ": " + error.what());
  }
  platform::replaceFile(path, bytes);
}

}  // namespace morvane::htmldoc
