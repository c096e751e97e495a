#include "platform/xlsx/XlsxWorkbook.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <charconv>
#include <cstring>
#include <map>
#include <vector>

#include "platform/text/CellText.h"
#include "platform/text/Utf8.h"
#include "platform/xlsx/XmlScanner.h"
#include "platform/xlsx/ZipArchive.h"

namespace morvane::platform {
namespace {

// Where a quick path reads an inflated part, which ends in a NUL byte.
struct QuickCursor {
  const char* p;
  void skipSpace() {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  }
  // Stops at the first byte that differs, so never beyond the buffer's closing NUL.
  bool at(std::string_view text) const {
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (p[i] != text[i]) return false;
    }
    return true;
  }
};

// The namespaces the reader tells apart, by their index in the scanner. Transitional and
// strict SpreadsheetML spell theirs differently.
constexpr std::string_view kNamespaces[] = {
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main",
    "http://purl.oclc.org/ooxml/spreadsheetml/main",
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    "http://purl.oclc.org/ooxml/officeDocument/relationships",
    "http://schemas.openxmlformats.org/package/2006/relationships",
    // Excel 2007 before its release wrote these instead of the main one.
    "http://schemas.microsoft.com/office/excel/2006/main",
    "http://schemas.microsoft.com/office/excel/2006/2",
    "http://schemas.openxmlformats.org/spreadsheetml/2006/7/main",
    "http://schemas.openxmlformats.org/spreadsheetml/2006/5/main",
};
constexpr int kMainTransitional = 0;
constexpr int kMainStrict = 1;
constexpr int kRelationships[] = {2, 3};
constexpr int kPackageRelationships = 4;
constexpr int kFirstBetaMain = 5;

bool isMain(int ns) { return ns == kMainTransitional || ns == kMainStrict; }
bool isMain(const XmlScanner& xml, std::string_view local) { return isMain(xml.ns()) && xml.local() == local; }

bool hasTypeSuffix(std::string_view type, std::string_view suffix) {
  return type.size() > suffix.size() && type.ends_with(suffix) && type[type.size() - suffix.size() - 1] == '/';
}

// A relationship target is relative to the folder of the part that names it, or absolute.
// Some writers separate folders with backslashes.
std::string resolvePartName(const std::string& source, std::string_view target) {
  std::string path(target);
  std::replace(path.begin(), path.end(), '\\', '/');
  if (!path.empty() && path.front() == '/') {
    path.erase(0, 1);
  } else {
    const auto slash = source.rfind('/');
    if (slash != std::string::npos) path = source.substr(0, slash + 1) + path;
  }
  std::vector<std::string> segments;
  std::size_t start = 0;
  while (start <= path.size()) {
    const auto end = std::min(path.find('/', start), path.size());
    const std::string segment = path.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string resolved;
  for (const auto& segment : segments) resolved += (resolved.empty() ? "" : "/") + segment;
  return resolved;
}

struct Relationship {
  std::string type;
  std::string target;  // resolved part name
};

// The relationships of a part, by id; empty when it has none.
std::map<std::string, Relationship> readRelationships(const ZipArchive& zip, const std::string& source) {
  const auto slash = source.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : source.substr(0, slash + 1);
  const std::string file = slash == std::string::npos ? source : source.substr(slash + 1);
  std::map<std::string, Relationship> relationships;
  auto part = zip.find(folder + "_rels/" + file + ".rels");
  if (!part) return relationships;
  XmlScanner xml(*part, kNamespaces);
  for (auto event = xml.next(); event != XmlScanner::Event::kDone; event = xml.next()) {
    if (event != XmlScanner::Event::kStart || xml.ns() != kPackageRelationships || xml.local() != "Relationship") continue;
    if (xml.attribute("TargetMode").value_or("") == "External") continue;
    auto id = xml.attribute("Id");
    auto type = xml.attribute("Type");
    auto target = xml.attribute("Target");
    if (!id || !type || !target) xml.fail("Relationship に Id, Type, Target のどれかがありません");
    relationships[std::string(*id)] = Relationship{std::string(*type), resolvePartName(source, *target)};
  }
  return relationships;
}

bool isTrue(std::optional<std::string_view> value) { return value && (*value == "1" || *value == "true"); }

// "_x000D_" stands for the character U+000D; "_x005F_" escapes an underscore.
std::string decodeEscapes(std::string text) {
  if (text.find("_x") == std::string::npos) return text;
  auto hexAt = [&](std::size_t pos, unsigned& value) {
    if (pos + 7 > text.size() || text[pos] != '_' || (text[pos + 1] != 'x' && text[pos + 1] != 'X') ||
        text[pos + 6] != '_') {
      return false;
    }
    const auto result = std::from_chars(text.data() + pos + 2, text.data() + pos + 6, value, 16);
    return result.ec == std::errc() && result.ptr == text.data() + pos + 6;
  };
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    unsigned unit = 0;
    if (!hexAt(i, unit)) {
      out += text[i++];
      continue;
    }
    i += 7;
    unsigned low = 0;
    if (unit >= 0xD800 && unit <= 0xDBFF && hexAt(i, low) && low >= 0xDC00 && low <= 0xDFFF) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 7;
    }
    appendUtf8(out, unit);
  }
  return out;
}

