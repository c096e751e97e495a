#include "sqlserver/ServerCatalog.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "model/Text.h"
#include "sqlserver/CatalogAttributes.h"

namespace morvane {

const char* const kCatalogColumnsQuery =
    "SELECT c.TABLE_NAME, c.COLUMN_NAME, c.ORDINAL_POSITION, c.DATA_TYPE, c.CHARACTER_MAXIMUM_LENGTH, "
    "c.NUMERIC_PRECISION, c.NUMERIC_SCALE, c.IS_NULLABLE, "
    "COLUMNPROPERTY(OBJECT_ID(QUOTENAME(c.TABLE_SCHEMA) + '.' + QUOTENAME(c.TABLE_NAME)), c.COLUMN_NAME, "
    "'IsIdentity') AS IS_IDENTITY, "
    "IDENT_SEED(QUOTENAME(c.TABLE_SCHEMA) + '.' + QUOTENAME(c.TABLE_NAME)) AS IDENT_SEED, "
    "IDENT_INCR(QUOTENAME(c.TABLE_SCHEMA) + '.' + QUOTENAME(c.TABLE_NAME)) AS IDENT_INCR "
    "FROM INFORMATION_SCHEMA.COLUMNS AS c "
    "JOIN INFORMATION_SCHEMA.TABLES AS t ON t.TABLE_SCHEMA = c.TABLE_SCHEMA AND t.TABLE_NAME = c.TABLE_NAME "
    "WHERE t.TABLE_TYPE = 'BASE TABLE' AND c.TABLE_SCHEMA = 'dbo' "
    "ORDER BY c.TABLE_NAME, c.ORDINAL_POSITION";

const char* const kCatalogKeysQuery =
    "SELECT k.TABLE_NAME, k.COLUMN_NAME, k.ORDINAL_POSITION "
    "FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS AS tc "
    "JOIN INFORMATION_SCHEMA.KEY_COLUMN_USAGE AS k "
    "ON k.CONSTRAINT_SCHEMA = tc.CONSTRAINT_SCHEMA AND k.CONSTRAINT_NAME = tc.CONSTRAINT_NAME "
    "WHERE tc.CONSTRAINT_TYPE = 'PRIMARY KEY' AND tc.TABLE_SCHEMA = 'dbo' "
    "ORDER BY k.TABLE_NAME, k.ORDINAL_POSITION";

namespace {

using Row = platform::OdbcConnection::Row;

const std::string& text(const Row& row, std::size_t at, const char* column) {
  if (!row[at]) throw CatalogError(std::string("サーバの答えの ") + column + " が NULL です");
  return *row[at];
}

// An integer sent as int or as text; a server may send numeric(38,0) as "1" or "1.0".
std::optional<long long> integer(const Row& row, std::size_t at, const char* column) {
  if (!row[at]) return std::nullopt;
  std::string value = trimSpaces(*row[at]);
  if (const auto point = value.find('.');
      point != std::string::npos && value.find_first_not_of('0', point + 1) == std::string::npos) {
    value.erase(point);
  }
  long long number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (value.empty() || error != std::errc() || end != value.data() + value.size()) {
    throw CatalogError(std::string("サーバの答えの ") + column + " 「" + *row[at] + "」は整数ではありません");
  }
  return number;
}

long long required(const Row& row, std::size_t at, const char* column) {
  const auto value = integer(row, at, column);
  if (!value) throw CatalogError(std::string("サーバの答えの ") + column + " が NULL です");
  return *value;
}

void expectWidth(const Row& row, std::size_t width, const char* query) {
  if (row.size() != width) {
    throw CatalogError(std::string("サーバの") + query + "の答えの列が " + std::to_string(row.size()) + " 個です (" +
                       std::to_string(width) + " 個のはずです)");
  }
}

}  // namespace

std::vector<ServerTable> catalogFromRows(const std::vector<Row>& columns, const std::vector<Row>& keys) {
  std::vector<ServerTable> tables;
  std::map<std::string, std::size_t> index;
  for (const auto& row : columns) {
    expectWidth(row, 11, "列一覧");
    const std::string& table = text(row, 0, "TABLE_NAME");
    auto [at, added] = index.try_emplace(table, tables.size());
    if (added) tables.push_back({table, {}, {}});
    ServerColumn column;
    column.name = text(row, 1, "COLUMN_NAME");
    column.ordinal = static_cast<int>(required(row, 2, "ORDINAL_POSITION"));
    column.dataType = text(row, 3, "DATA_TYPE");
    column.length = integer(row, 4, "CHARACTER_MAXIMUM_LENGTH");
    column.precision = integer(row, 5, "NUMERIC_PRECISION");
    column.scale = integer(row, 6, "NUMERIC_SCALE");
    column.nullable = trimSpaces(text(row, 7, "IS_NULLABLE")) == "YES";
    column.identity = integer(row, 8, "IS_IDENTITY").value_or(0) == 1;
    // The table's seed and increment come with every column; they belong to its identity column.
    if (column.identity) {
      column.seed = integer(row, 9, "IDENT_SEED");
      column.increment = integer(row, 10, "IDENT_INCR");
    }
    tables[at->second].columns.push_back(std::move(column));
  }
  std::map<std::string, std::vector<std::pair<long long, std::string>>> keyColumns;
  for (const auto& row : keys) {
    expectWidth(row, 3, "主キー一覧");
    keyColumns[text(row, 0, "TABLE_NAME")].emplace_back(required(row, 2, "ORDINAL_POSITION"),
                                                         text(row, 1, "COLUMN_NAME"));
  }
  for (auto& table : tables) {
    std::stable_sort(table.columns.begin(), table.columns.end(),
                     [](const ServerColumn& a, const ServerColumn& b) { return a.ordinal < b.ordinal; });
    auto found = keyColumns.find(table.name);
    if (found == keyColumns.end()) continue;
    std::stable_sort(found->second.begin(), found->second.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [ordinal, name] : found->second) table.keys.push_back(std::move(name));
  }
  return tables;
}

std::vector<ServerTable> readServerCatalog(platform::OdbcConnection& connection) {
  const auto columns = connection.query(kCatalogColumnsQuery);
  const auto keys = connection.query(kCatalogKeysQuery);
  auto tables = catalogFromRows(columns, keys);
  readCatalogAttributes(connection, tables);
  return tables;
}

}  // namespace morvane
