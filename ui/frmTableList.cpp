#include "ui/frmTableList.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QLineEdit>
#include <QStatusBar>
#include <QShortcut>
#include <QStringList>
#include <algorithm>
#include <exception>
#include <optional>

#include "document/clsExcelDBDoc.h"
#include "htmldoc/clsHTMLDoc.h"
#include "sqlserver/ChangeScript.h"
#include "sqlserver/DesignCheck.h"
#include "sqlserver/ServerChanges.h"
#include "sqlserver/ServerDrift.h"
#include "sqlserver/clsSQLServerDB.h"
#include "ui/WindowHub.h"
#include "ui/clsRefFolder.h"
#include "ui/frmChangeOptions.h"
#include "ui/frmCheckResult.h"
#include "ui/frmDBDef.h"
#include "ui/frmDBServer.h"
#include "ui/frmDrift.h"
#include "ui/MessageText.h"
#include "ui/TableNameFilter.h"
#include "ui/TableRun.h"
#include "ui/UndefinedNotations.h"
#include "ui/WindowPlacement.h"
#include "ui/ui_frmTableList.h"

namespace morvane::ui {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromStdString(text); }

// Paths go to the file system in its own encoding.
std::string toPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

const QString kNoSelection = QStringLiteral("テーブルが１つも選択されていません");
const QString kFailed = QStringLiteral("作成に失敗しました");

// A table's line of a change run's closing message, as the command line prints it.
QString summaryLine(const TableChange& change, const ChangeOptions& options, bool ok) {
  QString line = visibleLabel(fromUtf8(changeSummary(change, options)));
  if (!ok && change.kind != TableChange::Kind::refused) line += QStringLiteral(" (失敗)");
  return line;
}

// "<table>作成に失敗しました", and the reason on the next line when there is one.
QString failureLine(const QString& table, const QString& reason) {
  return reason.isEmpty() ? table + kFailed : table + kFailed + QLatin1Char('\n') + reason;
}

}  // namespace

frmTableList::frmTableList(WindowHub& hub) : hub_(hub), form_(std::make_unique<Ui::frmTableList>()) {
  form_->setupUi(this);
  connect(form_->cmdBack, &QPushButton::clicked, this, &frmTableList::cmdBack_Click);
  connect(form_->mnuMakeTable, &QAction::triggered, this, &frmTableList::mnuMakeTable_Click);
  connect(form_->mnuMakeCTSQL, &QAction::triggered, this, &frmTableList::mnuMakeCTSQL_Click);
  connect(form_->mnuMakeChangeSQL, &QAction::triggered, this, &frmTableList::mnuMakeChangeSQL_Click);
  connect(form_->mnuMakeTableDoc, &QAction::triggered, this, &frmTableList::mnuMakeTableDoc_Click);
  connect(form_->mnuQuit, &QAction::triggered, this, &frmTableList::mnuQuit_Click);
  connect(form_->mnuCheck, &QAction::triggered, this, &frmTableList::mnuCheck_Click);
  connect(form_->mnuDrift, &QAction::triggered, this, &frmTableList::mnuDrift_Click);

  connect(form_->txtFilter, &QLineEdit::textChanged, this, &frmTableList::sbApplyFilter);
  connect(form_->List1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &frmTableList::sbUnselectHidden);
  connect(form_->List1, &QListWidget::itemSelectionChanged, this, &frmTableList::sbShowCounts);
  auto* clearFilter = new QShortcut(QKeySequence(Qt::Key_Escape), form_->txtFilter, nullptr, nullptr,
                                    Qt::WidgetShortcut);
  connect(clearFilter, &QShortcut::activated, form_->txtFilter, &QLineEdit::clear);
  auto* findTable = new QShortcut(QKeySequence::Find, this);
  connect(findTable, &QShortcut::activated, this, [this] {
    form_->txtFilter->setFocus(Qt::ShortcutFocusReason);
    form_->txtFilter->selectAll();
  });
}

frmTableList::~frmTableList() = default;

