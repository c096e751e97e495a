#include <iostream>

#include "app/batch/BatchOptions.h"
#include "app/batch/OutputFolder.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane::batch {

// One script per selected table; a table that fails does not stop the others.
int writeScripts(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& selected) {
  const std::string& folder = options.sqlDir;
  if (!ensureOutputFolder("--sql", folder)) return 1;
  clsSQLServerDB generator;
  generator.sbSetFieldAttr(settings.types);
  int status = 0;
  for (const auto& table : selected.getTables()) {
    const bool written = generator.fnSaveCreateSQL(*table, folder, options.encoding);
    for (const auto& notation : generator.getUndefinedNotations()) {
      std::cerr << "morvane-batch: テーブル「" << table->getName() << "」: " << notation << "は未定義です\n";
    }
    if (!written) {
      std::cerr << "morvane-batch: テーブル「" << table->getName() << "」のスクリプトを作成できません: "
                << generator.getFailReason() << "\n";
      status = 1;
    }
  }
  return status;
}

}  // namespace morvane::batch
