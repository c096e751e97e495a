#include "sqlserver/ChangeGuards.h"

#include <set>

#include "sqlserver/SchemaStatements.h"
#include "sqlserver/ServerNames.h"

namespace morvane {
namespace {

// The column's type as ALTER COLUMN and CONVERT spell it: "varchar(50)", "decimal(10,2)", "int".
std::string typeText(StoredColumn column) {
  column.identity = false;
  column.nullable = true;
  std::string text = describeColumn(column);
  return text.substr(0, text.size() - std::string(" NULL").size());
}

// Old types that cannot be compared after a round trip: any value of them is at risk.
bool comparable(const std::string& type) {
  static const std::set<std::string> kNot = {"text", "ntext", "image", "xml", "sql_variant", "geography",
                                             "geometry", "hierarchyid", "timestamp", "rowversion"};
  return !kNot.contains(type);
}

DataLossGuard guard(const std::string& table, const std::string& column, const std::string& what,
                    const std::string& condition, const std::string& reason) {
  const std::string subject = column.empty() ? "テーブル「" + table + "」" : "テーブル「" + table + "」の列「" + column + "」";
  const std::string message = subject + ": " + reason + "。このテーブルの変更は行いません";
  return {column, what,
          "IF EXISTS (SELECT 1 FROM dbo." + serverScriptName(table) + (condition.empty() ? "" : " WHERE " + condition) +
              ") THROW 50000, " + unicodeLiteral(message) + ", 1;"};
}

}  // namespace

std::vector<DataLossGuard> alterGuards(const std::string& table, const std::string& column, const StoredColumn& before,
                                       const StoredColumn& after) {
  std::vector<DataLossGuard> guards;
  const std::string type = typeText(after);
  // The column may be the server's own name: never written as it came.
  const std::string name = serverScriptName(column);
  for (const ColumnLoss loss : columnLoss(before, after)) {
    switch (loss) {
      case ColumnLoss::shorter: {
        const std::string length = std::to_string(after.length.value_or(0));
        guards.push_back(guard(table, column, "長さ", "LEN(" + name + ") > " + length,
                               "長さ " + length + " を超える値があり、" + type + " にできません"));
        break;
      }
      case ColumnLoss::fewerDigits: {
        const long long digits = after.precision.value_or(0) - after.scale.value_or(0);
        guards.push_back(guard(table, column, "桁数", "ABS(" + name + ") >= 1" + std::string(digits, '0'),
                               "整数部が " + std::to_string(digits) + " 桁を超える値があり、" + type + " にできません"));
        break;
      }
      case ColumnLoss::lessScale: {
        const std::string scale = std::to_string(after.scale.value_or(0));
        guards.push_back(guard(table, column, "小数桁数", name + " <> ROUND(" + name + ", " + scale + ")",
                               "小数部が " + scale + " 桁を超える値があり、" + type + " にできません"));
        break;
      }
      case ColumnLoss::otherKind: {
        // A value kept is one that comes back unchanged from the new type.
        const std::string condition =
            comparable(before.type)
                ? name + " IS NOT NULL AND CASE WHEN TRY_CONVERT(" + typeText(before) + ", TRY_CONVERT(" + type +
                      ", " + name + ")) = " + name + " THEN 0 ELSE 1 END = 1"
                : name + " IS NOT NULL";
        guards.push_back(guard(table, column, "型", condition,
                               typeText(before) + " から " + type + " にそのまま移せない値があり、型を変えられません"));
        break;
      }
      case ColumnLoss::notNull:
        guards.push_back(guard(table, column, "NOT NULL", name + " IS NULL", "NULL の行があり、NOT NULL にできません"));
        break;
    }
  }
  return guards;
}

DataLossGuard dropColumnGuard(const std::string& table, const std::string& column) {
  return guard(table, column, "削除", serverScriptName(column) + " IS NOT NULL", "値のある行があり、列を削除できません");
}

DataLossGuard dropTableGuard(const std::string& table) {
  return guard(table, "", "行", "", "行があり、テーブルを削除できません");
}

std::string guardSummary(const std::vector<DataLossGuard>& guards) {
  if (guards.empty()) return "";
  std::string text = "; データ消失の確認: ";
  for (std::size_t i = 0; i < guards.size(); ++i) {
    if (i) text += "、";
    text += guards[i].column.empty() ? "テーブルの" + guards[i].what : "列 " + guards[i].column + " (" + guards[i].what + ")";
  }
  return text;
}

}  // namespace morvane
