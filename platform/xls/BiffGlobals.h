#pragma once
// What a BIFF workbook's globals substream says about the whole workbook: its worksheets and
// where they start, the shared strings, which cell formats show dates, and the date system.
#include <cstdint>
#include <climits>
#include <memory>
#include <span>
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

// The shared string table where it lies in the stream, with where each string starts: a
// string is decoded only when a cell that is read uses it. The bytes were checked when the
// table was read, so decoding cannot fail. The stream must outlive the table.
class BiffSharedStrings {
 public:
  std::size_t size() const { return starts_.size(); }
  // String i as UTF-8, in scratch or among the strings kept; valid until the next call or
  // until scratch is next used.
  std::string_view text(std::size_t i, Utf8Buffer& scratch) const;

 private:
  friend BiffSharedStrings readSharedStrings(std::vector<std::span<const std::uint8_t>> bodies);
  // The SST record's body and its CONTINUE records' bodies, one after another.
  std::vector<std::span<const std::uint8_t>> segments_;
  std::vector<std::uint32_t> ends_;    // of each segment, counted over them all
  std::vector<std::uint32_t> starts_;  // of each string, likewise
  // Cells mostly ask for strings in table order: the segment of the last one is a good guess.
  mutable std::size_t lastSegment_ = 0;

  // A string asked for a second time (a type word, a mark) is kept decoded from then on;
  // strings used once, most of a design document's names, cost no room.
  struct Kept {
    std::uint32_t offset = 0;
    std::uint32_t length = kUnseen;
  };
  static constexpr std::uint32_t kUnseen = UINT32_MAX;
  static constexpr std::uint32_t kSeenOnce = UINT32_MAX - 1;
  std::string_view decode(std::size_t i, Utf8Buffer& out) const;
  mutable std::vector<Kept> kept_;  // by string, made at the first call
  mutable Utf8Buffer keptText_;
};

struct BiffGlobals {
  bool biff8 = true;
  bool encrypted = false;
  std::vector<std::uint8_t> filePass;  // the FILEPASS record's body, when encrypted
  bool date1904 = false;
  std::uint16_t codePage = 1252;
  std::vector<BiffSheetEntry> worksheets;  // chart, macro and module sheets left out
  BiffSharedStrings sharedStrings;
  std::vector<bool> xfIsDate;              // by XF index
  // BIFF5 cells hold byte strings in the workbook's code page.
  std::shared_ptr<BiffCodePage> decoder;

  bool isDateXf(std::uint16_t xf) const { return xf < xfIsDate.size() && xfIsDate[xf]; }
};

// Reads the globals substream from the start of the stream; the shared strings stay in it. Throws WorkbookError when it is
// damaged or not BIFF5/BIFF8. Stops at FILEPASS with encrypted set: nothing after it is readable.
BiffGlobals readBiffGlobals(BiffRecordReader& reader);

// A BIFF8 string with a 16-bit (or 8-bit) character count, an option byte and its characters.
std::string readBiff8String(BiffCursor& cursor, bool longCount);

}  // namespace morvane::platform
