#include "ui/frmDBDef.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <algorithm>
#include <exception>

#include "document/LayoutFile.h"
#include "model/Number.h"
#include "model/Text.h"
#include "model/clsXML.h"
#include "sqlserver/TypeNotationFile.h"
#include "ui/MessageText.h"
#include "ui/TextBoxes.h"
#include "ui/UserSettings.h"
#include "ui/WindowHub.h"
#include "ui/WindowPlacement.h"
#include "ui/frmDatTypeSQLServer.h"
#include "ui/frmServerBook.h"
#include "ui/frmTableList.h"
#include "ui/ui_frmDBDef.h"

namespace morvane::ui {
namespace {

// .xlsx workbooks are read as well as .xls, so Browse offers both.
const QString kLayoutFilter = QStringLiteral("Excel設計書定義ファイル|*.edf");

std::string toUtf8(const QString& text) { return text.toStdString(); }

std::int32_t boxNumber(const QLineEdit* box) {
  // The input check has already made sure the conversion succeeds; a blank optional box is 0.
  return toInt32(toUtf8(box->text())).value_or(0);
}

QString optionalText(std::int32_t value) { return value == 0 ? QString() : QString::number(value); }

}  // namespace

frmDBDef::frmDBDef(WindowHub& hub)
    : hub_(hub), form_(std::make_unique<Ui::frmDBDef>()), selectAll_(new SelectAllOnFocus(this)) {
  form_->setupUi(this);
  for (QLineEdit* box : {form_->txtSSheet, form_->txtESheet, form_->txtTableNmRow, form_->txtTableNmCol,
                         form_->txtFieldStart, form_->txtFieldNm, form_->txtFieldAttr, form_->txtFieldSize,
                         form_->txtPKey, form_->txtNull, form_->txtLogicalNm, form_->txtDefault, form_->txtRemarks,
                         form_->txtUnique, form_->txtIndex, form_->txtReference, form_->txtTableLogicalNmRow,
                         form_->txtTableLogicalNmCol}) {
    box->setValidator(new TypedLengthLimit(2, box));
    // Digits only: the input method stays on just where the hints do not ask for digits.
    if (box->inputMethodHints().testFlag(Qt::ImhDigitsOnly)) box->setAttribute(Qt::WA_InputMethodEnabled, false);
  }
  for (QLineEdit* box : findChildren<QLineEdit*>()) selectAll_->watch(box);
  (new LocalFileDrop(this))->watch(form_->txtFile);
  fileBoxWidth_ = form_->txtFile->width();
  refFileLeft_ = form_->cmdRefFile->x();
  connect(form_->mnuFile, &QMenu::aboutToShow, this, &frmDBDef::sbListRecent);

  connect(form_->cmdRefFile, &QPushButton::clicked, this, &frmDBDef::cmdRefFile_Click);
  connect(form_->cmdOK, &QPushButton::clicked, this, &frmDBDef::cmdOK_Click);
  connect(form_->mnuOpenDBDef, &QAction::triggered, this, &frmDBDef::mnuOpenDBDef_Click);
  connect(form_->mnuSaveDBDef, &QAction::triggered, this, &frmDBDef::mnuSaveDBDef_Click);
  connect(form_->mnuFieldAttr, &QAction::triggered, this, &frmDBDef::mnuFieldAttr_Click);
  connect(form_->mnuQuit, &QAction::triggered, this, &frmDBDef::mnuQuit_Click);
  QAction* mnuServerBook = form_->mnuDBDef->addAction(QStringLiteral("データベースから設計書を作成…"));
  mnuServerBook->setObjectName(QStringLiteral("mnuServerBook"));
  connect(mnuServerBook, &QAction::triggered, this, &frmDBDef::mnuServerBook_Click);
}

frmDBDef::~frmDBDef() = default;

const std::shared_ptr<clsExcelDBDocInfo>& frmDBDef::docInfo() {
  if (!moobjDocInfo) moobjDocInfo = std::make_shared<clsExcelDBDocInfo>();
  return moobjDocInfo;
}

const std::shared_ptr<clsSQLServerFieldAttr>& frmDBDef::fieldAttr() {
  if (!moobjFAttr) moobjFAttr = std::make_shared<clsSQLServerFieldAttr>();
  return moobjFAttr;
}

void frmDBDef::sbShow() {
  if (!loaded_) Form_Load();
  show();
  raise();
  activateWindow();
}

void frmDBDef::sbUnload() {
  if (loaded_) close();
}

void frmDBDef::sbDiscard() {
  loaded_ = false;
  hide();
}

void frmDBDef::closeEvent(QCloseEvent* event) {
  loaded_ = false;
  event->accept();
}

void frmDBDef::Form_Load() {
  sbSetTextBoxList();
  sbClearTextBox();
  if (!restored_ && sbRestore()) sbSetTextBox();
  // The path handed back by the table list window; at start the last workbook.
  form_->txtFile->setText(mostrFilePath);
  form_->txtFile->setFocus(Qt::OtherFocusReason);
  loaded_ = true;
}

bool frmDBDef::sbRestore() {
  // Once a run: the last workbook, and the setting files last opened or saved; a file that went
  // away since is passed over without a word.
  restored_ = true;
  QSettings& settings = hub_.services().settings();
  if (mostrFilePath.isEmpty()) mostrFilePath = rememberedText(settings, setting::kWorkbook);
  const QString layoutFile = rememberedText(settings, setting::kLayoutFile);
  bool layoutRead = false;
  try {
    layoutRead = !layoutFile.isEmpty() && docInfo()->fnReadFile(toUtf8(layoutFile));
  } catch (const std::exception&) {
    // The file changed since: the defaults stay.
  }
  const QString typeFile = rememberedText(settings, setting::kTypeFile);
  clsXML reader;
  if (!typeFile.isEmpty() && reader.fnReadFile(toUtf8(typeFile))) sbReadDataType(reader, *fieldAttr());
  return layoutRead;
}

void frmDBDef::sbListRecent() {
  // Rebuilt each time the menu opens, so it lists what the last Next remembered.
  for (QAction* action : form_->mnuFile->actions()) {
    if (action->property("recent").toBool()) delete action;
  }
  const QStringList recent = recentWorkbooks(hub_.services().settings());
  QAction* quit = form_->mnuQuit;
  for (int i = 0; i < recent.size(); ++i) {
    auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(visibleLabel(recent[i])), form_->mnuFile);
    action->setProperty("recent", true);
    const QString path = recent[i];
    connect(action, &QAction::triggered, this, [this, path] { form_->txtFile->setText(path); });
    form_->mnuFile->insertAction(quit, action);
  }
  if (!recent.isEmpty()) form_->mnuFile->insertSeparator(quit)->setProperty("recent", true);
}

