#include "platform/xlsxwriter/DesignBookWriter.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <map>
#include <memory>

#include "platform/loader/ModuleLoader.h"

namespace morvane::platform {
namespace {

struct WorkbookCloser {
  void operator()(lxw_workbook* book) const {
    if (book) workbook_close(book);
  }
};

// Columns widths in the spreadsheet's units: a wide (non-ASCII) character counts two.
double displayWidth(const std::string& text) {
  double width = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      width += 1;
    } else if (byte >= 0xC0) {
      width += 2;
    }
  }
  return width;
}

std::string internalLink(const std::string& sheet) {
  std::string quoted;
  for (const char c : sheet) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return "internal:'" + quoted + "'!A1";
}

// The spreadsheet takes a list of at most 255 characters, commas between.
bool listFits(const std::vector<std::string>& items) {
  std::size_t length = 0;
  for (const auto& item : items) {
    if (item.empty() || item.find_first_of(",\"") != std::string::npos) return false;
    length += item.size() + 1;
  }
  return !items.empty() && length <= 256;
}

std::string write(const std::string& path, const std::vector<BookSheet>& sheets) {
  lxw_workbook_options options{};
  options.constant_memory = LXW_FALSE;
  std::unique_ptr<lxw_workbook, WorkbookCloser> book(workbook_new_opt(path.c_str(), &options));
  if (!book) return "ブックを作れません";
  std::map<BookStyle, lxw_format*> formats;
  for (const BookStyle style :
       {BookStyle::plain, BookStyle::title, BookStyle::label, BookStyle::header, BookStyle::field}) {
    lxw_format* format = workbook_add_format(book.get());
    format_set_font_name(format, "Meiryo UI");
    format_set_num_format(format, "@");
    if (style == BookStyle::title) {
      format_set_bold(format);
      format_set_font_size(format, 14);
    }
    if (style == BookStyle::label || style == BookStyle::header) format_set_bold(format);
    if (style == BookStyle::header) format_set_bg_color(format, 0xDDEBF7);
    if (style == BookStyle::header || style == BookStyle::field) format_set_border(format, LXW_BORDER_THIN);
    formats[style] = format;
  }
  lxw_format* link = workbook_add_format(book.get());
  format_set_font_name(link, "Meiryo UI");
  format_set_underline(link, LXW_UNDERLINE_SINGLE);
  format_set_font_color(link, LXW_COLOR_BLUE);
  format_set_border(link, LXW_BORDER_THIN);

  lxw_error failure = LXW_NO_ERROR;
  auto check = [&](lxw_error error) {
    if (failure == LXW_NO_ERROR) failure = error;
  };
  for (const auto& sheet : sheets) {
    lxw_worksheet* worksheet = workbook_add_worksheet(book.get(), sheet.name.c_str());
    if (!worksheet) return "シート名「" + sheet.name + "」は使えません";
    std::map<std::int32_t, double> widths;
    for (const auto& cell : sheet.cells) {
      const auto row = static_cast<lxw_row_t>(cell.row - 1);
      const auto col = static_cast<lxw_col_t>(cell.col - 1);
      if (!cell.linkSheet.empty()) {
        check(worksheet_write_url_opt(worksheet, row, col, internalLink(cell.linkSheet).c_str(), link,
                                      cell.text.c_str(), nullptr));
      } else if (cell.text.empty()) {
        check(worksheet_write_blank(worksheet, row, col, formats[cell.style]));
      } else {
        check(worksheet_write_string(worksheet, row, col, cell.text.c_str(), formats[cell.style]));
      }
      // The title runs over the cells beside it; it does not widen its column.
      if (cell.style != BookStyle::title) widths[cell.col] = std::max(widths[cell.col], displayWidth(cell.text));
    }
    for (const auto& [col, width] : widths) {
      const auto at = static_cast<lxw_col_t>(col - 1);
      check(worksheet_set_column(worksheet, at, at, std::clamp(width + 2, 4.0, 60.0), nullptr));
    }
    for (const auto& list : sheet.lists) {
      if (!listFits(list.items)) continue;
      std::vector<char*> items;
      for (const auto& item : list.items) items.push_back(const_cast<char*>(item.c_str()));
      items.push_back(nullptr);
      lxw_data_validation validation{};
      validation.validate = LXW_VALIDATION_TYPE_LIST;
      validation.value_list = items.data();
      validation.error_type = LXW_VALIDATION_ERROR_TYPE_WARNING;
      check(worksheet_data_validation_range(worksheet, static_cast<lxw_row_t>(list.firstRow - 1),
                                            static_cast<lxw_col_t>(list.col - 1),
                                            static_cast<lxw_row_t>(list.lastRow - 1),
                                            static_cast<lxw_col_t>(list.col - 1), &validation));
    }
    if (sheet.frozenRows > 0) worksheet_freeze_panes(worksheet, static_cast<lxw_row_t>(sheet.frozenRows), 0);
    // Sizes and numbers are text on purpose: the reader takes what the cell says.
    check(worksheet_ignore_errors(worksheet, LXW_IGNORE_NUMBER_STORED_AS_TEXT, "A1:XFD1048576"));
  }
  if (failure != LXW_NO_ERROR) return lxw_strerror(failure);
  const lxw_error closed = workbook_close(book.release());
  return closed == LXW_NO_ERROR ? std::string() : lxw_strerror(closed);
}

constexpr BookModule kModule{write};

}  // namespace
}  // namespace morvane::platform

MORVANE_MODULE_ENTRY { return &morvane::platform::kModule; }
