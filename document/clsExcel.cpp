#include "document/clsExcel.h"

namespace morvane {

clsExcel::clsExcel() = default;
clsExcel::~clsExcel() = default;

std::string clsExcel::SheetName() const { return sheet_ ? sheet_->name() : std::string(); }

bool clsExcel::fnOpenBook(const std::string& path) {
  path_ = path;
  CloseBook();
  openError_.clear();
  try {
    book_ = platform::openWorkbook(path);
  } catch (const std::exception& error) {
    openError_ = error.what();
    return false;
  }
  sheetCount_ = book_->sheetCount();
  return true;
}

void clsExcel::CloseBook() {
  sheet_.reset();
  book_.reset();
  sheetCount_ = 0;
}

std::string clsExcel::Cells(std::int32_t row, std::int32_t column) const { return std::string(CellView(row, column)); }

std::string_view clsExcel::CellView(std::int32_t row, std::int32_t column) const {
  if (row > platform::SheetCells::kMaxRow || column > platform::SheetCells::kMaxCol) return {};
  if (row < 1 || column < 1) {
    throw platform::WorkbookError("行番号と列番号は1以上でなければなりません (行 " + std::to_string(row) +
                                  ", 列 " + std::to_string(column) + ")");
  }
  if (!sheet_) throw platform::WorkbookError("シートが開かれていません");
  return sheet_->textView(row, column);
}

bool clsExcel::fnOpenSheet(std::int32_t n) {
  if (!book_ || n < 1 || n > sheetCount_ || !book_->hasSheet(n)) return false;
  sheet_ = book_->readSheet(n, reach_);
  return true;
}

void clsExcel::CloseSheet() { sheet_.reset(); }

}  // namespace morvane
