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

}  // namespace

// The shared string table: rich-text runs and phonetic data are skipped, both may run on into
// CONTINUE records like the characters do. Only where each string starts is kept; the walk
// over the characters checks them as a decode would.
BiffSharedStrings readSharedStrings(BiffRecord& record) {
  BiffSharedStrings strings;
  BiffRecord& bytes = strings.bytes_;
  bytes.type = record.type;
  if (!record.joined.empty() && record.data.data() == record.joined.data()) {
    bytes.joined = std::move(record.joined);
  } else {
    bytes.joined.assign(record.data.begin(), record.data.end());
  }
  bytes.segmentEnds = std::move(record.segmentEnds);
  bytes.data = bytes.joined;
  record.data = {};
  record.joined.clear();
  record.segmentEnds.clear();
  if (bytes.data.size() > UINT32_MAX) throw WorkbookError("共有文字列表が大きすぎます");

  BiffCursor cursor(bytes);
  cursor.u32();  // total references: not needed
  const std::uint32_t unique = cursor.u32();
  // Each string takes at least three bytes: a count from the header is no promise.
  strings.starts_.reserve(std::min<std::size_t>(unique, cursor.remaining() / 3));
  while (strings.starts_.size() < unique && cursor.remaining() > 0) {
    strings.starts_.push_back(static_cast<std::uint32_t>(cursor.position()));
    const std::size_t cch = cursor.u16();
    const std::uint8_t options = cursor.u8();
    const std::size_t runs = (options & kRich) ? cursor.u16() : 0;
    const std::size_t extended = (options & kExtended) ? cursor.u32() : 0;
    cursor.skipCharacters(cch, (options & kHighByte) != 0);
    cursor.skip(runs * 4);
    cursor.skip(extended);
  }
  return strings;
}

std::string_view BiffSharedStrings::text(std::size_t i, Utf8Buffer& scratch) const {
  const std::size_t start = starts_[i];
  const auto& ends = bytes_.segmentEnds;
  // The segment holding the start: the first not ended before it.
  if (lastSegment_ >= ends.size() || ends[lastSegment_] < start ||
      (lastSegment_ > 0 && ends[lastSegment_ - 1] >= start)) {
    lastSegment_ = static_cast<std::size_t>(std::lower_bound(ends.begin(), ends.end(), start) - ends.begin());
  }
  BiffCursor cursor(bytes_, start, lastSegment_);
  const std::size_t cch = cursor.u16();
  const std::uint8_t options = cursor.u8();
  if (options & kRich) cursor.u16();
  if (options & kExtended) cursor.u32();
  scratch.truncate(0);
  cursor.appendCharacters(cch, (options & kHighByte) != 0, scratch);
  return std::string_view(scratch.data(), scratch.size());
}

std::string readBiff8String(BiffCursor& cursor, bool longCount) {
  const std::size_t cch = longCount ? cursor.u16() : cursor.u8();
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
  while (reader.nextWithContinues(record)) {
    if (record.type == biff::kEof) {
      ended = true;
      break;
    }
    BiffCursor cursor(record);
    switch (record.type) {
      case biff::kFilePass:
        globals.encrypted = true;
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
        const std::uint16_t id = cursor.u16();
        formats[id] = globals.biff8 ? readBiff8String(cursor, true) : readByteString(cursor, false);
        break;
      }
      case biff::kXf:
        cursor.u16();  // font
        xfFormats.push_back(cursor.u16());
        break;
      case biff::kSst:
        if (globals.biff8) globals.sharedStrings = readSharedStrings(record);
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