double parseNumber(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  while (!text.empty() && (kSpace.find(text.front()) != std::string_view::npos || text.front() == '+')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && kSpace.find(text.back()) != std::string_view::npos) text.remove_suffix(1);
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
    throw WorkbookError("数値 \"" + std::string(text) + "\" が読めません");
  }
  return value;
}

// "PnDTnHnMnS" (a duration, as strict files write times): its days, or nothing.
std::optional<double> isoDurationDays(std::string_view iso) {
  if (!iso.starts_with('P') || iso.size() < 3) return std::nullopt;
  double days = 0;
  bool inTime = false;
  for (std::size_t pos = 1; pos < iso.size();) {
    if (iso[pos] == 'T' && !inTime) {
      inTime = true;
      ++pos;
      continue;
    }
    double n = 0;
    const auto r = std::from_chars(iso.data() + pos, iso.data() + iso.size(), n, std::chars_format::fixed);
    if (r.ec != std::errc() || r.ptr == iso.data() + iso.size() || !(n >= 0)) return std::nullopt;
    const char unit = *r.ptr;
    if (unit == 'D' && !inTime) days += n;
    else if (unit == 'W' && !inTime) days += 7 * n;
    else if (unit == 'H' && inTime) days += n / 24;
    else if (unit == 'M' && inTime) days += n / 1440;
    else if (unit == 'S' && inTime) days += n / 86400;
    else return std::nullopt;  // years and months have no fixed length
    pos = static_cast<std::size_t>(r.ptr - iso.data()) + 1;
  }
  return days;
}

// "yyyy-mm-ddThh:mm:ss(.fff)(Z)" of a date cell (t="d"), or a duration, in the text a
// date-formatted number gives.
std::string formatIsoDate(std::string_view iso) {
  if (const auto days = isoDurationDays(iso)) {
    try {
      return formatDateSerial(*days, false);
    } catch (const WorkbookError&) {
      return std::string(iso);
    }
  }
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  double s = 0;
  bool hasDate = false;
  auto number = [&](std::size_t pos, std::size_t len, int& out) {
    if (pos + len > iso.size()) return false;
    const auto r = std::from_chars(iso.data() + pos, iso.data() + pos + len, out);
    return r.ec == std::errc() && r.ptr == iso.data() + pos + len;
  };
  std::size_t pos = 0;
  if (number(0, 4, y) && iso.size() >= 10 && iso[4] == '-' && number(5, 2, mo) && iso[7] == '-' &&
      number(8, 2, d)) {
    hasDate = true;
    pos = 10;
  }
  if (pos < iso.size() && iso[pos] == 'T') ++pos;
  if (pos < iso.size()) {
    if (!number(pos, 2, h) || pos + 5 > iso.size() || iso[pos + 2] != ':' || !number(pos + 3, 2, mi)) {
      return std::string(iso);
    }
    pos += 5;
    if (pos < iso.size() && iso[pos] == ':') {
      std::size_t end = pos + 1;
      while (end < iso.size() && (std::isdigit(static_cast<unsigned char>(iso[end])) || iso[end] == '.')) ++end;
      if (std::from_chars(iso.data() + pos + 1, iso.data() + end, s).ec != std::errc()) return std::string(iso);
    }
  } else if (!hasDate) {
    return std::string(iso);
  }
  // Serial days as the 1900 system counts them, with its phantom 29 February 1900.
  double serial = 0;
  if (hasDate) {
    const int yy = y - (mo <= 2);
    const int era = (yy >= 0 ? yy : yy - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(yy - era * 400);
    const unsigned doy = (153 * static_cast<unsigned>(mo > 2 ? mo - 3 : mo + 9) + 2) / 5 + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long unixDays = static_cast<long long>(era) * 146097 + doe - 719468;
    serial = static_cast<double>(unixDays + 25569);
    // Before March 1900 the 1900 system is a day behind; 1899-12-30, the day times of day
    // are written on, is its day 0.
    if (serial >= 1 && serial < 61) serial -= 1;
  }
  serial += (h * 3600.0 + mi * 60.0 + s) / 86400.0;
  try {
    return formatDateSerial(serial, false);
  } catch (const WorkbookError&) {
    return std::string(iso);
  }
}

// The cell types the reader tells apart (t attribute); any other reads as a number.
enum class CellType { kNumber, kShared, kInline, kFormulaText, kBoolean, kError, kDate };

CellType cellType(std::string_view type) {
  if (type.size() == 1) {
    // Once a cell: by its one letter, without a call to compare.
    switch (type[0]) {
      case 's': return CellType::kShared;
      case 'b': return CellType::kBoolean;
      case 'e': return CellType::kError;
      case 'd': return CellType::kDate;
      default: return CellType::kNumber;
    }
  }
  if (type == "inlineStr") return CellType::kInline;
  if (type == "str") return CellType::kFormulaText;
  return CellType::kNumber;
}

// An attribute name of one letter.
bool isName(std::string_view name, char letter) { return name.size() == 1 && name[0] == letter; }

// Row numbers are a few digits in every cell and row tag: those are read here, anything else
// by from_chars, whose result this always equals.
inline std::from_chars_result parseRowNumber(std::string_view text, std::int32_t& value) {
  if (!text.empty() && text.size() <= 9) {
    std::int32_t n = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) n = n * 10 + (text[i] - '0');
    if (i == text.size()) {
      value = n;
      return {text.data() + i, std::errc()};
    }
  }
  return std::from_chars(text.data(), text.data() + text.size(), value);
}

