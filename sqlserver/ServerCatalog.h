#pragma once
// The live schema of a database's dbo base tables, read through its INFORMATION_SCHEMA views.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/odbc/Odbc.h"

namespace morvane {

// A catalog answer that cannot be understood: a missing column, a number that is not one.
class CatalogError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One column as the server describes it; absent values were NULL.
struct ServerColumn {
  std::string name;
  int ordinal = 0;
  std::string dataType;  // as reported: "varchar", "datetime", ...
  std::optional<long long> length, precision, scale;
  bool nullable = false;
  bool identity = false;
  std::optional<long long> seed, increment;
  // Filled where the catalog is asked for them; empty otherwise.
  std::string description{};                  // MS_Description
  std::optional<std::string> defaultValue{};  // the default's definition as stored, "((0))"
  std::string defaultName{};                  // the default constraint's name
  std::string referenceTable{}, referenceColumn{};  // its first one-column foreign key
};

// A foreign key of the table, its columns and the referenced ones in key order.
struct ServerForeignKey {
  std::string name;
  std::vector<std::string> columns;
  std::string referencedTable;
  std::vector<std::string> referencedColumns;
};

// A primary key, unique constraint or index, with its key columns in key order.
struct ServerIndex {
  std::string name;
  bool primaryKey = false, uniqueConstraint = false, unique = false;
  std::vector<std::string> columns;
};

struct ServerTable {
  std::string name;
  std::vector<ServerColumn> columns;  // by ordinal position
  std::vector<std::string> keys;      // the primary key's columns, in key order
  std::string keyName{};              // the primary key's name; empty without one
  std::vector<ServerIndex> indexes{};  // by name
  std::string description{};          // MS_Description of the table
  std::vector<ServerForeignKey> foreignKeys{};  // by name
};

// Each its own batch, so a server can tell them apart by the views they name.
extern const char* const kCatalogColumnsQuery;
extern const char* const kCatalogKeysQuery;

// What one catalog answer may hold before it is refused as not a catalog.
inline constexpr platform::OdbcConnection::Limits kCatalogLimits{1'000'000, 64u << 20};

// The tables in the order the columns answer first names them. Throws CatalogError, also for a
// table or column named twice, or two names equal but for case or width (one object on the server).
// Throws CatalogError when a row of the server's answer to query has not the width asked.
void expectWidth(const platform::OdbcConnection::Row& row, std::size_t width, const char* query);

std::vector<ServerTable> catalogFromRows(const std::vector<platform::OdbcConnection::Row>& columns,
                                         const std::vector<platform::OdbcConnection::Row>& keys);

// Runs every catalog query on the connection. Throws OdbcError or CatalogError.
std::vector<ServerTable> readServerCatalog(platform::OdbcConnection& connection);

}  // namespace morvane
