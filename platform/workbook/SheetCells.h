#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::platform {

// The readable cells of one worksheet, already turned into text. Only rows 1..999 and
// columns 1..99 are kept: nothing beyond them is ever asked for.
class SheetCells {
 public:
  static constexpr std::int32_t kMaxRow = 999;
  static constexpr std::int32_t kMaxCol = 99;
  // The cell texts of one sheet together; more throws WorkbookError.
  static constexpr std::size_t kMaxTextBytes = std::size_t{64} << 20;

  SheetCells() = default;
  explicit SheetCells(std::string name) : name_(std::move(name)) {}

  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }

  static bool inRange(std::int32_t row, std::int32_t col) {
    return row >= 1 && row <= kMaxRow && col >= 1 && col <= kMaxCol;
  }

  // Cells outside the kept range are dropped silently; a cell set again keeps the last text.
  // Throws WorkbookError beyond kMaxTextBytes.
  void setText(std::int32_t row, std::int32_t col, std::string_view text) { set(row, col, text, false); }
  // An error value (#N/A, #DIV/0!, ...); reading the cell throws.
  void setError(std::int32_t row, std::int32_t col, std::string_view value) { set(row, col, value, true); }

  // The cell's text; empty for an empty cell. Throws WorkbookError for an error value, naming
  // the sheet, the cell and the value.
  std::string text(std::int32_t row, std::int32_t col) const;

  std::size_t size() const;

 private:
  // Texts live in one buffer and cells in one array in (row, column) order: a sheet of a
  // few thousand cells is a handful of allocations, not one or two per cell.
  struct Cell {
    std::uint32_t key;
    std::uint32_t offset;
    std::uint32_t length : 31;
    std::uint32_t error : 1;
  };
  static std::uint32_t key(std::int32_t row, std::int32_t col) {
    return static_cast<std::uint32_t>(row) * 128u + static_cast<std::uint32_t>(col);
  }
  void set(std::int32_t row, std::int32_t col, std::string_view text, bool error);
  // Cells set out of order are put in order (the last of a cell's texts wins) before a read.
  void order() const;
  // Where each row's cells start, built at the first read.
  void index() const;
  const Cell* find(std::int32_t row, std::int32_t col) const;

  std::string name_;
  mutable std::vector<Cell> cells_;
  std::string texts_;
  mutable bool ordered_ = true;
  mutable std::vector<std::uint32_t> rowStarts_;
};

// "C3" for row 3, column 3.
std::string cellReference(std::int32_t row, std::int32_t col);

}  // namespace morvane::platform
