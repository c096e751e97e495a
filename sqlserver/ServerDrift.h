#pragma once
// How far a live database is from what the design document says: tables and columns matched by
// name as the server's usual collation matches them (case, width), columns compared as stored.
#include <optional>
#include <string>
#include <vector>

#include "model/clsDBInfo.h"
#include "sqlserver/ServerCatalog.h"
#include "sqlserver/ServerNames.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

// One column that differs; a side without it has no description.
struct ColumnDrift {
  std::string name;
  std::optional<std::string> document, database;
};

struct TableDrift {
  enum class Kind { onlyInDocument, onlyInDatabase, differs };
  Kind kind = Kind::differs;
  std::string name;  // as the document spells it, or the server for a table only there
  std::vector<ColumnDrift> columns;
  bool keysDiffer = false;
  std::vector<std::string> documentKeys, databaseKeys;
  // Defaults, unique keys, indexes, foreign keys and descriptions that differ, one text each.
  std::vector<std::string> attributes{};
};

struct Drift {
  // The document's tables in list order, then the tables only in the database in its order.
  std::vector<TableDrift> tables;
  // Names that differ in case alone, notations the document leaves undefined.
  std::vector<std::string> warnings;
};

Drift compareWithServer(const clsDBInfo& document, const std::vector<ServerTable>& server,
                        const clsSQLServerFieldAttr& types);

// The drift of one table on one line.
std::string driftLine(const TableDrift& table);

// The live schema as an old revision of the document: each column in the notations in effect,
// tables and columns that match the document but for case spelled as the document spells them.
clsDBInfo serverModel(const std::vector<ServerTable>& server, const clsDBInfo& document,
                      const clsSQLServerFieldAttr& types);

}  // namespace morvane
