#include "ui/frmDatTypeSQLServer.h"

#include <QCloseEvent>
#include <QLineEdit>

#include "model/Text.h"
#include "model/clsXML.h"
#include "sqlserver/TypeNotationFile.h"
#include "ui/MessageText.h"
#include "ui/PlatformServices.h"
#include "ui/TextBoxes.h"
#include "ui/UserSettings.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"
#include "ui/ui_frmDatTypeSQLServer.h"

namespace morvane::ui {
namespace {

const QString kTypeNotationFilter = QStringLiteral("SQLServerﾌｨｰﾙﾄﾞ属性定義ﾌｧｲﾙ|*.sfa");

}  // namespace

frmDatTypeSQLServer::frmDatTypeSQLServer(WindowHub& hub)
    : hub_(hub), form_(std::make_unique<Ui::frmDatTypeSQLServer>()) {
  form_->setupUi(this);
  connect(form_->mnuOpen, &QAction::triggered, this, &frmDatTypeSQLServer::mnuOpen_Click);
  connect(form_->mnuSave, &QAction::triggered, this, &frmDatTypeSQLServer::mnuSave_Click);
  connect(form_->mnuQuit, &QAction::triggered, this, &frmDatTypeSQLServer::mnuQuit_Click);
}

frmDatTypeSQLServer::~frmDatTypeSQLServer() = default;

const std::shared_ptr<clsSQLServerFieldAttr>& frmDatTypeSQLServer::dataType() {
  if (!moDataType) moDataType = std::make_shared<clsSQLServerFieldAttr>();
  return moDataType;
}

void frmDatTypeSQLServer::sbShow() {
  // Shown again while loaded, it keeps the edits in its boxes.
  if (!loaded_) Form_Load();
  show();
  raise();
  activateWindow();
}

bool frmDatTypeSQLServer::fnUnload() {
  if (!loaded_) return true;
  return close();
}

void frmDatTypeSQLServer::sbDiscard() {
  loaded_ = false;
  hide();
}

void frmDatTypeSQLServer::closeEvent(QCloseEvent* event) {
  if (loaded_ && !Form_QueryUnload()) {
    event->ignore();
    return;
  }
  loaded_ = false;
  event->accept();
}

void frmDatTypeSQLServer::Form_Load() {
  textBoxes_ = {form_->txtChar, form_->txtVarchar, form_->txtIdentity, form_->txtInt, form_->txtDate,
                form_->txtFloat, form_->txtReal, form_->txtDecimal, form_->txtMoney};
  for (QLineEdit* box : textBoxes_) box->clear();
  sbShowDataType();
  form_->txtChar->setFocus(Qt::OtherFocusReason);
  loaded_ = true;
}

bool frmDatTypeSQLServer::Form_QueryUnload() {
  if (!fnCheckDataType()) return false;
  sbGetDataType();
  hub_.dbDef().moobjFAttr = moDataType;
  return true;
}

void frmDatTypeSQLServer::sbShowDataType() {
  const clsSQLServerFieldAttr& types = *dataType();
  form_->txtChar->setText(QString::fromStdString(types.getChar()));
  form_->txtVarchar->setText(QString::fromStdString(types.getVarChar()));
  form_->txtIdentity->setText(QString::fromStdString(types.getIdentity()));
  form_->txtInt->setText(QString::fromStdString(types.getInt()));
  form_->txtDate->setText(QString::fromStdString(types.getDate()));
  form_->txtFloat->setText(QString::fromStdString(types.getFloat()));
  form_->txtReal->setText(QString::fromStdString(types.getReal()));
  form_->txtDecimal->setText(QString::fromStdString(types.getDecimal()));
  form_->txtMoney->setText(QString::fromStdString(types.getMoney()));
}

void frmDatTypeSQLServer::sbGetDataType() {
  clsSQLServerFieldAttr& types = *dataType();
  types.setChar(form_->txtChar->text().toStdString());
  types.setVarChar(form_->txtVarchar->text().toStdString());
  types.setIdentity(form_->txtIdentity->text().toStdString());
  types.setInt(form_->txtInt->text().toStdString());
  types.setDate(form_->txtDate->text().toStdString());
  types.setFloat(form_->txtFloat->text().toStdString());
  types.setReal(form_->txtReal->text().toStdString());
  types.setDecimal(form_->txtDecimal->text().toStdString());
  types.setMoney(form_->txtMoney->text().toStdString());
}

bool frmDatTypeSQLServer::fnCheckDataType() {
  for (QLineEdit* box : textBoxes_) {
    if (isBlank(box->text().toStdString())) {
      hub_.services().showMessage(this, QStringLiteral("未入力です"), MessageIcon::Exclamation);
      box->setFocus(Qt::OtherFocusReason);
      return false;
    }
  }
  return true;
}

void frmDatTypeSQLServer::mnuOpen_Click() {
  const QString path = hub_.services().openFileName(this, kTypeNotationFilter);
  if (isBlank(path.toStdString())) return;
  clsXML reader;
  bool read = reader.fnReadFile(path.toStdString());
  QString reason = QString::fromStdString(reader.getErrMsg());
  try {
    if (read) sbReadDataType(reader, *dataType());
  } catch (const TypeNotationError& error) {
    read = false;  // a value too long for a type word: the boxes keep what they show
    reason = QString::fromStdString(error.what());
  }
  if (!read) {
    hub_.services().showMessage(this, withReason(QStringLiteral("読み込みに失敗しました"), reason),
                                MessageIcon::Exclamation);
    return;
  }
  sbShowDataType();
  remember(hub_.services().settings(), setting::kTypeFile, path);
}

void frmDatTypeSQLServer::mnuSave_Click() {
  // What is saved is what the boxes show, so they go into the table first; a cancelled
  // dialog leaves the table alone.
  if (!fnCheckDataType()) return;
  const QString path = hub_.services().saveFileName(this, kTypeNotationFilter);
  if (isBlank(path.toStdString())) return;
  sbGetDataType();
  // Confirmed like a saved layout file.
  clsHash file = dataTypeToHash(*dataType());
  if (file.fnSaveFileAsXml(path.toStdString())) {
    remember(hub_.services().settings(), setting::kTypeFile, path);
    hub_.services().showMessage(this, QStringLiteral("保存しました"), MessageIcon::None);
  } else {
    hub_.services().showMessage(this, withReason(QStringLiteral("保存に失敗しました"),
                                                 QString::fromStdString(file.getErrMsg())),
                                MessageIcon::Exclamation);
  }
}

void frmDatTypeSQLServer::mnuQuit_Click() { close(); }

}  // namespace morvane::ui
