#pragma once
// The foreign keys of the selected tables. They cannot sit in a table's own script (the other
// table may not exist yet, two tables may refer to each other), so each run adds them after
// every table: one file, one batch per referencing table.
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "model/clsDBInfo.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

// The file --sql and SQL文作成 write the foreign keys to, without ".sql".
inline constexpr std::string_view kForeignKeyFileStem = "_foreign_keys";

// True when the name is that file's (in any letter case: a case-blind file system makes it one).
bool isForeignKeyFileName(const std::string& tableName);

// Why a table of that name is not written beside the foreign keys' file.
std::string foreignKeyFileNameReason(const std::string& tableName);

// True when a selected table has a reference cell that is not blank.
bool hasReferences(const clsDBInfo& selected);

// The tables the references of the selected tables name that are not selected, sorted.
std::set<std::string> tablesReferencedOutside(const clsDBInfo& selected);

// One referencing table's foreign keys, statements as foreignKeySQL writes them.
struct ForeignKeyBatch {
  std::string table;
  std::string statements;
};

struct ForeignKeyPlan {
  std::vector<ForeignKeyBatch> batches;  // in table order
  std::vector<std::string> skipped;      // one line per foreign key left out, with the reason
};

// The foreign keys to add after the tables. made tells whether a selected table's script was
// written or run; exists whether a table that is not selected may be referred to. A field
// whose column was left out (undefined notation) adds none.
ForeignKeyPlan planForeignKeys(const clsDBInfo& selected, const clsSQLServerFieldAttr& types,
                               const std::function<bool(const std::string&)>& made,
                               const std::function<bool(const std::string&)>& exists);

// The dbo base tables of a database, one name a row: asked before a reference to a table that is
// not selected is sent.
extern const char* const kTableNamesQuery;

// The statements framed as one transaction: BEGIN TRANSACTION, the statements, COMMIT (no line
// break after it, as a table's script).
std::string foreignKeyScript(std::string_view statements);

}  // namespace morvane
