#include "sqlserver/CatalogAttributes.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

#include "model/Text.h"
#include "sqlserver/ServerNames.h"

namespace morvane {

const char* const kCatalogDefaultsQuery =
    "SELECT t.name AS TABLE_NAME, c.name AS COLUMN_NAME, d.name AS CONSTRAINT_NAME, d.definition AS DEFINITION "
    "FROM sys.default_constraints AS d "
    "JOIN sys.tables AS t ON t.object_id = d.parent_object_id "
    "JOIN sys.columns AS c ON c.object_id = d.parent_object_id AND c.column_id = d.parent_column_id "
    "WHERE SCHEMA_NAME(t.schema_id) = 'dbo' "
    "ORDER BY t.name, c.column_id";

// Only keys between dbo's tables: a table of another schema is no table of the document.
const char* const kCatalogForeignKeysQuery =
    "SELECT t.name AS TABLE_NAME, f.name AS CONSTRAINT_NAME, c.name AS COLUMN_NAME, "
    "r.name AS REFERENCED_TABLE_NAME, rc.name AS REFERENCED_COLUMN_NAME, "
    "k.constraint_column_id AS CONSTRAINT_COLUMN_ID "
    "FROM sys.foreign_keys AS f "
    "JOIN sys.foreign_key_columns AS k ON k.constraint_object_id = f.object_id "
    "JOIN sys.tables AS t ON t.object_id = f.parent_object_id "
    "JOIN sys.columns AS c ON c.object_id = k.parent_object_id AND c.column_id = k.parent_column_id "
    "JOIN sys.tables AS r ON r.object_id = f.referenced_object_id "
    "JOIN sys.columns AS rc ON rc.object_id = k.referenced_object_id AND rc.column_id = k.referenced_column_id "
    "WHERE SCHEMA_NAME(t.schema_id) = 'dbo' AND SCHEMA_NAME(r.schema_id) = 'dbo' "
    "ORDER BY t.name, f.name, k.constraint_column_id";

// The value is a sql_variant: sent as text, which every driver reads.
const char* const kCatalogDescriptionsQuery =
    "SELECT t.name AS TABLE_NAME, c.name AS COLUMN_NAME, CONVERT(nvarchar(4000), p.value) AS VALUE "
    "FROM sys.extended_properties AS p "
    "JOIN sys.tables AS t ON t.object_id = p.major_id "
    "LEFT JOIN sys.columns AS c ON c.object_id = p.major_id AND c.column_id = p.minor_id "
    "WHERE p.class = 1 AND p.name = 'MS_Description' AND SCHEMA_NAME(t.schema_id) = 'dbo' "
    "AND (p.minor_id = 0 OR c.column_id IS NOT NULL) "
    "ORDER BY t.name, p.minor_id";

namespace {

using Row = platform::OdbcConnection::Row;

// Longer than any definition or description the server keeps (nvarchar(4000) in UTF-8).
constexpr std::size_t kMaxText = 4000 * 3;

std::string text(const Row& row, std::size_t at, const char* column) {
  if (!row[at]) throw CatalogError(std::string("サーバの答えの ") + column + " が NULL です");
  if (row[at]->size() > kMaxText) throw CatalogError(std::string("サーバの答えの ") + column + " が長すぎます");
  return *row[at];
}

long long number(const Row& row, std::size_t at, const char* column) {
  std::string value = trimSpaces(text(row, at, column));
  if (const auto point = value.find('.'); point != std::string::npos) value.erase(point);
  long long out = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), out);
  if (value.empty() || error != std::errc() || end != value.data() + value.size()) {
    throw CatalogError(std::string("サーバの答えの ") + column + " 「" + *row[at] + "」は整数ではありません");
  }
  return out;
}

ServerColumn* findColumn(ServerTable& table, const std::string& name) {
  for (auto& column : table.columns) {
    if (sameName(column.name, name)) return &column;
  }
  return nullptr;
}

