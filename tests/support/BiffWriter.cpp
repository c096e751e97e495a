#include "tests/support/BiffWriter.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <bit>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace morvane::test {
namespace {

std::string f64(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  return le32(static_cast<std::uint32_t>(bits)) + le32(static_cast<std::uint32_t>(bits >> 32));
}

std::string record(std::uint16_t type, const std::string& body) {
  if (body.size() > 0xFFFF) throw std::logic_error("record body too long");
  return le16(type) + le16(static_cast<unsigned>(body.size())) + body;
}

std::u16string utf16(const std::string& utf8) {
  glong count = 0;
  gunichar2* units = g_utf8_to_utf16(utf8.data(), static_cast<glong>(utf8.size()), nullptr, &count, nullptr);
  if (!units) throw std::logic_error("not UTF-8: " + utf8);
  std::u16string out(reinterpret_cast<const char16_t*>(units), static_cast<std::size_t>(count));
  g_free(units);
  return out;
}

// `count` characters from `from`, as bytes when they all fit one (high: 0), else as 16-bit units.
std::string chars(const std::u16string& units, std::size_t from, std::size_t count, bool& high) {
  high = std::any_of(units.begin() + from, units.begin() + from + count, [](char16_t u) { return u > 0xFF; });
  std::string out;
  for (std::size_t i = from; i < from + count; ++i)
    out += high ? le16(units[i]) : std::string(1, static_cast<char>(units[i]));
  return out;
}

// A tiny formula (=1): its tokens do not matter to a reader of cached results.
const std::string kFormulaTail = le16(0) + le32(0) + le16(3) + std::string("\x1E\x01\x00", 3);

std::string bof(bool biff5, std::uint16_t kind) {
  return record(0x0809, le16(biff5 ? 0x0500 : 0x0600) + le16(kind) + le16(0x0DBB) + le16(0x07CC) +
                            (biff5 ? "" : le32(0) + le32(6)));
}

}  // namespace

std::uint16_t BiffWriter::addFormat(const std::string& code) {
  formats_.emplace_back(static_cast<std::uint16_t>(164 + formats_.size()), code);
  return formats_.back().first;
}

std::uint16_t BiffWriter::addXf(std::uint16_t formatId) {
  xfs_.push_back(formatId);
  return static_cast<std::uint16_t>(xfs_.size() - 1);
}

std::size_t BiffWriter::addSheet(const std::string& name, SheetKind kind, bool hidden) {
  sheets_.push_back(Sheet{name, kind, hidden, {}});
  return sheets_.size() - 1;
}

std::string BiffWriter::unicode(const std::string& text, bool longCount) const {
  const std::u16string units = biff5_ ? std::u16string(text.size(), u' ') : utf16(text);
  const auto count = static_cast<unsigned>(units.size());
  const std::string length = longCount ? le16(count) : std::string(1, static_cast<char>(count));
  bool high = false;
  const std::string body = biff5_ ? text : chars(units, 0, units.size(), high);
  return length + (biff5_ ? "" : std::string(1, high)) + body;
}

void BiffWriter::labelSst(std::size_t sheet, int row, int col, const SharedString& text) {
  ++sstReferences_;
  auto index = static_cast<std::uint32_t>(sst_.size());
  if (uniqueStrings_ && text.richRuns == 0 && text.phonetic.empty()) {
    const auto [at, added] = sstIndex_.emplace(text.text, index);
    if (added) sst_.push_back(text);
    index = at->second;
  } else {
    sst_.push_back(text);
  }
  cell(sheet, 0x00FD, row, col, 0, le32(index));
}

void BiffWriter::number(std::size_t sheet, int row, int col, double value, std::uint16_t xf) {
  cell(sheet, 0x0203, row, col, xf, f64(value));
}

void BiffWriter::mulRk(std::size_t sheet, int row, int firstCol, const std::vector<std::uint32_t>& rks,
                       std::uint16_t xf) {
  std::string body = le16(row) + le16(firstCol);
  for (const auto value : rks) body += le16(xf) + le32(value);
  sheetRecord(sheet, 0x00BD, body + le16(firstCol + static_cast<int>(rks.size()) - 1));
}

void BiffWriter::formulaNumber(std::size_t sheet, int row, int col, double value, std::uint16_t xf) {
  cell(sheet, 0x0006, row, col, xf, f64(value) + kFormulaTail);
}

void BiffWriter::formulaResult(std::size_t sheet, int row, int col, std::uint8_t kind, std::uint8_t value,
                               const std::string* text) {
  const std::string result{static_cast<char>(kind), 0, static_cast<char>(value), 0, 0, 0, '\xFF', '\xFF'};
  cell(sheet, 0x0006, row, col, 0, result + kFormulaTail);
  if (text) sheetRecord(sheet, 0x0207, unicode(*text, true));
}

void BiffWriter::sheetRecord(std::size_t sheet, std::uint16_t type, const std::string& body) {
  sheets_.at(sheet).records += record(type, body);
}

void BiffWriter::globalRecord(std::uint16_t type, const std::string& body) {
  extraGlobals_ += record(type, body);
}

std::uint32_t BiffWriter::rkDouble(double value, bool times100) {
  return (static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(value) >> 32) & 0xFFFFFFFCu) |
         (times100 ? 0x01u : 0x00u);
}

