#include "platform/xlsx/XlsxWorkbook.h"

#include <cctype>
#include <cmath>
#include <charconv>
#include <cstring>
#include <map>
#include <vector>

#include "platform/text/CellText.h"
#include "platform/text/Utf8.h"
#include "platform/xlsx/XmlSaxParser.h"
#include "platform/xlsx/XmlStreamReader.h"
#include "platform/xlsx/ZipArchive.h"

namespace morvane::platform {
namespace {

// Transitional and strict SpreadsheetML spell their namespaces differently.
bool isMainNamespace(const char* uri) {
  return std::strcmp(uri, "http://schemas.openxmlformats.org/spreadsheetml/2006/main") == 0 ||
         std::strcmp(uri, "http://purl.oclc.org/ooxml/spreadsheetml/main") == 0;
}

constexpr const char* kRelationshipNamespaces[] = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    "http://purl.oclc.org/ooxml/officeDocument/relationships",
};
constexpr const char* kPackageRelationshipNamespace = "http://schemas.openxmlformats.org/package/2006/relationships";

bool isMain(const XmlStreamReader& xml, const char* local) {
  return xml.isStart(local) && isMainNamespace(xml.namespaceUri());
}

bool hasTypeSuffix(const std::string& type, std::string_view suffix) {
  return type.size() > suffix.size() && type.compare(type.size() - suffix.size(), suffix.size(), suffix) == 0 &&
         type[type.size() - suffix.size() - 1] == '/';
}

// A relationship target is relative to the folder of the part that names it, or absolute.
std::string resolvePartName(const std::string& source, const std::string& target) {
  std::vector<std::string> segments;
  std::string path = target;
  if (!path.empty() && path.front() == '/') {
    path.erase(0, 1);
  } else {
    const auto slash = source.rfind('/');
    if (slash != std::string::npos) path = source.substr(0, slash + 1) + path;
  }
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
  XmlStreamReader xml(std::move(*part));
  while (xml.next()) {
    if (!xml.isStart("Relationship") || std::strcmp(xml.namespaceUri(), kPackageRelationshipNamespace) != 0) continue;
    if (xml.attribute("TargetMode").value_or("") == "External") continue;
    auto id = xml.attribute("Id");
    auto type = xml.attribute("Type");
    auto target = xml.attribute("Target");
    if (!id || !type || !target) xml.fail("Relationship に Id, Type, Target のどれかがありません");
    relationships[*id] = Relationship{*type, resolvePartName(source, *target)};
  }
  return relationships;
}

bool isTrue(const std::optional<std::string>& value) { return value && (*value == "1" || *value == "true"); }

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

bool isMainElement(std::string_view local, const char* uri, std::string_view wanted) {
  return local == wanted && isMainNamespace(uri);
}

// Collects the text of a string item (<si> or <is>) from parser events: plain or rich-text runs
// joined, phonetic guides (<rPh>) left out.
class StringItem {
 public:
  void clear() {
    text_.clear();
    phonetic_ = 0;
    inText_ = false;
  }
  void start(std::string_view local, const char* uri) {
    if (isMainElement(local, uri, "rPh")) ++phonetic_;
    if (isMainElement(local, uri, "t") && phonetic_ == 0) inText_ = true;
  }
  void end(std::string_view local, const char* uri) {
    if (isMainElement(local, uri, "rPh") && phonetic_ > 0) --phonetic_;
    if (isMainElement(local, uri, "t")) inText_ = false;
  }
  void text(std::string_view text) {
    if (inText_) text_ += text;
  }
  std::string take() { return decodeEscapes(std::move(text_)); }

 private:
  std::string text_;
  int phonetic_ = 0;
  bool inText_ = false;
};

class SharedStringsHandler final : public XmlSaxHandler {
 public:
  explicit SharedStringsHandler(std::vector<std::string>& strings) : strings_(strings) {}
  void start(std::string_view local, const char* uri, const XmlAttributes&) override {
    if (isMainElement(local, uri, "si")) {
      item_.clear();
      inItem_ = true;
    } else if (inItem_) {
      item_.start(local, uri);
    }
  }
  void end(std::string_view local, const char* uri) override {
    if (!inItem_) return;
    if (isMainElement(local, uri, "si")) {
      strings_.push_back(item_.take());
      inItem_ = false;
    } else {
      item_.end(local, uri);
    }
  }
  void text(std::string_view text) override {
    if (inItem_) item_.text(text);
  }

