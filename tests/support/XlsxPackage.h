#pragma once
// Test workbooks in the .xlsx format: written by libxlsxwriter, or put together part by part
// from XML text for the shapes libxlsxwriter never writes (prefixed namespaces, damage, ...).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace morvane::test {

// A libxlsxwriter workbook that is written when closed (or destroyed).
class XlsxWriterBook {
 public:
  // constantMemory writes every text as an inline string instead of a shared one.
  explicit XlsxWriterBook(const std::string& path, bool constantMemory = false);
  ~XlsxWriterBook();
  XlsxWriterBook(const XlsxWriterBook&) = delete;
  XlsxWriterBook& operator=(const XlsxWriterBook&) = delete;

  lxw_workbook* get() const { return book_; }
  lxw_worksheet* addSheet(const std::string& name = "");
  lxw_format* numberFormat(const std::string& code);
  // Writes the file; throws when libxlsxwriter fails.
  void close();

 private:
  lxw_workbook* book_ = nullptr;
};

// A cell text at a reference like "C3": a string cell unless it parses as a number.
void writeCell(lxw_worksheet* sheet, const std::string& ref, const std::string& text);

using ZipParts = std::vector<std::pair<std::string, std::string>>;

// A zip archive with the parts in the given order, deflated. With hugeName, one more part of
// `size` bytes: `head` then `filler` (big inflated, little compressed).
std::string zipBytes(const ZipParts& parts, const std::string& hugeName = {}, const std::string& head = {},
                     char filler = ' ', std::int64_t size = 0);
void writeZip(const std::string& path, const ZipParts& parts);

inline const char* kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// <worksheet> around the given <sheetData> content.
std::string worksheetXml(const std::string& sheetData);

// A package with one worksheet part per entry (named "Sheet1", ... in the workbook), plus an
// optional shared string and styles part. Parts can be replaced or added afterwards.
struct HandPackage {
  std::vector<std::string> sheets;  // worksheet XML
  std::string sharedStrings;        // <sst> XML, or empty for none
  std::string styles;               // <styleSheet> XML, or empty for none
  std::string workbookPr;           // extra <workbookPr .../> element

  ZipParts parts() const;
};

// A part's XML in a parts list, for altering it in place; adds it when absent.
std::string& part(ZipParts& parts, const std::string& name);

}  // namespace morvane::test
