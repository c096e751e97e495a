#include <iostream>

#include "app/batch/BatchOptions.h"
#include "app/batch/OutputFolder.h"
#include "app/batch/TerminalProgress.h"
#include "platform/text/VisibleText.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane::batch {

// One script per selected table; a table that fails does not stop the others.
int writeScripts(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& selected) {
  const std::string& folder = options.sqlDir;
  if (interrupted()) return 1;
  if (!ensureOutputFolder("--sql", folder)) return 1;
  clsSQLServerDB generator;
  generator.sbSetFieldAttr(settings.types);
  TerminalProgress progress("スクリプト作成");
  const ProgressTally tally =
      generator.fnSaveCreateSQLs(selected, folder, progress, [&](const clsTableInfo& table, bool written) {
        for (const auto& notation : generator.getUndefinedNotations()) {
          progress.message() << "morvane-batch: テーブル「" << platform::visibleText(table.getName()) << "」: " << platform::visibleText(notation) << "は未定義です\n";
        }
        if (!written) {
          progress.message() << "morvane-batch: テーブル「" << platform::visibleText(table.getName()) << "」のスクリプトを作成できません: "
                             << platform::visibleText(generator.getFailReason()) << "\n";
        }
      }, options.encoding);
  for (const auto& line : generator.getForeignKeyFailures()) std::cerr << "morvane-batch: " << platform::visibleText(line) << "\n";
  const int status = tally.failed > 0 || tally.cancelled || !generator.getForeignKeyFailures().empty() ? 1 : 0;
  return status;
}

}  // namespace morvane::batch
