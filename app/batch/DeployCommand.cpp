#include <filesystem>
#include <iostream>
#include <set>

#include "app/batch/BatchOptions.h"
#include "platform/files/FileTime.h"
#include "platform/files/Files.h"
#include "platform/text/OutputEncoding.h"
#include "platform/text/VisibleText.h"
#include "sqlserver/DeployScript.h"
#include "sqlserver/ForeignKeys.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane::batch {

// The selected tables' scripts in one file, in list order; a table that fails is left out.
int writeDeployScript(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& selected) {
  DeployHeading heading;
  heading.workbookName = std::filesystem::path(options.workbook).filename().string();
  heading.toolVersion = MORVANE_VERSION;
  try {
    heading.workbookModified = platform::modificationTimeText(options.workbook);
  } catch (const platform::FileError& error) {
    std::cerr << "morvane-batch: --deploy: " << platform::visibleText(oneLine(error.what())) << "\n";
    return 1;
  }
  DeployScript deploy(heading, options.encoding);
  clsSQLServerDB generator;
  generator.sbSetFieldAttr(settings.types);
  // With --sql as well, the same tables have already been reported once.
  const bool reportNotations = options.sqlDir.empty();
  int status = 0;
  std::set<std::string> added;
  for (const auto& table : selected.getTables()) {
    const auto script = generator.fnEncodeCreateSQL(*table, options.encoding);
    if (reportNotations) {
      for (const auto& notation : generator.getUndefinedNotations()) {
        std::cerr << "morvane-batch: テーブル「" << platform::visibleText(table->getName()) << "」: "
                  << platform::visibleText(notation) << "は未定義です\n";
      }
    }
    if (!script) {
      std::cerr << "morvane-batch: テーブル「" << platform::visibleText(table->getName())
                << "」のスクリプトを作成できません: " << platform::visibleText(oneLine(generator.getFailReason())) << "\n";
      status = 1;
      continue;
    }
    deploy.add(*script);
    added.insert(table->getName());
  }
  // After every table, so that a reference finds its table whatever the order; a table that is
  // not selected is taken to be in the database already.
  const ForeignKeyPlan plan = planForeignKeys(
      selected, generator.fieldTypes(), [&](const std::string& name) { return added.contains(name); },
      [](const std::string&) { return true; });
  for (const auto& skipped : plan.skipped) {
    if (reportNotations) std::cerr << "morvane-batch: " << platform::visibleText(skipped) << "\n";
    status = 1;
  }
  for (const auto& batch : plan.batches) {
    try {
      deploy.add(platform::encodeText(foreignKeyScript(batch.statements) + "\r\n", options.encoding));
    } catch (const std::exception& error) {  // a referenced name the code cannot hold
      std::cerr << "morvane-batch: テーブル「" << platform::visibleText(batch.table) << "」の外部キーを書けません: "
                << platform::visibleText(oneLine(error.what())) << "\n";
      status = 1;
    }
  }
  try {
    platform::replaceFile(options.deployFile, deploy.bytes());
  } catch (const platform::FileError& error) {
    std::cerr << "morvane-batch: --deploy: " << platform::visibleText(oneLine(error.what())) << "\n";
    return 1;
  }
  return status;
}

}  // namespace morvane::batch
