#pragma once
// The record layer of a BIFF stream: records read one at a time from the stream in memory, and a
// cursor over a record's body (with its CONTINUE records) that never reads past what is there.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace morvane::platform {

namespace biff {
constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kLabelSst = 0x00FD;
constexpr std::uint16_t kLabel = 0x0204;
constexpr std::uint16_t kRString = 0x00D6;
constexpr std::uint16_t kRk = 0x027E;
constexpr std::uint16_t kMulRk = 0x00BD;
constexpr std::uint16_t kNumber = 0x0203;
constexpr std::uint16_t kFormula = 0x0006;
constexpr std::uint16_t kFormulaBiff4 = 0x0406;  // some writers put it in later versions too
constexpr std::uint16_t kString = 0x0207;
constexpr std::uint16_t kBoolErr = 0x0205;
constexpr std::uint16_t kBlank = 0x0201;
constexpr std::uint16_t kMulBlank = 0x00BE;
constexpr std::uint16_t kXf = 0x00E0;
constexpr std::uint16_t kFormat = 0x041E;
constexpr std::uint16_t kDateMode = 0x0022;
constexpr std::uint16_t kCodePage = 0x0042;
constexpr std::uint16_t kFilePass = 0x002F;

constexpr std::uint16_t kBofGlobals = 0x0005;
constexpr std::uint16_t kVersionBiff8 = 0x0600;
constexpr std::uint16_t kVersionBiff5 = 0x0500;
}  // namespace biff

struct BiffRecord {
  std::uint16_t type = 0;
  // The body, in the stream itself; with its CONTINUE records, in `joined`, each one's body
  // a further segment.
  std::span<const std::uint8_t> data;
  std::vector<std::size_t> segmentEnds;
  std::vector<std::uint8_t> joined;
};

// Records of a workbook stream held in memory as a whole; the stream outlives the reader and
// every record it gives.
class BiffRecordReader {
 public:
  BiffRecordReader(std::span<const std::uint8_t> stream, std::uint64_t start);
  // The next record; false when the stream ends exactly at a record boundary. A record cut
  // off by the end of the stream throws WorkbookError. Inline, like the rest of the way to a
  // record without CONTINUE: a sheet has thousands.
  bool next(BiffRecord& record) {
    std::uint16_t length = 0;
    if (!readHeader(record.type, length)) return false;
    record.data = stream_.subspan(static_cast<std::size_t>(position_ + 4), length);
    // A single segment needs no end: a cursor runs to the end of the data.
    record.segmentEnds.clear();
    position_ += 4u + length;
    return true;
  }
  // The CONTINUE records right after the record just read, as further segments of it.
  void appendContinues(BiffRecord& record) {
    std::uint16_t type = 0, length = 0;
    // Each CONTINUE is at least a header of the stream, so the chain ends with the stream.
    if (readHeader(type, length) && type == biff::kContinue) joinContinues(record);
  }
  // The same records' bodies where they lie in the stream, appended to bodies, not copied.
  void takeContinues(std::vector<std::span<const std::uint8_t>>& bodies);

 private:
  // Inline: twice a record, and a sheet has thousands.
  bool readHeader(std::uint16_t& type, std::uint16_t& length) const {
    const std::uint64_t size = stream_.size();
    if (position_ >= size) return false;
    if (size - position_ < 4) cutShort();
    const std::uint8_t* header = stream_.data() + position_;
    type = static_cast<std::uint16_t>(header[0] | header[1] << 8);
    length = static_cast<std::uint16_t>(header[2] | header[3] << 8);
    if (size - position_ - 4 < length) pastTheEnd();
    return true;
  }
  void joinContinues(BiffRecord& record);
  [[noreturn]] void cutShort() const;
  [[noreturn]] void pastTheEnd() const;

  std::span<const std::uint8_t> stream_;
  std::uint64_t position_;
};

// UTF-8 text written in pieces into one buffer that grows ahead of what is used and is never
// cleared, so appending a string costs no resize and no writes of its own.
class Utf8Buffer {
 public:
  std::size_t size() const { return used_; }
  const char* data() const { return bytes_.get(); }
  // Room for n more bytes at the end; valid until the next call.
  char* room(std::size_t n) {
    if (capacity_ - used_ < n) grow(used_ + n);
    return bytes_.get() + used_;
  }
  // Bytes written into the room are now part of the text.
  void commit(const char* end) { used_ = static_cast<std::size_t>(end - bytes_.get()); }
  void truncate(std::size_t size) { used_ = std::min(used_, size); }
  void reserve(std::size_t n) {
    if (n > capacity_) grow(n);
  }
  std::string take() const { return std::string(data(), used_); }

 private:
  void grow(std::size_t needed) {
    const std::size_t capacity = std::max(needed, capacity_ * 2);
    std::unique_ptr<char[]> bigger(new char[capacity]);
    if (used_ > 0) std::memcpy(bigger.get(), bytes_.get(), used_);
    bytes_ = std::move(bigger);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> bytes_;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
};

// n characters (16-bit when highByte, else 8-bit) as UTF-8 at p, where there is room for three
// bytes each; a high surrogate at the end waits in pendingHigh. Returns the end.
char* putBiffCharacters(char* p, const std::uint8_t* bytes, std::size_t n, bool highByte, char16_t& pendingHigh);
// U+FFFD at p for a surrogate half left alone (three bytes). Returns the end.
char* putLoneHalf(char* p);
// Throws the WorkbookError for a read past the end of a record's data.
[[noreturn]] void throwRecordCutShort();

// Reads a record body front to back. Plain reads run on across segment ends; character data
// split by a CONTINUE record starts again with an option byte telling 8- or 16-bit characters.
class BiffCursor {
 public:
  explicit BiffCursor(const BiffRecord& record) : data_(record.data), ends_(record.segmentEnds) {}

  // Inline: a sheet is some hundred thousand of these calls.
  std::uint8_t u8() {
    if (remaining() < 1) overrun();
    return data_[pos_++];
  }
  std::uint16_t u16() {
    if (remaining() < 2) overrun();
    const auto value = static_cast<std::uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return value;
  }
  std::uint32_t u32() {
    if (remaining() < 4) overrun();
    const std::uint32_t value = data_[pos_] | data_[pos_ + 1] << 8 | data_[pos_ + 2] << 16 |
                                static_cast<std::uint32_t>(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return value;
  }
  double f64();
  void skip(std::size_t n) {
    if (remaining() < n) overrun();
    pos_ += n;
  }
  std::size_t remaining() const { return data_.size() - pos_; }

  // cch characters, 16-bit when highByte, else 8-bit (Latin-1), as UTF-8.
  std::string characters(std::size_t cch, bool highByte);
  // The same, appended to out.
  void appendCharacters(std::size_t cch, bool highByte, Utf8Buffer& out);

 private:
  [[noreturn]] void overrun() const;
  std::size_t segmentEnd();

  std::span<const std::uint8_t> data_;
  const std::vector<std::size_t>& ends_;
  std::size_t pos_ = 0;
  std::size_t segment_ = 0;
};

}  // namespace morvane::platform
