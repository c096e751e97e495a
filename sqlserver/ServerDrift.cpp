#include "sqlserver/ServerDrift.h"

#include <algorithm>

#include "sqlserver/ColumnKind.h"
#include "sqlserver/SchemaDiff.h"
#include "sqlserver/StoredColumn.h"

namespace morvane {
namespace {

using ColumnIndex = FoldedIndex<const ServerColumn>;
using FieldIndex = FoldedIndex<const clsFieldInfo>;

ColumnIndex columnIndex(const ServerTable& table) {
  return ColumnIndex(table.columns, [](const ServerColumn& column) -> const std::string& { return column.name; });
}

FieldIndex fieldIndex(const clsTableInfo& table) {
  return FieldIndex(table.getFields(), [](const clsFieldInfo& field) -> const std::string& { return field.getName(); });
}

FoldedIndex<const TablePtr> tableIndex(const clsDBInfo& document) {
  return FoldedIndex<const TablePtr>(document.getTables(),
                                     [](const TablePtr& table) -> const std::string& { return table->getName(); });
}

void warnCase(std::vector<std::string>& warnings, const std::string& what, const std::string& document,
              const std::string& database) {
  if (document != database) {
    warnings.push_back(what + "「" + document + "」はデータベースでは「" + database + "」です (サーバの照合順序では同じ名前です)");
  }
}

std::string keyList(const std::vector<std::string>& keys) {
  std::string text = "(";
  for (const auto& key : keys) text += (text.size() > 1 ? ", " : "") + key;
  return text + ")";
}

TableDrift compareTable(const clsTableInfo& table, const ServerTable& live, const clsSQLServerFieldAttr& types,
                        std::vector<std::string>& warnings) {
  TableDrift drift;
  drift.name = table.getName();
  warnCase(warnings, "テーブル", table.getName(), live.name);
  const ColumnIndex liveColumns = columnIndex(live);
  const FieldIndex fields = fieldIndex(table);
  for (const auto& field : table.getFields()) {
    if (!resolveColumnKind(types, field.getAttr())) {
      // The document's own script leaves the column out: there is nothing to compare.
      warnings.push_back("テーブル「" + table.getName() + "」: " + field.getAttr() + "は未定義です");
      continue;
    }
    const auto stored = storedColumn(field, types);
    const ServerColumn* column = liveColumns.find(field.getName());
    const std::string documentSide =
        stored ? describeColumn(*stored) : field.getAttr() + "(" + field.getSize() + ")";
    if (!column) {
      drift.columns.push_back({field.getName(), documentSide, std::nullopt});
      continue;
    }
    warnCase(warnings, "テーブル「" + table.getName() + "」の列", field.getName(), column->name);
    const StoredColumn onServer = storedColumn(*column);
    if (!stored || !(*stored == onServer)) {
      drift.columns.push_back({field.getName(), documentSide, describeColumn(onServer)});
    }
  }
  for (const auto& column : live.columns) {
    if (!fields.find(column.name)) {
      drift.columns.push_back({column.name, std::nullopt, describeColumn(storedColumn(column))});
    }
  }
  drift.documentKeys = table.getPrimaryKeys();
  drift.databaseKeys = live.keys;
  drift.keysDiffer = !std::equal(drift.documentKeys.begin(), drift.documentKeys.end(), drift.databaseKeys.begin(),
                                 drift.databaseKeys.end(), sameName);
  drift.attributes = describeDiff(serverAttributes(live), documentAttributes(table, types));
  return drift;
}

}  // namespace

Drift compareWithServer(const clsDBInfo& document, const std::vector<ServerTable>& server,
                        const clsSQLServerFieldAttr& types) {
  Drift drift;
  const FoldedIndex<const ServerTable> liveTables(server,
                                                  [](const ServerTable& table) -> const std::string& { return table.name; });
  const auto documentTables = tableIndex(document);
  for (const auto& table : document.getTables()) {
    const ServerTable* live = liveTables.find(table->getName());
    if (!live) {
      drift.tables.push_back({TableDrift::Kind::onlyInDocument, table->getName(), {}, false, {}, {}});
      continue;
    }
    TableDrift compared = compareTable(*table, *live, types, drift.warnings);
    if (!compared.columns.empty() || compared.keysDiffer || !compared.attributes.empty()) drift.tables.push_back(std::move(compared));
  }
  for (const auto& live : server) {
    if (!documentTables.find(live.name)) {
      drift.tables.push_back({TableDrift::Kind::onlyInDatabase, live.name, {}, false, {}, {}});
    }
  }
  return drift;
}

std::string driftLine(const TableDrift& table) {
  const std::string head = "テーブル「" + table.name + "」: ";
  if (table.kind == TableDrift::Kind::onlyInDocument) return head + "ドキュメントにだけあります";
  if (table.kind == TableDrift::Kind::onlyInDatabase) return head + "データベースにだけあります";
  std::vector<std::string> parts;
  for (const auto& column : table.columns) {
    const std::string name = "列「" + column.name + "」";
    if (!column.database) {
      parts.push_back(name + "はドキュメントにだけあります (" + *column.document + ")");
    } else if (!column.document) {
      parts.push_back(name + "はデータベースにだけあります (" + *column.database + ")");
    } else {
      parts.push_back(name + "はドキュメントでは " + *column.document + "、データベースでは " + *column.database);
    }
  }
  if (table.keysDiffer) {
    parts.push_back("主キーはドキュメントでは " + keyList(table.documentKeys) + "、データベースでは " +
                    keyList(table.databaseKeys));
  }
  parts.insert(parts.end(), table.attributes.begin(), table.attributes.end());
  std::string line = head;
  for (std::size_t i = 0; i < parts.size(); ++i) line += (i ? "; " : "") + parts[i];
  return line;
}

clsDBInfo serverModel(const std::vector<ServerTable>& server, const clsDBInfo& document,
                      const clsSQLServerFieldAttr& types) {
  clsDBInfo model;
  const auto documentTables = tableIndex(document);
  for (const auto& live : server) {
    const TablePtr* found = documentTables.find(live.name);
    const TablePtr match = found ? *found : nullptr;
    const auto fields = match ? std::optional<FieldIndex>(fieldIndex(*match)) : std::nullopt;
    auto table = std::make_shared<clsTableInfo>();
    table->setName(match ? match->getName() : live.name);
    auto spelled = [&](const std::string& name) {
      if (!match) return name;
      const clsFieldInfo* field = fields->find(name);
      return field ? field->getName() : name;
    };
    for (const auto& column : live.columns) {
      clsFieldInfo field = fieldFromServer(column, types);
      field.setName(spelled(column.name));
      table->setField(std::move(field));
    }
    for (const auto& key : live.keys) table->sbAddPKey(spelled(key));
    model.setTable(table);
  }
  return model;
}

}  // namespace morvane
