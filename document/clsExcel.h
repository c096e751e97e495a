#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/workbook/Workbook.h"

namespace morvane {

// The six operations through which the reader sees a workbook. Read only: nothing is ever
// written to the workbook.
class clsExcel {
 public:
  clsExcel();
  ~clsExcel();
  clsExcel(const clsExcel&) = delete;
  clsExcel& operator=(const clsExcel&) = delete;

  // The current sheet's tab caption; empty when no sheet is current.
  std::string SheetName() const;
  // False for a blank path, a missing file or anything that cannot be opened, the reason then
  // in getOpenError(); never throws.
  bool fnOpenBook(const std::string& path);
  // Why the last fnOpenBook failed (one Japanese line, without the file's name); empty after
  // a success.
  const std::string& getOpenError() const { return openError_; }
  void CloseBook();
  // Row above 999 or column above 99: empty text without touching the workbook. A row or
  // column below 1, or no current sheet, throws platform::WorkbookError; so does a cell
  // holding an error value.
  std::string Cells(std::int32_t row, std::int32_t column) const;
  // The same without a copy, for a look at a cell: valid until the sheet is closed.
  std::string_view CellView(std::int32_t row, std::int32_t column) const;
  // True when 1 <= n <= the sheet count; the sheet becomes current. Throws WorkbookError when
  // the sheet is damaged.
  bool fnOpenSheet(std::int32_t n);
  void CloseSheet();
  // The cells the next sheets opened will be asked for; Cells gives empty text for any other.
  // Everything by default.
  void setReach(const platform::SheetReach& reach) { reach_ = reach; }

 private:
  std::string path_;
  std::string openError_;
  std::unique_ptr<platform::Workbook> book_;
  std::optional<platform::SheetCells> sheet_;
  std::int32_t sheetCount_ = 0;
  platform::SheetReach reach_;
};

}  // namespace morvane
