#pragma once
// Writes .xls workbooks record by record, for the tests: BIFF8 (or BIFF5) streams in a
// compound file made by libgsf's OLE2 writer. Rows and columns are 0-based, as in the file.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace morvane::test {

inline std::string le16(unsigned v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
}
inline std::string le32(unsigned v) { return le16(v & 0xFFFF) + le16(v >> 16); }
inline unsigned u16At(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes.at(at)) | static_cast<unsigned char>(bytes.at(at + 1)) << 8;
}
inline std::uint32_t u32At(const std::string& bytes, std::size_t at) {
  return u16At(bytes, at) | u16At(bytes, at + 2) << 16;
}

class BiffWriter {
 public:
  enum class SheetKind : std::uint8_t { Worksheet = 0, Macro = 1, Chart = 2 };
  // A shared string with the extras a reader must skip: formatting runs and phonetic data.
  struct SharedString {
    std::string text;
    std::uint16_t richRuns = 0;
    std::string phonetic = {};
  };

  // maxRecordData: the body size at which the shared string table goes on in a CONTINUE record
  // (8224 in the spreadsheet's files). biff5 writes a "Book" stream whose strings are bytes in
  // codePage; the texts given are then those bytes.
  explicit BiffWriter(std::size_t maxRecordData = 8224, bool biff5 = false, std::uint16_t codePage = 1200)
      : maxRecordData_(maxRecordData), biff5_(biff5), codePage_(biff5 ? codePage : 1200) {}

  void setDate1904(bool value) { date1904_ = value; }
  // A custom number format (its id, 164 and up), and a cell format showing one (its XF index).
  std::uint16_t addFormat(const std::string& code);
  std::uint16_t addXf(std::uint16_t formatId);
  // A sheet in workbook order; its index among all sheets.
  std::size_t addSheet(const std::string& name, SheetKind kind = SheetKind::Worksheet, bool hidden = false);

  void labelSst(std::size_t sheet, int row, int col, const SharedString& text);
  void labelSst(std::size_t sheet, int row, int col, const std::string& text) {
    labelSst(sheet, row, col, SharedString{text});
  }
  // From now on a plain text given again reuses its shared string, as the spreadsheet writes its
  // table; otherwise every call adds one, so tests can lay the table out string by string.
  void keepSharedStringsUnique() { uniqueStrings_ = true; }
  void label(std::size_t sheet, int row, int col, const std::string& text) {
    cell(sheet, 0x0204, row, col, 0, unicode(text, true));
  }
  void number(std::size_t sheet, int row, int col, double value, std::uint16_t xf = 0);
  void rk(std::size_t sheet, int row, int col, std::uint32_t rk, std::uint16_t xf = 0) {
    cell(sheet, 0x027E, row, col, xf, le32(rk));
  }
  void mulRk(std::size_t sheet, int row, int firstCol, const std::vector<std::uint32_t>& rks,
             std::uint16_t xf = 0);
  void formulaNumber(std::size_t sheet, int row, int col, double value, std::uint16_t xf = 0);
  // A cached result of kind 0 (text, in a STRING record after the FORMULA unless text is null),
  // 1 (boolean), 2 (error code) or 3 (empty).
  void formulaResult(std::size_t sheet, int row, int col, std::uint8_t kind, std::uint8_t value,
                     const std::string* text = nullptr);
  void boolErr(std::size_t sheet, int row, int col, std::uint8_t value, bool isError) {
    cell(sheet, 0x0205, row, col, 0, std::string{static_cast<char>(value), static_cast<char>(isError)});
  }
  void blank(std::size_t sheet, int row, int col) { cell(sheet, 0x0201, row, col, 0, {}); }
  void mulBlank(std::size_t sheet, int row, int firstCol, int count) {
    sheetRecord(sheet, 0x00BE,
                le16(row) + le16(firstCol) + std::string(2 * count, '\0') + le16(firstCol + count - 1));
  }
  // Any record, as is, into a sheet or (before the sheet list) into the workbook globals.
  void sheetRecord(std::size_t sheet, std::uint16_t type, const std::string& body);
  void globalRecord(std::uint16_t type, const std::string& body);
  // Leaves the shared string table's count as given instead of the real one.
  void setSharedStringCount(std::uint32_t count) { sstCountOverride_ = count; }
  // Points a sheet's BOUNDSHEET at this offset instead of its substream.
  void setSheetOffset(std::size_t sheet, std::uint32_t offset) { sheets_.at(sheet).offsetOverride = offset; }

  static std::uint32_t rkInteger(std::int32_t value, bool times100 = false) {
    return static_cast<std::uint32_t>(value) << 2 | 0x02 | (times100 ? 0x01 : 0x00);
  }
  // value must survive the loss of the low 34 bits of its mantissa.
  static std::uint32_t rkDouble(double value, bool times100 = false);

  // The workbook stream, and the compound file holding it.
  std::string stream() const;
  std::string bytes() const { return compoundFile({{biff5_ ? "Book" : "Workbook", stream()}}); }
  void save(const std::string& path) const;
  // A bare BIFF2, BIFF3 or BIFF4 stream (Excel 2.1 to 4.0, no compound file): a worksheet with
  // one text cell, or with workbook set an Excel 4.0 workbook whose globals name one sheet.
  static std::string oldBiffStream(int biff, bool workbook = false);
  // A BIFF8 workbook stream encrypted with password as the spreadsheet does it: RC4 CryptoAPI
  // with a key of keyBits, or with keyBits 0 the older RC4 (BiffEncrypt.cpp).
  static std::string encrypted(const std::string& stream, const std::string& password, unsigned keyBits);
  // A compound file holding the given streams (name, bytes) in its root.
  static std::string compoundFile(const std::vector<std::pair<std::string, std::string>>& streams);

 private:
  struct Sheet {
    std::string name;
    SheetKind kind;
    bool hidden;
    std::string records;
    std::int64_t offsetOverride = -1;
  };

  std::string globals(const std::vector<std::uint32_t>& offsets) const;
  std::string sharedStringTable() const;
  std::string unicode(const std::string& text, bool longCount) const;
  void cell(std::size_t sheet, std::uint16_t type, int row, int col, std::uint16_t xf,
            const std::string& rest) {
    sheetRecord(sheet, type, le16(row) + le16(col) + le16(xf) + rest);
  }

  std::size_t maxRecordData_;
  bool biff5_;
  std::uint16_t codePage_;
  bool date1904_ = false, uniqueStrings_ = false;
  std::vector<std::pair<std::uint16_t, std::string>> formats_;
  std::vector<std::uint16_t> xfs_{0};
  std::vector<Sheet> sheets_;
  std::vector<SharedString> sst_;
  std::uint32_t sstReferences_ = 0;
  std::map<std::string, std::uint32_t> sstIndex_;  // plain texts, when kept unique
  std::int64_t sstCountOverride_ = -1;
  std::string extraGlobals_;
};

}  // namespace morvane::test
