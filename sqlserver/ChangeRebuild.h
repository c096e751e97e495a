#pragma once
// A table rebuilt for what ALTER COLUMN cannot do (an identity added, removed or reseeded): the
// new table made under a temporary name, the rows copied, the old table dropped and the new one
// given its name, in the caller's transaction.
#include <optional>
#include <string>
#include <vector>

#include "model/clsTableInfo.h"
#include "sqlserver/ChangeRenames.h"

namespace morvane {

class clsSQLServerDB;

// A foreign key of another table that refers to the rebuilt one: dropped before the old table
// goes and made again afterwards.
struct ReferringKey {
  std::string name, table;
  std::vector<std::string> columns, referencedColumns;
};

// The name the new table has until the old one is dropped.
std::string rebuildName(const std::string& table);

// The statements, lines ending in CR LF; nothing when the new table's CREATE script cannot be
// built (the reason in db's getFailReason()). before is the old revision's table with the new
// names; the rows of every column both hold are copied.
std::optional<std::string> rebuildStatements(clsSQLServerDB& db, const clsTableInfo& before, const clsTableInfo& after,
                                             const TableRenames& renames, const std::vector<ReferringKey>& referring);

}  // namespace morvane
