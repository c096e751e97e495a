#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/LayoutFile.h"
#include "document/clsExcelDBDocInfo.h"
#include "model/clsDBInfo.h"
#include "platform/text/OutputEncoding.h"
#include "sqlserver/ChangeScript.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane::batch {

enum class CheckFormat { Text, Json };

struct BatchOptions {
  std::optional<std::vector<int>> layoutValues;  // the ten numbers of --layout-values
  std::vector<std::pair<const LayoutExtra*, std::int32_t>> layoutExtra;  // --layout-extra, in given order
  bool list = false;
  bool dump = false;
  bool check = false;                          // --check
  CheckFormat checkFormat = CheckFormat::Text;  // --check-format
  std::vector<std::string> tables;  // --table, repeatable
  std::string layoutFile;           // --layout
  std::string typesFile;            // --types
  std::string saveLayoutFile;       // --save-layout
  std::string saveTypesFile;        // --save-types
  std::string sqlDir;               // --sql
  std::string htmlDir;              // --html
  std::optional<std::string> title; // --title
  std::string server;               // --server
  std::string database;             // --database
  std::string user;                 // --user
  bool againstServer = false;       // --against-server
  bool apply = false;               // --apply, with --against-server
  bool allowDrop = false;           // --allow-drop, with --since or --against-server
  bool allowDataLoss = false;       // --allow-data-loss, likewise
  bool allowRebuild = false;        // --allow-rebuild, likewise
  std::vector<Rename> renames;      // --rename, repeatable, likewise
  std::string sinceWorkbook;        // --since: the old revision
  int queryTimeoutSeconds = 60;     // --query-timeout; 0: no limit
  std::string deployFile;           // --deploy
  std::string writeWorkbook;        // --write-workbook: the design document to write from the server
  platform::OutputEncoding encoding; // --encoding and --eol of the written files
  std::string workbook;
};

// The settings in effect for one run: defaults, or what was loaded.
struct BatchSettings {
  clsExcelDBDocInfo layout;
  std::shared_ptr<clsSQLServerFieldAttr> types = std::make_shared<clsSQLServerFieldAttr>();
};

// Each command returns its exit status: 0 success, 1 some table failed, 2 unusable input.
int loadSettings(const BatchOptions& options, BatchSettings& settings);
int saveSettings(const BatchOptions& options, const BatchSettings& settings);
// 1 when the check found an error, 0 otherwise (warnings allowed). References are looked up in
// the whole model.
int checkDesignDocument(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& model,
                        const clsDBInfo& selected);
int writeScripts(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& selected);
int writeHtml(const BatchOptions& options, const clsDBInfo& selected);
int writeDeployScript(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& selected);
int createOnServer(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& selected);
int againstServer(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& selected);
// --write-workbook: the server's dbo tables as a design document in the layout in effect.
int writeWorkbookFromServer(const BatchOptions& options, const BatchSettings& settings);
// --since: the change scripts from the old revision to the selected tables, by --sql and --server.
int changeSince(const BatchOptions& options, const BatchSettings& settings, const clsDBInfo& oldRevision,
                const clsDBInfo& selected);

// The password for --server: MORVANE_PASSWORD, else asked on the terminal; nothing, after one
// line on stderr, when neither is there.
std::optional<std::string> serverPassword(const BatchOptions& options);
// Line breaks as spaces: one message, one line of the error output.
std::string oneLine(std::string text);

}  // namespace morvane::batch
