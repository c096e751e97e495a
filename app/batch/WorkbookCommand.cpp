// --write-workbook: the live database's dbo tables written as a design document in the layout.
#include <algorithm>
#include <iostream>

#include "app/batch/BatchOptions.h"
#include "document/LayoutFile.h"
#include "model/clsHash.h"
#include "platform/files/Files.h"
#include "platform/text/VisibleText.h"
#include "sqlserver/ServerDrift.h"
#include "sqlserver/clsSQLServerDB.h"
#include "sqlserver/reverse/DesignBookPlan.h"

namespace morvane::batch {

// Names and texts from the server or the command line, shown on one line without control codes.
using platform::visibleText;

int writeWorkbookFromServer(const BatchOptions& options, const BatchSettings& settings) {
  if (const std::string problem = designLayoutProblem(settings.layout); !problem.empty()) {
    std::cerr << "morvane-batch: " << problem << "\n";
    return 2;
  }
  const auto password = serverPassword(options);
  if (!password) return 2;
  clsSQLServerDB db;
  db.setQueryTimeout(options.queryTimeoutSeconds);
  if (!db.fnOpenDB(options.server, options.database, options.user, *password)) {
    std::cerr << "morvane-batch: サーバ「" << visibleText(options.server) << "」に接続できません: " << oneLine(db.getFailReason())
              << "\n";
    return 2;
  }
  auto catalog = db.fnReadServerCatalog();
  if (!catalog) {
    std::cerr << "morvane-batch: サーバ「" << visibleText(options.server) << "」のデータベース「" << visibleText(options.database)
              << "」のテーブル定義を読めません: " << oneLine(db.getFailReason()) << "\n";
    db.fnCloseDB();
    return 2;
  }
  db.fnCloseDB();
  std::vector<ServerTable> server;
  for (const auto& name : options.tables) {
    const auto found = std::find_if(catalog->begin(), catalog->end(),
                                    [&](const ServerTable& table) { return sameName(table.name, name); });
    if (found == catalog->end()) {
      std::cerr << "morvane-batch: データベースにテーブル「" << visibleText(name) << "」はありません\n";
      return 2;
    }
    if (std::none_of(server.begin(), server.end(), [&](const ServerTable& t) { return t.name == found->name; })) {
      server.push_back(*found);
    }
  }
  if (options.tables.empty()) server = std::move(*catalog);
  if (server.empty()) {
    std::cerr << "morvane-batch: データベース「" << visibleText(options.database) << "」に dbo のテーブルがないため、何も書きません\n";
    return 1;
  }
  DesignBookPlan plan;
  try {
    plan = writeDesignBook(options.writeWorkbook, server, settings.layout, *settings.types,
                           {options.server, options.database, todayText()});
  } catch (const platform::FileError& error) {
    std::cerr << "morvane-batch: 設計書を書けません: " << visibleText(error.what()) << "\n";
    return 2;
  }
  for (const auto& warning : plan.warnings) std::cerr << "morvane-batch: 警告: " << visibleText(warning) << "\n";
  std::cout << "設計書「" << visibleText(options.writeWorkbook) << "」にテーブルを " << server.size() << " 個書きました\n";
  if (plan.endSheet > settings.layout.getEndPage()) {
    std::cout << "テーブルがレイアウトのシートの範囲より多いため、終了シートを " << plan.endSheet
              << " にするとすべて読めます\n";
    if (!options.saveLayoutFile.empty()) {
      clsExcelDBDocInfo widened = settings.layout;
      widened.setEndPage(plan.endSheet);
      clsHash pairs = layoutToHash(widened);
      if (!pairs.fnSaveFileAsXml(options.saveLayoutFile)) {
        std::cerr << "morvane-batch: レイアウトファイルを保存できません: " << visibleText(pairs.getErrMsg()) << "\n";
        return 2;
      }
      std::cout << "終了シートを " << plan.endSheet << " にしたレイアウトを「" << visibleText(options.saveLayoutFile)
                << "」に保存しました\n";
    }
  }
  return 0;
}

}  // namespace morvane::batch