const std::shared_ptr<clsSQLServerFieldAttr>& frmTableList::fieldAttr() {
  if (!moobjFAttr) moobjFAttr = std::make_shared<clsSQLServerFieldAttr>();
  return moobjFAttr;
}

void frmTableList::sbShow() {
  const QString readError = loaded_ ? QString() : Form_Load();
  show();
  raise();
  activateWindow();
  // Arrow keys and Ctrl+A work on the tables at once.
  form_->List1->setFocus(Qt::OtherFocusReason);
  if (form_->List1->currentItem() == nullptr && form_->List1->count() > 0) {
    form_->List1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
  }
  // Over the (empty) list, so the user sees where the program goes on.
  if (!readError.isEmpty()) sbReport(QStringLiteral("読み込み失敗しました\n") + readError, true);
}

void frmTableList::sbUnload() {
  if (loaded_) close();
}

void frmTableList::sbDiscard() {
  loaded_ = false;
  if (checkResult_) checkResult_->hide();
  if (drift_) drift_->hide();
  hide();
}

void frmTableList::closeEvent(QCloseEvent* event) {
  loaded_ = false;
  if (checkResult_) checkResult_->close();
  if (drift_) drift_->close();
  event->accept();
}

QString frmTableList::Form_Load() {
  // A workbook read anew is listed whole, and the findings of the last one go.
  checkedRows_.clear();
  if (checkResult_) checkResult_->close();
  if (drift_) drift_->close();
  form_->txtFilter->clear();
  form_->List1->clear();
  const QString readError = sbLoadDBInfo(moobjDBInfo);
  for (const TablePtr& table : moobjDBInfo.getTables()) form_->List1->addItem(visibleLabel(fromUtf8(table->getName())));
  const QString book = QFileInfo(mostrFilePath).fileName();
  setWindowTitle(book.isEmpty() ? kApplicationTitle : visibleLabel(book) + QStringLiteral(" - ") + kApplicationTitle);
  loaded_ = true;
  sbShowCounts();
  return readError;
}

QString frmTableList::sbLoadDBInfo(clsDBInfo& objDBInfo) { return sbLoadWorkbook(mostrFilePath, objDBInfo); }

QString frmTableList::sbLoadWorkbook(const QString& strPath, clsDBInfo& objDBInfo) {
  if (!moobjExcelDocInfo) moobjExcelDocInfo = std::make_shared<clsExcelDBDocInfo>();
  objDBInfo = clsDBInfo();
  readLayout_ = *moobjExcelDocInfo;
  try {
    clsExcelDBDoc reader;
    reader.sbSetDocInfo(*moobjExcelDocInfo);
    if (!reader.fnReadDBDoc(toPath(strPath))) {
      return QStringLiteral("ブック「") + strPath + QStringLiteral("」を開けません\n") +
             fromUtf8(reader.getOpenError());
    }
    objDBInfo = reader.getDBInfo();
  } catch (const std::exception& error) {
    // An error cell or a damaged sheet: nothing of the workbook is listed.
    return fromUtf8(error.what());
  }
  return {};
}

clsDBInfo frmTableList::fnSelectedTables() const {
  clsDBInfo selected;
  const auto& tables = moobjDBInfo.getTables();
  for (int row = 0; row < form_->List1->count(); ++row) {
    const QListWidgetItem* line = form_->List1->item(row);
    if (line->isSelected() && !line->isHidden()) selected.setTable(tables.at(static_cast<std::size_t>(row)));
  }
  return selected;
}

bool frmTableList::fnCheckSelection() {
  const QList<QListWidgetItem*> lines = form_->List1->selectedItems();
  if (std::any_of(lines.begin(), lines.end(), [](const QListWidgetItem* line) { return !line->isHidden(); })) {
    return true;
  }
  sbReport(kNoSelection, true);
  return false;
}

QString frmTableList::fnChooseFolder() {
  clsRefFolder chooser(hub_.services());
  chooser.setHWND(this);
  return chooser.fnShow();
}

