#pragma once
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::platform {

// Which cells of a sheet its reader will ask for: rows 1 to a last row, and some columns.
// A backend drops every other cell before turning it into text. By default, every cell that
// is kept at all (rows 1..999, columns 1..99).
class SheetReach {
 public:
  static constexpr std::int32_t kMaxRow = 999;
  static constexpr std::int32_t kMaxCol = 99;

  SheetReach() { columns_.set(); }
  // No columns, rows up to lastRow (clamped to 0..999); add the columns with addColumn.
  static SheetReach rowsUpTo(std::int32_t lastRow);
  // Columns outside 1..99 are never kept, so adding one changes nothing.
  void addColumn(std::int32_t col);

  std::int32_t lastRow() const { return lastRow_; }
  std::size_t columnCount() const;
  bool wants(std::int32_t row, std::int32_t col) const {
    return row >= 1 && row <= lastRow_ && col >= 1 && col <= kMaxCol && columns_[static_cast<std::size_t>(col)];
  }

 private:
  std::int32_t lastRow_ = kMaxRow;
  std::bitset<kMaxCol + 1> columns_;  // bit 0 unused
};

// The readable cells of one worksheet, already turned into text. Only rows 1..999 and
// columns 1..99 are kept (nothing beyond them is ever asked for), and of those only the
// reach's.
class SheetCells {
 public:
  static constexpr std::int32_t kMaxRow = SheetReach::kMaxRow;
  static constexpr std::int32_t kMaxCol = SheetReach::kMaxCol;
  // The cell texts of one sheet together; more throws WorkbookError.
  static constexpr std::size_t kMaxTextBytes = std::size_t{64} << 20;

  SheetCells() = default;
  explicit SheetCells(std::string name) : name_(std::move(name)) {}
  SheetCells(std::string name, const SheetReach& reach);

  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }

  static bool inRange(std::int32_t row, std::int32_t col) {
    return row >= 1 && row <= kMaxRow && col >= 1 && col <= kMaxCol;
  }
  // Whether a cell would be kept: backends ask before they make its text.
  bool wants(std::int32_t row, std::int32_t col) const { return reach_.wants(row, col); }
  std::int32_t lastRow() const { return reach_.lastRow(); }

  // Cells outside the reach are dropped silently; a cell set twice keeps the last text.
  void setText(std::int32_t row, std::int32_t col, std::string_view text);
  // An error value (#N/A, #DIV/0!, ...); reading the cell throws.
  void setError(std::int32_t row, std::int32_t col, std::string_view value);

  // The cell's text; empty for an empty cell and for one outside the reach. Throws WorkbookError for an error value, naming
  // the sheet, the cell and the value.
  std::string text(std::int32_t row, std::int32_t col) const;
  // The same without a copy; valid until the cells change or go.
  std::string_view textView(std::int32_t row, std::int32_t col) const;

  std::size_t size() const;
  // Room for this many cells and bytes of text, so that filling the sheet does not reallocate.
  void reserve(std::size_t cells, std::size_t textBytes);

 private:
  // Texts live in one buffer; a cell is its key and where its text lies, so a sheet costs a
  // few allocations whatever its number of cells. A small reach (a design document's few
  // columns) indexes its cells in a flat table, a slot per cell it can hold. Otherwise cells
  // are kept in arrival order, mostly row by row: the index is sorted only when they were not.
  struct Cell {
    std::uint32_t key;
    std::uint32_t offset;
    std::uint32_t length;
    bool error;
  };
  static std::uint32_t key(std::int32_t row, std::int32_t col) {
    return static_cast<std::uint32_t>(row) * 128u + static_cast<std::uint32_t>(col);
  }
  void add(std::int32_t row, std::int32_t col, std::string_view text, bool error);
  void index() const;
  const Cell* find(std::int32_t row, std::int32_t col) const;
  [[noreturn]] void throwErrorValue(std::int32_t row, std::int32_t col, const Cell& cell) const;
  std::size_t flatSlot(std::int32_t row, std::int32_t col) const {
    return static_cast<std::size_t>(row - 1) * flatColumns_ + columnSlot_[static_cast<std::size_t>(col)];
  }

  static constexpr std::size_t kMostFlatSlots = 16384;
  static constexpr std::uint8_t kNoSlot = 0xFF;

  std::string name_;
  SheetReach reach_;
  // Flat table: a column's place among the reach's columns, and a slot per reachable cell
  // (key 0: empty).
  std::vector<std::uint8_t> columnSlot_;
  std::vector<Cell> flat_;
  std::size_t flatColumns_ = 0;
  std::size_t flatCount_ = 0;
  std::string texts_;
  mutable std::vector<Cell> cells_;
  mutable std::vector<std::uint32_t> rows_;  // first cell of each row, once indexed
  mutable bool indexed_ = false;
  mutable bool ordered_ = true;
};

// "C3" for row 3, column 3.
std::string cellReference(std::int32_t row, std::int32_t col);

}  // namespace morvane::platform
