#include "sqlserver/ServerCatalog.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <unordered_map>

#include "model/Text.h"
#include "sqlserver/CatalogAttributes.h"
#include "sqlserver/ServerNames.h"

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

// Keys and indexes, key columns only; no heaps (type 0) and no hypothetical indexes.
const char* const kCatalogKeysQuery =
    "SELECT t.name AS TABLE_NAME, i.name AS INDEX_NAME, i.is_primary_key AS IS_PRIMARY_KEY, "
    "i.is_unique_constraint AS IS_UNIQUE_CONSTRAINT, i.is_unique AS IS_UNIQUE, ic.key_ordinal AS KEY_ORDINAL, "
    "c.name AS COLUMN_NAME "
    "FROM sys.indexes AS i "
    "JOIN sys.tables AS t ON t.object_id = i.object_id "
    "JOIN sys.index_columns AS ic ON ic.object_id = i.object_id AND ic.index_id = i.index_id "
    "JOIN sys.columns AS c ON c.object_id = ic.object_id AND c.column_id = ic.column_id "
    "WHERE SCHEMA_NAME(t.schema_id) = 'dbo' AND i.type > 0 AND i.is_hypothetical = 0 AND ic.key_ordinal > 0 "
    "ORDER BY t.name, i.name, ic.key_ordinal";

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

// Names that are one object on the server must come once: "テーブル「T」", "テーブル「T」の列「a」".
class NameClaims {
 public:
  // The index of the name, or a new one; throws when it came before, spelled alike or not.
  std::size_t claim(const std::string& name, const std::string& what, bool again = false) {
    auto [at, added] = index_.try_emplace(foldName(name), std::pair(index_.size(), name));
    if (added || (again && at->second.second == name)) return at->second.first;
    if (at->second.second == name) throw CatalogError("サーバの答えに" + what + "「" + name + "」が二度あります");
    throw CatalogError("サーバの答えに" + what + "「" + at->second.second + "」と「" + name +
                       "」があります (サーバの照合順序では同じ名前です)");
    return at->second.first;
  }
  const std::pair<std::size_t, std::string>* find(const std::string& name) const {
    const auto at = index_.find(foldName(name));
    return at == index_.end() ? nullptr : &at->second;
  }

 private:
  std::unordered_map<std::string, std::pair<std::size_t, std::string>> index_;
};

}  // namespace

void expectWidth(const Row& row, std::size_t width, const char* query) {
  if (row.size() != width) {
    throw CatalogError(std::string("サーバの") + query + "の答えの列が " + std::to_string(row.size()) + " 個です (" +
                       std::to_string(width) + " 個のはずです)");
  }
}

std::vector<ServerTable> catalogFromRows(const std::vector<Row>& columns, const std::vector<Row>& keys) {
  std::vector<ServerTable> tables;
  std::vector<NameClaims> columnNames;
  NameClaims tableNames;
  for (const auto& row : columns) {
    expectWidth(row, 11, "列一覧");
    const std::string& table = text(row, 0, "TABLE_NAME");
    const std::size_t at = tableNames.claim(table, "テーブル", true);
    if (at == tables.size()) {
      tables.push_back({table, {}, {}});
      columnNames.emplace_back();
    }
    ServerColumn column;
    column.name = text(row, 1, "COLUMN_NAME");
    columnNames[at].claim(column.name, "テーブル「" + table + "」の列");
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
    tables[at].columns.push_back(std::move(column));
  }
  // Index rows by table and index, each key column once.
  std::vector<std::map<std::string, std::vector<std::pair<long long, std::string>>>> indexColumns(tables.size());
  std::vector<std::map<std::string, ServerIndex>> indexes(tables.size());
  for (const auto& row : keys) {
    expectWidth(row, 7, "キーとインデックスの一覧");
    const std::string& table = text(row, 0, "TABLE_NAME");
    const auto* found = tableNames.find(table);
    if (!found) continue;  // a table the columns answer does not hold
    const std::string& name = text(row, 1, "INDEX_NAME");
    ServerIndex& index = indexes[found->first][name];
    index.name = name;
    index.primaryKey = required(row, 2, "IS_PRIMARY_KEY") == 1;
    index.uniqueConstraint = required(row, 3, "IS_UNIQUE_CONSTRAINT") == 1;
    index.unique = required(row, 4, "IS_UNIQUE") == 1;
    auto& keyed = indexColumns[found->first][name];
    const std::string& column = text(row, 6, "COLUMN_NAME");
    for (const auto& [ordinal, other] : keyed) {
      if (sameName(other, column)) {
        throw CatalogError("サーバの答えのインデックス「" + name + "」に列「" + column + "」が二度あります");
      }
    }
    keyed.emplace_back(required(row, 5, "KEY_ORDINAL"), column);
  }
  for (std::size_t at = 0; at < tables.size(); ++at) {
    ServerTable& table = tables[at];
    std::stable_sort(table.columns.begin(), table.columns.end(),
                     [](const ServerColumn& a, const ServerColumn& b) { return a.ordinal < b.ordinal; });
    for (auto& [name, index] : indexes[at]) {
      auto& keyed = indexColumns[at][name];
      std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
      for (auto& [ordinal, column] : keyed) index.columns.push_back(std::move(column));
      if (index.primaryKey) {
        if (!table.keyName.empty()) {
          throw CatalogError("サーバの答えでテーブル「" + table.name + "」に主キーが二つあります");
        }
        table.keyName = index.name;
        table.keys = index.columns;
      }
      table.indexes.push_back(std::move(index));
    }
  }
  return tables;
}

std::vector<ServerTable> readServerCatalog(platform::OdbcConnection& connection) {
  const auto columns = connection.query(kCatalogColumnsQuery, kCatalogLimits);
  const auto keys = connection.query(kCatalogKeysQuery, kCatalogLimits);
  auto tables = catalogFromRows(columns, keys);
  readCatalogAttributes(connection, tables);
  return tables;
}

}  // namespace morvane
