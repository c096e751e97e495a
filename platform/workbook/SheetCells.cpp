#include "platform/workbook/SheetCells.h"

#include <algorithm>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {

void SheetCells::set(std::int32_t row, std::int32_t col, std::string_view text, bool error) {
  if (!inRange(row, col)) return;
  // One long shared string in every cell of the range would otherwise take gigabytes.
  if (text.size() > kMaxTextBytes - texts_.size()) {
    throw WorkbookError("シート「" + name_ + "」のセルの文字列が合わせて " + std::to_string(kMaxTextBytes >> 20) +
                        " MiB を超えています");
  }
  const Cell cell{key(row, col), static_cast<std::uint32_t>(texts_.size()), static_cast<std::uint32_t>(text.size()),
                  error ? 1u : 0u};
  texts_.append(text);
  rowStarts_.clear();
  if (cells_.empty() || !ordered_ || cells_.back().key < cell.key) {
    cells_.push_back(cell);
    return;
  }
  // Writers put a row's cells in column order, mostly: a cell a little out of place is put
  // in place; one far back waits for a sort, so no input makes this quadratic.
  constexpr std::size_t kNear = 128;
  const auto from = cells_.end() - static_cast<std::ptrdiff_t>(std::min(cells_.size(), kNear));
  const auto at = std::lower_bound(from, cells_.end(), cell.key, [](const Cell& c, std::uint32_t k) { return c.key < k; });
  if (at != cells_.end() && at->key == cell.key) {
    *at = cell;
  } else if (at != from || from == cells_.begin()) {
    cells_.insert(at, cell);
  } else {
    ordered_ = false;
    cells_.push_back(cell);
  }
}

void SheetCells::order() const {
  if (ordered_) return;
  std::stable_sort(cells_.begin(), cells_.end(), [](const Cell& a, const Cell& b) { return a.key < b.key; });
  // Of equal keys the one set last is the last after the stable sort: keep that one.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < cells_.size(); ++i) {
    if (i + 1 < cells_.size() && cells_[i + 1].key == cells_[i].key) continue;
    cells_[kept++] = cells_[i];
  }
  cells_.resize(kept);
  ordered_ = true;
}

void SheetCells::index() const {
  order();
  // rowStarts_[r] is the first cell of row r or a later row.
  rowStarts_.assign(kMaxRow + 2, 0);
  std::size_t cell = 0;
  for (std::int32_t row = 0; row <= kMaxRow + 1; ++row) {
    while (cell < cells_.size() && cells_[cell].key < key(row, 0)) ++cell;
    rowStarts_[static_cast<std::size_t>(row)] = static_cast<std::uint32_t>(cell);
  }
}

const SheetCells::Cell* SheetCells::find(std::int32_t row, std::int32_t col) const {
  if (!inRange(row, col)) return nullptr;
  if (rowStarts_.empty()) index();
  const std::uint32_t wanted = key(row, col);
  for (std::uint32_t i = rowStarts_[static_cast<std::size_t>(row)]; i < rowStarts_[static_cast<std::size_t>(row) + 1]; ++i) {
    if (cells_[i].key == wanted) return &cells_[i];
  }
  return nullptr;
}

std::size_t SheetCells::size() const {
  order();
  return cells_.size();
}

std::string SheetCells::text(std::int32_t row, std::int32_t col) const {
  const Cell* cell = find(row, col);
  if (!cell) return {};
  std::string text = texts_.substr(cell->offset, cell->length);
  if (cell->error) {
    throw WorkbookError("シート「" + name_ + "」のセル" + cellReference(row, col) + "はエラー値 " + text + " のため読めません");
  }
  return text;
}

std::string cellReference(std::int32_t row, std::int32_t col) {
  std::string letters;
  for (std::int32_t c = col; c > 0; c = (c - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  }
  return letters + std::to_string(row);
}

}  // namespace morvane::platform
