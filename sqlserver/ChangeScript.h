#pragma once
// What changed from one revision of a design document to the next, table by table, and the
// script that brings a database holding the old revision's tables to the new one.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/Progress.h"
#include "model/clsDBInfo.h"
#include "platform/text/OutputEncoding.h"
#include "sqlserver/ChangeGuards.h"
#include "sqlserver/ChangeRebuild.h"
#include "sqlserver/ChangeRenames.h"
#include "sqlserver/SchemaDiff.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

class clsSQLServerDB;

struct TableChange {
  // refused: a change that cannot be made in place, or a column that cannot be written.
  // foreignKeys: the run's last script, which drops and adds the foreign keys of every table.
  enum class Kind { added, changed, unchanged, gone, refused, foreignKeys };
  Kind kind = Kind::unchanged;
  std::string name;
  TablePtr table;     // the new revision's table; null for a gone table
  TablePtr oldTable;  // null for an added table
  // Field names in the order their statements come.
  std::vector<std::string> added, altered, dropped;
  // Fields the new revision no longer has that stay because dropping was not allowed.
  std::vector<std::string> kept;
  // A gone field and an added one in the same row: most likely a rename, made as a drop and an add.
  std::vector<std::pair<std::string, std::string>> renamed;
  bool keyChanged = false;
  // Defaults, unique keys, indexes and descriptions dropped, added or changed; for the last
  // script, foreign keys dropped and added.
  std::size_t attributeStatements = 0;
  std::size_t droppedForeignKeys = 0, addedForeignKeys = 0;
  // Names from the document that go into the script beside the table's own (foreign keys):
  // checked before it runs.
  std::vector<std::string> documentNames;
  // Renames made with sp_rename first: the table's old name (empty when kept) and its columns'.
  std::string renamedFrom;
  std::vector<std::pair<std::string, std::string>> columnRenames;
  // The checks made before statements that can lose data, in the script's order.
  std::vector<DataLossGuard> guards;
  bool rebuilt = false;  // made anew for an identity change
  // The script without its last line break; empty when nothing is to be written or run.
  std::string script;
  std::string reason;  // why a refused table gets no script
  // The table's undefined notations, reported as the CREATE scripts report them.
  std::vector<std::string> undefinedNotations;
  std::vector<std::string> warnings;
  // The old revision's names (columns and tables dropped, the key) came from a server and are
  // written as a server name is, so they need no check before the script runs.
  bool oldNamesFromServer = false;
};

struct ChangeOptions {
  bool allowDrop = false;  // DROP COLUMN and DROP TABLE for what the new revision no longer has
  // The old revision was read off a live database: columns compare as the server stores them,
  // not as they are spelled, and a column of a type the document cannot say is altered.
  bool oldIsLive = false;
  // Report the old revision's tables the new one no longer has (off when tables were picked by name).
  bool includeGone = true;
  std::vector<Rename> renames;   // made with sp_rename, then compared under the new names
  bool allowDataLoss = false;    // no checks of the rows before what can lose data
  bool allowRebuild = false;     // rebuild tables for identity changes instead of refusing them
  // The old revision's primary key names by table, as the server reports them; a table not here
  // has the name its CREATE script gives (PK_<table>).
  std::map<std::string, std::string> keyNames;
  // The old revision's defaults, keys, indexes, foreign keys and descriptions as the server holds
  // them, by table; a table not here has what its CREATE scripts made, under their names.
  std::map<std::string, TableAttributes> liveAttributes;
};

// The new revision's tables in list order, then the old revision's tables it no longer has, in
// their order, then the foreign keys' script when a foreign key is to be dropped or added. Tables
// and fields are matched by exact name; a table or field that only the other revision's spelling
// of the same server name matches (case, width) is refused, not dropped and made again. Each ALTER
// COLUMN that can lose values is warned about. A foreign key in the way of a table's script (on or
// to a column it drops or alters, or to a table it drops) is dropped at the start of the first
// such script and made again by the last one.
std::vector<TableChange> compareRevisions(const clsDBInfo& oldRevision, const clsDBInfo& newRevision,
                                          const std::shared_ptr<const clsSQLServerFieldAttr>& types,
                                          const ChangeOptions& options);

// One line for the summary: new, changed (with counts), unchanged, gone, or refused.
std::string changeSummary(const TableChange& change, const ChangeOptions& options);

// Told right after each change of a run whether its script was written or run (an unchanged
// table, or a gone one kept, counts as done with nothing to do); reason says why not.
using ChangeReport = std::function<void(const TableChange& change, bool ok, const std::string& reason)>;

// Writes <folder>/<table>.sql for each change that has a script. Two tables whose file names
// differ only in letter case would overwrite each other: the second is reported failed.
ProgressTally fnSaveChangeSQLs(clsSQLServerDB& db, const std::vector<TableChange>& changes, const std::string& folder,
                               ProgressSink& progress, const ChangeReport& report,
                               const platform::OutputEncoding& encoding = {});
// Runs each change's script on db's open connection as one batch; a batch that fails does not
// stop the others. Names that are not plain tokens are refused before anything runs.
ProgressTally fnRunChanges(clsSQLServerDB& db, const std::vector<TableChange>& changes, ProgressSink& progress,
                           const ChangeReport& report);

}  // namespace morvane