// "BC12" -> row 12, column 55. False when the reference is not a cell reference.
bool parseCellReference(std::string_view ref, std::int32_t& row, std::int32_t& col) {
  std::size_t i = 0;
  std::int32_t c = 0;
  // Some writers spell the column in lower case.
  for (; i < ref.size() && i < 3; ++i) {
    const char letter = ref[i] >= 'a' && ref[i] <= 'z' ? static_cast<char>(ref[i] - 'a' + 'A') : ref[i];
    if (letter < 'A' || letter > 'Z') break;
    c = c * 26 + (letter - 'A' + 1);
  }
  if (c == 0) return false;
  std::int32_t r = 0;
  const auto result = parseRowNumber(ref.substr(i), r);
  if (result.ec != std::errc() || result.ptr != ref.data() + ref.size() || r < 1) return false;
  row = r;
  col = c;
  return true;
}

// Collects the text of a string item (<si> or <is>): plain or rich-text runs joined, phonetic
// guides (<rPh>) left out.
class StringItem {
 public:
  void start(const XmlScanner& xml) {
    if (isMain(xml, "rPh")) ++phonetic_;
    if (isMain(xml, "t") && phonetic_ == 0) inText_ = true;
  }
  void end(const XmlScanner& xml) {
    if (isMain(xml, "rPh") && phonetic_ > 0) --phonetic_;
    if (isMain(xml, "t")) inText_ = false;
  }
  bool inText() const { return inText_; }
  void clear() {
    phonetic_ = 0;
    inText_ = false;
  }

 private:
  int phonetic_ = 0;
  bool inText_ = false;
};

// Every shared string in one buffer, told apart by where each ends: no object per string,
// and an empty string costs its end offset only.
class SharedStrings {
 public:
  std::size_t size() const { return ends_.size(); }
  std::string_view operator[](std::size_t i) const {
    const std::uint32_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(text_).substr(begin, ends_[i] - begin);
  }

  // Items in the shape spreadsheet programs write them (<si><t>plain text</t></si>), read
  // straight from the buffer. False at anything else, damage included: read() then takes the
  // part again from its start, with every check.
  bool skim(ZipPart& part) {
    XmlScanner xml(part, kNamespaces);
    if (xml.next() != XmlScanner::Event::kStart || !isMain(xml, "sst") || xml.isEmptyElement()) return false;
    if (xml.qualifiedName() != "sst" || !isMain(xml.defaultNamespace())) return false;
    const std::size_t most = part.size() / 5 + 1;
    checkCount(xml, "uniqueCount", most);
    text_.reserve(part.size());
    ends_.reserve(most);
    QuickCursor cursor{xml.position()};
    const char*& p = cursor.p;
    const char* const end = part.data() + part.size();
    auto space = [&] { cursor.skipSpace(); };
    auto at = [&](std::string_view text) { return cursor.at(text); };
    for (;;) {
      space();
      if (at("</sst>")) {
        p += 6;
        space();
        return p == end;
      }
      if (!at("<si>") || ends_.size() == most) return false;
      p += 4;
      space();
      if (at("<t>")) {
        p += 3;
      } else if (at("<t xml:space=\"preserve\">")) {
        p += 24;
      } else {
        return false;
      }
      const char* text = p;
      for (; *p != '<'; ++p) {
        if (*p == '&' || *p == '\r' || *p == '\0') return false;
      }
      if (!at("</t>")) return false;
      const std::size_t itemStart = text_.size();
      text_.append(text, static_cast<std::size_t>(p - text));
      p += 4;
      space();
      if (!at("</si>")) return false;
      p += 5;
      endItem(itemStart);
    }
  }

