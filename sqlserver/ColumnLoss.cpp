#include "sqlserver/ColumnLoss.h"

namespace morvane {
namespace {

bool isCharacter(const std::string& type) { return type == "char" || type == "varchar"; }

// -1 stands for max, longer than any number.
bool shorter(const std::optional<long long>& before, const std::optional<long long>& after) {
  if (!before || !after || *after == -1) return false;
  return *before == -1 || *after < *before;
}

// Types whose every value the other type holds exactly.
bool widens(const StoredColumn& before, const StoredColumn& after) {
  if (before.type == "real" && after.type == "float") return true;
  if (before.type == "int" && (after.type == "float" || after.type == "money" || after.type == "bigint")) return true;
  // int needs ten digits before the point, money fifteen and four after it.
  if (after.type == "decimal" && after.precision && after.scale) {
    const long long digits = *after.precision - *after.scale;
    if (before.type == "int") return digits >= 10;
    if (before.type == "money") return digits >= 15 && *after.scale >= 4;
  }
  return false;
}

}  // namespace

std::vector<ColumnLoss> columnLoss(const StoredColumn& before, const StoredColumn& after) {
  std::vector<ColumnLoss> losses;
  if (isCharacter(before.type) && isCharacter(after.type)) {
    if (shorter(before.length, after.length)) losses.push_back(ColumnLoss::shorter);
  } else if (before.type == "decimal" && after.type == "decimal") {
    if (before.precision && before.scale && after.precision && after.scale) {
      if (*after.precision - *after.scale < *before.precision - *before.scale) losses.push_back(ColumnLoss::fewerDigits);
      if (*after.scale < *before.scale) losses.push_back(ColumnLoss::lessScale);
    }
  } else if (before.type != after.type && !widens(before, after)) {
    losses.push_back(ColumnLoss::otherKind);
  } else if (before.type == after.type && shorter(before.length, after.length)) {
    // nchar, nvarchar and binary types read off a server keep a length too.
    losses.push_back(ColumnLoss::shorter);
  }
  if (before.nullable && !after.nullable) losses.push_back(ColumnLoss::notNull);
  return losses;
}

bool losesValues(const StoredColumn& before, const StoredColumn& after) {
  for (const ColumnLoss loss : columnLoss(before, after)) {
    if (loss != ColumnLoss::notNull) return true;
  }
  return false;
}

}  // namespace morvane
