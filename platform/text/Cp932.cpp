#include "platform/text/Cp932.h"
#include "platform/text/Utf8.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace morvane::platform {
namespace {

class Iconv {
 public:
  Iconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1)) {
      throw Cp932Error(std::string("iconv で ") + from + " から " + to + " へ変換できません");
    }
  }
  ~Iconv() { iconv_close(handle_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts as much as it can; returns the position of the first input byte it could not
  // convert (input.size() when all went through) and errno's reason.
  std::size_t convert(std::string_view input, std::string& out, int& error) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::vector<char> buffer(input.size() * 4 + 16);
    error = 0;
    while (inLeft > 0) {
      char* outPtr = buffer.data();
      std::size_t outLeft = buffer.size();
      const std::size_t result = iconv(handle_, &in, &inLeft, &outPtr, &outLeft);
      out.append(buffer.data(), buffer.size() - outLeft);
      if (result == static_cast<std::size_t>(-1)) {
        if (errno == E2BIG) continue;
        error = errno;
        return input.size() - inLeft;
      }
    }
    return input.size();
  }

 private:
  iconv_t handle_;
};

std::string describe(char32_t code) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(code));
  return buffer;
}

std::string encode(std::string_view utf8, bool charRefs) {
  Iconv converter("CP932", "UTF-8");
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    int error = 0;
    const std::size_t done = converter.convert(utf8, out, error);
    if (done == utf8.size()) break;
    utf8.remove_prefix(done);
    char32_t code = 0;
    const std::size_t len = decodeUtf8(utf8, code);
    if (len == 0) throw Cp932Error("UTF-8 として正しくない文字列です");
    if (!charRefs) {
      throw Cp932Error("文字 " + describe(code) + " はShift_JIS(コードページ932)で表せません");
    }
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "&#x%X;", static_cast<unsigned>(code));
    out += buffer;
    utf8.remove_prefix(len);
  }
  return out;
}

}  // namespace

std::string toCp932(std::string_view utf8) { return encode(utf8, false); }

std::string toCp932WithCharRefs(std::string_view utf8) { return encode(utf8, true); }

std::string fromCp932(std::string_view bytes) {
  Iconv converter("UTF-8", "CP932");
  std::string out;
  int error = 0;
  const std::size_t done = converter.convert(bytes, out, error);
  if (done != bytes.size()) {
    throw Cp932Error("Shift_JIS(コードページ932)として読めないバイトがあります (位置 " +
                     std::to_string(done) + ")");
  }
  return out;
}

bool fitsCp932(std::string_view utf8) {
  try {
    toCp932(utf8);
    return true;
  } catch (const Cp932Error&) {
    return false;
  }
}

}  // namespace morvane::platform
