// --since and --against-server with --sql/--apply: change scripts from an old revision to the
// workbook, written per table or run on a server one batch per table.
#include <iostream>

#include "app/batch/BatchOptions.h"
#include "app/batch/OutputFolder.h"
#include "app/batch/TerminalProgress.h"
#include "platform/text/VisibleText.h"
#include "sqlserver/ServerChanges.h"
#include "sqlserver/ServerDrift.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane::batch {
namespace {

using platform::visibleText;

// A gone column and a new one of the same kind: the run does not guess, it names the --rename.
void printSuggestedRenames(const std::vector<TableChange>& changes) {
  for (const auto& change : changes) {
    const std::string table = change.renamedFrom.empty() ? change.name : change.renamedFrom;
    for (const auto& [gone, added] : change.renamed) {
      std::cerr << "morvane-batch: テーブル「" << visibleText(change.name) << "」: 列「" << visibleText(gone)
                << "」がなくなり、同じ型の列「" << visibleText(added) << "」が増えました。名前を変えたのなら --rename "
                << visibleText(renameText({table, gone, added})) << " でデータを残せます\n";
    }
  }
}

// Whether every --rename can be made; each that cannot is named on stderr.
bool renamesFit(const clsDBInfo& oldRevision, const clsDBInfo& newRevision, const BatchOptions& options) {
  const auto problems = renameProblems(oldRevision, newRevision, options.renames);
  for (const auto& problem : problems) std::cerr << "morvane-batch: " << visibleText(problem) << "\n";
  return problems.empty();
}

ChangeOptions changeOptionsOf(const BatchOptions& options) {
  ChangeOptions changeOptions;
  changeOptions.allowDrop = options.allowDrop;
  changeOptions.allowDataLoss = options.allowDataLoss;
  changeOptions.allowRebuild = options.allowRebuild;
  changeOptions.renames = options.renames;
  return changeOptions;
}

// Runs the changes through the folder or the open connection; prints the warnings on stderr
// and the summary on stdout.
int runChanges(const std::vector<TableChange>& changes, const ChangeOptions& changeOptions,
               const BatchOptions& options, clsSQLServerDB& db, bool onServer) {
  bool keptSome = false;
  for (const auto& change : changes) {
    for (const auto& warning : change.warnings) std::cerr << "morvane-batch: " << visibleText(warning) << "\n";
    keptSome = keptSome || !change.kept.empty() || (change.kind == TableChange::Kind::gone && change.script.empty());
  }
  if (keptSome) std::cerr << "morvane-batch: 列とテーブルを削除するのは --allow-drop を指定したときだけです\n";
  printSuggestedRenames(changes);
  TerminalProgress progress(onServer ? "変更の実行" : "変更スクリプト作成");
  const ChangeReport report = [&](const TableChange& change, bool ok, const std::string& reason) {
    const std::string name = visibleText(change.name);
    for (const auto& notation : change.undefinedNotations) {
      progress.message() << "morvane-batch: テーブル「" << name << "」: " << visibleText(notation) << "は未定義です\n";
    }
    std::string line = visibleText(changeSummary(change, changeOptions));
    if (!ok && change.kind != TableChange::Kind::refused) {
      progress.message() << "morvane-batch: テーブル「" << name << "」の変更"
                         << (onServer ? "を実行できません: " : "スクリプトを作成できません: ")
                         << visibleText(oneLine(reason)) << "\n";
      line += " (失敗)";
    } else if (!ok) {
      progress.message() << "morvane-batch: テーブル「" << name << "」: " << visibleText(oneLine(reason)) << "\n";
    }
    // Each line as its table finishes, so that a run ended by a signal still says what it did.
    progress.message() << std::flush;
    std::cout << line << "\n" << std::flush;
  };
  const ProgressTally tally = onServer ? fnRunChanges(db, changes, progress, report)
                                       : fnSaveChangeSQLs(db, changes, options.sqlDir, progress, report,
                                                          options.encoding);
  return tally.failed > 0 || tally.cancelled ? 1 : 0;
}

bool openServer(clsSQLServerDB& db, const BatchOptions& options, const BatchSettings& settings) {
  const auto password = serverPassword(options);
  if (!password) return false;
  db.setQueryTimeout(options.queryTimeoutSeconds);
  db.sbSetFieldAttr(settings.types);
  if (!db.fnOpenDB(options.server, options.database, options.user, *password)) {
    std::cerr << "morvane-batch: サーバ「" << visibleText(options.server) << "」に接続できません: "
              << visibleText(oneLine(db.getFailReason())) << "\n";
    return false;
  }
  return true;
}

}  // namespace

int changeSince(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& oldRevision,
                const clsDBInfo& selected) {
  if (interrupted()) return 1;
  if (!renamesFit(oldRevision, selected, options)) return 2;
  ChangeOptions changeOptions = changeOptionsOf(options);
  changeOptions.includeGone = options.tables.empty();
  const auto changes = compareRevisions(oldRevision, selected, settings.types, changeOptions);
  int status = 0;
  if (!options.sqlDir.empty()) {
    if (!ensureOutputFolder("--sql", options.sqlDir)) return 1;
    clsSQLServerDB generator;
    generator.sbSetFieldAttr(settings.types);
    status = runChanges(changes, changeOptions, options, generator, false);
  }
  if (!options.server.empty() && !interrupted()) {
    clsSQLServerDB db;
    if (!openServer(db, options, settings)) return 1;
    status = std::max(status, runChanges(changes, changeOptions, options, db, true));
    db.fnCloseDB();
  }
  return status;
}

int changeServer(const BatchOptions& options, const BatchSettings& settings, clsSQLServerDB& db,
                 const std::vector<ServerTable>& server, const clsDBInfo& selected) {
  ChangeOptions changeOptions = changeOptionsOf(options);
  changeOptions.oldIsLive = true;
  if (!renamesFit(serverModel(server, selected, *settings.types), selected, options)) return 2;
  const auto changes = changesFromServer(server, selected, settings.types, changeOptions);
  if (options.apply) return runChanges(changes, changeOptions, options, db, true);
  if (!ensureOutputFolder("--sql", options.sqlDir)) return 1;
  clsSQLServerDB generator;
  generator.sbSetFieldAttr(settings.types);
  return runChanges(changes, changeOptions, options, generator, false);
}

}  // namespace morvane::batch