void frmDBDef::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  // The path box takes what the window grows by; 参照 stays at its right.
  const int grow = std::max(0, form_->centralwidget->width() - form_->centralwidget->minimumWidth());
  form_->txtFile->resize(fileBoxWidth_ + grow, form_->txtFile->height());
  form_->cmdRefFile->move(refFileLeft_ + grow, form_->cmdRefFile->y());
}

void frmDBDef::sbSetTextBoxList() {
  mocolAllTextBox = {form_->txtFile, form_->txtSSheet, form_->txtESheet, form_->txtTableNmRow,
                     form_->txtTableNmCol, form_->txtFieldStart, form_->txtFieldNm, form_->txtFieldAttr,
                     form_->txtFieldSize, form_->txtPKey, form_->txtNull};
  mocolNumTextBox = mocolAllTextBox.mid(1);
  mocolOptTextBox = {form_->txtLogicalNm, form_->txtDefault,   form_->txtRemarks,
                     form_->txtUnique,    form_->txtIndex,     form_->txtReference,
                     form_->txtTableLogicalNmRow, form_->txtTableLogicalNmCol};
}

void frmDBDef::sbClearTextBox() {
  for (QLineEdit* box : mocolAllTextBox) box->clear();
  for (QLineEdit* box : mocolOptTextBox) box->clear();
  form_->optNullMarkNull->setChecked(true);
}

