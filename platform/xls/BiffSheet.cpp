#include "platform/xls/BiffSheet.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <optional>

#include "platform/text/CellText.h"
#include "platform/workbook/Workbook.h"

namespace morvane::platform {
namespace {

// An RK value: a 30-bit integer or the top 30 bits of a double, perhaps scaled by 100.
double decodeRk(std::uint32_t rk) {
  double value;
  if (rk & 0x02) {
    value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    value = std::bit_cast<double>(static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32);
  }
  return (rk & 0x01) ? value / 100.0 : value;
}

std::string errorText(std::uint8_t code) {
  switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    case 0x2A: return "#N/A";
    case 0x2B: return "#GETTING_DATA";
    default: return "#N/A";
  }
}

class SheetParser {
 public:
  SheetParser(BiffGlobals& globals, SheetCells sheet) : globals_(globals), sheet_(std::move(sheet)) {}

  void record(const BiffRecord& record) {
    BiffCursor cursor(record);
    switch (record.type) {
      case biff::kLabelSst: {
        const auto [row, col, xf] = cell(cursor);
        const std::uint32_t index = cursor.u32();
        if (index >= globals_.sharedStrings.size()) {
          throw WorkbookError("シート「" + sheet_.name() + "」のセル" + cellReference(row, col) +
                              "が共有文字列表にない文字列 (番号 " + std::to_string(index) + ") を指しています");
        }
        if (sheet_.wants(row, col)) sheet_.setText(row, col, globals_.sharedStrings.text(index, scratch_));
        break;
      }
      case biff::kLabel:
      case biff::kRString: {
        const auto [row, col, xf] = cell(cursor);
        if (!sheet_.wants(row, col)) break;
        std::string text = stringValue(cursor);
        sheet_.setText(row, col, std::move(text));
        break;
      }
      case biff::kNumber: {
        const auto [row, col, xf] = cell(cursor);
        number(row, col, xf, cursor.f64());
        break;
      }
      case biff::kRk: {
        const auto [row, col, xf] = cell(cursor);
        number(row, col, xf, decodeRk(cursor.u32()));
        break;
      }
      case biff::kMulRk: {
        const std::int32_t row = cursor.u16() + 1;
        const std::int32_t first = cursor.u16() + 1;
        // Six bytes per cell and the last column at the end; the count comes from the length.
        if (cursor.remaining() < 2) throw WorkbookError("MULRKレコードが短すぎます");
        const std::size_t count = (cursor.remaining() - 2) / 6;
        for (std::size_t i = 0; i < count; ++i) {
          const std::uint16_t xf = cursor.u16();
          number(row, first + static_cast<std::int32_t>(i), xf, decodeRk(cursor.u32()));
        }
        break;
      }
      case biff::kBoolErr: {
        const auto [row, col, xf] = cell(cursor);
        const std::uint8_t value = cursor.u8();
        if (cursor.u8() != 0) {
          sheet_.setError(row, col, errorText(value));
        } else {
          sheet_.setText(row, col, formatBoolean(value != 0));
        }
        break;
      }
      case biff::kFormula:
      case biff::kFormulaBiff4:
        formula(cursor);
        break;
      case biff::kString:
        if (pendingString_) {
          std::string text = stringValue(cursor);
          sheet_.setText(pendingString_->first, pendingString_->second, std::move(text));
          pendingString_.reset();
        }
        return;
      default:
        break;
    }
    // A STRING record belongs to the formula right before it (SHRFMLA, ARRAY or TABLE may
    // come in between); any cell after that ends the wait.
    if (isCell(record.type) && record.type != biff::kFormula) pendingString_.reset();
  }

  SheetCells take() { return std::move(sheet_); }

 private:
  struct CellHeader {
    std::int32_t row;
    std::int32_t col;
    std::uint16_t xf;
  };

  static bool isCell(std::uint16_t type) {
    switch (type) {
      case biff::kLabelSst: case biff::kLabel: case biff::kRString: case biff::kNumber:
      case biff::kRk: case biff::kMulRk: case biff::kBoolErr: case biff::kBlank:
      case biff::kMulBlank:
        return true;
      default:
        return false;
    }
  }