  void read(ZipPart part) {
    XmlScanner xml(part, kNamespaces);
    // No item is shorter than "<si/>": a count that cannot fit is damage, and a count that fits
    // bounds what to set aside (address space only, until used).
    const std::size_t most = part.size() / 5 + 1;
    text_.clear();
    ends_.clear();
    text_.reserve(part.size());
    ends_.reserve(most);
    StringItem item;
    bool inItem = false;
    std::size_t itemStart = 0;
    for (auto event = xml.next(); event != XmlScanner::Event::kDone; event = xml.next()) {
      if (event == XmlScanner::Event::kText) {
        if (inItem && item.inText()) text_ += xml.text();
      } else if (event == XmlScanner::Event::kStart) {
        if (isMain(xml, "si")) {
          if (ends_.size() == most) xml.fail("共有文字列がパーツの大きさに対して多すぎます");
          inItem = true;
          item.clear();
          itemStart = text_.size();
        } else if (inItem) {
          item.start(xml);
        } else if (isMain(xml, "sst")) {
          checkCount(xml, "uniqueCount", most);
        }
      } else if (inItem) {
        if (isMain(xml, "si")) {
          inItem = false;
          endItem(itemStart);
        } else {
          item.end(xml);
        }
      }
    }
  }

 private:
  void endItem(std::size_t itemStart) {
    if (text_.find("_x", itemStart) != std::string::npos) {
      std::string decoded = decodeEscapes(text_.substr(itemStart));
      text_.resize(itemStart);
      text_ += decoded;
    }
    ends_.push_back(static_cast<std::uint32_t>(text_.size()));
  }

  static void checkCount(const XmlScanner& xml, std::string_view name, std::size_t most) {
    const auto value = xml.attribute(name);
    if (!value) return;
    std::uint64_t count = 0;
    const auto result = std::from_chars(value->data(), value->data() + value->size(), count);
    if (result.ec == std::errc::result_out_of_range || (result.ec == std::errc() && count > most)) {
      xml.fail("共有文字列の数 " + std::string(*value) + " がパーツの大きさ (" + std::to_string(xml.partSize()) +
               " バイト) に収まりません");
    }
  }

  std::string text_;
  std::vector<std::uint32_t> ends_;
};

class XlsxWorkbook final : public Workbook {
 public:
  explicit XlsxWorkbook(std::unique_ptr<ZipArchive> zip) : zip_(std::move(zip)) {}

  void load() {
    refuseOtherPackages();
    std::string workbookPart;
    for (const auto& [id, rel] : readRelationships(*zip_, "")) {
      if (hasTypeSuffix(rel.type, "officeDocument")) workbookPart = rel.target;
    }
    if (workbookPart.empty() || !zip_->contains(workbookPart)) {
      if (workbookPart.ends_with(".bin") || zip_->contains("xl/workbook.bin")) throw xlsbPackage();
      if (!workbookPart.empty() && !zip_->contains("xl/workbook.xml")) {
        throw WorkbookOpenError("パッケージが名前を挙げているブックのパーツ " + workbookPart + " がありません");
      }
      workbookPart = "xl/workbook.xml";
    }
    if (workbookPart.ends_with(".bin")) throw xlsbPackage();
    auto part = zip_->find(workbookPart);
    if (!part) throw notAWorkbook();
    const auto relationships = readRelationships(*zip_, workbookPart);
    readWorkbook(std::move(*part), relationships);
    for (const auto& [id, rel] : relationships) {
      const bool strings = hasTypeSuffix(rel.type, "sharedStrings");
      if (!strings && !hasTypeSuffix(rel.type, "styles")) continue;
      auto named = zip_->find(rel.target);
      if (!named) throw WorkbookOpenError("ブックが名前を挙げているパーツ " + rel.target + " がありません");
      if (strings) {
        // The quick path may have decoded attributes in place: the full one starts afresh.
        // Into the same buffer: a part of hundreds of MiB is never held twice.
        if (!strings_.skim(*named)) {
          zip_->read(rel.target, *named);
          strings_.read(std::move(*named));
        }
      }
      else readStyles(std::move(*named));
    }
  }

  std::int32_t sheetCount() const override { return static_cast<std::int32_t>(sheets_.size()); }
  bool hasSheet(std::int32_t n) const override {
    return Workbook::hasSheet(n) && sheets_[static_cast<std::size_t>(n - 1)].missing.empty();
  }

  using Workbook::readSheet;
  SheetCells readSheet(std::int32_t n, const SheetReach& reach) override {
    if (n < 1 || n > sheetCount()) throw WorkbookError("シート番号 " + std::to_string(n) + " はありません");
    const Sheet& sheet = sheets_[static_cast<std::size_t>(n - 1)];
    if (!sheet.missing.empty()) throw WorkbookError(sheet.missing);
    try {
      return parseSheet(sheet, reach);
    } catch (const WorkbookError& error) {
      throw WorkbookError("シート「" + sheet.name + "」を読めません: " + error.what());
    }
  }

