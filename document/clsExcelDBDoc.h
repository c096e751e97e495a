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
  // Copies the ten layout numbers; later changes to the layout do not reach the reader.
  void sbSetDocInfo(const clsExcelDBDocInfo& layout);
  // False when the workbook cannot be opened. Errors found while sheets are read (an error
  // value, a layout position below 1, a damaged sheet) throw platform::WorkbookError.
  bool fnReadDBDoc(const std::string& path);

 private:
  // False when the workbook has no sheet of that number.
  bool sbReadSheet(std::int32_t sheetNo, clsExcel& excel);

  clsDBInfo db_;
  std::int32_t startSheet_ = 1;
  std::int32_t endSheet_ = 4;
  std::int32_t startRowFieldDef_ = 6;
  std::int32_t rowTableName_ = 3;
  std::int32_t colTableName_ = 3;
  std::int32_t colFieldName_ = 4;
  std::int32_t colFieldType_ = 5;
  std::int32_t colFieldSize_ = 6;
  std::int32_t colPrimaryKey_ = 7;
  std::int32_t colNull_ = 9;
};

}  // namespace morvane
