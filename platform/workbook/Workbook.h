#pragma once
// The workbook backends behind clsExcel. A backend parses one worksheet at a time into a
// SheetCells, so memory holds one sheet besides the model, whatever the workbook's size.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/workbook/SheetCells.h"

namespace morvane::platform {

// Damage found while a workbook is read, or a cell that cannot be turned into text.
class WorkbookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Why a workbook cannot be opened: one Japanese line that does not name the file (the caller
// does).
class WorkbookOpenError : public WorkbookError {
 public:
  using WorkbookError::WorkbookError;
};

class Workbook {
 public:
  virtual ~Workbook() = default;
  // Worksheets only (chart and macro sheets do not count), hidden ones included, in the
  // workbook's own order.
  virtual std::int32_t sheetCount() const = 0;
  // False for a sheet listed without any content to read (an .xlsx sheet whose part is not
  // named): it counts as a sheet that does not exist.
  virtual bool hasSheet(std::int32_t n) const { return n >= 1 && n <= sheetCount(); }
  // Parses worksheet n (1-based, 1..sheetCount), keeping the cells within reach; the rest of
  // the sheet is skipped or not read at all. Throws WorkbookError on damage.
  virtual SheetCells readSheet(std::int32_t n, const SheetReach& reach) = 0;
  SheetCells readSheet(std::int32_t n) { return readSheet(n, SheetReach()); }
};

// Opens a workbook by its content (zip: .xlsx; compound file: .xls). Throws WorkbookOpenError
// with the reason when the path is blank, names no file, or the file is not a workbook this
// program can read (encrypted, damaged, another format); never returns null.
std::unique_ptr<Workbook> openWorkbook(const std::string& path);

}  // namespace morvane::platform