 private:
  struct Sheet {
    std::string name;
    std::string part;
    std::string missing;  // why the sheet cannot be read, when its part is not named
  };

  static WorkbookOpenError xlsbPackage() {
    return WorkbookOpenError("Excel バイナリ ブック (.xlsb) は読めません。.xlsx 形式で保存し直してください");
  }

  WorkbookOpenError notAWorkbook() const {
    if (zip_->contains("word/document.xml")) return WorkbookOpenError("Word の文書 (.docx) で、Excel のブックではありません");
    if (zip_->contains("ppt/presentation.xml")) {
      return WorkbookOpenError("PowerPoint のプレゼンテーション (.pptx) で、Excel のブックではありません");
    }
    return WorkbookOpenError("zip ファイルですが、Excel のブック (.xlsx) ではありません (xl/workbook.xml がありません)");
  }

  // OpenDocument packages name their kind in a "mimetype" entry.
  void refuseOtherPackages() const {
    if (!zip_->contains("mimetype")) return;
    auto part = zip_->find("mimetype");
    const std::string_view type = part->view();
    if (type.starts_with("application/vnd.oasis.opendocument.spreadsheet")) {
      throw WorkbookOpenError("OpenDocument のスプレッドシート (.ods) は読めません。.xlsx 形式で保存し直してください");
    }
    if (type.starts_with("application/vnd.oasis.opendocument.")) {
      throw WorkbookOpenError("OpenDocument の文書 (" + std::string(type.substr(0, 80)) + ") で、Excel のブックではありません");
    }
  }

  // The cells of one worksheet part, within the kept range; the rest of the part is not read.
  SheetCells parseSheet(const Sheet& sheet, const SheetReach& reach) const {
    // One buffer serves every sheet in turn.
    ZipPart& part = sheetBuffer_;
    if (!zip_->read(sheet.part, part)) throw WorkbookError("パーツ " + sheet.part + " がありません");
    {
      SheetCells cells = emptySheet(sheet, part, reach);
      if (skimSheet(part, cells)) return cells;
    }
    // Something the quick path does not know, or damage: again, event by event, with every check
    // and the line of what is wrong. The quick path may have decoded parts of the buffer in place.
    zip_->read(sheet.part, part);
    return readSheetEvents(sheet, part, reach);
  }

  static SheetCells emptySheet(const Sheet& sheet, const ZipPart& part, const SheetReach& reach) {
    SheetCells cells(sheet.name, reach);
    // About one kept cell in every 40 bytes of a worksheet; rows beyond the kept range are never read.
    cells.reserve(std::min<std::size_t>(part.size() / 40, 4096), std::min<std::size_t>(part.size() / 16, 1 << 20));
    return cells;
  }