  static CellHeader cell(BiffCursor& cursor) {
    const std::int32_t row = cursor.u16() + 1;
    const std::int32_t col = cursor.u16() + 1;
    return {row, col, cursor.u16()};
  }

  std::string stringValue(BiffCursor& cursor) {
    if (globals_.biff8) return readBiff8String(cursor, true);
    const std::size_t count = cursor.u16();
    if (cursor.remaining() < count) throw WorkbookError("文字列がレコードの外に続いています");
    std::string bytes;
    bytes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) bytes += static_cast<char>(cursor.u8());
    return globals_.decoder->decode(bytes);
  }

  void number(std::int32_t row, std::int32_t col, std::uint16_t xf, double value) {
    if (!sheet_.wants(row, col)) return;
    // No number the spreadsheet shows: what it shows is the error value.
    if (!std::isfinite(value)) {
      sheet_.setError(row, col, "#NUM!");
      return;
    }
    if (globals_.isDateXf(xf)) {
      try {
        sheet_.setText(row, col, formatDateSerial(value, globals_.date1904));
        return;
      } catch (const WorkbookError&) {
        // Outside the dates the spreadsheet can show: it is still a number.
      }
    }
    // Whole numbers are most of a design document's numbers; they need no rounding.
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
      char digits[24];
      const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<long long>(value)).ptr;
      sheet_.setText(row, col, std::string_view(digits, static_cast<std::size_t>(end - digits)));
      return;
    }
    sheet_.setText(row, col, formatNumber(value));
  }

  void formula(BiffCursor& cursor) {
    const auto [row, col, xf] = cell(cursor);
    std::uint8_t value[8];
    for (auto& byte : value) byte = cursor.u8();
    pendingString_.reset();
    if (value[6] != 0xFF || value[7] != 0xFF) {
      std::uint64_t bits = 0;
      for (int i = 7; i >= 0; --i) bits = bits << 8 | value[i];
      number(row, col, xf, std::bit_cast<double>(bits));
      return;
    }
    switch (value[0]) {
      case 0:  // a text result, in the STRING record that follows
        sheet_.setText(row, col, std::string());
        pendingString_.emplace(row, col);
        break;
      case 1:
        sheet_.setText(row, col, formatBoolean(value[2] != 0));
        break;
      case 2:
        sheet_.setError(row, col, errorText(value[2]));
        break;
      default:  // an empty result
        sheet_.setText(row, col, std::string());
        break;
    }
  }

  BiffGlobals& globals_;
  SheetCells sheet_;
  std::optional<std::pair<std::int32_t, std::int32_t>> pendingString_;
  Utf8Buffer scratch_;  // a shared string on its way into the cells
};

}  // namespace

SheetCells readBiffSheet(BiffRecordReader& reader, BiffGlobals& globals, SheetCells sheet) {
  const std::string name = sheet.name();
  BiffRecord record;
  if (!reader.next(record) || record.type != biff::kBof) {
    throw WorkbookError("シート「" + name + "」がBOFレコードで始まっていません");
  }
  SheetParser parser(globals, std::move(sheet));
  int depth = 1;
  try {
    while (reader.next(record)) {
      // Only strings may run on into CONTINUE records. Any other record is read from its first
      // bytes, so a CONTINUE after it is a record of its own, passed over like the unknown ones.
      if (record.type == biff::kLabel || record.type == biff::kRString || record.type == biff::kString) {
        reader.appendContinues(record);
      }
      if (record.type == biff::kBof) {
        ++depth;
      } else if (record.type == biff::kEof) {
        if (--depth == 0) return parser.take();
      } else if (depth == 1) {
        parser.record(record);
      }
    }
  } catch (const WorkbookError& error) {
    const std::string message = error.what();
    if (message.find("シート「") == 0) throw;
    throw WorkbookError("シート「" + name + "」: " + message);
  }
  throw WorkbookError("シート「" + name + "」がEOFレコードなしで終わっています");
}

}  // namespace morvane::platform
