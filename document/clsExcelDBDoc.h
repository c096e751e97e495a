#pragma once
#include <cstdint>
#include <string>

#include "document/clsExcelDBDocInfo.h"
#include "model/clsDBInfo.h"

namespace morvane {

class clsExcel;

// Turns a design document into a definition model: one table per sheet of the layout's range.
// A reader serves one read; reading again appends to the same definition.
class clsExcelDBDoc {
 public:
  const clsDBInfo& getDBInfo() const { return db_; }
  // Copies the layout; later changes to it do not reach the reader.
  void sbSetDocInfo(const clsExcelDBDocInfo& layout);
  // False when the workbook cannot be opened. Errors found while sheets are read (an error
  // value, a layout position below 1, a damaged sheet) throw platform::WorkbookError.
  bool fnReadDBDoc(const std::string& path);
  // Why the last fnReadDBDoc could not open the workbook; empty when it could.
  const std::string& getOpenError() const { return openError_; }

 private:
  // False when the workbook has no sheet of that number.
  bool sbReadSheet(std::int32_t sheetNo, clsExcel& excel);
  std::size_t countFieldRows(const clsExcel& excel) const;

  clsDBInfo db_;
  std::string openError_;
  clsExcelDBDocInfo layout_;  // a copy: later edits to the caller's layout do not reach a read
};

}  // namespace morvane