  // The cell data in the shape spreadsheet programs write it (unprefixed rows and cells, plain
  // attribute values, values and formulas without references), read straight from the buffer.
  // False at anything else, damage included, for readSheetEvents to read instead.
  bool skimSheet(ZipPart& part, SheetCells& cells) const {
    XmlScanner xml(part, kNamespaces);
    for (;;) {
      const auto event = xml.next();
      if (event == XmlScanner::Event::kDone) return true;
      if (event == XmlScanner::Event::kStart && isMain(xml, "sheetData")) break;
    }
    if (xml.isEmptyElement()) return true;
    if (xml.qualifiedName() != "sheetData" || !isMain(xml.defaultNamespace())) return false;
    QuickCursor cursor{xml.position()};
    const char*& p = cursor.p;
    auto space = [&] { cursor.skipSpace(); };
    auto at = [&](std::string_view text) { return cursor.at(text); };
    auto tagAt = [&](std::string_view open) {
      const char next = p[open.size()];
      return at(open) && (next == ' ' || next == '\t' || next == '\n' || next == '\r' || next == '>' || next == '/');
    };
    // Attributes up to the end of the tag: 1 after ">", 2 after "/>", 0 for what is not plain.
    auto attributes = [&](auto&& each) {
      for (;;) {
        const char* before = p;
        space();
        if (*p == '>') return (++p, 1);
        if (*p == '/' && p[1] == '>') return (p += 2, 2);
        const char* name = p;
        while (*p != '=' && *p != ' ' && *p != '>' && *p != '/' && *p != '\0' && *p != '"' && *p != '\'' && *p != '<') ++p;
        if (p == name || name == before) return 0;
        const std::string_view attribute(name, static_cast<std::size_t>(p - name));
        space();
        if (*p != '=') return 0;
        ++p;
        space();
        const char quote = *p;
        if (quote != '"' && quote != '\'') return 0;
        const char* value = ++p;
        for (; *p != quote; ++p) {
          if (*p == '<' || *p == '&' || *p == '\0' || *p == '\t' || *p == '\n' || *p == '\r') return 0;
        }
        each(attribute, std::string_view(value, static_cast<std::size_t>(p - value)));
        ++p;
      }
    };
    std::int32_t row = 0;
    std::int32_t col = 0;
    bool inRow = false;
    std::string_view value;
    for (;;) {
      space();
      if (*p != '<') return false;
      if (at("</sheetData>")) return !inRow;
      if (at("</row>")) {
        if (!inRow) return false;
        inRow = false;
        p += 6;
      } else if (tagAt("<row")) {
        if (inRow) return false;
        p += 4;
        std::int32_t next = row + 1;
        bool bad = false;
        const int end = attributes([&](std::string_view name, std::string_view r) {
          if (!isName(name, 'r')) return;
          bad = parseRowNumber(r, next).ec != std::errc() || next < 1;
        });
        if (end == 0 || bad) return false;
        // Rows come in ascending order; nothing below the kept range is ever asked for.
        if (next > cells.lastRow()) return true;
        row = next;
        col = 0;
        inRow = end == 1;
      } else if (tagAt("<c")) {
        p += 2;
        CellType type = CellType::kNumber;
        bool dateStyle = false, hasReference = false, bad = false;
        const int end = attributes([&](std::string_view name, std::string_view v) {
          if (isName(name, 'r')) {
            bad = bad || !parseCellReference(v, row, col);
            hasReference = true;
          } else if (isName(name, 't')) {
            type = cellType(v);
          } else if (isName(name, 's')) {
            dateStyle = isDateStyle(v);
          }
        });
        if (end == 0 || bad) return false;
        if (!hasReference) {
          row = std::max(row, 1);
          ++col;
        }
        if (end == 2) continue;
        bool hasValue = false;
        for (;;) {
          space();
          if (at("</c>")) {
            p += 4;
            break;
          }
          if (at("<v/>")) {
            p += 4;
            value = {};
            hasValue = true;
          } else if (at("<v>")) {
            p += 3;
            const char* text = p;
            for (; *p != '<'; ++p) {
              if (*p == '&' || *p == '\r' || *p == '\0') return false;
            }
            if (!at("</v>")) return false;
            value = std::string_view(text, static_cast<std::size_t>(p - text));
            p += 4;
            hasValue = true;
          } else if (tagAt("<f")) {
            // A formula: its cached result is what counts.
            p += 2;
            const int formulaEnd = attributes([](std::string_view, std::string_view) {});
            if (formulaEnd == 0) return false;
            if (formulaEnd == 1) {
              while (*p != '<' && *p != '\0') ++p;
              if (!at("</f>")) return false;
              p += 4;
            }
          } else {
            return false;
          }
        }
        if (type == CellType::kInline || !hasValue || !cells.wants(row, col)) continue;
        try {
          storeCell(cells, row, col, type, dateStyle, value);
        } catch (const WorkbookError&) {
          return false;
        }
      } else {
        return false;
      }
    }
  }