void frmDBDef::sbSetTextBox() {
  const clsExcelDBDocInfo& layout = *docInfo();
  form_->txtSSheet->setText(QString::number(layout.getStartPage()));
  form_->txtESheet->setText(QString::number(layout.getEndPage()));
  form_->txtTableNmRow->setText(QString::number(layout.getRowTableName()));
  form_->txtTableNmCol->setText(QString::number(layout.getColTableName()));
  form_->txtFieldStart->setText(QString::number(layout.getStartRowFieldDef()));
  form_->txtFieldNm->setText(QString::number(layout.getColFieldName()));
  form_->txtFieldAttr->setText(QString::number(layout.getColFieldType()));
  form_->txtFieldSize->setText(QString::number(layout.getColFieldSize()));
  form_->txtPKey->setText(QString::number(layout.getColPrimaryKey()));
  form_->txtNull->setText(QString::number(layout.getColNULL()));
  form_->txtLogicalNm->setText(optionalText(layout.getColLogicalName()));
  form_->txtDefault->setText(optionalText(layout.getColDefault()));
  form_->txtRemarks->setText(optionalText(layout.getColRemarks()));
  form_->txtUnique->setText(optionalText(layout.getColUnique()));
  form_->txtIndex->setText(optionalText(layout.getColIndex()));
  form_->txtReference->setText(optionalText(layout.getColReference()));
  form_->txtTableLogicalNmRow->setText(optionalText(layout.getRowTableLogicalName()));
  form_->txtTableLogicalNmCol->setText(optionalText(layout.getColTableLogicalName()));
  (layout.getNullMarkMeansNotNull() == 1 ? form_->optNullMarkNotNull : form_->optNullMarkNull)->setChecked(true);
}

void frmDBDef::sbReportBox(QLineEdit* box, const QString& prompt) {
  hub_.services().showMessage(this, prompt, MessageIcon::Exclamation);
  box->setFocus(Qt::OtherFocusReason);
  // Also when the window is not active and so gets no focus event.
  sbSelectAllText(box);
}

bool frmDBDef::fnCheckInput(std::int32_t lngMode) {
  for (QLineEdit* box : mocolAllTextBox) {
    if (lngMode == 1 && box == form_->txtFile) continue;
    if (isBlank(toUtf8(box->text()))) {
      sbReportBox(box, QStringLiteral("未入力です"));
      return false;
    }
  }
  for (QLineEdit* box : mocolNumTextBox) {
    // A number beyond the 32-bit range cannot become a layout value either.
    const std::string text = toUtf8(box->text());
    if (!isNumeric(text) || !toInt32(text).has_value()) {
      sbReportBox(box, QStringLiteral("数値のみ入力してください"));
      return false;
    }
  }
  // An optional box may stay blank; otherwise it holds a position, never below 0.
  for (QLineEdit* box : mocolOptTextBox) {
    const std::string text = toUtf8(box->text());
    if (isBlank(text)) continue;
    if (!isNumeric(text) || toInt32(text).value_or(-1) < 0) {
      sbReportBox(box, QStringLiteral("数値のみ入力してください"));
      return false;
    }
  }
  return true;
}

void frmDBDef::sbGetTextBox() {
  clsExcelDBDocInfo& layout = *docInfo();
  layout.sbSetPage(boxNumber(form_->txtSSheet), boxNumber(form_->txtESheet));
  layout.sbSetTableNmPos(boxNumber(form_->txtTableNmRow), boxNumber(form_->txtTableNmCol));
  layout.sbSetFieldPos(boxNumber(form_->txtFieldStart));
  layout.sbSetFieldDefPos(boxNumber(form_->txtFieldNm), boxNumber(form_->txtFieldAttr),
                          boxNumber(form_->txtFieldSize), boxNumber(form_->txtPKey), boxNumber(form_->txtNull));
  layout.setColLogicalName(boxNumber(form_->txtLogicalNm));
  layout.setColDefault(boxNumber(form_->txtDefault));
  layout.setColRemarks(boxNumber(form_->txtRemarks));
  layout.setColUnique(boxNumber(form_->txtUnique));
  layout.setColIndex(boxNumber(form_->txtIndex));
  layout.setColReference(boxNumber(form_->txtReference));
  layout.setRowTableLogicalName(boxNumber(form_->txtTableLogicalNmRow));
  layout.setColTableLogicalName(boxNumber(form_->txtTableLogicalNmCol));
  layout.setNullMarkMeansNotNull(form_->optNullMarkNotNull->isChecked() ? 1 : 0);
}

