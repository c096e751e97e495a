#pragma once
// The parts of a table beyond its columns and keys that the catalog tells: defaults, foreign keys
// and MS_Description texts of dbo's tables and columns.
#include <vector>

#include "platform/odbc/Odbc.h"
#include "sqlserver/ServerCatalog.h"

namespace morvane {

// Each its own batch, result columns in this order, ordered by table and then the listed order.
// TABLE_NAME, COLUMN_NAME, CONSTRAINT_NAME, DEFINITION
extern const char* const kCatalogDefaultsQuery;
// TABLE_NAME, CONSTRAINT_NAME, COLUMN_NAME, REFERENCED_TABLE_NAME, REFERENCED_COLUMN_NAME, CONSTRAINT_COLUMN_ID
extern const char* const kCatalogForeignKeysQuery;
// TABLE_NAME, COLUMN_NAME (NULL for the table), VALUE
extern const char* const kCatalogDescriptionsQuery;

// Puts the three answers into the tables the columns answer gave; rows of other tables or
// columns are passed over. Throws CatalogError for an answer that is not one (a missing value, a
// column named twice, a text over the bound).
void addCatalogAttributes(std::vector<ServerTable>& tables, const std::vector<platform::OdbcConnection::Row>& defaults,
                          const std::vector<platform::OdbcConnection::Row>& foreignKeys,
                          const std::vector<platform::OdbcConnection::Row>& descriptions);

// Runs the three queries and adds their answers. Throws OdbcError or CatalogError.
void readCatalogAttributes(platform::OdbcConnection& connection, std::vector<ServerTable>& tables);

}  // namespace morvane
