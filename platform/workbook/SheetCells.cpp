#include "platform/workbook/SheetCells.h"

#include "platform/workbook/Workbook.h"

namespace morvane::platform {

void SheetCells::setText(std::int32_t row, std::int32_t col, std::string text) {
  if (!inRange(row, col)) return;
  cells_[key(row, col)] = Cell{std::move(text), false};
}

void SheetCells::setError(std::int32_t row, std::int32_t col, std::string value) {
  if (!inRange(row, col)) return;
  cells_[key(row, col)] = Cell{std::move(value), true};
}

std::string SheetCells::text(std::int32_t row, std::int32_t col) const {
  const auto found = cells_.find(key(row, col));
  if (found == cells_.end()) return {};
  if (found->second.error) {
    throw WorkbookError("シート「" + name_ + "」のセル" + cellReference(row, col) + "はエラー値 " +
                        found->second.text + " のため読めません");
  }
  return found->second.text;
}

std::string cellReference(std::int32_t row, std::int32_t col) {
  std::string letters;
  for (std::int32_t c = col; c > 0; c = (c - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  }
  return letters + std::to_string(row);
}

}  // namespace morvane::platform