void frmTableList::sbReport(const QString& prompt, bool warning) {
  hub_.services().showMessage(this, prompt, warning ? MessageIcon::Exclamation : MessageIcon::None);
}

void frmTableList::sbApplyFilter(const QString& strFilter) {
  const TableNameFilter filter(strFilter);
  for (int row = 0; row < form_->List1->count(); ++row) {
    QListWidgetItem* line = form_->List1->item(row);
    line->setHidden(!filter.fnMatches(line->text()));
  }
  sbUnselectHidden();
}

void frmTableList::sbUnselectHidden() {
  // A command acts on the selected lines the user sees, never on ones the filter hides.
  for (int row = 0; row < form_->List1->count(); ++row) {
    QListWidgetItem* line = form_->List1->item(row);
    if (line->isHidden() && line->isSelected()) line->setSelected(false);
  }
  sbShowCounts();
}

void frmTableList::sbShowCounts() {
  int shown = 0;
  int selected = 0;
  for (int row = 0; row < form_->List1->count(); ++row) {
    const QListWidgetItem* line = form_->List1->item(row);
    shown += line->isHidden() ? 0 : 1;
    selected += !line->isHidden() && line->isSelected() ? 1 : 0;
  }
  form_->statusbar->showMessage(
      QStringLiteral("表示 %1 / %2 テーブル、選択 %3").arg(shown).arg(form_->List1->count()).arg(selected));
}

void frmTableList::cmdBack_Click() {
  frmDBDef& dbDef = hub_.dbDef();
  dbDef.mostrFilePath = mostrFilePath;
  dbDef.moobjDocInfo = moobjExcelDocInfo;
  placeOver(dbDef, *this);
  dbDef.sbShow();
  dbDef.sbSetTextBox();
  sbUnload();
}

void frmTableList::mnuMakeTable_Click() {
  if (!fnCheckSelection()) return;
  frmDBServer& server = hub_.dbServer();
  server.setDBInfo(fnSelectedTables());
  // The notations the user edited, so the tables get the columns their scripts have.
  server.setFieldAttr(fieldAttr());
  if (!server.isVisible()) centreOn(server, *this);
  keepAbove(server, *this);
  server.sbShowModal();
}

void frmTableList::mnuMakeCTSQL_Click() {
  if (!fnCheckSelection()) return;
  const clsDBInfo selected = fnSelectedTables();
  const QString folder = fnChooseFolder();
  if (folder.isEmpty()) return;

  clsSQLServerDB generator;
  generator.sbSetFieldAttr(fieldAttr());
  const std::string path = toPath(folder);
  // Gathered off the UI thread, shown once the run is over.
  QStringList failures;
  QStringList undefined;
  const ProgressTally tally =
      runTables(hub_.services(), this, QStringLiteral("スクリプト作成"), [&](ProgressSink& progress) {
        return generator.fnSaveCreateSQLs(selected, path, progress, [&](const clsTableInfo& table, bool saved) {
          const QString name = fromUtf8(table.getName());
          const QString reason = fromUtf8(generator.getFailReason());
          if (!saved) failures << failureLine(name, reason);
          undefined << undefinedNotationLines(name, generator);
        });
      });
  for (const QString& prompt : failures) sbReport(prompt, true);
  // The scripts lack these columns: the user has to know before using them.
  if (!undefined.isEmpty()) sbReport(undefined.join(QLatin1Char('\n')), true);
  if (const QString keys = foreignKeyLines(generator); !keys.isEmpty()) sbReport(keys, true);
  sbReport(runSummary(tally), false);
}

