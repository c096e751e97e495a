#pragma once
#include <cstdint>
#include <string>

namespace morvane {

// Where a design document keeps its tables: sheet range, table-name cell, first field row and
// the five field columns, and the optional positions (0: the document has no such cell). A plain
// record: any value is stored unchanged.
class clsExcelDBDocInfo {
 public:
  void setStartPage(std::int32_t lngSheetNo) { startPage_ = lngSheetNo; }
  void setEndPage(std::int32_t lngSheetNo) { endPage_ = lngSheetNo; }
  void setStartRowFieldDef(std::int32_t lngRowNo) { startRowFieldDef_ = lngRowNo; }
  void setRowTableName(std::int32_t lngRowNo) { rowTableName_ = lngRowNo; }
  void setColTableName(std::int32_t lngColNo) { colTableName_ = lngColNo; }
  void setColFieldName(std::int32_t lngColNo) { colFieldName_ = lngColNo; }
  void setColFieldType(std::int32_t lngColNo) { colFieldType_ = lngColNo; }
  void setColFieldSize(std::int32_t lngColNo) { colFieldSize_ = lngColNo; }
  void setColPrimaryKey(std::int32_t lngColNo) { colPrimaryKey_ = lngColNo; }
  void setColNULL(std::int32_t lngColNo) { colNULL_ = lngColNo; }

  std::int32_t getStartPage() const { return startPage_; }
  std::int32_t getEndPage() const { return endPage_; }
  std::int32_t getStartRowFieldDef() const { return startRowFieldDef_; }
  std::int32_t getRowTableName() const { return rowTableName_; }
  std::int32_t getColTableName() const { return colTableName_; }
  std::int32_t getColFieldName() const { return colFieldName_; }
  std::int32_t getColFieldType() const { return colFieldType_; }
  std::int32_t getColFieldSize() const { return colFieldSize_; }
  std::int32_t getColPrimaryKey() const { return colPrimaryKey_; }
  std::int32_t getColNULL() const { return colNULL_; }

  // Optional cells: a column of each field row, the table's logical-name cell.
  void setColLogicalName(std::int32_t lngColNo) { colLogicalName_ = lngColNo; }
  void setColDefault(std::int32_t lngColNo) { colDefault_ = lngColNo; }
  void setColRemarks(std::int32_t lngColNo) { colRemarks_ = lngColNo; }
  void setColUnique(std::int32_t lngColNo) { colUnique_ = lngColNo; }
  void setColIndex(std::int32_t lngColNo) { colIndex_ = lngColNo; }
  void setColReference(std::int32_t lngColNo) { colReference_ = lngColNo; }
  void setRowTableLogicalName(std::int32_t lngRowNo) { rowTableLogicalName_ = lngRowNo; }
  void setColTableLogicalName(std::int32_t lngColNo) { colTableLogicalName_ = lngColNo; }
  // 0: a mark in the NULL column makes the field nullable; 1: a mark makes it NOT NULL.
  void setNullMarkMeansNotNull(std::int32_t lngFlag) { nullMarkMeansNotNull_ = lngFlag; }

  std::int32_t getColLogicalName() const { return colLogicalName_; }
  std::int32_t getColDefault() const { return colDefault_; }
  std::int32_t getColRemarks() const { return colRemarks_; }
  std::int32_t getColUnique() const { return colUnique_; }
  std::int32_t getColIndex() const { return colIndex_; }
  std::int32_t getColReference() const { return colReference_; }
  std::int32_t getRowTableLogicalName() const { return rowTableLogicalName_; }
  std::int32_t getColTableLogicalName() const { return colTableLogicalName_; }
  std::int32_t getNullMarkMeansNotNull() const { return nullMarkMeansNotNull_; }

  void sbSetPage(std::int32_t lngStartSheetNo, std::int32_t lngEndSheetNo) {
    startPage_ = lngStartSheetNo;
    endPage_ = lngEndSheetNo;
  }
  void sbSetTableNmPos(std::int32_t lngRowNo, std::int32_t lngColNo) {
    rowTableName_ = lngRowNo;
    colTableName_ = lngColNo;
  }
  void sbSetFieldPos(std::int32_t lngStartRow) { startRowFieldDef_ = lngStartRow; }
  void sbSetFieldDefPos(std::int32_t lngNmCol, std::int32_t lngAttrCol, std::int32_t lngSizeCol,
                        std::int32_t lngPKeyCol, std::int32_t lngNullCol) {
    colFieldName_ = lngNmCol;
    colFieldType_ = lngAttrCol;
    colFieldSize_ = lngSizeCol;
    colPrimaryKey_ = lngPKeyCol;
    colNULL_ = lngNullCol;
  }

  // Fills the layout from a layout file (.edf). False when the file cannot be loaded; throws
  // LayoutFileError when one of the ten keys is missing or any value is unusable. A missing
  // optional key reads as 0.
  bool fnReadFile(const std::string& strPath);

 private:
  std::int32_t startPage_ = 1;
  std::int32_t endPage_ = 4;
  std::int32_t startRowFieldDef_ = 6;
  std::int32_t rowTableName_ = 3;
  std::int32_t colTableName_ = 3;
  std::int32_t colFieldName_ = 4;
  std::int32_t colFieldType_ = 5;
  std::int32_t colFieldSize_ = 6;
  std::int32_t colPrimaryKey_ = 7;
  std::int32_t colNULL_ = 9;
  std::int32_t colLogicalName_ = 0;
  std::int32_t colDefault_ = 0;
  std::int32_t colRemarks_ = 0;
  std::int32_t colUnique_ = 0;
  std::int32_t colIndex_ = 0;
  std::int32_t colReference_ = 0;
  std::int32_t rowTableLogicalName_ = 0;
  std::int32_t colTableLogicalName_ = 0;
  std::int32_t nullMarkMeansNotNull_ = 0;
};

}  // namespace morvane
