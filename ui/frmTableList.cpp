#include "ui/frmTableList.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QStringList>
#include <algorithm>
#include <exception>

#include "document/clsExcelDBDoc.h"
#include "htmldoc/clsHTMLDoc.h"
#include "sqlserver/ChangeScript.h"
#include "sqlserver/DesignCheck.h"
#include "sqlserver/clsSQLServerDB.h"
#include "ui/WindowHub.h"
#include "ui/clsRefFolder.h"
#include "ui/frmChangeOptions.h"
#include "ui/frmCheckResult.h"
#include "ui/frmDBDef.h"
#include "ui/frmDBServer.h"
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

  connect(form_->txtFilter, &QLineEdit::textChanged, this, &frmTableList::sbApplyFilter);
  connect(form_->List1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &frmTableList::sbUnselectHidden);
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
  // Over the (empty) list, so the user sees where the program goes on.
  if (!readError.isEmpty()) sbReport(QStringLiteral("読み込み失敗しました\n") + readError, true);
}

void frmTableList::sbUnload() {
  if (loaded_) close();
}

void frmTableList::sbDiscard() {
  loaded_ = false;
  if (checkResult_) checkResult_->hide();
  hide();
}

void frmTableList::closeEvent(QCloseEvent* event) {
  loaded_ = false;
  if (checkResult_) checkResult_->close();
  event->accept();
}

QString frmTableList::Form_Load() {
  // A workbook read anew is listed whole, and the findings of the last one go.
  checkedRows_.clear();
  if (checkResult_) checkResult_->close();
  form_->txtFilter->clear();
  form_->List1->clear();
  const QString readError = sbLoadDBInfo(moobjDBInfo);
  for (const TablePtr& table : moobjDBInfo.getTables()) form_->List1->addItem(fromUtf8(table->getName()));
  loaded_ = true;
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
  sbReport(tally.cancelled ? cancelledSummary(tally) : QStringLiteral("作成処理を終了しました。"), false);
}

void frmTableList::mnuMakeChangeSQL_Click() {
  if (!fnCheckSelection()) return;
  const clsDBInfo selected = fnSelectedTables();
  const QString oldPath = hub_.services().openFileName(this, kWorkbookFilter);
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
  const ProgressTally tally =
      runTables(hub_.services(), this, QStringLiteral("変更スクリプト作成"), [&](ProgressSink& progress) {
        return fnSaveChangeSQLs(generator, changes, path, progress,
                                [&](const TableChange& change, bool saved, const std::string& reason) {
                                  const QString name = fromUtf8(change.name);
                                  if (!saved) failures << failureLine(name, fromUtf8(reason));
                                  notes << undefinedNotationLines(name, change.undefinedNotations);
                                  for (const std::string& warning : change.warnings) notes << fromUtf8(warning);
                                });
      });
  for (const QString& prompt : failures) sbReport(prompt, true);
  if (!notes.isEmpty()) sbReport(notes.join(QLatin1Char('\n')), true);
  QString closing = tally.cancelled ? cancelledSummary(tally) : QStringLiteral("作成処理を終了しました。");
  if (!gone.isEmpty()) {
    closing += QStringLiteral("\n古いブックにだけあるテーブル (削除のスクリプトは作りません): ") + gone.join(QStringLiteral("、"));
  }
  sbReport(closing, false);
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
    sbReport(cancelledSummary(tally), false);
  } else if (written) {
    sbReport(QStringLiteral("作成しました"), false);
  } else {
    sbReport(failureLine(QString(), reason), true);
  }
}

void frmTableList::mnuCheck_Click() {
  // The selected lines, or every shown line when none is selected.
  std::vector<int> rows;
  for (const bool selectedOnly : {true, false}) {
    for (int row = 0; row < form_->List1->count(); ++row) {
      const QListWidgetItem* line = form_->List1->item(row);
      if (!line->isHidden() && (line->isSelected() || !selectedOnly)) rows.push_back(row);
    }
    if (!rows.empty()) break;
  }
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
  if (tableIndex >= checkedRows_.size() || checkedRows_[tableIndex] >= form_->List1->count()) return;
  QListWidgetItem* line = form_->List1->item(checkedRows_[tableIndex]);
  if (line->isHidden()) form_->txtFilter->clear();
  form_->List1->clearSelection();
  form_->List1->setCurrentItem(line, QItemSelectionModel::ClearAndSelect);
  form_->List1->scrollToItem(line);
}

void frmTableList::mnuQuit_Click() { hub_.endProgram(); }

}  // namespace morvane::ui
