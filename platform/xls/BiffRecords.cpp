#include "platform/xls/BiffRecords.h"
#include "platform/text/Utf8.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {
namespace {

// Reading ahead in windows keeps libgsf calls few; they grow from small, since a sheet read
// on its own is often only a few kilobytes.
constexpr std::size_t kFirstWindow = 8 * 1024;
constexpr std::size_t kLargestWindow = 256 * 1024;

}  // namespace

BiffRecordReader::BiffRecordReader(BiffByteSource& source, std::uint64_t start)
    : source_(source), position_(start), size_(source.size()) {}

void BiffRecordReader::fill(std::uint64_t offset, std::size_t n, std::uint8_t* out) {
  if (offset < bufferStart_ || offset + n > bufferStart_ + buffer_.size()) {
    window_ = window_ == 0 ? kFirstWindow : std::min(window_ * 2, kLargestWindow);
    const std::size_t load = static_cast<std::size_t>(std::min<std::uint64_t>(std::max(n, window_), size_ - offset));
    buffer_.resize(load);
    source_.read(offset, load, buffer_.data());
    bufferStart_ = offset;
  }
  if (n > 0) std::memcpy(out, buffer_.data() + (offset - bufferStart_), n);
}

bool BiffRecordReader::readHeader(std::uint16_t& type, std::uint16_t& length) {
  if (position_ >= size_) return false;
  if (size_ - position_ < 4) {
    throw WorkbookError("ブックのストリームがレコードの途中で終わっています (位置 " + std::to_string(position_) + ")");
  }
  std::uint8_t header[4];
  fill(position_, 4, header);
  type = static_cast<std::uint16_t>(header[0] | header[1] << 8);
  length = static_cast<std::uint16_t>(header[2] | header[3] << 8);
  if (size_ - position_ - 4 < length) {
    throw WorkbookError("レコードの長さがストリームの外を指しています (位置 " + std::to_string(position_) + ")");
  }
  return true;
}

bool BiffRecordReader::next(BiffRecord& record) {
  std::uint16_t length = 0;
  if (!readHeader(record.type, length)) return false;
  record.offset = position_;
  record.data.resize(length);
  fill(position_ + 4, length, record.data.data());
  record.segmentEnds.assign(1, length);
  position_ += 4u + length;
  return true;
}

bool BiffRecordReader::nextWithContinues(BiffRecord& record) {
  if (!next(record)) return false;
  // Nothing after an EOF belongs to this substream: do not look at it.
  if (record.type == biff::kEof) return true;
  std::uint16_t type = 0, length = 0;
  // Each CONTINUE is at least a header of the stream, so the chain ends with the stream.
  while (readHeader(type, length) && type == biff::kContinue) {
    const std::size_t start = record.data.size();
    record.data.resize(start + length);
    fill(position_ + 4, length, record.data.data() + start);
    record.segmentEnds.push_back(record.data.size());
    position_ += 4u + length;
  }
  return true;
}

BiffCursor::BiffCursor(const BiffRecord& record) : data_(record.data), ends_(record.segmentEnds) {}

void BiffCursor::overrun() const { throw WorkbookError("レコードがデータの途中で終わっています"); }

std::uint8_t BiffCursor::u8() {
  if (remaining() < 1) overrun();
  return data_[pos_++];
}

std::uint16_t BiffCursor::u16() {
  if (remaining() < 2) overrun();
  const auto value = static_cast<std::uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
  pos_ += 2;
  return value;
}

std::uint32_t BiffCursor::u32() {
  if (remaining() < 4) overrun();
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | data_[pos_ + i];
  pos_ += 4;
  return value;
}

double BiffCursor::f64() {
  if (remaining() < 8) overrun();
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | data_[pos_ + i];
  pos_ += 8;
  return std::bit_cast<double>(bits);
}

void BiffCursor::skip(std::size_t n) {
  if (remaining() < n) overrun();
  pos_ += n;
}

std::size_t BiffCursor::segmentEnd() const {
  // At a segment's end this is the position itself: characters go on after an option byte.
  const auto found = std::lower_bound(ends_.begin(), ends_.end(), pos_);
  return found == ends_.end() ? data_.size() : std::min(*found, data_.size());
}

std::string BiffCursor::characters(std::size_t cch, bool highByte) {
  Utf16ToUtf8 text(std::min(cch, remaining()));
  std::size_t done = 0;
  while (done < cch) {
    const std::size_t end = segmentEnd();
    const std::size_t width = highByte ? 2 : 1;
    const std::size_t n = std::min(cch - done, (end - pos_) / width);
    for (std::size_t i = 0; i < n; ++i, pos_ += width) {
      text.push(highByte ? static_cast<char16_t>(data_[pos_] | data_[pos_ + 1] << 8) : static_cast<char16_t>(data_[pos_]));
    }
    done += n;
    if (done == cch) break;
    // The segment is used up; the rest continues after an option byte. Half a character
    // left over means the record is damaged.
    if (pos_ != end || end >= data_.size()) overrun();
    highByte = (u8() & 0x01) != 0;
  }
  return text.take();
}

}  // namespace morvane::platform
