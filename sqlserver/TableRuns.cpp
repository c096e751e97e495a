// The runs over the selected tables that the batch and the windows share.
#include <exception>

#include "sqlserver/clsSQLServerDB.h"

namespace morvane {

ProgressTally clsSQLServerDB::fnSaveCreateSQLs(const clsDBInfo& tables, const std::string& strFolder,
                                               ProgressSink& progress, const TableReport& report,
                                               const platform::OutputEncoding& encoding) {
  return forEachTable(tables.getTables(), progress, [&](const clsTableInfo& table) {
    bool saved = false;
    try {
      saved = fnSaveCreateSQL(table, strFolder, encoding);
    } catch (const std::exception& error) {
      failReason_ = error.what();
    }
    report(table, saved);
    return saved;
  });
}

ProgressTally clsSQLServerDB::fnMakeTables(const clsDBInfo& tables, ProgressSink& progress,
                                           const TableReport& report) {
  return forEachTable(tables.getTables(), progress, [&](const clsTableInfo& table) {
    const bool made = fnMakeTable(table);
    report(table, made);
    return made;
  });
}

}  // namespace morvane