std::string BiffWriter::sharedStringTable() const {
  std::vector<std::string> segments;
  std::string current =
      le32(sstReferences_) +
      le32(static_cast<std::uint32_t>(sstCountOverride_ >= 0 ? sstCountOverride_ : sst_.size()));
  auto space = [&] { return maxRecordData_ > current.size() ? maxRecordData_ - current.size() : 0; };
  auto newSegment = [&] { segments.push_back(std::exchange(current, {})); };
  // As many characters as fit in `room` bytes: 8-bit when they all allow it, else 16-bit.
  auto chunk = [](const std::u16string& units, std::size_t from, std::size_t room, bool& high) {
    const std::size_t narrow = std::min(units.size() - from, room);
    std::string bytes = chars(units, from, narrow, high);
    return high ? chars(units, from, std::min(units.size() - from, room / 2), high) : bytes;
  };
  for (const SharedString& string : sst_) {
    const std::u16string units = utf16(string.text);
    const std::size_t headerSize = 3 + (string.richRuns ? 2 : 0) + (string.phonetic.empty() ? 0 : 4);
    // The header and a first character stay in one record.
    if (space() < headerSize + 2) newSegment();
    bool high = false;
    std::string part = chunk(units, 0, space() - headerSize, high);
    std::size_t done = high ? part.size() / 2 : part.size();
    current += le16(static_cast<unsigned>(units.size())) +
               static_cast<char>((high ? 0x01 : 0) | (string.phonetic.empty() ? 0 : 0x04) |
                                 (string.richRuns ? 0x08 : 0));
    if (string.richRuns) current += le16(string.richRuns);
    if (!string.phonetic.empty()) current += le32(static_cast<unsigned>(string.phonetic.size()));
    current += part;
    while (done < units.size()) {
      newSegment();
      part = chunk(units, done, space() - 1, high);
      current += static_cast<char>(high) + part;
      done += high ? part.size() / 2 : part.size();
    }
    std::string extras = string.phonetic;
    for (std::uint16_t run = 0; run < string.richRuns; ++run) extras.insert(4 * run, le16(run) + le16(1));
    for (const char byte : extras) {
      if (space() == 0) newSegment();
      current += byte;
    }
  }
  segments.push_back(current);
  std::string out = record(0x00FC, segments[0]);
  for (std::size_t i = 1; i < segments.size(); ++i) out += record(0x003C, segments[i]);
  return out;
}

std::string BiffWriter::globals(const std::vector<std::uint32_t>& offsets) const {
  std::string out =
      bof(biff5_, 0x0005) + record(0x0042, le16(codePage_)) + (date1904_ ? record(0x0022, le16(1)) : "");
  for (const auto& [id, code] : formats_) {
    out += record(0x041E, le16(id) + (biff5_ ? std::string(1, static_cast<char>(code.size())) + code
                                             : unicode(code, true)));
  }
  for (const std::uint16_t format : xfs_)
    out += record(0x00E0, le16(0) + le16(format) + std::string(biff5_ ? 12 : 16, '\0'));
  out += extraGlobals_;
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    const std::string flags{static_cast<char>(sheets_[i].hidden), static_cast<char>(sheets_[i].kind)};
    out += record(0x0085, le32(offsets[i]) + flags + unicode(sheets_[i].name, false));
  }
  if (!biff5_ && (!sst_.empty() || sstCountOverride_ >= 0)) out += sharedStringTable();
  return out + record(0x000A, {});
}

std::string BiffWriter::stream() const {
  std::vector<std::string> bodies;
  std::vector<std::uint32_t> offsets(sheets_.size(), 0);
  auto position = static_cast<std::uint32_t>(globals(offsets).size());
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    const SheetKind kind = sheets_[i].kind;
    bodies.push_back(bof(biff5_, kind == SheetKind::Chart   ? 0x0020
                                 : kind == SheetKind::Macro ? 0x0040
                                                            : 0x0010) +
                     sheets_[i].records + record(0x000A, {}));
    offsets[i] =
        sheets_[i].offsetOverride >= 0 ? static_cast<std::uint32_t>(sheets_[i].offsetOverride) : position;
    position += static_cast<std::uint32_t>(bodies[i].size());
  }
  std::string out = globals(offsets);
  for (const auto& body : bodies) out += body;
  return out;
}

void BiffWriter::save(const std::string& path) const {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!(file << bytes())) throw std::runtime_error("cannot write " + path);
}

std::string BiffWriter::oldBiffStream(int biff, bool workbook) {
  const std::uint16_t bofType = biff == 2 ? 0x0009 : biff == 3 ? 0x0209 : 0x0409;
  std::string out =
      record(bofType, le16(0) + le16(workbook ? 0x0100 : 0x0010) + (biff == 2 ? "" : le16(0x0DBB)));
  // BUNDLESHEET: the sheet follows in the same file.
  if (workbook) out += record(0x008E, le32(0) + le16(0) + "\x06Sheet1");
  // LABEL: BIFF2 keeps three cell-attribute bytes and a one-byte length, later ones an XF index
  // and a two-byte length.
  out += biff == 2 ? record(0x0004, le16(2) + le16(2) + std::string(3, '\0') + "\x05Table")
                   : record(0x0204, le16(2) + le16(2) + le16(0) + le16(5) + "Table");
  return out + record(0x000A, {});
}

std::string BiffWriter::compoundFile(const std::vector<std::pair<std::string, std::string>>& streams) {
  gsf_init();
  std::unique_ptr<GsfOutput, void (*)(void*)> sink(gsf_output_memory_new(), g_object_unref);
  GsfOutfile* ole = gsf_outfile_msole_new(sink.get());
  for (const auto& [name, bytes] : streams) {
    GsfOutput* child = gsf_outfile_new_child(ole, name.c_str(), FALSE);
    gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
    gsf_output_close(child);
    g_object_unref(child);
  }
  gsf_output_close(GSF_OUTPUT(ole));
  g_object_unref(ole);
  return {reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()))),
          static_cast<std::size_t>(gsf_output_size(sink.get()))};
}

}  // namespace morvane::test
