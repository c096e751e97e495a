#include "platform/workbook/FileKind.h"

#include <algorithm>
#include <cctype>

namespace morvane::platform {
namespace {

constexpr std::string_view kSaveAgain = "。Excel 97-2003 ブック (.xls) か Excel ブック (.xlsx) として保存し直してください";

unsigned le16(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// Text in any of the encodings a spreadsheet user meets (ASCII, UTF-8, Shift_JIS, UTF-16):
// no control characters but tab, line ends and form feed, and no NUL outside UTF-16.
bool looksLikeText(std::string_view head) {
  if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) return true;
  return std::none_of(head.begin(), head.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f' && byte != 0x1A;
  });
}

}  // namespace

std::string oldBiffFormatReason(unsigned bofType, unsigned version, unsigned substream) {
  // BIFF2 to BIFF4 each have a BOF record of their own; some writers put an old version word
  // into the BIFF5 record instead.
  unsigned biff = 0;
  switch (bofType) {
    case 0x0009: biff = 2; break;
    case 0x0209: biff = 3; break;
    case 0x0409: biff = 4; break;
    case 0x0809:
      if (version == 0x0200) biff = 2;
      else if (version == 0x0300) biff = 3;
      else if (version == 0x0400) biff = 4;
      break;
    default: break;
  }
  if (biff == 0) return {};
  static constexpr const char* kExcel[] = {"", "", "2.1", "3.0", "4.0"};
  const std::string name = biff == 4 && substream == 0x0100
                               ? std::string("Excel 4.0 ブック (BIFF4W)")
                               : std::string("Excel ") + kExcel[biff] + " ワークシート (BIFF" + std::to_string(biff) + ")";
  return name + " は読めない古い形式です" + std::string(kSaveAgain);
}

std::string describeOtherFile(std::string_view head) {
  // A worksheet of Excel 2.1 to 4.0 is a bare BIFF stream, not a compound file.
  if (head.size() >= 8) {
    const std::string old = oldBiffFormatReason(le16(head, 0), le16(head, 4), le16(head, 6));
    if (!old.empty()) return old;
  }
  std::string_view text = head;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  const std::size_t start = text.find_first_not_of(" \t\r\n");
  const std::string opening = lower(text.substr(start == std::string_view::npos ? text.size() : start, 512));
  if (opening.starts_with("%pdf-")) return "PDF ファイルです (Excel のブックではありません)";
  if (opening.starts_with("{\\rtf")) return "RTF 文書です (Excel のブックではありません)";
  if (opening.starts_with("<!doctype html") || opening.starts_with("<html") || opening.find("<html") != std::string::npos) {
    return "HTML ファイルです (Excel のブックではありません)" + std::string(kSaveAgain);
  }
  if (opening.starts_with("<?xml")) {
    if (opening.find("excel.sheet") != std::string::npos || opening.find("urn:schemas-microsoft-com:office:spreadsheet") != std::string::npos) {
      return "XML スプレッドシート 2003 形式のファイルは読めません" + std::string(kSaveAgain);
    }
    return "XML ファイルです (Excel のブックではありません)";
  }
  if (looksLikeText(head)) return "テキストファイルです (Excel のブックではありません)";
  return "Excel のブック (.xls または .xlsx) ではありません";
}

}  // namespace morvane::platform
