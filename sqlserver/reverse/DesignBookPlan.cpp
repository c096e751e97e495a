#include "sqlserver/reverse/DesignBookPlan.h"

#include <algorithm>
#include <ctime>
#include <set>
#include <tuple>
#include <utility>

#include "model/Text.h"
#include "sqlserver/StoredColumn.h"

namespace morvane {
namespace {

// What the reader reads: field rows down to 99, cells within 999 rows and 99 columns.
constexpr std::int32_t kLastFieldRow = 99;
constexpr std::int32_t kMaxRow = 999;
constexpr std::int32_t kMaxCol = 99;
// Sheets before the start sheet are written blank; a start sheet past this is refused.
constexpr std::int32_t kMaxStartSheet = 255;

const std::string kMark = "○";

std::string foldAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The characters of a UTF-8 text with how many UTF-16 units each takes in the spreadsheet.
std::vector<std::pair<std::string, int>> characters(const std::string& text) {
  std::vector<std::pair<std::string, int>> out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    length = std::min(length, text.size() - i);
    out.emplace_back(text.substr(i, length), length == 4 ? 2 : 1);
    i += length;
  }
  return out;
}

std::string truncated(const std::string& text, int units) {
  std::string out;
  for (const auto& [character, width] : characters(text)) {
    if ((units -= width) < 0) break;
    out += character;
  }
  return out;
}

struct Position {
  const char* label;
  std::int32_t value;
};

// The column positions that each field row uses, with their header labels.
std::vector<Position> fieldColumns(const clsExcelDBDocInfo& layout) {
  std::vector<Position> columns = {{"項目名", layout.getColFieldName()},
                                   {"型", layout.getColFieldType()},
                                   {"サイズ", layout.getColFieldSize()},
                                   {"PK", layout.getColPrimaryKey()},
                                   {layout.getNullMarkMeansNotNull() == 1 ? "NOT NULL" : "NULL", layout.getColNULL()}};
  for (const Position optional : {Position{"論理名", layout.getColLogicalName()}, Position{"デフォルト", layout.getColDefault()},
                                  Position{"備考", layout.getColRemarks()}, Position{"ユニーク", layout.getColUnique()},
                                  Position{"インデックス", layout.getColIndex()},
                                  Position{"参照先", layout.getColReference()}}) {
    if (optional.value > 0) columns.push_back(optional);
  }
  return columns;
}

bool usesTableLogicalName(const clsExcelDBDocInfo& layout) {
  return layout.getRowTableLogicalName() > 0 && layout.getColTableLogicalName() > 0;
}

// Labels of one kind of key for each column: "○" when the table has one, else 1, 2, ...
void labelKeys(const ServerTable& table, bool unique, std::vector<std::string>& labels,
               std::vector<std::string>& warnings) {
  std::vector<const ServerIndex*> chosen;
  for (const auto& index : table.indexes) {
    if (!index.primaryKey && (index.unique || index.uniqueConstraint) == unique) chosen.push_back(&index);
  }
  for (std::size_t n = 0; n < chosen.size(); ++n) {
    const std::string label = chosen.size() == 1 ? kMark : std::to_string(n + 1);
    for (const auto& name : chosen[n]->columns) {
      for (std::size_t c = 0; c < table.columns.size(); ++c) {
        if (table.columns[c].name != name) continue;
        if (labels[c].empty()) {
          labels[c] = label;
        } else {
          warnings.push_back("テーブル「" + table.name + "」の列「" + name + "」: " + (unique ? "ユニークキー" : "インデックス") +
                             "「" + chosen[n]->name + "」は 1 つのセルに書けないため書きません");
        }
      }
    }
  }
}

std::vector<std::string> typeWords(const clsSQLServerFieldAttr& types) {
  std::vector<std::string> words;
  for (const std::string* word : {&types.getChar(), &types.getVarChar(), &types.getIdentity(), &types.getInt(),
                                  &types.getDate(), &types.getReal(), &types.getFloat(), &types.getDecimal(),
                                  &types.getMoney()}) {
    if (!isBlank(*word) && std::find(words.begin(), words.end(), *word) == words.end()) words.push_back(*word);
  }
  return words;
}

class SheetCells {
 public:
  explicit SheetCells(PlanSheet& sheet) : sheet_(sheet) {}
  // False, writing nothing, where the place is taken.
  bool put(std::int32_t row, std::int32_t col, std::string text, PlanStyle style, std::string link = {}) {
    if (row < 1 || col < 1 || !taken_.insert({row, col}).second) return false;
    sheet_.cells.push_back({row, col, std::move(text), style, std::move(link)});
    return true;
  }
  bool free(std::int32_t row, std::int32_t col) const { return row >= 1 && col >= 1 && !taken_.count({row, col}); }

