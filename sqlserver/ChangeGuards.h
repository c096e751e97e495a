#pragma once
// The checks a change script makes before a statement that can lose data: when any row would lose
// something, THROW ends the batch and XACT_ABORT rolls back the whole table's change.
#include <string>
#include <vector>

#include "sqlserver/ColumnLoss.h"
#include "sqlserver/StoredColumn.h"

namespace morvane {

struct DataLossGuard {
  std::string column;     // empty for a dropped table
  std::string what;       // what it guards, for the summary: "NOT NULL", "長さ", "削除" ...
  std::string statement;  // IF EXISTS (...) THROW ...; without a line break
};

// Table and column names as the server holds them before the change (renames not yet made).
std::vector<DataLossGuard> alterGuards(const std::string& table, const std::string& column, const StoredColumn& before,
                                       const StoredColumn& after);
DataLossGuard dropColumnGuard(const std::string& table, const std::string& column);
DataLossGuard dropTableGuard(const std::string& table);

// "; データ消失の確認: 列 Note (長さ)、列 Memo (削除)", or nothing without guards.
std::string guardSummary(const std::vector<DataLossGuard>& guards);

}  // namespace morvane
