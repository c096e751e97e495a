// --against-server: the live database as the old revision of the design document.
#include <iostream>

#include "app/batch/BatchOptions.h"
#include "platform/text/VisibleText.h"
#include "sqlserver/ServerChanges.h"
#include "sqlserver/ServerDrift.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane::batch {
namespace {

// With --table, the database's other tables are not asked about either.
std::vector<ServerTable> selectedOnServer(std::vector<ServerTable> server, const BatchOptions& options) {
  return options.tables.empty() ? server : tablesNamed(std::move(server), options.tables);
}

int printDrift(const Drift& drift) {
  for (const auto& warning : drift.warnings) std::cerr << "morvane-batch: " << platform::visibleText(warning) << "\n";
  for (const auto& table : drift.tables) std::cout << platform::visibleText(driftLine(table)) << "\n";
  if (drift.tables.empty()) std::cout << "ブックとデータベースに違いはありません\n";
  return drift.tables.empty() ? 0 : 1;
}

}  // namespace

int changeServer(const BatchOptions& options, const BatchSettings& settings, clsSQLServerDB& db,
                 const std::vector<ServerTable>& server, const clsDBInfo& selected);

int againstServer(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& selected) {
  const auto password = serverPassword(options);
  if (!password) return 2;
  clsSQLServerDB db;
  db.setQueryTimeout(options.queryTimeoutSeconds);
  db.sbSetFieldAttr(settings.types);
  if (!db.fnOpenDB(options.server, options.database, options.user, *password)) {
    std::cerr << "morvane-batch: サーバ「" << platform::visibleText(options.server)
              << "」に接続できません: " << platform::visibleText(oneLine(db.getFailReason())) << "\n";
    return 2;
  }
  const auto catalog = db.fnReadServerCatalog();
  if (!catalog) {
    std::cerr << "morvane-batch: サーバ「" << platform::visibleText(options.server) << "」のデータベース「"
              << platform::visibleText(options.database)
              << "」のテーブル定義を読めません: " << platform::visibleText(oneLine(db.getFailReason())) << "\n";
    db.fnCloseDB();
    return 2;
  }
  const auto server = selectedOnServer(*catalog, options);
  int status = 0;
  if (options.apply || !options.sqlDir.empty()) {
    const Drift drift = morvane::compareWithServer(selected, server, *settings.types);
    for (const auto& warning : drift.warnings) std::cerr << "morvane-batch: " << platform::visibleText(warning) << "\n";
    status = changeServer(options, settings, db, server, selected);
  } else {
    status = printDrift(morvane::compareWithServer(selected, server, *settings.types));
  }
  db.fnCloseDB();
  return status;
}

}  // namespace morvane::batch