void frmTableList::mnuMakeChangeSQL_Click() {
  if (!fnCheckSelection()) return;
  const clsDBInfo selected = fnSelectedTables();
  const QString oldPath = hub_.services().openFileName(this, kWorkbookFilter, QStringLiteral("変更前のブックを選択"));
  if (oldPath.trimmed().isEmpty()) return;
  clsDBInfo oldRevision;
  if (const QString readError = sbLoadWorkbook(oldPath, oldRevision); !readError.isEmpty()) {
    sbReport(QStringLiteral("読み込み失敗しました\n") + readError, true);
    return;
  }
  const QString folder = fnChooseFolder();
  if (folder.isEmpty()) return;

  // The window never drops: the old revision's tables this workbook no longer has are only named.
  ChangeOptions options;
  options.includeGone = false;
  // Pairs that look like renames are offered, none checked: the window does not guess.
  std::vector<Rename> suggestions;
  for (const TableChange& change : compareRevisions(oldRevision, selected, fieldAttr(), options)) {
    for (const auto& [gone, added] : change.renamed) suggestions.push_back({change.name, gone, added});
  }
  frmChangeOptions ask(this);
  ask.sbSetSuggestions(std::move(suggestions));
  if (ask.exec() != QDialog::Accepted) return;
  options.renames = ask.getRenames();
  options.allowDataLoss = ask.getAllowDataLoss();
  options.allowRebuild = ask.getAllowRebuild();
  const auto changes = compareRevisions(oldRevision, selected, fieldAttr(), options);
  QStringList gone;
  for (const TablePtr& table : oldRevision.getTables()) {
    if (!moobjDBInfo.getTable(table->getName())) gone << fromUtf8(table->getName());
  }
  clsSQLServerDB generator;
  generator.sbSetFieldAttr(fieldAttr());
  const std::string path = toPath(folder);
  QStringList failures;
  QStringList notes;
  QStringList lines;
  const ProgressTally tally =
      runTables(hub_.services(), this, QStringLiteral("変更スクリプト作成"), [&](ProgressSink& progress) {
        return fnSaveChangeSQLs(generator, changes, path, progress,
                                [&](const TableChange& change, bool saved, const std::string& reason) {
                                  const QString name = fromUtf8(change.name);
                                  if (!saved) failures << failureLine(name, fromUtf8(reason));
                                  notes << undefinedNotationLines(name, change.undefinedNotations);
                                  for (const std::string& warning : change.warnings) notes << fromUtf8(warning);
                                  lines << summaryLine(change, options, saved);
                                });
      });
  for (const QString& prompt : failures) sbReport(prompt, true);
  if (!notes.isEmpty()) sbReport(notes.join(QLatin1Char('\n')), true);
  if (!gone.isEmpty()) {
    lines << QStringLiteral("古いブックにだけあるテーブル (削除のスクリプトは作りません): ") + gone.join(QStringLiteral("、"));
  }
  // The counts, then each table's line as the command line prints it.
  sbReport((QStringList{runSummary(tally)} + lines).join(QLatin1Char('\n')), false);
}

void frmTableList::mnuMakeTableDoc_Click() {
  if (!fnCheckSelection()) return;
  const clsDBInfo selected = fnSelectedTables();
  const QString folder = fnChooseFolder();
  if (folder.isEmpty()) return;

  clsHTMLDoc writer;
  writer.setTitle(QFileInfo(mostrFilePath).fileName().toStdString());
  const std::string path = toPath(folder);
  QString reason;
  bool written = false;
  ProgressTally tally;
  try {
    tally = runTables(hub_.services(), this, QStringLiteral("ドキュメント作成"),
                      [&](ProgressSink& progress) { return writer.fnWriteFile(selected, path, progress); });
    written = true;
  } catch (const std::exception& error) {
    reason = fromUtf8(error.what());
  }
  // Left out of the set before anything was written, so known however the set ended.
  for (const auto& page : writer.getRefused()) {
    sbReport(failureLine(fromUtf8(page.table->getName()), fromUtf8(page.reason)), true);
  }
  if (written && tally.cancelled) {
    sbReport(runSummary(tally), false);
  } else if (written) {
    sbReport(QStringLiteral("作成しました"), false);
  } else {
    sbReport(failureLine(QString(), reason), true);
  }
}

