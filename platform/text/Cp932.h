#pragma once
// Text conversion between the system's UTF-8 and code page 932 (Windows Shift_JIS), through
// iconv's CP932: plain SHIFT_JIS is JIS X 0208 only and rejects ～, ① and the like.
#include <stdexcept>
#include <string>
#include <string_view>

namespace morvane::platform {

class Cp932Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Strict: a character that code page 932 cannot hold throws Cp932Error naming it (U+XXXX),
// never a '?' or a substitute byte. Invalid UTF-8 throws too.
std::string toCp932(std::string_view utf8);

// For HTML: a character that code page 932 cannot hold becomes a numeric character reference
// (&#x1F600;), so nothing is lost.
std::string toCp932WithCharRefs(std::string_view utf8);

// Decodes code page 932 bytes; throws Cp932Error on bytes that are not valid code page 932.
std::string fromCp932(std::string_view bytes);

// Whether every character of the text can be written in code page 932.
bool fitsCp932(std::string_view utf8);

}  // namespace morvane::platform