 private:
  std::vector<std::string>& strings_;
  StringItem item_;
  bool inItem_ = false;
};

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

// "yyyy-mm-ddThh:mm:ss(.fff)(Z)" of a date cell (t="d"), in the text a date-formatted number gives.
std::string formatIsoDate(std::string_view iso) {
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
    if (serial < 61) serial -= 1;
  }
  serial += (h * 3600.0 + mi * 60.0 + s) / 86400.0;
  try {
    return formatDateSerial(serial, false);
  } catch (const WorkbookError&) {
    return std::string(iso);
  }
}

// The cell types the reader tells apart; any other reads as a number.
constexpr std::string_view kCellTypes[] = {"s", "inlineStr", "str", "b", "e", "d"};

std::string_view cellType(std::string_view type) {
  for (const auto known : kCellTypes) {
    if (type == known) return known;
  }
  return "n";
}

// "BC12" -> row 12, column 55. False when the reference is not a cell reference.
bool parseCellReference(std::string_view ref, std::int32_t& row, std::int32_t& col) {
  std::size_t i = 0;
  std::int32_t c = 0;
  while (i < ref.size() && i < 3 && ref[i] >= 'A' && ref[i] <= 'Z') c = c * 26 + (ref[i++] - 'A' + 1);
  if (c == 0) return false;
  std::int32_t r = 0;
  const auto result = std::from_chars(ref.data() + i, ref.data() + ref.size(), r);
  if (result.ec != std::errc() || result.ptr != ref.data() + ref.size() || r < 1) return false;
  row = r;
  col = c;
  return true;
}

class XlsxWorkbook final : public Workbook {
 public:
  explicit XlsxWorkbook(std::unique_ptr<ZipArchive> zip) : zip_(std::move(zip)) {}

  void load() {
    std::string workbookPart = "xl/workbook.xml";
    for (const auto& [id, rel] : readRelationships(*zip_, "")) {
      if (hasTypeSuffix(rel.type, "officeDocument")) workbookPart = rel.target;
    }
    auto part = zip_->find(workbookPart);
    if (!part) throw WorkbookError("workbook.xml がありません");
    const auto relationships = readRelationships(*zip_, workbookPart);
    readWorkbook(std::move(*part), relationships);
    for (const auto& [id, rel] : relationships) {
      if (hasTypeSuffix(rel.type, "sharedStrings")) readSharedStrings(rel.target);
      if (hasTypeSuffix(rel.type, "styles")) readStyles(rel.target);
    }
  }

  std::int32_t sheetCount() const override { return static_cast<std::int32_t>(sheets_.size()); }

  SheetCells readSheet(std::int32_t n) override {
    if (n < 1 || n > sheetCount()) throw WorkbookError("シート番号 " + std::to_string(n) + " はありません");
    const Sheet& sheet = sheets_[static_cast<std::size_t>(n - 1)];
    try {
      return parseSheet(sheet);
    } catch (const WorkbookError& error) {
      throw WorkbookError("シート「" + sheet.name + "」を読めません: " + error.what());
    }
  }

 private:
  struct Sheet {
    std::string name;
    std::string part;
  };

  SheetCells parseSheet(const Sheet& sheet) const {
    auto part = zip_->find(sheet.part);
    if (!part) throw WorkbookError("パーツ " + sheet.part + " がありません");
    SheetCells cells(sheet.name);
    SheetHandler handler(*this, cells);
    XmlSaxParser::parse(std::move(*part), handler);
    return cells;
  }

  // The cells of one worksheet part, from parser events.
  class SheetHandler final : public XmlSaxHandler {
   public:
    SheetHandler(const XlsxWorkbook& book, SheetCells& cells) : book_(book), cells_(cells) {}

