#include "platform/xls/BiffCodePage.h"

#include <iconv.h>

#include <cerrno>

namespace morvane::platform {
namespace {

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);

std::string iconvName(std::uint16_t codePage) {
  switch (codePage) {
    case 367:     // US-ASCII: read as its Windows superset
    case 0x8001:  // Windows 1252 as early versions wrote it
      return "CP1252";
    case 10000:
    case 0x8000:
      return "MACINTOSH";
    case 65001:
      return "UTF-8";
    default:
      return "CP" + std::to_string(codePage);
  }
}

}  // namespace

BiffCodePage::BiffCodePage(std::uint16_t codePage) {
  iconv_t handle = iconv_open("UTF-8", iconvName(codePage).c_str());
  if (handle == kNoHandle) handle = iconv_open("UTF-8", "CP1252");
  handle_ = handle;
}

BiffCodePage::~BiffCodePage() {
  if (static_cast<iconv_t>(handle_) != kNoHandle) iconv_close(static_cast<iconv_t>(handle_));
}

std::string BiffCodePage::decode(std::string_view bytes) {
  std::string out;
  const auto handle = static_cast<iconv_t>(handle_);
  if (handle == kNoHandle) {
    for (const char c : bytes) out += (static_cast<unsigned char>(c) < 0x80) ? c : '?';
    return out;
  }
  iconv(handle, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(handle, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, sizeof buffer - outLeft);
    if (result != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
    out += "\xEF\xBF\xBD";
    if (errno == EINVAL) break;  // cut off at the end
    ++in;
    --inLeft;
  }
  // Code pages with combining marks (1255, 1258) hold the last character back until told
  // the text has ended.
  char* outPtr = buffer;
  std::size_t outLeft = sizeof buffer;
  iconv(handle, nullptr, nullptr, &outPtr, &outLeft);
  out.append(buffer, sizeof buffer - outLeft);
  return out;
}

}  // namespace morvane::platform