std::vector<int> frmTableList::fnCheckedRows() const {
  std::vector<int> rows;
  for (const bool selectedOnly : {true, false}) {
    for (int row = 0; row < form_->List1->count(); ++row) {
      const QListWidgetItem* line = form_->List1->item(row);
      if (!line->isHidden() && (line->isSelected() || !selectedOnly)) rows.push_back(row);
    }
    if (!rows.empty()) break;
  }
  return rows;
}

void frmTableList::mnuCheck_Click() {
  std::vector<int> rows = fnCheckedRows();
  clsDBInfo checked;
  for (const int row : rows) checked.setTable(moobjDBInfo.getTables().at(static_cast<std::size_t>(row)));
  checkedRows_ = std::move(rows);
  if (!checkResult_) {
    checkResult_ = std::make_unique<frmCheckResult>(this);
    connect(checkResult_.get(), &frmCheckResult::findingChosen, this, &frmTableList::sbSelectCheckedTable);
  }
  checkResult_->sbShowFindings(checkDesign(checked, *fieldAttr(), readLayout_, moobjDBInfo));
  if (!checkResult_->isVisible()) centreOn(*checkResult_, *this);
  checkResult_->show();
  checkResult_->raise();
  checkResult_->activateWindow();
}

void frmTableList::sbSelectCheckedTable(std::size_t tableIndex) {
  // The list was read anew since the check: its lines are other tables now.
  if (tableIndex >= checkedRows_.size()) return;
  sbSelectRow(checkedRows_[tableIndex]);
}

void frmTableList::sbSelectRow(int row) {
  if (row < 0 || row >= form_->List1->count()) return;
  QListWidgetItem* line = form_->List1->item(row);
  if (line->isHidden()) form_->txtFilter->clear();
  form_->List1->clearSelection();
  form_->List1->setCurrentItem(line, QItemSelectionModel::ClearAndSelect);
  form_->List1->scrollToItem(line);
}

void frmTableList::mnuDrift_Click() {
  const std::vector<int> rows = fnCheckedRows();
  if (rows.empty()) {
    sbReport(kNoSelection, true);
    return;
  }
  clsDBInfo compared;
  std::vector<std::string> names;
  for (const int row : rows) {
    const TablePtr& table = moobjDBInfo.getTables().at(static_cast<std::size_t>(row));
    compared.setTable(table);
    names.push_back(table->getName());
  }
  std::optional<std::vector<ServerTable>> catalog;
  frmDBServer& server = hub_.dbServer();
  server.setFieldAttr(fieldAttr());
  if (!server.isVisible()) centreOn(server, *this);
  keepAbove(server, *this);
  server.sbShowModalFor([&](clsSQLServerDB& db) {
    runOffUiThread([&] { catalog = db.fnReadServerCatalog(); });
    if (!catalog) sbReport(withReason(QStringLiteral("テーブル定義を読めません"), fromUtf8(db.getFailReason())), true);
  });
  if (!catalog) return;
  // The whole workbook is compared with the whole database; picked tables only with theirs.
  driftWhole_ = rows.size() == static_cast<std::size_t>(form_->List1->count());
  driftTables_ = compared;
  driftServer_ = driftWhole_ ? std::move(*catalog) : tablesNamed(std::move(*catalog), names);
  driftServerName_ = server.findChild<QLineEdit*>(QStringLiteral("txtServer"))->text();
  if (!drift_) {
    drift_ = std::make_unique<frmDrift>(this);
    connect(drift_.get(), &frmDrift::tableChosen, this, [this](const QString& name) {
      const auto& tables = moobjDBInfo.getTables();
      for (std::size_t i = 0; i < tables.size(); ++i) {
        if (sameName(tables[i]->getName(), name.toStdString())) return sbSelectRow(static_cast<int>(i));
      }
    });
    connect(drift_.get(), &frmDrift::saveRequested, this, &frmTableList::sbSaveDriftChanges);
    connect(drift_.get(), &frmDrift::runRequested, this, &frmTableList::sbRunDriftChanges);
  }
  drift_->sbShowDrift(compareWithServer(driftTables_, driftServer_, *fieldAttr()), driftServerName_);
  if (!drift_->isVisible()) centreOn(*drift_, *this);
  drift_->show();
  drift_->raise();
  drift_->activateWindow();
}

