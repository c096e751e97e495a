// morvane-batch: the command-line companion of the windows, driving the same core.
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "app/batch/BatchOptions.h"
#include "app/batch/ModelJson.h"
#include "document/LayoutFile.h"
#include "document/clsExcelDBDoc.h"
#include "model/Number.h"
#include "platform/files/TemporaryFiles.h"
#include "platform/text/VisibleText.h"

namespace morvane::batch {
namespace {

constexpr const char* kUsage =
    "使い方: morvane-batch [--layout FILE.edf] [--types FILE.sfa] [--layout-values N,N,N,N,N,N,N,N,N,N]\n"
    "                     [--layout-extra NAME=N[,NAME=N]...]\n"
    "                     [--save-layout FILE.edf] [--save-types FILE.sfa]\n"
    "                     [--list] [--dump] [--check [--check-format text|json]]\n"
    "                     [--table NAME]... [--sql DIR] [--html DIR [--title TEXT]]\n"
    "                     [--server S --database D --user U] [WORKBOOK]\n"
    "                     [--query-timeout SECONDS]\n"
    "       morvane-batch [--sql DIR] [--html DIR] [--deploy FILE] [--encoding cp932|utf-8|utf-8-bom]\n"
    "                     [--eol crlf|lf] [--table NAME]... WORKBOOK\n"
    "       morvane-batch --since OLD_WORKBOOK [--allow-drop] [--allow-data-loss] [--allow-rebuild]\n"
    "                     [--rename TABLE.OLD=NEW | --rename OLD=NEW]... [--sql DIR] [--server S --database D --user U]\n"
    "                     [--table NAME]... WORKBOOK\n"
    "       morvane-batch --against-server --server S --database D --user U [--allow-drop] [--allow-data-loss]\n"
    "                     [--allow-rebuild] [--rename TABLE.OLD=NEW | --rename OLD=NEW]... [--sql DIR | --apply]\n"
    "                     [--table NAME]... WORKBOOK\n"
    "       morvane-batch --write-workbook FILE.xlsx --server S --database D --user U [--table NAME]...\n"
    "  --query-timeout は --server でサーバの応答を待つ秒数です (既定 60、0 で無制限)。\n"
    "  --layout-values には開始シート、終了シート、項目開始行、テーブル名の行と列、\n"
    "  項目名・型・サイズ・キー・NULL の列をこの順に指定します。--layout-extra は任意の位置を\n"
    "  レイアウトファイルのタグ名で指定します (ColLogicalName、ColDefault、ColRemarks、ColUnique、\n"
    "  ColIndex、ColReference、RowTableLogicalName、ColTableLogicalName は 0 で使わない、\n"
    "  NullMarkMeansNotNull は 1 で NULL 列の印が NOT NULL の意味)。--server のパスワードは\n"
    "  MORVANE_PASSWORD から取るか、端末で尋ねます。--against-server はデータベースの dbo の\n"
    "  テーブルをブックと比べ、違いを表示します (違いがなければ終了コード 0、あれば 1)。\n"
    "  --since は古い版のブックと比べ、変わったテーブルの ALTER TABLE スクリプトを書くか (--sql)\n"
    "  サーバで実行します (--server)。--against-server に --sql か --apply を付けると、データベースを\n"
    "  ブックに合わせる変更スクリプトを書くか実行します。列とテーブルの削除は --allow-drop のときだけです。\n"
    "  データが失われる変更の前には行を調べ、失われる行があればそのテーブルの変更を取り消します\n"
    "  (--allow-data-loss で調べません)。IDENTITY の変更は --allow-rebuild のときテーブルを作り直します。\n"
    "  --rename は列 (TABLE.OLD=NEW) かテーブル (OLD=NEW) の名前を sp_rename で変え、データを残します。\n"
    "  --write-workbook はデータベースの dbo のテーブルを、レイアウトと型の表記のとおりの設計書\n"
    "  (.xlsx) に書きます。--save-layout と一緒なら、全テーブルを読める終了シートで保存します。\n"
    "  --deploy は選んだテーブルのスクリプトを一覧の順に GO で区切って 1 つのファイルに書きます。\n"
    "  --encoding (既定 cp932) と --eol (既定 crlf) はスクリプトの、--encoding は HTML の文字コードです。\n"
    "  --check は選んだテーブルの設計書をセルごとに調べ、見つかったことを 1 行ずつ表示します\n"
    "  (エラーがなければ終了コード 0、あれば 1)。--sql、--html、--deploy、--server と一緒なら\n"
    "  先に調べ、エラーがあれば何も作りません。\n";

[[noreturn]] void usageError(const std::string& reason) {
  std::cerr << "morvane-batch: " << reason << "\n" << kUsage;
  std::exit(2);
}

// NAME=N[,NAME=N]...: the optional layout positions by their layout-file names.
std::vector<std::pair<const LayoutExtra*, std::int32_t>> parseLayoutExtra(const std::string& text) {
  std::vector<std::pair<const LayoutExtra*, std::int32_t>> values;
  std::size_t start = 0;
  for (;;) {
    const auto comma = text.find(',', start);
    const std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const auto equals = piece.find('=');
    const std::string name = piece.substr(0, equals);
    const LayoutExtra* extra = findLayoutExtra(name);
    if (equals == std::string::npos || !extra) usageError("--layout-extra: 「" + name + "」は位置の名前ではありません");
    const std::string number = piece.substr(equals + 1);
    const auto value = toInt32(number);
    if (!value) usageError("--layout-extra: " + name + " の「" + number + "」は数値ではありません");
    if (const std::string problem = layoutExtraProblem(*extra, *value); !problem.empty()) {
      usageError("--layout-extra: " + name + " の「" + number + "」は" + problem);
    }
    values.emplace_back(extra, *value);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return values;
}

std::vector<int> parseLayoutValues(const std::string& text) {
  std::vector<int> values;
  std::size_t start = 0;
  for (;;) {
    const auto comma = text.find(',', start);
    const std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const auto value = toInt32(piece);
    if (!value) usageError("--layout-values: 「" + piece + "」は数値ではありません");
    values.push_back(*value);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (values.size() != 10) usageError("--layout-values には数値をちょうど 10 個指定してください");
  return values;
}

BatchOptions parseArguments(int argc, char** argv) {
  BatchOptions options;
  bool checkFormatGiven = false;
  auto value = [&](int& i) -> std::string {
    if (i + 1 >= argc) usageError(std::string(argv[i]) + " には値が必要です");
    return argv[++i];
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      std::exit(0);
    } else if (arg == "--list") {
      options.list = true;
    } else if (arg == "--dump") {
      options.dump = true;
    } else if (arg == "--check") {
      options.check = true;
    } else if (arg == "--check-format") {
      const std::string format = value(i);
      if (format == "text") {
        options.checkFormat = CheckFormat::Text;
      } else if (format == "json") {
        options.checkFormat = CheckFormat::Json;
      } else {
        usageError("--check-format には text か json を指定してください");
      }
      checkFormatGiven = true;
    } else if (arg == "--layout-values") {
      options.layoutValues = parseLayoutValues(value(i));
    } else if (arg == "--layout-extra") {
      for (const auto& extra : parseLayoutExtra(value(i))) options.layoutExtra.push_back(extra);
    } else if (arg == "--table") {
      options.tables.push_back(value(i));
    } else if (arg == "--layout") {
      options.layoutFile = value(i);
    } else if (arg == "--types") {
      options.typesFile = value(i);
    } else if (arg == "--save-layout") {
      options.saveLayoutFile = value(i);
    } else if (arg == "--save-types") {
      options.saveTypesFile = value(i);
    } else if (arg == "--sql") {
      options.sqlDir = value(i);
    } else if (arg == "--html") {
      options.htmlDir = value(i);
    } else if (arg == "--title") {
      options.title = value(i);
    } else if (arg == "--server") {
      options.server = value(i);
    } else if (arg == "--database") {
      options.database = value(i);
    } else if (arg == "--user") {
      options.user = value(i);
    } else if (arg == "--against-server") {
      options.againstServer = true;
    } else if (arg == "--apply") {
      options.apply = true;
    } else if (arg == "--since") {
      options.sinceWorkbook = value(i);
    } else if (arg == "--allow-drop") {
      options.allowDrop = true;
    } else if (arg == "--allow-data-loss") {
      options.allowDataLoss = true;
    } else if (arg == "--allow-rebuild") {
      options.allowRebuild = true;
    } else if (arg == "--rename") {
      const std::string text = value(i);
      const auto rename = parseRename(text);
      if (!rename) usageError("--rename: 「" + text + "」は TABLE.OLD=NEW か OLD=NEW の形ではありません");
      options.renames.push_back(*rename);
    } else if (arg == "--query-timeout") {
      const std::string text = value(i);
      const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
      const auto seconds = digits ? toInt32(text) : std::nullopt;
      if (!seconds || *seconds < 0) usageError("--query-timeout: 「" + text + "」は 0 以上の秒数ではありません");
      options.queryTimeoutSeconds = *seconds;
    } else if (arg == "--write-workbook") {
      options.writeWorkbook = value(i);
    } else if (arg == "--deploy") {
      options.deployFile = value(i);
    } else if (arg == "--encoding") {
      const auto charset = platform::parseCharset(value(i));
      if (!charset) usageError("--encoding には cp932、utf-8、utf-8-bom のどれかを指定してください");
      options.encoding.charset = *charset;
    } else if (arg == "--eol") {
      const auto lineEnd = platform::parseLineEnd(value(i));
      if (!lineEnd) usageError("--eol には crlf か lf を指定してください");
      options.encoding.lineEnd = *lineEnd;
    } else if (arg.starts_with("--")) {
      usageError("不明なオプションです: " + arg);
    } else if (options.workbook.empty()) {
      options.workbook = arg;
    } else {
      usageError("一度に読めるブックは 1 つだけです");
    }
  }
  if (checkFormatGiven && !options.check) usageError("--check-format は --check と使います");
  const bool serverAsked = !options.server.empty() || !options.database.empty() || !options.user.empty();
  if (serverAsked && (options.server.empty() || options.database.empty() || options.user.empty())) {
    usageError("--server、--database、--user はそろえて指定してください");
  }
  if (options.againstServer && !serverAsked) usageError("--against-server には --server、--database、--user が必要です");
  if (options.apply && !options.againstServer) usageError("--apply は --against-server と使います");
  if (options.apply && !options.sqlDir.empty()) usageError("--sql と --apply は同時に指定できません");
  const bool since = !options.sinceWorkbook.empty();
  if (since && options.againstServer) usageError("--since と --against-server は同時に指定できません");
  if (since && options.sqlDir.empty() && !serverAsked) usageError("--since には --sql か --server が必要です");
  if (since && !options.deployFile.empty()) usageError("--since と --deploy は同時に指定できません");
  for (const auto& [given, flag] : {std::pair(options.allowDrop, "--allow-drop"),
                                     std::pair(options.allowDataLoss, "--allow-data-loss"),
                                     std::pair(options.allowRebuild, "--allow-rebuild"),
                                     std::pair(!options.renames.empty(), "--rename")}) {
    if (given && !since && !options.againstServer) usageError(std::string(flag) + " は --since か --against-server と使います");
    if (given && options.againstServer && !options.apply && options.sqlDir.empty()) {
      usageError(std::string(flag) + " は --sql か --apply と使います");
    }
  }
  if (options.againstServer && !options.deployFile.empty()) usageError("--against-server と --deploy は同時に指定できません");
  const bool writesFiles = !options.sqlDir.empty() || !options.htmlDir.empty() || !options.deployFile.empty();
  if (options.encoding != platform::OutputEncoding{} && !writesFiles) {
    usageError("--encoding と --eol は --sql、--html、--deploy と使います");
  }
  if (!options.writeWorkbook.empty()) {
    if (!serverAsked) usageError("--write-workbook には --server、--database、--user が必要です");
    const bool other = options.list || options.dump || options.check || !options.sqlDir.empty() ||
                       !options.htmlDir.empty() || !options.deployFile.empty() || options.againstServer || since ||
                       !options.workbook.empty();
    if (other) usageError("--write-workbook はブックを読む処理と同時に指定できません");
    return options;
  }
  const bool workbookJob = options.list || options.dump || options.check || !options.sqlDir.empty() ||
                           !options.htmlDir.empty() || serverAsked || !options.deployFile.empty();
  if (workbookJob && options.workbook.empty()) usageError("ブックが指定されていません");
  if (!workbookJob && !options.workbook.empty()) usageError("ブックで行う処理が指定されていません");
  if (!workbookJob && options.saveLayoutFile.empty() && options.saveTypesFile.empty()) {
    usageError("行う処理が指定されていません");
  }
  return options;
}

// The tables named by --table, in list order; every table when none is named.
clsDBInfo selectTables(const clsDBInfo& model, const std::vector<std::string>& names) {
  if (names.empty()) return model;
  for (const auto& name : names) {
    if (!model.getTable(name)) usageError("ブックにテーブル「" + name + "」はありません");
  }
  clsDBInfo selected;
  for (const auto& table : model.getTables()) {
    if (std::find(names.begin(), names.end(), table->getName()) != names.end()) selected.setTable(table);
  }
  return selected;
}

int run(int argc, char** argv) {
  const BatchOptions options = parseArguments(argc, argv);
  BatchSettings settings;
  if (int status = loadSettings(options, settings); status != 0) return status;
  if (options.layoutValues) {
    const auto& v = *options.layoutValues;
    settings.layout.sbSetPage(v[0], v[1]);
    settings.layout.sbSetFieldPos(v[2]);
    settings.layout.sbSetTableNmPos(v[3], v[4]);
    settings.layout.sbSetFieldDefPos(v[5], v[6], v[7], v[8], v[9]);
  }
  for (const auto& [extra, number] : options.layoutExtra) (settings.layout.*extra->set)(number);
  if (int status = saveSettings(options, settings); status != 0) return status;
  if (!options.writeWorkbook.empty()) return writeWorkbookFromServer(options, settings);
  if (options.workbook.empty()) return 0;

  clsExcelDBDoc reader;
  reader.sbSetDocInfo(settings.layout);
  try {
    if (!reader.fnReadDBDoc(options.workbook)) {
      std::cerr << "morvane-batch: ブック「" << platform::visibleText(options.workbook)
                << "」を開けません: " << reader.getOpenError() << "\n";
      return 2;
    }
  } catch (const std::exception& error) {
    std::cerr << "morvane-batch: ブック「" << platform::visibleText(options.workbook)
              << "」を読めません: " << platform::visibleText(error.what()) << "\n";
    return 2;
  }
  const clsDBInfo& model = reader.getDBInfo();
  // The old revision is read with the same layout, before anything is written.
  clsDBInfo oldRevision;
  if (!options.sinceWorkbook.empty()) {
    clsExcelDBDoc oldReader;
    oldReader.sbSetDocInfo(settings.layout);
    try {
      if (!oldReader.fnReadDBDoc(options.sinceWorkbook)) {
        std::cerr << "morvane-batch: ブック「" << platform::visibleText(options.sinceWorkbook)
                  << "」を開けません: " << oldReader.getOpenError() << "\n";
        return 2;
      }
    } catch (const std::exception& error) {
      std::cerr << "morvane-batch: ブック「" << options.sinceWorkbook << "」を読めません: " << platform::visibleText(error.what()) << "\n";
      return 2;
    }
    oldRevision = oldReader.getDBInfo();
  }
  if (options.list) {
    for (const auto& table : model.getTables()) std::cout << platform::visibleText(table->getName()) << "\n";
  }
  if (options.dump) {
    std::cout << modelJson(model).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  }
  const clsDBInfo selected = selectTables(model, options.tables);
  int status = 0;
  if (options.check) {
    status = checkDesignDocument(options, settings, model, selected);
    const bool more = !options.sqlDir.empty() || !options.htmlDir.empty() || !options.deployFile.empty() ||
                      !options.server.empty();
    // A document with errors gives scripts the server refuses, or files that replace each other.
    if (status != 0) {
      if (more) std::cerr << "morvane-batch: チェックでエラーが見つかったため、何も作成しません\n";
      return status;
    }
  }
  // Against a server or an old revision, --sql and --server mean the change scripts instead of CREATE TABLE.
  const bool createJob = !options.againstServer && options.sinceWorkbook.empty();
  if (createJob && !options.sqlDir.empty()) status = std::max(status, writeScripts(options, settings, selected));
  if (!options.htmlDir.empty()) status = std::max(status, writeHtml(options, selected));
  if (!options.deployFile.empty()) status = std::max(status, writeDeployScript(options, settings, selected));
  if (createJob && !options.server.empty()) status = std::max(status, createOnServer(options, settings, selected));
  if (options.againstServer) status = std::max(status, againstServer(options, settings, selected));
  if (!options.sinceWorkbook.empty()) status = std::max(status, changeSince(options, settings, oldRevision, selected));
  return status;
}

}  // namespace
}  // namespace morvane::batch

int main(int argc, char** argv) {
  // Before any file is written: a run ended by a signal leaves no temporary file behind.
  morvane::platform::removeTemporaryFilesOnSignals();
  try {
    return morvane::batch::run(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "morvane-batch: " << error.what() << "\n";
    return 2;
  }
}