 private:
  PlanSheet& sheet_;
  std::set<std::pair<std::int32_t, std::int32_t>> taken_;
};

PlanSheet tableSheet(const ServerTable& table, const std::string& sheetName, const clsExcelDBDocInfo& layout,
                     const clsSQLServerFieldAttr& types, std::vector<std::string>& warnings) {
  PlanSheet sheet;
  sheet.name = sheetName;
  SheetCells cells(sheet);
  const std::int32_t first = layout.getStartRowFieldDef();
  cells.put(layout.getRowTableName(), layout.getColTableName(), table.name, PlanStyle::plain);
  if (usesTableLogicalName(layout) && !table.description.empty()) {
    cells.put(layout.getRowTableLogicalName(), layout.getColTableLogicalName(), table.description, PlanStyle::plain);
  }
  const auto columns = fieldColumns(layout);
  std::vector<std::string> uniqueLabels(table.columns.size()), indexLabels(table.columns.size());
  labelKeys(table, true, uniqueLabels, warnings);
  labelKeys(table, false, indexLabels, warnings);
  const auto words = typeWords(types);
  for (std::size_t c = 0; c < table.columns.size(); ++c) {
    const ServerColumn& column = table.columns[c];
    const clsFieldInfo field = fieldFromServer(column, types);
    if (std::find(words.begin(), words.end(), field.getAttr()) == words.end()) {
      warnings.push_back("テーブル「" + table.name + "」の列「" + column.name + "」: 型「" + column.dataType +
                         "」は型の表記にないため、サーバの型名のまま書きます");
    }
    const bool key = std::find(table.keys.begin(), table.keys.end(), column.name) != table.keys.end();
    const bool mark = column.nullable != (layout.getNullMarkMeansNotNull() == 1);
    const std::int32_t row = first + static_cast<std::int32_t>(c);
    const std::pair<std::int32_t, std::string> values[] = {
        {layout.getColFieldName(), column.name},
        {layout.getColFieldType(), field.getAttr()},
        {layout.getColFieldSize(), field.getSize()},
        {layout.getColPrimaryKey(), key ? kMark : ""},
        {layout.getColNULL(), mark ? kMark : ""},
        {layout.getColLogicalName(), column.description},
        {layout.getColDefault(), column.defaultValue ? defaultAsWritten(*column.defaultValue) : ""},
        {layout.getColUnique(), uniqueLabels[c]},
        {layout.getColIndex(), indexLabels[c]},
        {layout.getColReference(),
         column.referenceTable.empty() || column.referenceColumn.empty()
             ? ""
             : column.referenceTable + "." + column.referenceColumn}};
    for (const auto& [col, text] : values) {
      if (col > 0) cells.put(row, col, text, PlanStyle::field);
    }
    if (layout.getColRemarks() > 0) cells.put(row, layout.getColRemarks(), "", PlanStyle::field);
  }
  const std::int32_t last = first + static_cast<std::int32_t>(table.columns.size()) - 1;
  if (last > kLastFieldRow) {
    warnings.push_back("テーブル「" + table.name + "」: 列が " + std::to_string(table.columns.size()) + " 個あり、行 " +
                       std::to_string(kLastFieldRow) + " より下の " + std::to_string(last - kLastFieldRow) +
                       " 個は読み戻せません");
  }
  if (first > 1) {
    for (const auto& column : columns) cells.put(first - 1, column.value, column.label, PlanStyle::header);
    sheet.frozenRows = first - 1;
  }
  if (layout.getColTableName() > 1) {
    const std::int32_t left = layout.getColTableName() - 1;
    cells.put(layout.getRowTableName(), left, "テーブル名", PlanStyle::label);
  }
  if (usesTableLogicalName(layout) && layout.getColTableLogicalName() > 1) {
    cells.put(layout.getRowTableLogicalName(), layout.getColTableLogicalName() - 1, "論理名", PlanStyle::label);
  }
  const std::int32_t listEnd = std::max(last, kLastFieldRow);
  if (!words.empty()) sheet.lists.push_back({layout.getColFieldType(), first, listEnd, words});
  sheet.lists.push_back({layout.getColPrimaryKey(), first, listEnd, {kMark}});
  sheet.lists.push_back({layout.getColNULL(), first, listEnd, {kMark}});
  return sheet;
}

// The table list from a row down: number, name (a link to its sheet), logical name, column count.
void listTables(SheetCells& cells, std::int32_t row, const std::vector<const ServerTable*>& tables,
                const std::vector<std::string>& sheetNames) {
  std::int32_t col = 2;
  for (const char* label : {"No.", "テーブル名", "論理名", "列数"}) cells.put(row, col++, label, PlanStyle::header);
  for (std::size_t n = 0; n < tables.size(); ++n) {
    const std::int32_t at = row + 1 + static_cast<std::int32_t>(n);
    cells.put(at, 2, std::to_string(n + 1), PlanStyle::field);
    cells.put(at, 3, tables[n]->name, PlanStyle::field, sheetNames[n]);
    cells.put(at, 4, tables[n]->description, PlanStyle::field);
    cells.put(at, 5, std::to_string(tables[n]->columns.size()), PlanStyle::field);
  }
}

std::string positionProblem(const char* what, std::int32_t value, std::int32_t high, bool optional) {
  if (optional && value == 0) return {};
  if (value >= 1 && value <= high) return {};
  return std::string("レイアウトの") + what + " (" + std::to_string(value) + ") は 1 から " + std::to_string(high) +
         " までにしてください";
}

}  // namespace