void setOnce(std::optional<std::string>& slot, std::string value, const std::string& what) {
  if (slot) throw CatalogError("サーバの答えに" + what + "が二つあります");
  slot = std::move(value);
}



}  // namespace

void addCatalogAttributes(std::vector<ServerTable>& tables, const std::vector<Row>& defaults,
                          const std::vector<Row>& foreignKeys, const std::vector<Row>& descriptions) {
  const FoldedIndex<ServerTable> index(tables, [](const ServerTable& table) -> const std::string& { return table.name; });
  for (const auto& row : defaults) {
    expectWidth(row, 4, "既定値一覧");
    ServerTable* table = index.find(text(row, 0, "TABLE_NAME"));
    ServerColumn* column = table ? findColumn(*table, text(row, 1, "COLUMN_NAME")) : nullptr;
    if (!column) continue;
    setOnce(column->defaultValue, text(row, 3, "DEFINITION"),
            "テーブル「" + table->name + "」の列「" + column->name + "」の既定値");
    column->defaultName = text(row, 2, "CONSTRAINT_NAME");
  }
  // Rows by table and key name, each column at its place in the key.
  std::map<std::pair<ServerTable*, std::string>, std::map<long long, std::pair<std::string, Row>>> keys;
  for (const auto& row : foreignKeys) {
    expectWidth(row, 6, "外部キー一覧");
    ServerTable* table = index.find(text(row, 0, "TABLE_NAME"));
    if (!table) continue;
    const std::string name = text(row, 1, "CONSTRAINT_NAME");
    const long long place = number(row, 5, "CONSTRAINT_COLUMN_ID");
    if (!keys[{table, name}].try_emplace(place, text(row, 3, "REFERENCED_TABLE_NAME"), row).second) {
      throw CatalogError("サーバの答えの外部キー「" + name + "」に列 " + std::to_string(place) + " が二度あります");
    }
  }
  for (auto& [at, columns] : keys) {
    ServerForeignKey key;
    key.name = at.second;
    for (const auto& [place, value] : columns) {
      if (!key.referencedTable.empty() && key.referencedTable != value.first) {
        throw CatalogError("サーバの答えの外部キー「" + key.name + "」が二つのテーブルを参照しています");
      }
      key.referencedTable = value.first;
      key.columns.push_back(text(value.second, 2, "COLUMN_NAME"));
      key.referencedColumns.push_back(text(value.second, 4, "REFERENCED_COLUMN_NAME"));
    }
    // A one-column key is the reference a design document can say.
    if (key.columns.size() == 1) {
      if (ServerColumn* column = findColumn(*at.first, key.columns[0]); column && column->referenceTable.empty()) {
        column->referenceTable = key.referencedTable;
        column->referenceColumn = key.referencedColumns[0];
      }
    }
    at.first->foreignKeys.push_back(std::move(key));
  }
  std::set<std::pair<const ServerTable*, const ServerColumn*>> described;
  for (const auto& row : descriptions) {
    expectWidth(row, 3, "説明一覧");
    ServerTable* table = index.find(text(row, 0, "TABLE_NAME"));
    if (!table) continue;
    std::string value = text(row, 2, "VALUE");
    ServerColumn* column = row[1] ? findColumn(*table, text(row, 1, "COLUMN_NAME")) : nullptr;
    if (row[1] && !column) continue;
    if (!described.emplace(table, column).second) {
      throw CatalogError("サーバの答えにテーブル「" + table->name + "」の" + (column ? "列「" + column->name + "」の" : "") +
                         "説明が二つあります");
    }
    (column ? column->description : table->description) = std::move(value);
  }
}

void readCatalogAttributes(platform::OdbcConnection& connection, std::vector<ServerTable>& tables) {
  const auto defaults = connection.query(kCatalogDefaultsQuery, kCatalogLimits);
  const auto foreignKeys = connection.query(kCatalogForeignKeysQuery, kCatalogLimits);
  const auto descriptions = connection.query(kCatalogDescriptionsQuery, kCatalogLimits);
  addCatalogAttributes(tables, defaults, foreignKeys, descriptions);
}

}  // namespace morvane