    void start(std::string_view local, const char* uri, const XmlAttributes& attributes) override {
      if (!isMainNamespace(uri)) return;
      try {
        if (inCell_) {
          startInCell(local, uri);
        } else if (local == "c") {
          startCell(attributes);
        } else if (local == "row") {
          startRow(attributes);
        }
      } catch (const WorkbookError& error) {
        XmlSaxParser::current().fail(error.what());
      }
    }

    void end(std::string_view local, const char* uri) override {
      if (!isMainNamespace(uri)) return;
      if (!inCell_) {
        // What follows the cell data (merged cells, page setup, ...) says nothing about values.
        if (local == "sheetData") XmlSaxParser::current().finish();
        return;
      }
      if (local == "c") {
        inCell_ = false;
        try {
          book_.storeCell(cells_, row_, col_, type_, dateStyle_, hasValue_ ? &value_ : nullptr,
                          hasInline_ ? &inlineText_ : nullptr);
        } catch (const WorkbookError& error) {
          XmlSaxParser::current().fail(error.what());
        }
      } else if (local == "v") {
        inValue_ = false;
      } else if (local == "is") {
        inlineText_ = item_.take();
        inInline_ = false;
      } else if (inInline_) {
        item_.end(local, uri);
      }
    }

    void text(std::string_view text) override {
      if (inValue_) {
        value_ += text;
      } else if (inInline_) {
        item_.text(text);
      }
    }

   private:
    void startRow(const XmlAttributes& attributes) {
      std::int32_t next = row_ + 1;
      for (int i = 0; i < attributes.size(); ++i) {
        if (attributes.name(i) != "r" || attributes.uri(i) != nullptr) continue;
        const std::string_view r = attributes.value(i);
        if (std::from_chars(r.data(), r.data() + r.size(), next).ec != std::errc() || next < 1) {
          throw WorkbookError("行番号 \"" + std::string(r) + "\" が読めません");
        }
      }
      // Rows come in ascending order; nothing below the kept range is ever asked for.
      if (next > SheetCells::kMaxRow) {
        XmlSaxParser::current().finish();
        return;
      }
      row_ = next;
      col_ = 0;
    }

    void startCell(const XmlAttributes& attributes) {
      inCell_ = true;
      type_ = {};
      dateStyle_ = false;
      hasValue_ = hasInline_ = false;
      bool hasReference = false;
      for (int i = 0; i < attributes.size(); ++i) {
        if (attributes.uri(i) != nullptr) continue;
        const std::string_view name = attributes.name(i);
        const std::string_view value = attributes.value(i);
        if (name == "r") {
          if (!parseCellReference(value, row_, col_)) {
            throw WorkbookError("セル参照 \"" + std::string(value) + "\" が読めません");
          }
          hasReference = true;
        } else if (name == "t") {
          type_ = cellType(value);
        } else if (name == "s") {
          dateStyle_ = book_.isDateStyle(value);
        }
      }
      if (!hasReference) {
        // Cells without a reference follow the previous one.
        row_ = std::max(row_, 1);
        ++col_;
      }
    }

    void startInCell(std::string_view local, const char* uri) {
      if (inInline_) {
        item_.start(local, uri);
      } else if (local == "v") {
        inValue_ = true;
        hasValue_ = true;
        value_.clear();
      } else if (local == "is") {
        inInline_ = true;
        hasInline_ = true;
        item_.clear();
      }
    }

    const XlsxWorkbook& book_;
    SheetCells& cells_;
    std::int32_t row_ = 0;
    std::int32_t col_ = 0;
    bool inCell_ = false;
    bool inValue_ = false;
    bool inInline_ = false;
    bool hasValue_ = false;
    bool hasInline_ = false;
    bool dateStyle_ = false;
    std::string_view type_;  // interned: one of kCellTypes
    std::string value_;
    std::string inlineText_;
    StringItem item_;
  };