std::string designLayoutProblem(const clsExcelDBDocInfo& layout) {
  const std::tuple<const char*, std::int32_t, std::int32_t, bool> positions[] = {
      {"開始シート", layout.getStartPage(), kMaxStartSheet, false},
      {"項目開始行", layout.getStartRowFieldDef(), kLastFieldRow, false},
      {"テーブル名の行", layout.getRowTableName(), kMaxRow, false},
      {"テーブル名の列", layout.getColTableName(), kMaxCol, false},
      {"項目名の列", layout.getColFieldName(), kMaxCol, false},
      {"型の列", layout.getColFieldType(), kMaxCol, false},
      {"サイズの列", layout.getColFieldSize(), kMaxCol, false},
      {"キーの列", layout.getColPrimaryKey(), kMaxCol, false},
      {"NULL の列", layout.getColNULL(), kMaxCol, false},
      {"論理名の列", layout.getColLogicalName(), kMaxCol, true},
      {"デフォルトの列", layout.getColDefault(), kMaxCol, true},
      {"備考の列", layout.getColRemarks(), kMaxCol, true},
      {"ユニークの列", layout.getColUnique(), kMaxCol, true},
      {"インデックスの列", layout.getColIndex(), kMaxCol, true},
      {"参照先の列", layout.getColReference(), kMaxCol, true},
      {"テーブル論理名の行", layout.getRowTableLogicalName(), kMaxRow, true},
      {"テーブル論理名の列", layout.getColTableLogicalName(), kMaxCol, true}};
  for (const auto& [what, value, high, optional] : positions) {
    if (std::string problem = positionProblem(what, value, high, optional); !problem.empty()) return problem;
  }
  std::set<std::int32_t> seen;
  for (const auto& column : fieldColumns(layout)) {
    if (!seen.insert(column.value).second) {
      return "レイアウトの列 " + std::to_string(column.value) + " に項目の 2 つのセルが重なっています";
    }
  }
  const auto inFieldRows = [&](std::int32_t row, std::int32_t col) {
    return row >= layout.getStartRowFieldDef() && seen.count(col);
  };
  if (inFieldRows(layout.getRowTableName(), layout.getColTableName())) {
    return "レイアウトのテーブル名のセルが項目の行に重なっています";
  }
  if (usesTableLogicalName(layout) &&
      (inFieldRows(layout.getRowTableLogicalName(), layout.getColTableLogicalName()) ||
       (layout.getRowTableLogicalName() == layout.getRowTableName() &&
        layout.getColTableLogicalName() == layout.getColTableName()))) {
    return "レイアウトのテーブル論理名のセルがほかのセルに重なっています";
  }
  return {};
}

