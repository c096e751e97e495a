#include "model/clsXML.h"

#include <cerrno>
#include <string_view>

#include "platform/text/Cp932.h"
#include "platform/files/Files.h"

namespace morvane {

std::string clsXML::fnTagData(const std::string& startTag, const std::string& endTag) const {
  std::string result;
  bool open = false;
  for (const std::string& item : items_) {
    const auto start = item.find(startTag);
    const auto end = item.find(endTag);
    if (start != std::string::npos) {
      const auto valueStart = start + startTag.size();
      if (end != std::string::npos) {
        // An end tag that overlaps or precedes the start tag leaves nothing between them.
        return end >= valueStart ? item.substr(valueStart, end - valueStart) : std::string();
      }
      open = true;
      result = item.substr(valueStart);
    } else if (open) {
      if (end != std::string::npos) return result + item.substr(0, end);
      result += item;
    }
  }
  // The start tag was never found, or never closed.
  return {};
}

bool clsXML::fnReadFile(const std::string& path) {
  items_.clear();
  errMsg_.clear();
  std::string text;
  try {
    text = platform::fromCp932(platform::readFile(path, kMaxFileBytes));
  } catch (const platform::FileError& error) {
    errMsg_ = error.code() == EFBIG ? path + ": 設定ファイルとしては大きすぎます (" + std::to_string(kMaxFileBytes >> 10) + " KiB まで)"
                                    : std::string(error.what());
    return false;
  } catch (const platform::Cp932Error& error) {
    errMsg_ = path + ": " + error.what();
    return false;
  } catch (const std::exception& error) {
    errMsg_ = error.what();
    return false;
  }
  // Items end at line ends only (CR LF, or a lone LF or CR from a hand edit): a comma is part of
  // the value, and leading spaces are kept.
  std::string_view rest(text);
  while (!rest.empty()) {
    const auto at = rest.find_first_of("\r\n");
    if (at == std::string_view::npos) {
      items_.emplace_back(rest);
      break;
    }
    items_.emplace_back(rest.substr(0, at));
    const bool crlf = rest[at] == '\r' && at + 1 < rest.size() && rest[at + 1] == '\n';
    rest.remove_prefix(at + (crlf ? 2 : 1));
  }
  return true;
}

}  // namespace morvane
