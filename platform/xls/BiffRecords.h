#pragma once
// The record layer of a BIFF stream: records read one at a time from any byte source, and a
// cursor over a record's body (with its CONTINUE records) that never reads past what is there.
#include <cstdint>
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

// Where the records come from: the workbook stream, read at any offset.
class BiffByteSource {
 public:
  virtual ~BiffByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // Exactly n bytes at offset; throws WorkbookError when they cannot be read.
  virtual void read(std::uint64_t offset, std::size_t n, std::uint8_t* out) = 0;
};

struct BiffRecord {
  std::uint16_t type = 0;
  std::uint64_t offset = 0;
  // The body, and with its CONTINUE records each one's body as a further segment.
  std::vector<std::uint8_t> data;
  std::vector<std::size_t> segmentEnds;
};

class BiffRecordReader {
 public:
  BiffRecordReader(BiffByteSource& source, std::uint64_t start);
  // The next record; false when the stream ends exactly at a record boundary. A record cut
  // off by the end of the stream throws WorkbookError.
  bool next(BiffRecord& record);
  // Like next, and appends the CONTINUE records that follow as segments of the same record.
  bool nextWithContinues(BiffRecord& record);

 private:
  bool readHeader(std::uint16_t& type, std::uint16_t& length);
  void fill(std::uint64_t offset, std::size_t n, std::uint8_t* out);

  BiffByteSource& source_;
  std::uint64_t position_;
  std::uint64_t size_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t bufferStart_ = 0;
  std::size_t window_ = 0;
};

// Reads a record body front to back. Plain reads run on across segment ends; character data
// split by a CONTINUE record starts again with an option byte telling 8- or 16-bit characters.
class BiffCursor {
 public:
  explicit BiffCursor(const BiffRecord& record);

  std::uint8_t u8();
  std::uint16_t u16();
  std::uint32_t u32();
  double f64();
  void skip(std::size_t n);
  std::size_t remaining() const { return data_.size() - pos_; }

  // cch characters, 16-bit when highByte, else 8-bit (Latin-1), as UTF-8.
  std::string characters(std::size_t cch, bool highByte);

 private:
  [[noreturn]] void overrun() const;
  std::size_t segmentEnd() const;

  std::span<const std::uint8_t> data_;
  const std::vector<std::size_t>& ends_;
  std::size_t pos_ = 0;
};

}  // namespace morvane::platform
