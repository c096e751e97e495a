#pragma once
// Test workbooks in the .xlsx format: written by libxlsxwriter, or put together part by part
// from XML text for the shapes libxlsxwriter never writes.
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

// A zip archive with the parts in the given order, deflated.
std::string zipBytes(const ZipParts& parts);
void writeZip(const std::string& path, const ZipParts& parts);

// <worksheet> around the given <sheetData> content.
std::string worksheetXml(const std::string& sheetData);

// A package with one worksheet part per entry, named "Sheet1", ... in the workbook.
struct HandPackage {
  std::vector<std::string> sheets;  // worksheet XML

  ZipParts parts() const;
};

}  // namespace morvane::test