DesignBookPlan planDesignBook(const std::vector<ServerTable>& server, const clsExcelDBDocInfo& layout,
                              const clsSQLServerFieldAttr& types, const ServerSource& source) {
  DesignBookPlan plan;
  std::vector<const ServerTable*> tables;
  for (const auto& table : server) tables.push_back(&table);
  std::stable_sort(tables.begin(), tables.end(),
                   [](const ServerTable* a, const ServerTable* b) { return a->name < b->name; });
  const std::int32_t start = layout.getStartPage();
  // Names of the sheets before the tables first, so a table never takes the cover's name.
  std::vector<std::string> taken;
  std::vector<std::string> front;
  if (start >= 2) front.push_back(validSheetName("表紙", taken));
  if (start >= 3) front.push_back(validSheetName("テーブル一覧", taken));
  for (std::int32_t n = 3; n < start; ++n) front.push_back(validSheetName("Sheet" + std::to_string(n), taken));
  std::vector<std::string> sheetNames;
  for (const ServerTable* table : tables) sheetNames.push_back(validSheetName(table->name, taken));

  for (std::size_t n = 0; n < front.size(); ++n) {
    PlanSheet sheet;
    sheet.name = front[n];
    SheetCells cells(sheet);
    if (n == 0) {
      cells.put(2, 2, "テーブル定義書", PlanStyle::title);
      std::int32_t row = 4;
      for (const auto& [label, value] : {std::pair<const char*, std::string>{"データベース", source.database},
                                         {"サーバ", source.server},
                                         {"作成日", source.date},
                                         {"テーブル数", std::to_string(tables.size())}}) {
        cells.put(row, 2, label, PlanStyle::label);
        cells.put(row++, 3, value, PlanStyle::plain);
      }
      if (front.size() == 1) listTables(cells, 10, tables, sheetNames);
    } else if (n == 1) {
      cells.put(2, 2, "テーブル一覧", PlanStyle::title);
      listTables(cells, 4, tables, sheetNames);
      sheet.frozenRows = 4;
    }
    plan.sheets.push_back(std::move(sheet));
  }
  for (std::size_t n = 0; n < tables.size(); ++n) {
    plan.sheets.push_back(tableSheet(*tables[n], sheetNames[n], layout, types, plan.warnings));
  }
  plan.endSheet = std::max(layout.getEndPage(), start + static_cast<std::int32_t>(tables.size()) - 1);
  return plan;
}

DesignBookPlan writeDesignBook(const std::string& path, const std::vector<ServerTable>& server,
                               const clsExcelDBDocInfo& layout, const clsSQLServerFieldAttr& types,
                               const ServerSource& source) {
  DesignBookPlan plan = planDesignBook(server, layout, types, source);
  platform::writeBook(path, plan.sheets);
  return plan;
}

std::string todayText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

std::string validSheetName(const std::string& wanted, std::vector<std::string>& taken) {
  std::string name;
  for (const char c : wanted) name += std::string_view("[]:*?/\\").find(c) == std::string_view::npos ? c : '_';
  // A quote may not open or close the name; the reserved History is not a sheet's.
  while (!name.empty() && name.front() == '\'') name.erase(0, 1);
  name = truncated(name, 31);
  while (!name.empty() && name.back() == '\'') name.pop_back();
  if (isBlank(name)) name = "Sheet";
  const auto used = [&](const std::string& candidate) {
    const std::string folded = foldAscii(candidate);
    return folded == "history" || std::any_of(taken.begin(), taken.end(), [&](const std::string& other) {
             return foldAscii(other) == folded;
           });
  };
  std::string candidate = name;
  for (int n = 2; used(candidate); ++n) {
    const std::string suffix = "(" + std::to_string(n) + ")";
    candidate = truncated(name, 31 - static_cast<int>(suffix.size()));
    while (!candidate.empty() && candidate.back() == '\'') candidate.pop_back();
    candidate += suffix;
  }
  taken.push_back(candidate);
  return candidate;
}

std::string defaultAsWritten(const std::string& definition) {
  std::string text = trimSpaces(definition);
  for (;;) {
    if (text.size() < 2 || text.front() != '(' || text.back() != ')') return text;
    // Only when the opening parenthesis closes at the very end: "(1)+(2)" stays whole.
    int depth = 0;
    bool quoted = false;
    std::size_t closes = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\'') quoted = !quoted;
      if (quoted) continue;
      if (text[i] == '(') ++depth;
      if (text[i] == ')' && --depth == 0) {
        closes = i;
        break;
      }
    }
    if (closes != text.size() - 1) return text;
    text = trimSpaces(std::string_view(text).substr(1, text.size() - 2));
  }
}

}  // namespace morvane