  SheetCells readSheetEvents(const Sheet& sheet, ZipPart& part, const SheetReach& reach) const {
    SheetCells cells = emptySheet(sheet, part, reach);
    XmlScanner xml(part, kNamespaces);
    std::int32_t row = 0;
    std::int32_t col = 0;
    bool inCell = false, inValue = false, inInline = false, hasValue = false, hasInline = false, dateStyle = false;
    CellType type = CellType::kNumber;
    std::string value;
    std::string inlineText;
    StringItem item;
    try {
      for (auto event = xml.next(); event != XmlScanner::Event::kDone; event = xml.next()) {
        if (event == XmlScanner::Event::kText) {
          if (inValue) value += xml.text();
          else if (inInline && item.inText()) inlineText += xml.text();
          continue;
        }
        if (!isMain(xml.ns())) continue;
        const std::string_view local = xml.local();
        if (event == XmlScanner::Event::kStart) {
          if (inCell) {
            if (inInline) {
              item.start(xml);
            } else if (local == "v") {
              inValue = hasValue = true;
              value.clear();
            } else if (local == "is") {
              inInline = hasInline = true;
              inlineText.clear();
              item.clear();
            }
          } else if (local == "c") {
            inCell = true;
            type = CellType::kNumber;
            dateStyle = hasValue = hasInline = false;
            bool hasReference = false;
            for (std::size_t i = 0; i < xml.attributeCount(); ++i) {
              if (!xml.attributeIsPlain(i)) continue;
              const std::string_view name = xml.attributeLocal(i);
              if (name == "r") {
                const std::string_view r = xml.attributeValue(i);
                if (!parseCellReference(r, row, col)) throw WorkbookError("セル参照 \"" + std::string(r) + "\" が読めません");
                hasReference = true;
              } else if (name == "t") {
                type = cellType(xml.attributeValue(i));
              } else if (name == "s") {
                dateStyle = isDateStyle(xml.attributeValue(i));
              }
            }
            if (!hasReference) {
              // Cells without a reference follow the previous one.
              row = std::max(row, 1);
              ++col;
            }
          } else if (local == "row") {
            std::int32_t next = row + 1;
            if (const auto r = xml.attribute("r")) {
              if (std::from_chars(r->data(), r->data() + r->size(), next).ec != std::errc() || next < 1) {
                throw WorkbookError("行番号 \"" + std::string(*r) + "\" が読めません");
              }
            }
            // Rows come in ascending order; nothing below the kept range is ever asked for.
            if (next > cells.lastRow()) break;
            row = next;
            col = 0;
          }
        } else if (inCell) {
          if (local == "c") {
            inCell = false;
            if (type == CellType::kInline) {
              if (hasInline && cells.wants(row, col)) cells.setText(row, col, decodeEscapes(std::move(inlineText)));
            } else if (hasValue) {
              storeCell(cells, row, col, type, dateStyle, value);
            }
          } else if (local == "v") {
            inValue = false;
          } else if (local == "is") {
            inInline = false;
          } else if (inInline) {
            item.end(xml);
          }
        } else if (local == "sheetData") {
          // What follows the cell data (merged cells, page setup, ...) says nothing about values.
          break;
        }
      }
    } catch (const WorkbookError& error) {
      const std::string what = error.what();
      // The scanner's messages name the part already.
      if (what.starts_with("パーツ ")) throw;
      xml.fail(what);
    }
    return cells;
  }

  void readWorkbook(ZipPart part, const std::map<std::string, Relationship>& relationships) {
    XmlScanner xml(part, kNamespaces);
    for (auto event = xml.next(); event != XmlScanner::Event::kDone; event = xml.next()) {
      if (event != XmlScanner::Event::kStart) continue;
      // The package's main document may be a text document or a presentation.
      if (xml.depth() == 0 && xml.ns() >= kFirstBetaMain && xml.local() == "workbook") {
        throw WorkbookOpenError("Excel 2007 のベータ版の形式 (製品版と違う名前空間) のブックは読めません。"
                                "Excel で .xlsx 形式に保存し直してください");
      }
      if (xml.depth() == 0 && !isMain(xml, "workbook")) throw notAWorkbook();
      if (isMain(xml, "workbookPr")) {
        date1904_ = isTrue(xml.attribute("date1904"));
      } else if (isMain(xml, "sheet")) {
        auto name = xml.attribute("name");
        std::optional<std::string_view> id;
        for (const int ns : kRelationships) {
          if (!id) id = xml.attribute("id", ns);
        }
        if (!name) xml.fail("sheet に name がありません");
        const auto found = relationships.find(std::string(id.value_or("")));
        if (found == relationships.end()) {
          // A sheet without its part: in its place, but as a sheet that does not exist.
          const std::string reason = "シート「" + std::string(*name) + "」の参照 " + std::string(id.value_or("")) + " がありません";
          sheets_.push_back(Sheet{std::string(*name), {}, reason});
          continue;
        }
        // Chart, dialog and macro sheets do not count.
        if (hasTypeSuffix(found->second.type, "worksheet")) sheets_.push_back(Sheet{std::string(*name), found->second.target, {}});
      }
    }
    refuseSharedParts();
  }