void frmTableList::sbReportChanges(QWidget* owner, const QStringList& failures, const QStringList& lines,
                                   const ProgressTally& tally) {
  PlatformServices& services = hub_.services();
  for (const QString& prompt : failures) services.showMessage(owner, prompt, MessageIcon::Exclamation);
  services.showMessage(owner, (QStringList{runSummary(tally)} + lines).join(QLatin1Char('\n')), MessageIcon::None);
}

void frmTableList::sbSaveDriftChanges() {
  clsRefFolder chooser(hub_.services());
  chooser.setHWND(drift_.get());
  const QString folder = chooser.fnShow();
  if (folder.isEmpty()) return;
  ChangeOptions options = serverChangeOptions(drift_->getAllowDrop());
  options.allowDataLoss = drift_->getAllowDataLoss();
  const auto changes = changesFromServer(driftServer_, driftTables_, fieldAttr(), options);
  clsSQLServerDB generator;
  generator.sbSetFieldAttr(fieldAttr());
  const std::string path = toPath(folder);
  QStringList failures;
  QStringList lines;
  const ProgressTally tally =
      runTables(hub_.services(), drift_.get(), QStringLiteral("変更スクリプト作成"), [&](ProgressSink& progress) {
        return fnSaveChangeSQLs(generator, changes, path, progress,
                                [&](const TableChange& change, bool saved, const std::string& reason) {
                                  if (!saved) failures << failureLine(fromUtf8(change.name), fromUtf8(reason));
                                  lines << summaryLine(change, options, saved);
                                });
      });
  sbReportChanges(drift_.get(), failures, lines, tally);
}

void frmTableList::sbRunDriftChanges() {
  clsSQLServerDB db;
  db.sbSetFieldAttr(fieldAttr());
  if (!hub_.dbServer().fnConnect(db, drift_.get())) return;
  // The database as it is now, not as it was when compared.
  std::optional<std::vector<ServerTable>> catalog;
  runOffUiThread([&] { catalog = db.fnReadServerCatalog(); });
  if (!catalog) {
    hub_.services().showMessage(drift_.get(), withReason(QStringLiteral("テーブル定義を読めません"), fromUtf8(db.getFailReason())),
                                MessageIcon::Exclamation);
    db.fnCloseDB();
    return;
  }
  std::vector<std::string> names;
  for (const TablePtr& table : driftTables_.getTables()) names.push_back(table->getName());
  const auto server = driftWhole_ ? std::move(*catalog) : tablesNamed(std::move(*catalog), names);
  ChangeOptions options = serverChangeOptions(drift_->getAllowDrop());
  options.allowDataLoss = drift_->getAllowDataLoss();
  const auto changes = changesFromServer(server, driftTables_, fieldAttr(), options);
  QStringList failures;
  QStringList lines;
  const ProgressTally tally =
      runTables(hub_.services(), drift_.get(), QStringLiteral("変更の実行"), [&](ProgressSink& progress) {
        StoppableProgress run(progress);
        return fnRunChanges(db, changes, run, [&](const TableChange& change, bool ran, const std::string& reason) {
          if (!ran && isConnectionLost(reason)) run.stop();
          if (!ran) failures << failureLine(fromUtf8(change.name), fromUtf8(reason));
          lines << summaryLine(change, options, ran);
        });
      });
  db.fnCloseDB();
  sbReportChanges(drift_.get(), failures, lines, tally);
  // What is left to do now.
  drift_->sbShowDrift(compareWithServer(driftTables_, server, *fieldAttr()), driftServerName_);
}

void frmTableList::mnuQuit_Click() { hub_.endProgram(); }

}  // namespace morvane::ui
