#include "ui/frmServerBook.h"

#include <QLineEdit>
#include <QPushButton>

#include "model/Text.h"
#include "platform/files/Files.h"
#include "sqlserver/clsSQLServerDB.h"
#include "sqlserver/reverse/DesignBookPlan.h"
#include "ui/PlatformServices.h"
#include "ui/TableRun.h"
#include "ui/WindowHub.h"
#include "ui_frmServerBook.h"

namespace morvane::ui {
namespace {

const QString kBookFilter = QStringLiteral("Excelﾌｧｲﾙ|*.xlsx");

std::string text(const QLineEdit* box) { return box->text().toStdString(); }

}  // namespace

frmServerBook::frmServerBook(WindowHub& hub, QWidget* owner)
    : QDialog(owner), hub_(hub), form_(std::make_unique<Ui::frmServerBook>()) {
  form_->setupUi(this);
  connect(form_->cmdOK, &QPushButton::clicked, this, &frmServerBook::cmdOK_Click);
  connect(form_->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

frmServerBook::~frmServerBook() = default;

void frmServerBook::sbRun(const clsExcelDBDocInfo& layout, const clsSQLServerFieldAttr& types) {
  layout_ = layout;
  types_ = types;
  if (const std::string problem = designLayoutProblem(layout_); !problem.empty()) {
    hub_.services().showMessage(parentWidget(), QString::fromStdString(problem), MessageIcon::Exclamation);
    return;
  }
  exec();
}

void frmServerBook::cmdOK_Click() {
  for (QLineEdit* box : {form_->txtServer, form_->txtDB, form_->txtUser}) {
    if (isBlank(text(box))) {
      hub_.services().showMessage(this, QStringLiteral("未入力です"), MessageIcon::Exclamation);
      box->setFocus(Qt::OtherFocusReason);
      box->selectAll();
      return;
    }
  }
  const QString path = hub_.services().saveFileName(this, kBookFilter);
  if (isBlank(path.toStdString())) return;
  sbWrite(path);
  accept();
}

void frmServerBook::sbWrite(const QString& path) {
  PlatformServices& services = hub_.services();
  const std::string server = text(form_->txtServer), database = text(form_->txtDB), user = text(form_->txtUser),
                    password = text(form_->txtPasswd), file = path.toStdString();
  clsSQLServerDB db;
  // Said once the run is over, from the UI thread.
  QString failure;
  QStringList warnings;
  std::size_t written = 0;
  std::int32_t endSheet = 0;
  const ProgressTally tally = runTables(services, this, QStringLiteral("設計書作成"), [&](ProgressSink& progress) {
    ProgressTally steps{3, 0, 0, false};
    progress.begin(steps.total);
    auto stop = [&](const QString& reason) {
      failure = reason;
      ++steps.failed;
      progress.end(steps);
      return steps;
    };
    progress.step(0, server);
    if (!db.fnOpenDB(server, database, user, password)) {
      return stop(QString::fromStdString(db.getFailReason()) + QStringLiteral("\n接続に失敗しました"));
    }
    ++steps.done;
    if (progress.cancelled()) {
      db.fnCloseDB();
      steps.cancelled = true;
      progress.end(steps);
      return steps;
    }
    progress.step(1, database);
    const auto catalog = db.fnReadServerCatalog();
    db.fnCloseDB();
    if (!catalog) {
      return stop(QStringLiteral("テーブル定義を読めませんでした\n") + QString::fromStdString(db.getFailReason()));
    }
    if (catalog->empty()) {
      return stop(QStringLiteral("データベース「%1」に dbo のテーブルがないため、何も書きません")
                      .arg(QString::fromStdString(database)));
    }
    ++steps.done;
    if (progress.cancelled()) {
      steps.cancelled = true;
      progress.end(steps);
      return steps;
    }
    progress.step(2, file);
    try {
      const DesignBookPlan plan = writeDesignBook(file, *catalog, layout_, types_, {server, database, todayText()});
      for (const auto& warning : plan.warnings) warnings << QString::fromStdString(warning);
      written = catalog->size();
      endSheet = plan.endSheet;
    } catch (const platform::FileError& error) {
      return stop(QStringLiteral("設計書を書けませんでした\n") + QString::fromStdString(error.what()));
    }
    ++steps.done;
    progress.end(steps);
    return steps;
  });
  if (!failure.isEmpty()) {
    services.showMessage(this, failure, MessageIcon::Exclamation);
    return;
  }
  if (tally.cancelled) {
    services.showMessage(this, runSummary(tally), MessageIcon::None);
    return;
  }
  if (!warnings.isEmpty()) services.showMessage(this, warnings.join(QLatin1Char('\n')), MessageIcon::Exclamation);
  QString done = QStringLiteral("テーブルを %1 個書きました。").arg(written);
  if (endSheet > layout_.getEndPage()) {
    done += QStringLiteral("\n終了シートを %1 にするとすべて読めます。").arg(endSheet);
  }
  services.showMessage(this, done, MessageIcon::None);
}

}  // namespace morvane::ui
