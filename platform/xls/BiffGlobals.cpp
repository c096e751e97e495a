#include "platform/xls/BiffGlobals.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <map>

#include "platform/text/CellText.h"
#include "platform/workbook/FileKind.h"
#include "platform/workbook/Workbook.h"

namespace morvane::platform {
namespace {

constexpr std::uint8_t kHighByte = 0x01;
constexpr std::uint8_t kExtended = 0x04;
constexpr std::uint8_t kRich = 0x08;

// A BIFF5 byte string: a character count of one or two bytes, then the bytes.
std::string readByteString(BiffCursor& cursor, bool longCount) {
  const std::size_t count = longCount ? cursor.u16() : cursor.u8();
  if (cursor.remaining() < count) throw WorkbookError("文字列がレコードの外に続いています");
  std::string bytes;
  bytes.reserve(count);
  for (std::size_t i = 0; i < count; ++i) bytes += static_cast<char>(cursor.u8());
  return bytes;
}

// Reads the shared string table across its segments where they lie. Plain reads run on from
// one segment into the next; characters cut by a segment's end go on after an option byte
// telling their width.
class SharedStringCursor {
 public:
  SharedStringCursor(const std::vector<std::span<const std::uint8_t>>& segments, std::size_t segment, std::size_t offset,
                     std::size_t base)
      : segments_(segments), segment_(segment), offset_(offset), base_(base) {}

  std::size_t position() const { return base_ + offset_; }
  bool atEnd() {
    while (offset_ == segments_[segment_].size()) {
      if (segment_ + 1 == segments_.size()) return true;
      nextSegment();
    }
    return false;
  }
  std::uint8_t u8() {
    if (atEnd()) throwRecordCutShort();
    return segments_[segment_][offset_++];
  }
  std::uint16_t u16() { return static_cast<std::uint16_t>(u8() | u8() << 8); }
  std::uint32_t u32() { return u16() | static_cast<std::uint32_t>(u16()) << 16; }
  void skip(std::size_t n) {
    while (n > 0) {
      if (atEnd()) throwRecordCutShort();
      const std::size_t step = std::min(n, segments_[segment_].size() - offset_);
      offset_ += step;
      n -= step;
    }
  }
  // cch characters into out, or past them when out is null.
  void characters(std::size_t cch, bool highByte, Utf8Buffer* out) {
    char16_t pendingHigh = 0;
    std::size_t done = 0;
    while (done < cch) {
      const auto segment = segments_[segment_];
      const std::size_t width = highByte ? 2 : 1;
      const std::size_t n = std::min(cch - done, (segment.size() - offset_) / width);
      if (out != nullptr) out->commit(putBiffCharacters(out->room(n * 3 + 3), segment.data() + offset_, n, highByte, pendingHigh));
      offset_ += n * width;
      done += n;
      if (done == cch) break;
      // No segment after this one: damaged. Half a character left over is passed over, as
      // empty segments are by u8().
      if (segment_ + 1 == segments_.size()) throwRecordCutShort();
      nextSegment();
      highByte = (u8() & 0x01) != 0;
    }
    if (pendingHigh && out != nullptr) out->commit(putLoneHalf(out->room(3)));
  }

 private:
  void nextSegment() {
    base_ += segments_[segment_].size();
    ++segment_;
    offset_ = 0;
  }

