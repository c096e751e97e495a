#include "document/clsExcelDBDoc.h"

#include <memory>

#include "document/clsExcel.h"
#include "model/Text.h"

namespace morvane {
namespace {

// Field rows never go below this row, whatever the sheet holds.
constexpr std::int32_t kLastFieldRow = 99;

}  // namespace

void clsExcelDBDoc::sbSetDocInfo(const clsExcelDBDocInfo& layout) {
  startSheet_ = layout.getStartPage();
  endSheet_ = layout.getEndPage();
  startRowFieldDef_ = layout.getStartRowFieldDef();
  rowTableName_ = layout.getRowTableName();
  colTableName_ = layout.getColTableName();
  colFieldName_ = layout.getColFieldName();
  colFieldType_ = layout.getColFieldType();
  colFieldSize_ = layout.getColFieldSize();
  colPrimaryKey_ = layout.getColPrimaryKey();
  colNull_ = layout.getColNULL();
}

bool clsExcelDBDoc::fnReadDBDoc(const std::string& path) {
  clsExcel excel;
  if (!excel.fnOpenBook(path)) return false;
  // 64-bit counter: an end sheet of INT32_MAX must not overflow the loop.
  for (std::int64_t n = startSheet_; n <= endSheet_; ++n) {
    sbReadSheet(static_cast<std::int32_t>(n), excel);
  }
  excel.CloseBook();
  return true;
}

void clsExcelDBDoc::sbReadSheet(std::int32_t sheetNo, clsExcel& excel) {
  if (!excel.fnOpenSheet(sheetNo)) return;
  std::string tableName = excel.Cells(rowTableName_, colTableName_);
  if (isBlank(tableName)) {
    excel.CloseSheet();
    return;
  }
  auto table = std::make_shared<clsTableInfo>();
  table->setName(std::move(tableName));
  for (std::int32_t row = startRowFieldDef_; row <= kLastFieldRow; ++row) {
    clsFieldInfo field;
    std::string name = excel.Cells(row, colFieldName_);
    std::string type = excel.Cells(row, colFieldType_);
    std::string size = excel.Cells(row, colFieldSize_);
    const std::string key = excel.Cells(row, colPrimaryKey_);
    const std::string nullMark = excel.Cells(row, colNull_);
    if (isBlank(name)) break;
    if (!isBlank(key)) table->sbAddPKey(name);
    field.setName(std::move(name));
    field.setAttr(std::move(type));
    field.setSize(std::move(size));
    field.setNull(!isBlank(nullMark));
    table->setField(std::move(field));
  }
  db_.setTable(std::move(table));
  excel.CloseSheet();
}

}  // namespace morvane
