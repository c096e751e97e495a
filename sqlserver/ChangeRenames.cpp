#include "sqlserver/ChangeRenames.h"

#include <algorithm>

#include "model/Text.h"
#include "sqlserver/ChangeGuards.h"
#include "sqlserver/SchemaStatements.h"
#include "sqlserver/StoredColumn.h"

namespace morvane {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// The table's name after the renames.
std::string renamedTable(const std::string& name, const std::vector<Rename>& renames) {
  for (const auto& rename : renames) {
    if (rename.column.empty() && rename.table == name) return rename.to;
  }
  return name;
}

// Kind and size, nullability aside.
std::optional<StoredColumn> shape(const clsFieldInfo& field, const clsSQLServerFieldAttr& types) {
  auto stored = storedColumn(field, types);
  if (stored) stored->nullable = false;
  return stored;
}

}  // namespace

std::optional<Rename> parseRename(const std::string& text) {
  const auto equals = text.find('=');
  if (equals == std::string::npos) return std::nullopt;
  Rename rename;
  const std::string from = text.substr(0, equals);
  rename.to = text.substr(equals + 1);
  const auto dot = from.find('.');
  rename.table = from.substr(0, dot);
  if (dot != std::string::npos) {
    rename.column = from.substr(dot + 1);
    if (rename.column.empty()) return std::nullopt;
  }
  if (rename.table.empty() || rename.to.empty()) return std::nullopt;
  return rename;
}

std::string renameText(const Rename& rename) {
  return rename.table + (rename.column.empty() ? "" : "." + rename.column) + "=" + rename.to;
}

std::vector<std::string> renameProblems(const clsDBInfo& oldRevision, const clsDBInfo& newRevision,
                                        const std::vector<Rename>& renames) {
  std::vector<std::string> problems;
  for (std::size_t i = 0; i < renames.size(); ++i) {
    const Rename& rename = renames[i];
    const std::string head = "--rename " + renameText(rename) + ": ";
    const bool twice = std::any_of(renames.begin(), renames.begin() + static_cast<std::ptrdiff_t>(i),
                                   [&](const Rename& earlier) {
                                     return earlier.table == rename.table && earlier.column == rename.column;
                                   });
    const TablePtr old = oldRevision.getTable(rename.table);
    const std::string newName = renamedTable(rename.table, renames);
    const TablePtr now = newRevision.getTable(newName);
    if (twice) {
      problems.push_back(head + "同じ名前を 2 回変えています");
    } else if (!old) {
      problems.push_back(head + "古い版にテーブル「" + rename.table + "」がありません");
    } else if (rename.column.empty()) {
      if (oldRevision.getTable(rename.to)) problems.push_back(head + "古い版にテーブル「" + rename.to + "」がもうあります");
      else if (!now) problems.push_back(head + "新しい版にテーブル「" + rename.to + "」がありません");
    } else if (!old->getField(rename.column)) {
      problems.push_back(head + "古い版のテーブル「" + rename.table + "」に列「" + rename.column + "」がありません");
    } else if (old->getField(rename.to)) {
      problems.push_back(head + "古い版のテーブル「" + rename.table + "」に列「" + rename.to + "」がもうあります");
    } else if (!now || !now->getField(rename.to)) {
      problems.push_back(head + "新しい版のテーブル「" + newName + "」に列「" + rename.to + "」がありません");
    }
  }
  return problems;
}

clsDBInfo renamedRevision(const clsDBInfo& oldRevision, const std::vector<Rename>& renames) {
  clsDBInfo renamed;
  for (const TablePtr& table : oldRevision.getTables()) {
    const bool touched = std::any_of(renames.begin(), renames.end(),
                                     [&](const Rename& rename) { return rename.table == table->getName(); });
    if (!touched) {
      renamed.setTable(table);
      continue;
    }
    auto copy = std::make_shared<clsTableInfo>();
    copy->setName(renamedTable(table->getName(), renames));
    copy->setSheet(table->getSheetNo(), table->getSheetName());
    auto renamedColumn = [&](const std::string& name) {
      for (const auto& rename : renames) {
        if (!rename.column.empty() && rename.table == table->getName() && rename.column == name) return rename.to;
      }
      return name;
    };
    for (clsFieldInfo field : table->getFields()) {
      field.setName(renamedColumn(field.getName()));
      copy->setField(std::move(field));
    }
    for (const auto& key : table->getPrimaryKeys()) copy->sbAddPKey(renamedColumn(key));
    renamed.setTable(copy);
  }
  return renamed;
}

std::string TableRenames::originalColumn(const std::string& name) const {
  for (const auto& [from, to] : columns) {
    if (to == name) return from;
  }
  return name;
}

TableRenames renamesOf(const std::string& newName, const std::vector<Rename>& renames) {
  TableRenames table;
  table.oldName = newName;
  for (const auto& rename : renames) {
    if (rename.column.empty() && rename.to == newName) table.oldName = rename.table;
  }
  for (const auto& rename : renames) {
    if (!rename.column.empty() && rename.table == table.oldName) table.columns.emplace_back(rename.column, rename.to);
  }
  return table;
}

std::string renameStatements(const TableRenames& renames, const std::string& newName, bool hasKey) {
  std::string text;
  for (const auto& [from, to] : renames.columns) {
    text.append("EXEC sp_rename " + unicodeLiteral("dbo." + renames.oldName + "." + from) + ", " + unicodeLiteral(to) +
                ", N'COLUMN';").append(kCrLf);
  }
  if (renames.oldName != newName) {
    text.append("EXEC sp_rename " + unicodeLiteral("dbo." + renames.oldName) + ", " + unicodeLiteral(newName) + ";")
        .append(kCrLf);
    // Later scripts name the key after the table; a key the server named otherwise is left as it is.
    if (hasKey) {
      text.append("IF OBJECT_ID(" + unicodeLiteral("dbo.PK_" + renames.oldName) + ") IS NOT NULL EXEC sp_rename " +
                  unicodeLiteral("dbo.PK_" + renames.oldName) + ", " + unicodeLiteral("PK_" + newName) + ", N'OBJECT';")
          .append(kCrLf);
    }
  }
  return text;
}

std::vector<std::pair<std::string, std::string>> suggestedRenames(const clsTableInfo& before, const clsTableInfo& after,
                                                                  const std::vector<std::string>& gone,
                                                                  const std::vector<std::string>& added,
                                                                  const clsSQLServerFieldAttr& types) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::vector<std::string> free = added;
  // A column that keeps its logical name is the same column, whatever its kind became; then the
  // same kind and size.
  auto pairUp = [&](const std::string& name, const auto& matches) {
    for (auto it = free.begin(); it != free.end(); ++it) {
      const clsFieldInfo* field = after.getField(*it);
      if (field && matches(*field)) {
        pairs.emplace_back(name, *it);
        free.erase(it);
        return true;
      }
    }
    return false;
  };
  std::vector<std::string> unpaired;
  for (const auto& name : gone) {
    const clsFieldInfo* old = before.getField(name);
    const std::string logical = old ? trimSpaces(old->getLogicalName()) : std::string();
    const bool paired = !logical.empty() && pairUp(name, [&](const clsFieldInfo& field) {
      return trimSpaces(field.getLogicalName()) == logical;
    });
    if (!paired) unpaired.push_back(name);
  }
  for (const auto& name : unpaired) {
    const clsFieldInfo* old = before.getField(name);
    const auto oldShape = old ? shape(*old, types) : std::nullopt;
    if (oldShape) pairUp(name, [&](const clsFieldInfo& field) { return shape(field, types) == oldShape; });
  }
  return pairs;
}

}  // namespace morvane
