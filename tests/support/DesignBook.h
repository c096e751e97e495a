#pragma once
// Design documents in the default layout, written by libxlsxwriter: the table name in C3, fields from
// row 6 in D (name), E (type), F (size), G (key mark), I (NULL mark); optional cells where fullLayout() reads.
#include <sstream>
#include <string>
#include <vector>

#include "document/LayoutFile.h"
#include "tests/support/TempDir.h"
#include "tests/support/XlsxPackage.h"

namespace morvane::test {

struct Row {
  std::string name, type, size = {}, key = {}, null = {};
  // Columns B, H, J, K, L and M.
  std::string logicalName = {}, defaultValue = {}, remarks = {}, unique = {}, index = {}, reference = {};
};

struct DesignSheet {
  std::string table;
  std::vector<Row> rows;
  std::string logicalName = {};  // C2
};

// The optional positions given as "Name=value,..." (morvane-batch --layout-extra's form).
inline clsExcelDBDocInfo withLayoutExtra(clsExcelDBDocInfo layout, const std::string& extra) {
  std::istringstream items(extra);
  for (std::string item; std::getline(items, item, ',');) {
    const auto equals = item.find('=');
    (layout.*findLayoutExtra(item.substr(0, equals))->set)(std::stoi(item.substr(equals + 1)));
  }
  return layout;
}

// fullLayout() as morvane-batch --layout-extra takes it.
inline const std::string kFullLayoutExtra =
    "ColLogicalName=2,ColDefault=8,ColRemarks=10,ColUnique=11,ColIndex=12,ColReference=13,"
    "RowTableLogicalName=2,ColTableLogicalName=3";

// The default layout with every optional position used, where the rows above put them.
inline clsExcelDBDocInfo fullLayout(bool markMeansNotNull = false) {
  clsExcelDBDocInfo layout = withLayoutExtra({}, kFullLayoutExtra);
  layout.setNullMarkMeansNotNull(markMeansNotNull ? 1 : 0);
  return layout;
}

// Two tables that use every optional cell: a composite unique key, two indexes, a reference in
// each form, each form of default, blanks kept around texts, and one mistake for each check
// rule on them (marked "mistake").
inline std::vector<DesignSheet> fullDesignSheets() {
  return {
      {"顧客",
       {{"ID", "identity", "1,1", "○", "", "顧客ID"},
        {"コード", "char", "10", "", "○", "コード", "'000'", "", "U1"},  // nullable in a unique key: mistake
        {"支店", "char", "3", "", "", " 支店 ", "N'な''し'", "本店は 000 ", " U1 ", "IX1"},
        {"名前", "varchar", "40", "", "", "", "NULL", "", "", "IX1"},  // no logical name: mistake
        {"登録日", "date", "", "", "", "登録日", "(getdate())", "", "", "IX2"},
        {"件数", "int", "", "", "", "件数", "((0))", "", "U2"},
        {"更新", "date", "", "", "", "更新", "Current_Timestamp"},
        {"割合", "decimal", "5,2", "", "", "割合", "1.5"},
        {"区分", "int", "", "", "", "区分", "'a'"},        // a string for a number: mistake
        {"メモ", "varchar", "10", "", "", "メモ", "now()"}},  // not a default form: mistake
       "顧客マスタ"},
      {"注文",
       {{"注文ID", "identity", "1,1", "○", "", "注文ID", "0"},  // a default on identity: mistake
        {"顧客ID", "int", "", "", "", "顧客", "", "", "", "", "顧客.ID"},  // identity counts as int
        {"件数", "int", "", "", "", "件数", "", "", "", "", " 顧客 ( 件数 ) "},
        {"支店", "char", "3", "", "", "支店", "", "", "", "", "顧客(支店)"},     // not a key: mistake
        {"区分", "char", "4", "", "", "区分", "", "", "", "", "顧客.件数"},      // char to int: mistake
        {"商品", "int", "", "", "", "商品", "", "", "", "", "商品.ID"},          // no such table: mistake
        {"担当", "int", "", "", "", "担当", "", "", "", "", "顧客"}},            // not a reference: mistake
       "注文"}};
}

// Tables that give every statement of a script, for fullLayout(): each kind of default, a composite
// unique key, two indexes, descriptions holding ' and ] (logical names in 顧客, remarks in Orders),
// references in both forms to a selected table, to an unselected one and to Bad (injected default).
inline std::vector<DesignSheet> schemaSheets() {
  return {{"顧客",
           {{"ID", "int", "", "○", "", "顧客ID"},
            {"コード", "char", "10", "", "", "コード", "'000'", "", "U1", "IX1"},
            {"支店", "char", "3", "", "", "", " ( N'な''し' ) ", "", "U1"},
            {"名前", "varchar", "40", "", "○", "O'Neil ]の名前", "NULL", "", "", "IX1"},
            {"登録日", "date", "", "", "", "登録日", "(getdate())", "", "", "IX2"}},
           "顧客's ]マスタ"},
          {"Orders",
           {{"OrderID", "int", "", "○", "", "", "0", "注文の番号"},
            {"CustomerID", "int", "", "", "", "", "", "", "", "", "顧客.ID"},
            {"BadID", "int", "", "", "", "", "", "", "", "", " Bad ( ID ) "},
            {"ItemID", "int", "", "", "", "", "", "", "", "", "Items.ID"}}},
          {"Bad", {{"ID", "int", "", "○", "", "", "0); DROP TABLE x; --"}}}};
}

// One sheet per table, named Sheet1, Sheet2, ... by position; empty texts leave their cells empty.
inline std::string writeDesignBook(const std::string& path, const std::vector<DesignSheet>& sheets) {
  XlsxWriterBook book(path);
  for (const auto& sheet : sheets) {
    lxw_worksheet* worksheet = book.addSheet();
    auto write = [&](const std::string& ref, const std::string& text) {
      if (!text.empty()) writeCell(worksheet, ref, text);
    };
    write("C3", sheet.table);
    write("C2", sheet.logicalName);
    for (std::size_t i = 0; i < sheet.rows.size(); ++i) {
      const Row& r = sheet.rows[i];
      const std::string texts[] = {r.logicalName, "", r.name, r.type, r.size, r.key, r.defaultValue, r.null,
                                   r.remarks, r.unique, r.index, r.reference};  // columns B to M
      for (char col = 'B'; col <= 'M'; ++col) write(col + std::to_string(6 + i), texts[col - 'B']);
    }
  }
  book.close();
  return path;
}

}  // namespace morvane::test
