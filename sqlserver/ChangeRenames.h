#pragma once
// Renames between two revisions: made with sp_rename before anything else, so the data stays, and
// then compared as if the old revision already had the new name.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/clsDBInfo.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

struct Rename {
  std::string table;   // the table's name in the old revision
  std::string column;  // empty when the table itself is renamed
  std::string to;
  bool operator==(const Rename&) const = default;
};

// "TABLE.OLD=NEW" renames a column, "OLD=NEW" a table; nothing when a name is missing.
std::optional<Rename> parseRename(const std::string& text);
// The rename as parseRename reads it.
std::string renameText(const Rename& rename);

// Why each rename cannot be made between the revisions, one line each; empty when all can.
std::vector<std::string> renameProblems(const clsDBInfo& oldRevision, const clsDBInfo& newRevision,
                                        const std::vector<Rename>& renames);

// The old revision as if renamed; renamed tables, and tables with renamed columns, are copies.
clsDBInfo renamedRevision(const clsDBInfo& oldRevision, const std::vector<Rename>& renames);

// The renames that reach one table of the new revision.
struct TableRenames {
  std::string oldName;  // the table's name before the change
  std::vector<std::pair<std::string, std::string>> columns;  // old name, new name
  // The column's name before the change.
  std::string originalColumn(const std::string& name) const;
  bool empty(const std::string& newName) const { return columns.empty() && oldName == newName; }
};
TableRenames renamesOf(const std::string& newName, const std::vector<Rename>& renames);

// sp_rename of the columns, then of the table and its key constraint, lines ending in CR LF.
std::string renameStatements(const TableRenames& renames, const std::string& newName, bool hasKey);

// A gone column and an added one with the same logical name, or else of the same kind and size,
// each paired once, in the gone columns' order: likely a rename made as a drop and an add.
std::vector<std::pair<std::string, std::string>> suggestedRenames(const clsTableInfo& before, const clsTableInfo& after,
                                                                  const std::vector<std::string>& gone,
                                                                  const std::vector<std::string>& added,
                                                                  const clsSQLServerFieldAttr& types);

}  // namespace morvane
