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

  // Cells outside the kept range are dropped silently; a cell set twice keeps the last text.
  void setText(std::int32_t row, std::int32_t col, std::string_view text);
  // An error value (#N/A, #DIV/0!, ...); reading the cell throws.
  void setError(std::int32_t row, std::int32_t col, std::string_view value);

  // The cell's text; empty for an empty cell. Throws WorkbookError for an error value, naming
  // the sheet, the cell and the value.
  std::string text(std::int32_t row, std::int32_t col) const;

  std::size_t size() const;
  // Room for this many cells and bytes of text, so that filling the sheet does not reallocate.
  void reserve(std::size_t cells, std::size_t textBytes);

 private:
  // Texts live in one buffer; a cell is its key and where its text lies, so a sheet costs a
  // few allocations whatever its number of cells. Cells mostly arrive in order: the index is
  // sorted only when they did not.
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

  std::string name_;
  std::string texts_;
  mutable std::vector<Cell> cells_;
  mutable std::vector<std::uint32_t> rows_;  // first cell of each row, once indexed
  mutable bool indexed_ = false;
  mutable bool ordered_ = true;
};

// "C3" for row 3, column 3.
std::string cellReference(std::int32_t row, std::int32_t col);

}  // namespace morvane::platform
