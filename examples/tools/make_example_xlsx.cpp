// Writes examples/design-document.xlsx from examples/design-document.json. Run by hand after
// changing the description:
//   make-example-xlsx examples/design-document.json examples/design-document.xlsx
#include <xlsxwriter.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

namespace {

// "D" -> 3 (libxlsxwriter counts columns from 0).
lxw_col_t column(const std::string& letters) {
  lxw_col_t col = 0;
  for (const char c : letters) col = static_cast<lxw_col_t>(col * 26 + (c - 'A' + 1));
  return static_cast<lxw_col_t>(col - 1);
}

void put(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col, const nlohmann::json& value, lxw_format* format) {
  if (value.is_number()) {
    worksheet_write_number(sheet, row, col, value.get<double>(), format);
  } else if (!value.get<std::string>().empty()) {
    worksheet_write_string(sheet, row, col, value.get<std::string>().c_str(), format);
  }
}

void putAt(lxw_worksheet* sheet, const std::string& ref, const nlohmann::json& value) {
  std::size_t digits = ref.find_first_of("0123456789");
  put(sheet, static_cast<lxw_row_t>(std::stoi(ref.substr(digits)) - 1), column(ref.substr(0, digits)), value, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make-example-xlsx DESCRIPTION.json OUTPUT.xlsx\n";
    return 2;
  }
  std::ifstream input(argv[1]);
  const nlohmann::json doc = nlohmann::json::parse(input);

  lxw_workbook* book = workbook_new(argv[2]);
  if (book == nullptr) return 1;
  // A fixed creation time keeps the generated file the same from run to run.
  char title[] = "設計書サンプル";
  lxw_doc_properties properties = {};
  properties.title = title;
  properties.created = 1711929600;  // 2024-04-01
  workbook_set_properties(book, &properties);

  lxw_format* heading = workbook_add_format(book);
  format_set_bold(heading);
  format_set_bottom(heading, LXW_BORDER_THIN);
  lxw_format* label = workbook_add_format(book);
  format_set_bold(label);

  const auto& headings = doc["headings"];
  const auto headingRow = static_cast<lxw_row_t>(headings["row"].get<int>() - 1);
  const auto& fieldColumns = doc["fieldColumns"];
  for (const auto& description : doc["sheets"]) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, description["sheet"].get<std::string>().c_str());
    worksheet_set_column(sheet, 0, 0, 2, nullptr);
    worksheet_set_column(sheet, 1, 1, 12, nullptr);
    worksheet_set_column(sheet, 2, 3, 18, nullptr);
    worksheet_set_column(sheet, 4, 8, 10, nullptr);
    worksheet_set_column(sheet, column("H"), column("H"), 20, nullptr);
    worksheet_set_column(sheet, column("J"), column("J"), 18, nullptr);
    worksheet_set_column(sheet, column("K"), column("N"), 14, nullptr);
    if (description.contains("extra")) {
      for (const auto& [ref, value] : description["extra"].items()) putAt(sheet, ref, value);
    }
    worksheet_write_string(sheet, 2, 1, "テーブル名", label);
    put(sheet, 2, 2, description["table"], nullptr);
    if (description.contains("tableLogicalName")) {
      worksheet_write_string(sheet, 2, 3, "論理名", label);
      put(sheet, 2, 4, description["tableLogicalName"], nullptr);
    }
    if (!description.contains("fields")) continue;
    for (const auto& [letters, text] : headings["cells"].items()) put(sheet, headingRow, column(letters), text, heading);
    lxw_row_t row = headingRow + 1;
    for (const auto& field : description["fields"]) {
      for (std::size_t i = 0; i < field.size(); ++i) put(sheet, row, column(fieldColumns[i]), field[i], nullptr);
      ++row;
    }
  }
  const lxw_error status = workbook_close(book);
  if (status != LXW_NO_ERROR) {
    std::cerr << "make-example-xlsx: " << lxw_strerror(status) << "\n";
    return 1;
  }
  return 0;
}
