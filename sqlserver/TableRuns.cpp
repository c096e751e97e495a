// The runs over the selected tables that the batch and the windows share.
#include <exception>

#include "model/FileNameClaims.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane {

std::string clsSQLServerDB::sameFileNameReason(const std::string& name, const std::string& earlier) {
  return "テーブル名「" + name + "」は先のテーブル「" + earlier +
         "」と同じファイル名になるため、書きません (大文字小文字は区別されません)";
}

ProgressTally clsSQLServerDB::fnSaveCreateSQLs(const clsDBInfo& tables, const std::string& strFolder,
                                               ProgressSink& progress, const TableReport& report,
                                               const platform::OutputEncoding& encoding) {
  FileNameClaims claims;
  return forEachTable(tables.getTables(), progress, [&](const clsTableInfo& table) {
    bool saved = false;
    // A second table of the same file name would silently replace the first's script.
    if (const auto earlier = claims.claim(table.getName())) {
      undefinedNotations_.clear();
      failReason_ = sameFileNameReason(table.getName(), *earlier);
      report(table, false);
      return false;
    }
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