  void readWorkbook(ZipPart part, const std::map<std::string, Relationship>& relationships) {
    XmlStreamReader xml(std::move(part));
    while (xml.next()) {
      if (isMain(xml, "workbookPr")) {
        date1904_ = isTrue(xml.attribute("date1904"));
      } else if (isMain(xml, "sheet")) {
        auto name = xml.attribute("name");
        std::optional<std::string> id;
        for (const char* ns : kRelationshipNamespaces) {
          if (!id) id = xml.attribute("id", ns);
        }
        if (!name || !id) xml.fail("sheet に name か r:id がありません");
        const auto found = relationships.find(*id);
        if (found == relationships.end()) xml.fail("シート「" + *name + "」の参照 " + *id + " がありません");
        // Chart, dialog and macro sheets do not count.
        if (hasTypeSuffix(found->second.type, "worksheet")) sheets_.push_back(Sheet{*name, found->second.target});
      }
    }
  }

  void readSharedStrings(const std::string& partName) {
    auto part = zip_->find(partName);
    if (!part) return;
    SharedStringsHandler handler(strings_);
    XmlSaxParser::parse(std::move(*part), handler);
  }

  void readStyles(const std::string& partName) {
    auto part = zip_->find(partName);
    if (!part) return;
    XmlStreamReader xml(std::move(*part));
    std::map<int, bool> customFormats;
    std::vector<int> formatIds;
    bool inCellXfs = false;
    auto formatId = [&] {
      int id = 0;
      const auto text = xml.attribute("numFmtId").value_or("0");
      std::from_chars(text.data(), text.data() + text.size(), id);
      return id;
    };
    while (xml.next()) {
      if (isMain(xml, "numFmt")) {
        customFormats[formatId()] = isDateFormatCode(xml.attribute("formatCode").value_or(""));
      } else if (isMain(xml, "cellXfs")) {
        inCellXfs = !xml.isEmptyElement();
      } else if (xml.isEnd("cellXfs")) {
        inCellXfs = false;
      } else if (inCellXfs && isMain(xml, "xf")) {
        formatIds.push_back(formatId());
      }
    }
    dateStyles_.reserve(formatIds.size());
    for (const int id : formatIds) {
      const auto custom = customFormats.find(id);
      dateStyles_.push_back(custom != customFormats.end() ? custom->second : isBuiltinDateFormat(id));
    }
  }

  // A cell's value as text, by its type (t attribute). Throws WorkbookError for damage.
  void storeCell(SheetCells& cells, std::int32_t row, std::int32_t col, std::string_view type, bool dateStyle,
                 std::string* value, std::string* inlineText) const {
    if (!SheetCells::inRange(row, col)) return;
    if (type == "inlineStr") {
      if (inlineText != nullptr) cells.setText(row, col, std::move(*inlineText));
      return;
    }
    if (value == nullptr) return;  // a formula without a cached result
    if (type == "s") {
      const double index = parseNumber(*value);
      if (!(index >= 0 && index < static_cast<double>(strings_.size()))) {
        throw WorkbookError("共有文字列 " + *value + " がありません");
      }
      cells.setText(row, col, strings_[static_cast<std::size_t>(index)]);
    } else if (type == "str") {
      cells.setText(row, col, decodeEscapes(std::move(*value)));
    } else if (type == "b") {
      cells.setText(row, col, formatBoolean(parseNumber(*value) != 0));
    } else if (type == "e") {
      cells.setError(row, col, std::move(*value));
    } else if (type == "d") {
      cells.setText(row, col, formatIsoDate(*value));
    } else {
      const double number = parseNumber(*value);
      cells.setText(row, col, dateStyle ? formatDate(number) : formatPlainNumber(number));
    }
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
  std::vector<Sheet> sheets_;
  std::vector<std::string> strings_;
  std::vector<bool> dateStyles_;
  bool date1904_ = false;
};

}  // namespace

std::unique_ptr<Workbook> openXlsxWorkbook(const std::string& path) {
  try {
    auto zip = ZipArchive::open(path);
    if (!zip) return nullptr;
    auto book = std::make_unique<XlsxWorkbook>(std::move(zip));
    book->load();
    return book;
  } catch (const WorkbookError&) {
    return nullptr;
  }
}

}  // namespace morvane::platform
