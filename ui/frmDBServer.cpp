#include "ui/frmDBServer.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QSettings>

#include "model/Text.h"
#include "sqlserver/clsSQLServerDB.h"
#include "ui/PlatformServices.h"
#include "ui/TableRun.h"
#include "ui/TextBoxes.h"
#include "ui/UndefinedNotations.h"
#include "ui/UserSettings.h"
#include "ui/WindowHub.h"
#include "ui/ui_frmDBServer.h"

namespace morvane::ui {

frmDBServer::frmDBServer(WindowHub& hub) : hub_(hub), form_(std::make_unique<Ui::frmDBServer>()) {
  form_->setupUi(this);
  auto* selectAll = new SelectAllOnFocus(this);
  for (QLineEdit* box : {form_->txtServer, form_->txtDB, form_->txtUser, form_->txtPasswd}) selectAll->watch(box);
  connect(form_->cmdCreateTable, &QPushButton::clicked, this, &frmDBServer::cmdCreateTable_Click);
  connect(form_->mnuQuit, &QAction::triggered, this, [this] { hub_.endProgram(); });
}

frmDBServer::~frmDBServer() = default;

void frmDBServer::sbShow() {
  if (!loaded_) Form_Load();
  show();
  raise();
  activateWindow();
}

void frmDBServer::sbShowModal() {
  // Modality only takes effect when the window is shown anew.
  if (isVisible() && !isModal()) hide();
  setWindowModality(Qt::ApplicationModal);
  sbShow();
  QEventLoop loop;
  modalLoop_ = &loop;
  loop.exec();
  modalLoop_ = nullptr;
}

void frmDBServer::sbDiscard() {
  loaded_ = false;
  hide();
  if (modalLoop_ != nullptr) modalLoop_->quit();
}

void frmDBServer::closeEvent(QCloseEvent* event) {
  loaded_ = false;
  event->accept();
  if (modalLoop_ != nullptr) modalLoop_->quit();
}

void frmDBServer::Form_Load() {
  mocolTextBox = {form_->txtServer, form_->txtDB, form_->txtUser, form_->txtPasswd};
  for (QLineEdit* box : mocolTextBox) box->clear();
  // The names of the last connection; the password is never kept.
  QSettings& settings = hub_.services().settings();
  form_->txtServer->setText(rememberedText(settings, setting::kServer));
  form_->txtDB->setText(rememberedText(settings, setting::kDatabase));
  form_->txtUser->setText(rememberedText(settings, setting::kUser));
  form_->txtServer->setFocus(Qt::OtherFocusReason);
  loaded_ = true;
}

void frmDBServer::sbRemember() {
  QSettings& settings = hub_.services().settings();
  remember(settings, setting::kServer, form_->txtServer->text());
  remember(settings, setting::kDatabase, form_->txtDB->text());
  remember(settings, setting::kUser, form_->txtUser->text());
}

bool frmDBServer::fnCheckInput() {
  for (QLineEdit* box : mocolTextBox) {
    if (isBlank(box->text().toStdString())) {
      hub_.services().showMessage(this, QStringLiteral("未入力です"), MessageIcon::Exclamation);
      sbSelectAllText(box);
      return false;
    }
  }
  return true;
}

bool frmDBServer::fnConnect(clsSQLServerDB& db, QWidget* owner) {
  PlatformServices& services = hub_.services();
  db.setQueryTimeout(queryTimeoutSeconds_);
  // A login waits up to its timeout: the progress dialog shows meanwhile, and a cancel ends the
  // run as soon as the attempt returns.
  bool opened = false;
  bool cancelled = false;
  const std::string server = form_->txtServer->text().toStdString(), database = form_->txtDB->text().toStdString(),
                    user = form_->txtUser->text().toStdString(), password = form_->txtPasswd->text().toStdString();
  runTables(services, owner, QStringLiteral("サーバに接続"), [&](ProgressSink& progress) {
    progress.begin(0);
    opened = db.fnOpenDB(server, database, user, password);
    cancelled = progress.cancelled();
    progress.end({});
    return ProgressTally{};
  });
  sbRemember();
  if (opened && cancelled) db.fnCloseDB();
  if (opened) return !cancelled;
  services.showMessage(owner, QString::fromStdString(db.getFailReason()), MessageIcon::None);
  services.showMessage(owner, QStringLiteral("接続に失敗しました"), MessageIcon::Exclamation);
  return false;
}

void frmDBServer::sbShowModalFor(Comparison compare) {
  compare_ = std::move(compare);
  form_->cmdCreateTable->setText(QStringLiteral("比較(&C)"));
  sbShowModal();
  compare_ = nullptr;
  form_->cmdCreateTable->setText(QStringLiteral("作成(&C)"));
}

void frmDBServer::cmdCreateTable_Click() {
  if (!fnCheckInput()) return;
  PlatformServices& services = hub_.services();
  if (!moobjFieldAttr) moobjFieldAttr = std::make_shared<clsSQLServerFieldAttr>();
  clsSQLServerDB db;
  db.sbSetFieldAttr(moobjFieldAttr);
  if (!fnConnect(db, this)) return;
  if (compare_) {
    compare_(db);
    db.fnCloseDB();
    close();
    return;
  }
  // Gathered off the UI thread, shown once the run is over.
  QStringList failures;
  QStringList undefined;
  const ProgressTally tally =
      runTables(services, this, QStringLiteral("テーブル作成"), [&](ProgressSink& progress) {
        StoppableProgress run(progress);
        return db.fnMakeTables(moobjDBInfo, run, [&](const clsTableInfo& table, bool made) {
          const QString name = QString::fromStdString(table.getName());
          if (!made && isConnectionLost(db.getFailReason())) run.stop();
          if (!made) {
            QString prompt = name + QStringLiteral("作成に失敗しました");
            if (!db.getFailReason().empty()) prompt += QLatin1Char('\n') + QString::fromStdString(db.getFailReason());
            failures << prompt;
          }
          undefined << undefinedNotationLines(name, db);
        });
      });
  db.fnCloseDB();
  for (const QString& prompt : failures) services.showMessage(this, prompt, MessageIcon::Exclamation);
  // The created tables lack these columns: the user has to know.
  if (!undefined.isEmpty()) services.showMessage(this, undefined.join(QLatin1Char('\n')), MessageIcon::Exclamation);
  if (const QString keys = foreignKeyLines(db); !keys.isEmpty()) services.showMessage(this, keys, MessageIcon::Exclamation);
  services.showMessage(this, runSummary(tally), MessageIcon::None);
}

}  // namespace morvane::ui