  // No spreadsheet program lets two sheets share a part; a package that does would have it
  // inflated once for every sheet naming it. Part names match whatever their letter case.
  void refuseSharedParts() const {
    std::map<std::string, const Sheet*> seen;
    for (const Sheet& sheet : sheets_) {
      if (sheet.part.empty()) continue;  // a sheet without a part counts as one that does not exist
      std::string folded = sheet.part;
      std::transform(folded.begin(), folded.end(), folded.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      const auto [at, added] = seen.emplace(std::move(folded), &sheet);
      if (!added) {
        throw WorkbookError("シート「" + at->second->name + "」とシート「" + sheet.name + "」が同じパーツ " + sheet.part +
                            " を指しています");
      }
    }
  }

  void readStyles(ZipPart part) {
    XmlScanner xml(part, kNamespaces);
    std::map<int, bool> customFormats;
    std::vector<int> formatIds;
    bool inCellXfs = false;
    auto formatId = [&] {
      int id = 0;
      const auto text = xml.attribute("numFmtId").value_or("0");
      std::from_chars(text.data(), text.data() + text.size(), id);
      return id;
    };
    for (auto event = xml.next(); event != XmlScanner::Event::kDone; event = xml.next()) {
      if (event == XmlScanner::Event::kStart) {
        // Formats in differential formats (<dxfs>) are for conditional formatting, not cells.
        if (isMain(xml, "numFmt") && xml.depth() == 2) {
          customFormats[formatId()] = isDateFormatCode(std::string(xml.attribute("formatCode").value_or("")));
        } else if (isMain(xml, "cellXfs")) {
          inCellXfs = !xml.isEmptyElement();
        } else if (inCellXfs && isMain(xml, "xf")) {
          formatIds.push_back(formatId());
        }
      } else if (event == XmlScanner::Event::kEnd && isMain(xml, "cellXfs")) {
        inCellXfs = false;
      }
    }
    dateStyles_.reserve(formatIds.size());
    for (const int id : formatIds) {
      const auto custom = customFormats.find(id);
      dateStyles_.push_back(custom != customFormats.end() ? custom->second : isBuiltinDateFormat(id));
    }
  }

  // A cell's value as text, by its type (t attribute). Throws WorkbookError for damage. An empty
  // value reads as an empty cell, whatever the type.
  void storeCell(SheetCells& cells, std::int32_t row, std::int32_t col, CellType type, bool dateStyle,
                 std::string_view value) const {
    if (!cells.wants(row, col) || value.empty()) return;
    if (type == CellType::kShared) {
      std::size_t plain = 0;
      const auto end = value.data() + value.size();
      if (const auto r = std::from_chars(value.data(), end, plain); r.ec == std::errc() && r.ptr == end) {
        if (plain >= strings_.size()) throw WorkbookError("共有文字列 " + std::string(value) + " がありません");
        cells.setText(row, col, strings_[plain]);
        return;
      }
      const double index = parseNumber(value);
      if (!(index >= 0 && index < static_cast<double>(strings_.size()))) {
        throw WorkbookError("共有文字列 " + std::string(value) + " がありません");
      }
      cells.setText(row, col, strings_[static_cast<std::size_t>(index)]);
    } else if (type == CellType::kFormulaText) {
      cells.setText(row, col, decodeEscapes(std::string(value)));
    } else if (type == CellType::kBoolean) {
      cells.setText(row, col, formatBoolean(parseNumber(value) != 0));
    } else if (type == CellType::kError) {
      cells.setError(row, col, value);
    } else if (type == CellType::kDate) {
      cells.setText(row, col, formatIsoDate(value));
    } else if (!dateStyle && isPlainInteger(value)) {
      cells.setText(row, col, value);  // what formatting its value would give back
    } else {
      const double number = parseNumber(value);
      // No number the spreadsheet shows: what it shows is the error value.
      if (!std::isfinite(number)) {
        cells.setError(row, col, "#NUM!");
        return;
      }
      if (dateStyle) {
        cells.setText(row, col, formatDate(number));
      } else {
        cells.setText(row, col, formatPlainNumber(number));
      }
    }
  }

  // Up to 15 digits without a leading zero, with an optional minus: the number's own text.
  static bool isPlainInteger(std::string_view value) {
    const std::string_view digits = value.starts_with('-') ? value.substr(1) : value;
    if (digits.empty() || digits.size() > 15 || (digits[0] == '0' && (digits.size() > 1 || value.size() > 1))) return false;
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
  }

  bool isDateStyle(std::string_view style) const {
    std::size_t index = 0;
    const auto result = std::from_chars(style.data(), style.data() + style.size(), index);
    return result.ec == std::errc() && index < dateStyles_.size() && dateStyles_[index];
  }

  // Whole numbers, by far the most common, without the general formatting's detour.
  static std::string formatPlainNumber(double number) {
    if (number == std::trunc(number) && std::fabs(number) < 1e15) {
      char digits[24];
      const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<long long>(number)).ptr;
      return std::string(digits, end);
    }
    return formatNumber(number);
  }

  std::string formatDate(double serial) const {
    // A negative or huge serial cannot be a date; the spreadsheet hands over the number then.
    try {
      return formatDateSerial(serial, date1904_);
    } catch (const WorkbookError&) {
      return formatNumber(serial);
    }
  }

  std::unique_ptr<ZipArchive> zip_;
  mutable ZipPart sheetBuffer_;
  std::vector<Sheet> sheets_;
  SharedStrings strings_;
  std::vector<bool> dateStyles_;
  bool date1904_ = false;
};

}  // namespace

std::unique_ptr<Workbook> openXlsxWorkbook(const std::string& path) {
  auto book = std::make_unique<XlsxWorkbook>(ZipArchive::open(path));
  try {
    book->load();
  } catch (const WorkbookOpenError&) {
    throw;
  } catch (const WorkbookError& error) {
    throw WorkbookOpenError(error.what());
  }
  return book;
}

}  // namespace morvane::platform
