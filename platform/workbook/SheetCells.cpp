#include "platform/workbook/SheetCells.h"

#include <algorithm>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {

SheetReach SheetReach::rowsUpTo(std::int32_t lastRow) {
  SheetReach reach;
  reach.lastRow_ = std::clamp(lastRow, 0, kMaxRow);
  reach.columns_.reset();
  return reach;
}

void SheetReach::addColumn(std::int32_t col) {
  if (col >= 1 && col <= kMaxCol) columns_.set(static_cast<std::size_t>(col));
}

std::size_t SheetReach::columnCount() const { return columns_.count(); }

SheetCells::SheetCells(std::string name, const SheetReach& reach) : name_(std::move(name)), reach_(reach) {
  const std::size_t columns = reach.columnCount();
  const std::size_t slots = columns * static_cast<std::size_t>(reach.lastRow());
  if (slots == 0 || slots > kMostFlatSlots) return;
  columnSlot_.assign(kMaxCol + 1, kNoSlot);
  std::uint8_t next = 0;
  for (std::int32_t col = 1; col <= kMaxCol; ++col) {
    if (reach.wants(1, col)) columnSlot_[static_cast<std::size_t>(col)] = next++;
  }
  flatColumns_ = columns;
  flat_.assign(slots, Cell{0, 0, 0, false});
  // Room for a short text in every slot: filling the sheet seldom grows the buffer.
  texts_.reserve(slots * 16);
}

void SheetCells::add(std::int32_t row, std::int32_t col, std::string_view text, bool error) {
  if (!wants(row, col)) return;
  // One long shared string in every cell of the range would otherwise take gigabytes.
  if (text.size() > kMaxTextBytes - texts_.size()) {
    throw WorkbookError("シート「" + name_ + "」のセルの文字列が合わせて " + std::to_string(kMaxTextBytes >> 20) +
                        " MiB を超えています");
  }
  const std::uint32_t k = key(row, col);
  if (!flat_.empty()) {
    Cell& slot = flat_[flatSlot(row, col)];
    if (slot.key == 0) ++flatCount_;
    slot = Cell{k, static_cast<std::uint32_t>(texts_.size()), static_cast<std::uint32_t>(text.size()), error};
    texts_ += text;
    return;
  }
  if (!cells_.empty() && cells_.back().key >= k) ordered_ = false;
  cells_.push_back(Cell{k, static_cast<std::uint32_t>(texts_.size()), static_cast<std::uint32_t>(text.size()), error});
  texts_ += text;
  indexed_ = false;
}

void SheetCells::setText(std::int32_t row, std::int32_t col, std::string_view text) { add(row, col, text, false); }

void SheetCells::setError(std::int32_t row, std::int32_t col, std::string_view value) { add(row, col, value, true); }

void SheetCells::reserve(std::size_t cells, std::size_t textBytes) {
  if (flat_.empty()) cells_.reserve(cells);
  texts_.reserve(textBytes);
}

void SheetCells::index() const {
  if (!ordered_) {
    // The last write of a cell wins: sort stably, then keep the last of each run.
    std::stable_sort(cells_.begin(), cells_.end(), [](const Cell& a, const Cell& b) { return a.key < b.key; });
    auto out = cells_.begin();
    for (auto it = cells_.begin(); it != cells_.end(); ++it) {
      if (std::next(it) != cells_.end() && std::next(it)->key == it->key) continue;
      *out++ = *it;
    }
    cells_.erase(out, cells_.end());
    ordered_ = true;
  }
  rows_.assign(kMaxRow + 2, 0);
  std::size_t cell = 0;
  for (std::int32_t row = 1; row <= kMaxRow + 1; ++row) {
    while (cell < cells_.size() && cells_[cell].key < key(row, 0)) ++cell;
    rows_[static_cast<std::size_t>(row)] = static_cast<std::uint32_t>(cell);
  }
  indexed_ = true;
}

const SheetCells::Cell* SheetCells::find(std::int32_t row, std::int32_t col) const {
  if (!wants(row, col)) return nullptr;
  if (!flat_.empty()) {
    const Cell& slot = flat_[flatSlot(row, col)];
    return slot.key == 0 ? nullptr : &slot;
  }
  if (!indexed_) index();
  const std::uint32_t k = key(row, col);
  const std::uint32_t end = rows_[static_cast<std::size_t>(row) + 1];
  for (auto i = rows_[static_cast<std::size_t>(row)]; i < end; ++i) {
    if (cells_[i].key == k) return &cells_[i];
  }
  return nullptr;
}

std::size_t SheetCells::size() const {
  if (!flat_.empty()) return flatCount_;
  if (!indexed_) index();
  return cells_.size();
}

std::string SheetCells::text(std::int32_t row, std::int32_t col) const { return std::string(textView(row, col)); }

std::string_view SheetCells::textView(std::int32_t row, std::int32_t col) const {
  const Cell* cell = find(row, col);
  if (cell == nullptr) return {};
  if (cell->error) throwErrorValue(row, col, *cell);
  return std::string_view(texts_.data() + cell->offset, cell->length);
}

void SheetCells::throwErrorValue(std::int32_t row, std::int32_t col, const Cell& cell) const {
  throw WorkbookError("シート「" + name_ + "」のセル" + cellReference(row, col) + "はエラー値 " +
                      texts_.substr(cell.offset, cell.length) + " のため読めません");
}

std::string cellReference(std::int32_t row, std::int32_t col) {
  std::string letters;
  for (std::int32_t c = col; c > 0; c = (c - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  }
  return letters + std::to_string(row);
}

}  // namespace morvane::platform
