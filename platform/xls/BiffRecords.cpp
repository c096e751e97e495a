#include "platform/xls/BiffRecords.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {

BiffRecordReader::BiffRecordReader(std::span<const std::uint8_t> stream, std::uint64_t start)
    : stream_(stream), position_(start) {}

void BiffRecordReader::cutShort() const {
  throw WorkbookError("ブックのストリームがレコードの途中で終わっています (位置 " + std::to_string(position_) + ")");
}

void BiffRecordReader::pastTheEnd() const {
  throw WorkbookError("レコードの長さがストリームの外を指しています (位置 " + std::to_string(position_) + ")");
}

void BiffRecordReader::takeContinues(std::vector<std::span<const std::uint8_t>>& bodies) {
  std::uint16_t type = 0, length = 0;
  while (readHeader(type, length) && type == biff::kContinue) {
    bodies.push_back(stream_.subspan(static_cast<std::size_t>(position_ + 4), length));
    position_ += 4u + length;
  }
}

void BiffRecordReader::joinContinues(BiffRecord& record) {
  std::uint16_t type = 0, length = 0;
  readHeader(type, length);
  // The whole chain's size first: one allocation, and no copy of a copy as it grows (a
  // shared string table runs to megabytes).
  std::size_t total = record.data.size();
  std::size_t segments = 1;
  for (std::uint64_t at = position_; at + 4 <= stream_.size();) {
    const std::uint8_t* header = stream_.data() + at;
    if ((header[0] | header[1] << 8) != biff::kContinue) break;
    const std::size_t bodySize = header[2] | header[3] << 8;
    total += bodySize;
    ++segments;
    at += 4 + bodySize;
  }
  record.joined.clear();
  record.joined.reserve(total);
  record.segmentEnds.reserve(segments);
  record.segmentEnds.push_back(record.data.size());
  record.joined.assign(record.data.begin(), record.data.end());
  do {
    const auto body = stream_.subspan(static_cast<std::size_t>(position_ + 4), length);
    record.joined.insert(record.joined.end(), body.begin(), body.end());
    record.segmentEnds.push_back(record.joined.size());
    position_ += 4u + length;
  } while (readHeader(type, length) && type == biff::kContinue);
  record.data = record.joined;
}

void throwRecordCutShort() { throw WorkbookError("レコードがデータの途中で終わっています"); }

void BiffCursor::overrun() const { throwRecordCutShort(); }

double BiffCursor::f64() {
  if (remaining() < 8) overrun();
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | data_[pos_ + i];
  pos_ += 8;
  return std::bit_cast<double>(bits);
}

std::size_t BiffCursor::segmentEnd() {
  // At a segment's end this is the position itself: characters go on after an option byte.
  // The position only moves on, so the segment does too.
  while (segment_ < ends_.size() && ends_[segment_] < pos_) ++segment_;
  return segment_ == ends_.size() ? data_.size() : std::min(ends_[segment_], data_.size());
}

std::string BiffCursor::characters(std::size_t cch, bool highByte) {
  Utf8Buffer text;
  appendCharacters(cch, highByte, text);
  return text.take();
}

namespace {

// Writes one code point as UTF-8 at p; the room is there.
inline char* putUtf8(char* p, char32_t code) {
  if (code < 0x80) {
    *p++ = static_cast<char>(code);
  } else if (code < 0x800) {
    *p++ = static_cast<char>(0xC0 | code >> 6);
    *p++ = static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *p++ = static_cast<char>(0xE0 | code >> 12);
    *p++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *p++ = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *p++ = static_cast<char>(0xF0 | code >> 18);
    *p++ = static_cast<char>(0x80 | (code >> 12 & 0x3F));
    *p++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *p++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  return p;
}

// One UTF-16 unit; a high surrogate waits in pendingHigh for its low half (which may come
// after a CONTINUE record). Lone halves become U+FFFD. At most three bytes a unit.
inline char* putUtf16Unit(char* p, char16_t unit, char16_t& pendingHigh) {
  if (pendingHigh) {
    const char16_t high = std::exchange(pendingHigh, 0);
    if (unit >= 0xDC00 && unit <= 0xDFFF) return putUtf8(p, 0x10000 + ((char32_t(high) - 0xD800) << 10) + (char32_t(unit) - 0xDC00));
    p = putUtf8(p, 0xFFFD);
  }
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    pendingHigh = unit;
    return p;
  }
  return putUtf8(p, unit >= 0xDC00 && unit <= 0xDFFF ? 0xFFFD : unit);
}

}  // namespace

char* putBiffCharacters(char* p, const std::uint8_t* bytes, std::size_t n, bool highByte, char16_t& pendingHigh) {
  if (highByte) {
    std::size_t i = 0;
    // Outside surrogate pairs (nearly always), each unit by its own width, no call.
    while (i < n && !pendingHigh) {
      const auto unit = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
      if (unit < 0x80) {
        *p++ = static_cast<char>(unit);
      } else if (unit < 0x800) {
        p[0] = static_cast<char>(0xC0 | unit >> 6);
        p[1] = static_cast<char>(0x80 | (unit & 0x3F));
        p += 2;
      } else if (unit < 0xD800 || unit > 0xDFFF) {
        p[0] = static_cast<char>(0xE0 | unit >> 12);
        p[1] = static_cast<char>(0x80 | (unit >> 6 & 0x3F));
        p[2] = static_cast<char>(0x80 | (unit & 0x3F));
        p += 3;
      } else {
        p = putUtf16Unit(p, unit, pendingHigh);
      }
      ++i;
    }
    for (; i < n; ++i) {
      p = putUtf16Unit(p, static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8), pendingHigh);
    }
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t byte = bytes[i];
      if (byte < 0x80 && !pendingHigh) {
        *p++ = static_cast<char>(byte);
      } else {
        p = putUtf16Unit(p, byte, pendingHigh);
      }
    }
  }
  return p;
}

char* putLoneHalf(char* p) { return putUtf8(p, 0xFFFD); }

void BiffCursor::appendCharacters(std::size_t cch, bool highByte, Utf8Buffer& out) {
  // Each segment's characters go through a pointer into room made beforehand (three bytes a
  // unit at most): no capacity check per byte.
  const std::size_t base = out.size();
  char16_t pendingHigh = 0;
  std::size_t done = 0;
  while (done < cch) {
    const std::size_t end = segmentEnd();
    const std::size_t width = highByte ? 2 : 1;
    const std::size_t n = std::min(cch - done, (end - pos_) / width);
    char* p = putBiffCharacters(out.room(n * 3 + 3), data_.data() + pos_, n, highByte, pendingHigh);
    out.commit(p);
    pos_ += n * width;
    done += n;
    if (done == cch) break;
    // The segment is used up; the rest continues after an option byte. Half a character
    // left over means the record is damaged.
    if (pos_ != end || end >= data_.size()) {
      out.truncate(base);
      overrun();
    }
    highByte = (u8() & 0x01) != 0;
  }
  if (pendingHigh) out.commit(putUtf8(out.room(3), 0xFFFD));
}

}  // namespace morvane::platform
