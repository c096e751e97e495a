#pragma once
// Test workbooks: .xlsx written by libxlsxwriter or put together part by part from XML text for
// the shapes libxlsxwriter never writes.
#include <string>
#include <utility>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;

namespace morvane::test {

// A libxlsxwriter workbook that is written when closed (or destroyed).
class XlsxWriterBook {
 public:
  explicit XlsxWriterBook(const std::string& path);
  ~XlsxWriterBook();
  XlsxWriterBook(const XlsxWriterBook&) = delete;
  XlsxWriterBook& operator=(const XlsxWriterBook&) = delete;
  lxw_worksheet* addSheet(const std::string& name = "");
  void close();  // throws when libxlsxwriter fails

 private:
  lxw_workbook* book_ = nullptr;
};

// A cell text at a reference like "C3": a string cell unless it parses as a number.
void writeCell(lxw_worksheet* sheet, const std::string& ref, const std::string& text);

using ZipParts = std::vector<std::pair<std::string, std::string>>;

// A zip archive of the parts (name, bytes) in order, deflated.
void writeZip(const std::string& path, const ZipParts& parts);

// <worksheet> around the given <sheetData> content.
std::string worksheetXml(const std::string& sheetData);

// A package with one worksheet part per entry, named "Sheet1", ... in the workbook.
struct HandPackage {
  std::vector<std::string> sheets;  // worksheet XML
  ZipParts parts() const;
};

}  // namespace morvane::test
