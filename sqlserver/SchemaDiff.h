#pragma once
// A table's attributes beyond its columns and primary key (defaults, unique keys, indexes,
// foreign keys, descriptions) read off a revision of the document or off the server, and what
// differs between two of them. Defaults compare by defaultKey, keys and indexes by kind and
// columns, names matched as the server matches them; the names are the ones to drop by.
#include <map>
#include <string>
#include <vector>

#include "model/clsTableInfo.h"
#include "sqlserver/ServerCatalog.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

struct NamedDefault {
  std::string column, name, text;  // text as written or stored
};
struct NamedKey {
  std::string name;
  bool unique = false;  // a unique key; otherwise an index
  std::vector<std::string> columns;
};
struct NamedForeignKey {
  std::string table, name;
  std::vector<std::string> columns;
  std::string referencedTable;
  std::vector<std::string> referencedColumns;
};
struct Description {
  std::string column;  // empty: the table's
  std::string text;
};

struct TableAttributes {
  std::vector<NamedDefault> defaults;
  std::vector<NamedKey> keys;
  std::vector<NamedForeignKey> foreignKeys;
  std::vector<Description> descriptions;
  bool fromServer = false;  // the names came from a server
};

// What the table's CREATE script and foreign-key file make, named as they name it; fields whose
// notation is undefined make no column and carry nothing.
TableAttributes documentAttributes(const clsTableInfo& table, const clsSQLServerFieldAttr& types);
// What the server holds, under the names it reports; unique indexes that are no constraint count
// as indexes.
TableAttributes serverAttributes(const ServerTable& table);
// The attributes of each server table, by the name the live model gives the table (the
// document's spelling where one matches).
std::map<std::string, TableAttributes> serverAttributesByTable(const std::vector<ServerTable>& server,
                                                               const std::vector<std::string>& liveNames);

struct AttributeDiff {
  std::vector<NamedDefault> droppedDefaults, addedDefaults;
  std::vector<NamedKey> droppedKeys, addedKeys;
  std::vector<Description> addedDescriptions, updatedDescriptions, droppedDescriptions;
  bool empty() const;
};

// From before to after. Anything on a column in touched (altered or dropped) goes first and, when
// after still has it, comes back; a dropped column's descriptions go too.
AttributeDiff diffAttributes(const TableAttributes& before, const TableAttributes& after,
                             const std::vector<std::string>& touched, const std::vector<std::string>& dropped);

bool sameForeignKey(const NamedForeignKey& a, const NamedForeignKey& b);

// The differences on one line each, the document's side first ("既定値 ..."), for drift.
std::vector<std::string> describeDiff(const TableAttributes& database, const TableAttributes& document);

}  // namespace morvane
