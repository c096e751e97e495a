#pragma once
// Byte strings of BIFF5 workbooks are in the workbook's code page (its CODEPAGE record).
#include <cstdint>
#include <string>
#include <string_view>

namespace morvane::platform {

class BiffCodePage {
 public:
  // Windows code page number as a CODEPAGE record gives it; an unknown one reads as 1252.
  explicit BiffCodePage(std::uint16_t codePage);
  ~BiffCodePage();
  BiffCodePage(const BiffCodePage&) = delete;
  BiffCodePage& operator=(const BiffCodePage&) = delete;

  // Bytes that are not valid in the code page become U+FFFD.
  std::string decode(std::string_view bytes);

 private:
  void* handle_;
};

}  // namespace morvane::platform
