// The runs over the selected tables that the batch and the windows share.
#include <exception>
#include <set>

#include "model/FileNameClaims.h"
#include "platform/odbc/Odbc.h"
#include "platform/text/VisibleText.h"
#include "sqlserver/ForeignKeys.h"
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
  foreignKeyFailures_.clear();
  const bool foreignKeys = hasReferences(tables);
  std::set<std::string> written;
  const ProgressTally tally = forEachTable(tables.getTables(), progress, [&](const clsTableInfo& table) {
    bool saved = false;
    // A second table of the same file name would silently replace the first's script.
    std::string refusal;
    if (const auto earlier = claims.claim(table.getName())) {
      refusal = sameFileNameReason(table.getName(), *earlier);
    } else if (foreignKeys && isForeignKeyFileName(table.getName())) {
      refusal = foreignKeyFileNameReason(table.getName());
    }
    if (!refusal.empty()) {
      undefinedNotations_.clear();
      failReason_ = refusal;
      report(table, false);
      return false;
    }
    try {
      saved = fnSaveCreateSQL(table, strFolder, encoding);
    } catch (const std::exception& error) {
      failReason_ = error.what();
    }
    if (saved) written.insert(table.getName());
    report(table, saved);
    return saved;
  });
  if (!foreignKeys) return tally;
  const std::string file = std::string(kForeignKeyFileStem) + ".sql";
  if (tally.cancelled) {
    foreignKeyFailures_.push_back("中止したため、外部キーのスクリプト " + file + " は書きません");
    return tally;
  }
  // Written for the user to run: a table that is not selected may well be in the database.
  const ForeignKeyPlan plan = planForeignKeys(
      tables, fieldAttr(), [&](const std::string& name) { return written.contains(name); },
      [](const std::string&) { return true; });
  foreignKeyFailures_ = plan.skipped;
  if (plan.batches.empty()) return tally;
  std::string statements;
  for (const auto& batch : plan.batches) statements += batch.statements;
  if (!fnSaveScript(std::string(kForeignKeyFileStem), foreignKeyScript(statements), strFolder, encoding)) {
    foreignKeyFailures_.push_back("外部キーのスクリプト " + file + " を書けません: " + failReason_);
  }
  return tally;
}

ProgressTally clsSQLServerDB::fnMakeTables(const clsDBInfo& tables, ProgressSink& progress,
                                           const TableReport& report) {
  foreignKeyFailures_.clear();
  std::set<std::string> made;
  const ProgressTally tally = forEachTable(tables.getTables(), progress, [&](const clsTableInfo& table) {
    const bool ok = fnMakeTable(table);
    if (ok) made.insert(table.getName());
    report(table, ok);
    return ok;
  });
  if (!hasReferences(tables)) return tally;
  if (tally.cancelled) {
    foreignKeyFailures_.push_back("中止したため、外部キーは作成しません");
    return tally;
  }
  sbMakeForeignKeys(tables, made);
  return tally;
}

void clsSQLServerDB::sbMakeForeignKeys(const clsDBInfo& tables, const std::set<std::string>& made) {
  // A reference to a table that is not selected is sent only when the server has that table;
  // asked once, and only when there is such a reference.
  std::set<std::string> existing;
  if (!tablesReferencedOutside(tables).empty() && connection_) {
    try {
      for (const auto& row : connection_->query(kTableNamesQuery)) {
        if (!row.empty() && row[0]) existing.insert(*row[0]);
      }
    } catch (const std::exception& error) {
      foreignKeyFailures_.push_back(std::string("サーバのテーブル一覧を読めません: ") + error.what());
    }
  }
  const ForeignKeyPlan plan = planForeignKeys(
      tables, fieldAttr(), [&](const std::string& name) { return made.contains(name); },
      [&](const std::string& name) { return existing.contains(name); });
  foreignKeyFailures_.insert(foreignKeyFailures_.end(), plan.skipped.begin(), plan.skipped.end());
  for (const auto& batch : plan.batches) {
    bool ok = false;
    try {
      sbAbortWholeTransactions();
      ok = fnRunScript(foreignKeyScript(batch.statements));
    } catch (const std::exception& error) {
      failReason_ = error.what();
    }
    if (!ok) {
      foreignKeyFailures_.push_back("テーブル「" + platform::visibleText(batch.table) + "」の外部キーを作成できません: " +
                                    failReason_);
    }
  }
}

}  // namespace morvane
