#include "document/clsExcelDBDoc.h"

#include <algorithm>
#include <memory>

#include "document/clsExcel.h"
#include "model/Text.h"

namespace morvane {
namespace {

// Field rows never go below this row, whatever the sheet holds.
constexpr std::int32_t kLastFieldRow = 99;

// An optional cell: empty text when the layout does not use its position (0 or below).
std::string optionalCell(const clsExcel& excel, std::int32_t row, std::int32_t column) {
  return row > 0 && column > 0 ? excel.Cells(row, column) : std::string();
}

}  // namespace

void clsExcelDBDoc::sbSetDocInfo(const clsExcelDBDocInfo& layout) { layout_ = layout; }

bool clsExcelDBDoc::fnReadDBDoc(const std::string& path) {
  clsExcel excel;
  openError_.clear();
  if (!excel.fnOpenBook(path)) {
    openError_ = excel.getOpenError();
    return false;
  }
  // Only the layout's cells are ever asked for: the backends skip the rest of each sheet.
  platform::SheetReach reach =
      platform::SheetReach::rowsUpTo(std::max({layout_.getRowTableName(), layout_.getRowTableLogicalName(), kLastFieldRow}));
  for (const std::int32_t col : {layout_.getColTableName(), layout_.getColFieldName(), layout_.getColFieldType(),
                                 layout_.getColFieldSize(), layout_.getColPrimaryKey(), layout_.getColNULL(),
                                 layout_.getColLogicalName(), layout_.getColDefault(), layout_.getColRemarks(),
                                 layout_.getColUnique(), layout_.getColIndex(), layout_.getColReference(),
                                 layout_.getColTableLogicalName()}) {
    reach.addColumn(col);
  }
  excel.setReach(reach);
  // Sheets below 1 never exist, and past the first missing sheet none exists either: skip
  // straight over them, so a range such as 1 to 2147483647 costs no more than the workbook.
  for (std::int64_t n = std::max<std::int64_t>(layout_.getStartPage(), 1); n <= layout_.getEndPage(); ++n) {
    if (!sbReadSheet(static_cast<std::int32_t>(n), excel)) break;
  }
  excel.CloseBook();
  return true;
}

// The field rows down to the first blank name, to size the table once. A cell that cannot be
// read ends the count; reading the fields then meets it and says so.
std::size_t clsExcelDBDoc::countFieldRows(const clsExcel& excel) const {
  std::size_t count = 0;
  try {
    for (std::int32_t row = layout_.getStartRowFieldDef(); row <= kLastFieldRow; ++row, ++count) {
      if (isBlank(excel.CellView(row, layout_.getColFieldName()))) break;
    }
  } catch (const platform::WorkbookError&) {
  }
  return count;
}

bool clsExcelDBDoc::sbReadSheet(std::int32_t sheetNo, clsExcel& excel) {
  if (!excel.fnOpenSheet(sheetNo)) return false;
  std::string tableName = excel.Cells(layout_.getRowTableName(), layout_.getColTableName());
  if (isBlank(tableName)) {
    excel.CloseSheet();
    return true;
  }
  auto table = std::make_shared<clsTableInfo>();
  table->setName(std::move(tableName));
  table->setSheet(sheetNo, excel.SheetName());
  table->setLogicalName(optionalCell(excel, layout_.getRowTableLogicalName(), layout_.getColTableLogicalName()));
  const bool markMeansNotNull = layout_.getNullMarkMeansNotNull() == 1;
  table->reserveFields(countFieldRows(excel));
  for (std::int32_t row = layout_.getStartRowFieldDef(); row <= kLastFieldRow; ++row) {
    clsFieldInfo field;
    std::string name = excel.Cells(row, layout_.getColFieldName());
    // A blank name ends the table before anything else in its row is read.
    if (isBlank(name)) break;
    std::string type = excel.Cells(row, layout_.getColFieldType());
    std::string size = excel.Cells(row, layout_.getColFieldSize());
    const std::string_view key = excel.CellView(row, layout_.getColPrimaryKey());
    const std::string_view nullMark = excel.CellView(row, layout_.getColNULL());
    if (!isBlank(key)) table->sbAddPKey(name);
    field.setName(std::move(name));
    field.setAttr(std::move(type));
    field.setSize(std::move(size));
    field.setNull(isBlank(nullMark) == markMeansNotNull);
    field.setRow(row);
    field.setLogicalName(optionalCell(excel, row, layout_.getColLogicalName()));
    field.setDefault(optionalCell(excel, row, layout_.getColDefault()));
    field.setRemarks(optionalCell(excel, row, layout_.getColRemarks()));
    field.setUnique(optionalCell(excel, row, layout_.getColUnique()));
    field.setIndex(optionalCell(excel, row, layout_.getColIndex()));
    field.setReference(optionalCell(excel, row, layout_.getColReference()));
    table->setField(std::move(field));
  }
  db_.setTable(std::move(table));
  excel.CloseSheet();
  return true;
}

}  // namespace morvane