bool frmDBDef::fnSaveDocInfo(const QString& strPath, QString& strReason) {
  sbGetTextBox();
  clsHash file = layoutToHash(*docInfo());
  if (file.fnSaveFileAsXml(toUtf8(strPath))) return true;
  strReason = QString::fromStdString(file.getErrMsg());
  return false;
}

void frmDBDef::cmdRefFile_Click() {
  const QString path = hub_.services().openFileName(this, kWorkbookFilter);
  if (isBlank(toUtf8(path))) return;
  form_->txtFile->setText(path);
}

void frmDBDef::cmdOK_Click() {
  if (!fnCheckInput(2)) return;
  sbGetTextBox();
  {
    // Up until the table list has read the workbook and is on screen.
    BusyPointer busy(hub_.services());
    frmTableList& tableList = hub_.tableList();
    tableList.moobjExcelDocInfo = docInfo();
    tableList.moobjFAttr = fieldAttr();
    tableList.mostrFilePath = form_->txtFile->text();
    rememberWorkbook(hub_.services().settings(), tableList.mostrFilePath);
    placeOver(tableList, *this);
    tableList.sbShow();
  }
  sbUnload();
  hub_.datTypeSQLServer().fnUnload();
}

void frmDBDef::mnuOpenDBDef_Click() {
  const QString path = hub_.services().openFileName(this, kLayoutFilter);
  if (isBlank(toUtf8(path))) return;
  bool read = false;
  QString reason;
  try {
    read = docInfo()->fnReadFile(toUtf8(path));
    if (!read) {
      // Read again only to learn why: the layout keeps no reason of its own.
      clsXML reader;
      reader.fnReadFile(toUtf8(path));
      reason = QString::fromStdString(reader.getErrMsg());
    }
  } catch (const std::exception& error) {
    // A missing or unusable value: the boxes keep what they show, as for an unreadable file.
    reason = QString::fromStdString(error.what());
  }
  if (read) {
    sbSetTextBox();
    remember(hub_.services().settings(), setting::kLayoutFile, path);
  } else {
    hub_.services().showMessage(this, withReason(QStringLiteral("読み込み失敗しました"), reason),
                                MessageIcon::Exclamation);
  }
}

void frmDBDef::mnuSaveDBDef_Click() {
  if (!fnCheckInput(1)) return;
  const QString path = hub_.services().saveFileName(this, kLayoutFilter);
  if (isBlank(toUtf8(path))) return;
  QString reason;
  if (fnSaveDocInfo(path, reason)) {
    remember(hub_.services().settings(), setting::kLayoutFile, path);
    hub_.services().showMessage(this, QStringLiteral("保存しました"), MessageIcon::None);
  } else {
    hub_.services().showMessage(this, withReason(QStringLiteral("保存失敗しました"), reason),
                                MessageIcon::Exclamation);
  }
}

void frmDBDef::mnuFieldAttr_Click() {
  frmDatTypeSQLServer& window = hub_.datTypeSQLServer();
  window.moDataType = fieldAttr();
  // Already open, it stays where the user put it.
  if (!window.isVisible()) placeBeside(window, *this);
  window.sbShow();
}

void frmDBDef::mnuServerBook_Click() {
  if (!fnCheckInput(1)) return;
  sbGetTextBox();
  frmServerBook(hub_, this).sbRun(*docInfo(), *fieldAttr());
}

void frmDBDef::mnuQuit_Click() { hub_.endProgram(); }

}  // namespace morvane::ui
