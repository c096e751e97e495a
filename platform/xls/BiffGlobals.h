#pragma once
// What a BIFF workbook's globals substream says about the whole workbook: its worksheets and
// where they start, the shared strings, which cell formats show dates, and the date system.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xls/BiffCodePage.h"
#include "platform/xls/BiffRecords.h"

namespace morvane::platform {

struct BiffSheetEntry {
  std::string name;
  std::uint32_t offset = 0;  // of the sheet's BOF record in the stream
};

// The shared string table, every string in one buffer: a table of many short strings is two
// allocations, not one per string.
class BiffSharedStrings {
 public:
  std::size_t size() const { return ends_.size(); }
  std::string_view operator[](std::size_t i) const {
    const std::size_t start = i == 0 ? 0 : ends_[i - 1];
    if (ends_[i] == start) return {};
    return std::string_view(text_.data() + start, ends_[i] - start);
  }
  void reserve(std::size_t count, std::size_t bytes) {
    ends_.reserve(count);
    text_.reserve(bytes);
  }
  // The next string's text is appended to this, then ended.
  Utf8Buffer& text() { return text_; }
  // Throws WorkbookError past 4 GiB of text.
  void endString();

 private:
  Utf8Buffer text_;
  std::vector<std::uint32_t> ends_;
};

struct BiffGlobals {
  bool biff8 = true;
  bool encrypted = false;
  bool date1904 = false;
  std::uint16_t codePage = 1252;
  std::vector<BiffSheetEntry> worksheets;  // chart, macro and module sheets left out
  BiffSharedStrings sharedStrings;
  std::vector<bool> xfIsDate;              // by XF index
  // BIFF5 cells hold byte strings in the workbook's code page.
  std::shared_ptr<BiffCodePage> decoder;

  bool isDateXf(std::uint16_t xf) const { return xf < xfIsDate.size() && xfIsDate[xf]; }
};

// Reads the globals substream from the start of the stream. Throws WorkbookError when it is
// damaged or not BIFF5/BIFF8. Stops at FILEPASS with encrypted set: nothing after it is readable.
BiffGlobals readBiffGlobals(BiffRecordReader& reader);

// A BIFF8 string with a 16-bit (or 8-bit) character count, an option byte and its characters.
std::string readBiff8String(BiffCursor& cursor, bool longCount);

}  // namespace morvane::platform
