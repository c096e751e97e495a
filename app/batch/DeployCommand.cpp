#include <filesystem>
#include <iostream>

#include "app/batch/BatchOptions.h"
#include "platform/files/FileTime.h"
#include "platform/files/Files.h"
#include "platform/text/VisibleText.h"
#include "sqlserver/DeployScript.h"
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