  const std::vector<std::span<const std::uint8_t>>& segments_;
  std::size_t segment_;
  std::size_t offset_;
  std::size_t base_;
};

}  // namespace

// Rich-text runs and phonetic data are skipped, both may run on into CONTINUE records like the
// characters do. Only where each string starts is kept; the walk over the characters checks
// them as a decode would.
BiffSharedStrings readSharedStrings(std::vector<std::span<const std::uint8_t>> bodies) {
  BiffSharedStrings strings;
  strings.segments_ = std::move(bodies);
  strings.ends_.reserve(strings.segments_.size());
  std::size_t total = 0;
  for (const auto& segment : strings.segments_) {
    total += segment.size();
    if (total > UINT32_MAX) throw WorkbookError("共有文字列表が大きすぎます");
    strings.ends_.push_back(static_cast<std::uint32_t>(total));
  }
  SharedStringCursor cursor(strings.segments_, 0, 0, 0);
  cursor.u32();  // total references: not needed
  const std::uint32_t unique = cursor.u32();
  // Each string takes at least three bytes: a count from the header is no promise.
  strings.starts_.reserve(std::min<std::size_t>(unique, (total - std::min<std::size_t>(total, 8)) / 3));
  while (strings.starts_.size() < unique && !cursor.atEnd()) {
    strings.starts_.push_back(static_cast<std::uint32_t>(cursor.position()));
    const std::size_t cch = cursor.u16();
    const std::uint8_t options = cursor.u8();
    const std::size_t runs = (options & kRich) ? cursor.u16() : 0;
    const std::size_t extended = (options & kExtended) ? cursor.u32() : 0;
    cursor.characters(cch, (options & kHighByte) != 0, nullptr);
    cursor.skip(runs * 4);
    cursor.skip(extended);
  }
  return strings;
}

std::string_view BiffSharedStrings::text(std::size_t i, Utf8Buffer& scratch) const {
  if (kept_.empty()) kept_.resize(starts_.size());
  Kept& kept = kept_[i];
  if (kept.length < kSeenOnce) return std::string_view(keptText_.data() + kept.offset, kept.length);
  if (kept.length == kUnseen) {
    kept.length = kSeenOnce;
    scratch.truncate(0);
    return decode(i, scratch);
  }
  const std::size_t offset = keptText_.size();
  const std::string_view text = decode(i, keptText_);
  // Offsets are 32-bit: past 4 GiB of kept text a string is decoded each time instead.
  if (keptText_.size() > UINT32_MAX) {
    keptText_.truncate(offset);
    scratch.truncate(0);
    return decode(i, scratch);
  }
  kept = Kept{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(text.size())};
  return text;
}

// String i appended to out; the view is of what was appended.
std::string_view BiffSharedStrings::decode(std::size_t i, Utf8Buffer& out) const {
  const std::uint32_t start = starts_[i];
  // The segment holding the start: the first not ended before it.
  if (lastSegment_ >= ends_.size() || ends_[lastSegment_] < start ||
      (lastSegment_ > 0 && ends_[lastSegment_ - 1] >= start)) {
    lastSegment_ = static_cast<std::size_t>(std::lower_bound(ends_.begin(), ends_.end(), start) - ends_.begin());
  }
  const std::size_t base = lastSegment_ == 0 ? 0 : ends_[lastSegment_ - 1];
  SharedStringCursor cursor(segments_, lastSegment_, start - base, base);
  const std::size_t cch = cursor.u16();
  const std::uint8_t options = cursor.u8();
  if (options & kRich) cursor.u16();
  if (options & kExtended) cursor.u32();
  const std::size_t from = out.size();
  cursor.characters(cch, (options & kHighByte) != 0, &out);
  return std::string_view(out.data() + from, out.size() - from);
}

std::string readBiff8String(BiffCursor& cursor, bool longCount) {
  const std::size_t cch = longCount ? cursor.u16() : cursor.u8();
  // An empty text may end before its option byte.
  if (cch == 0 && cursor.remaining() == 0) return {};
  const std::uint8_t options = cursor.u8();
  const std::size_t runs = (options & kRich) ? cursor.u16() : 0;
  const std::size_t extended = (options & kExtended) ? cursor.u32() : 0;
  std::string text = cursor.characters(cch, (options & kHighByte) != 0);
  // Runs and phonetic data after the characters may be missing in short records; they are
  // never needed.
  cursor.skip(std::min(runs * 4 + extended, cursor.remaining()));
  return text;
}

BiffGlobals readBiffGlobals(BiffRecordReader& reader) {
  BiffGlobals globals;
  BiffRecord record;
  if (!reader.next(record)) throw WorkbookError("ブックがBOFレコードで始まっていません");
  {
    BiffCursor bof(record);
    const std::uint16_t version = bof.remaining() >= 2 ? bof.u16() : 0;
    const std::uint16_t kind = bof.remaining() >= 2 ? bof.u16() : 0;
    // An old worksheet put into a compound file by some converter.
    if (const std::string old = oldBiffFormatReason(record.type, version, kind); !old.empty()) throw WorkbookOpenError(old);
    if (record.type != biff::kBof) throw WorkbookError("ブックがBOFレコードで始まっていません");
    if (kind != biff::kBofGlobals) throw WorkbookError("ブックの最初のサブストリームがブック全体の情報ではありません");
    if (version == biff::kVersionBiff8) {
      globals.biff8 = true;
    } else if (version == biff::kVersionBiff5) {
      globals.biff8 = false;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%04X", version);
      throw WorkbookError(std::string("対応していないBIFFのバージョンです (0x") + hex + ")");
    }
  }

  struct RawSheet {
    std::string name;  // UTF-8 in BIFF8, code page bytes in BIFF5
    std::uint32_t offset;
  };
  std::vector<RawSheet> sheets;
  std::map<std::uint16_t, std::string> formats;  // likewise
  std::vector<std::uint16_t> xfFormats;
  bool ended = false;
  while (reader.next(record)) {
    if (record.type == biff::kEof) {
      ended = true;
      break;
    }
    if (record.type == biff::kSst) {
      // Left where it lies: it is the largest record by far, and most of it is never read.
      std::vector<std::span<const std::uint8_t>> bodies{record.data};
      reader.takeContinues(bodies);
      if (globals.biff8) globals.sharedStrings = readSharedStrings(std::move(bodies));
      continue;
    }
    reader.appendContinues(record);
    BiffCursor cursor(record);
    switch (record.type) {
      case biff::kFilePass:
        globals.encrypted = true;
        globals.filePass.assign(record.data.begin(), record.data.end());
        return globals;
      case biff::kCodePage:
        globals.codePage = cursor.u16();
        break;
      case biff::kDateMode:
        globals.date1904 = cursor.u16() == 1;
        break;
      case biff::kBoundSheet: {
        const std::uint32_t offset = cursor.u32();
        cursor.u8();  // visibility: hidden sheets count too
        const std::uint8_t kind = cursor.u8();
        std::string name = globals.biff8 ? readBiff8String(cursor, false) : readByteString(cursor, false);
        if (kind == 0) sheets.push_back({std::move(name), offset});
        break;
      }
      case biff::kFormat: {
        // A format that cannot be read costs that format, not the workbook.
        try {
          const std::uint16_t id = cursor.u16();
          formats[id] = globals.biff8 ? readBiff8String(cursor, true) : readByteString(cursor, false);
        } catch (const WorkbookError&) {
        }
        break;
      }
      case biff::kXf:
        cursor.u16();  // font
        xfFormats.push_back(cursor.u16());
        break;
      default:
        break;
    }
  }
  if (!ended) throw WorkbookError("ブック全体の情報がEOFレコードなしで終わっています");

  globals.decoder = std::make_shared<BiffCodePage>(globals.codePage);
  auto text = [&](std::string& raw) -> std::string {
    return globals.biff8 ? std::move(raw) : globals.decoder->decode(raw);
  };
  globals.worksheets.reserve(sheets.size());
  for (auto& sheet : sheets) globals.worksheets.push_back({text(sheet.name), sheet.offset});
  std::map<std::uint16_t, bool> formatIsDate;
  for (auto& [id, code] : formats) formatIsDate[id] = isDateFormatCode(text(code));
  globals.xfIsDate.reserve(xfFormats.size());
  for (const std::uint16_t id : xfFormats) {
    // A FORMAT record may redefine a built-in number (Japanese files do for 14 and up).
    const auto custom = formatIsDate.find(id);
    globals.xfIsDate.push_back(custom != formatIsDate.end() ? custom->second : isBuiltinDateFormat(id));
  }
  return globals;
}

}  // namespace morvane::platform
