#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/Progress.h"
#include "model/clsDBInfo.h"
#include "model/clsTableInfo.h"
#include "platform/text/OutputEncoding.h"
#include "sqlserver/ServerCatalog.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

namespace platform {
class OdbcConnection;
}

// Turns a table definition into a CREATE TABLE script, writes it to a file, or runs it on a
// SQL Server database.
class clsSQLServerDB {
 public:
  clsSQLServerDB();
  ~clsSQLServerDB();
  clsSQLServerDB(const clsSQLServerDB&) = delete;
  clsSQLServerDB& operator=(const clsSQLServerDB&) = delete;

  // The last undefined notation followed by "は未定義です"; never cleared.
  const std::string& getErrMsg() const { return errMsg_; }
  std::int32_t getErrNo() const { return errNo_; }
  // Holds the table by reference: later edits reach the next script.
  void sbSetFieldAttr(std::shared_ptr<const clsSQLServerFieldAttr> objFieldAttrExp) {
    fieldAttr_ = std::move(objFieldAttrExp);
  }

  // The notations in effect (the defaults until sbSetFieldAttr).
  const clsSQLServerFieldAttr& fieldTypes() { return fieldAttr(); }

  bool fnCloseDB();
  // Writes <strFolder>/<table name>.sql, by default in code page 932 with CR LF; false on any
  // failure.
  bool fnSaveCreateSQL(const clsTableInfo& objTable, const std::string& strFolder,
                       const platform::OutputEncoding& encoding = {});
  // The bytes of the table's script file without a byte order mark (the script and one line
  // break), or nothing with the reason in getFailReason(): the script cannot be built or holds
  // a character the code cannot hold.
  std::optional<std::string> fnEncodeCreateSQL(const clsTableInfo& objTable, const platform::OutputEncoding& encoding);
  // Why a table is not written: an earlier table of the run has its file name (equal but for case).
  static std::string sameFileNameReason(const std::string& name, const std::string& earlier);
  // Writes <strFolder>/<tableName>.sql holding the script and one line break; false on any
  // failure, the reason in getFailReason().
  bool fnSaveScript(const std::string& tableName, const std::string& script, const std::string& strFolder,
                    const platform::OutputEncoding& encoding = {});
  // Runs the table's script on the open connection as one batch; false on any failure, the
  // reason kept in getFailReason().
  bool fnMakeTable(const clsTableInfo& objTable);
  // False when the connection cannot be opened; the data layer's description is then in
  // getFailReason().
  bool fnOpenDB(const std::string& strServer, const std::string& strDBName, const std::string& strUser,
                const std::string& strPassword);

  // The table's script (no trailing line break), or nothing when it cannot be built (an
  // Identity or Decimal size without a comma, or no column left). Public for the benchmark and tests.
  std::optional<std::string> makeCreateSQL(const clsTableInfo& table) { return fnMakeCreateSQL(table); }

  // The field's column text as the CREATE script writes it ("name varchar(10)  NOT NULL "); an
  // empty text when its notation is undefined (then in getUndefinedNotations()), nothing when its
  // size cannot be split (the reason in getFailReason()).
  std::optional<std::string> makeColumnSQL(const clsFieldInfo& field);
  // The table's key constraint statement as the CREATE script writes it, lines ending in CR LF.
  static std::string makeKeyConstraintSQL(const clsTableInfo& table);

  // Why the last script could not be built, written or run, or the connection opened (the data
  // layer's description); empty after a success.
  const std::string& getFailReason() const { return failReason_; }
  // The undefined notations, as held, of the last script built, in field order. Unlike
  // getErrMsg this starts afresh with every script, so a caller can report per table.
  const std::vector<std::string>& getUndefinedNotations() const { return undefinedNotations_; }

  // How long each script may wait for the server, taking effect at the next fnOpenDB; 0 means
  // no limit. A script that passes it fails with the reason.
  static constexpr int kDefaultQueryTimeoutSeconds = 60;
  void setQueryTimeout(int seconds) { queryTimeout_ = seconds; }

  // The live schema of the open connection's dbo base tables; nothing on any failure, the
  // reason kept in getFailReason().
  std::optional<std::vector<ServerTable>> fnReadServerCatalog();
  // Runs a script of its own (a change script) as one batch; false, with the reason, on failure.
  bool fnRunScript(const std::string& script);

  // Told right after each table of a run whether it succeeded; getFailReason() and
  // getUndefinedNotations() then speak of that table.
  using TableReport = std::function<void(const clsTableInfo& table, bool ok)>;
  // fnSaveCreateSQL and fnMakeTable for each table in order, telling the sink; a table that fails
  // does not stop the others, a cancel stops between two tables. fnSaveCreateSQLs fails a table
  // whose file name an earlier table of the run has (names equal but for case) instead of writing it.
  ProgressTally fnSaveCreateSQLs(const clsDBInfo& tables, const std::string& strFolder, ProgressSink& progress,
                                 const TableReport& report, const platform::OutputEncoding& encoding = {});
  ProgressTally fnMakeTables(const clsDBInfo& tables, ProgressSink& progress, const TableReport& report);
  // After the tables, each run adds the selected tables' foreign keys: fnSaveCreateSQLs into
  // <strFolder>/_foreign_keys.sql (one transaction; a table of that file's name is refused),
  // fnMakeTables one batch per referencing table. A foreign key whose table or referenced table
  // failed, or whose referenced table is neither selected nor (on a server) there, is left out.
  // One line per foreign key left out and per file or batch that failed; empty when all went.
  const std::vector<std::string>& getForeignKeyFailures() const { return foreignKeyFailures_; }

 private:
  std::optional<std::string> fnMakeFieldSQL(const clsFieldInfo& field);
  std::optional<std::string> fnMakeCreateSQL(const clsTableInfo& table);
  const clsSQLServerFieldAttr& fieldAttr();
  // SET XACT_ABORT ON once per connection, before its first script: a failed statement then
  // rolls back the whole table instead of only itself.
  void sbAbortWholeTransactions();
  void sbMakeForeignKeys(const clsDBInfo& tables, const std::set<std::string>& made);

  std::shared_ptr<const clsSQLServerFieldAttr> fieldAttr_;
  std::string errMsg_;
  std::string failReason_;
  std::vector<std::string> undefinedNotations_;
  std::vector<std::string> foreignKeyFailures_;
  bool abortsWholeTransactions_ = false;
  std::int32_t errNo_ = 0;
  int queryTimeout_ = kDefaultQueryTimeoutSeconds;
  std::unique_ptr<platform::OdbcConnection> connection_;
};

}  // namespace morvane
