// Writes pictures of the windows along the example's run: ui-screenshots <folder>
// (run with QT_QPA_PLATFORM=offscreen).
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTextStream>
#include <filesystem>

#include "TestServices.h"
#include "tests/support/ExampleModel.h"
#include "ui/QtProgress.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"
#include "ui/frmDBServer.h"
#include "ui/frmDatTypeSQLServer.h"
#include "ui/frmTableList.h"

using namespace morvane::ui;

namespace {

bool save(QWidget& window, const QDir& folder, const QString& name) {
  QApplication::processEvents();
  const QString path = folder.filePath(name);
  if (window.grab().save(path)) return true;
  QTextStream(stderr) << "cannot write " << path << '\n';
  return false;
}

void fill(QWidget& window, const QStringList& boxes, const QStringList& values) {
  for (int i = 0; i < boxes.size(); ++i) window.findChild<QLineEdit*>(boxes[i])->setText(values[i]);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 2) {
    QTextStream(stderr) << "usage: ui-screenshots FOLDER\n";
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  test::TestServices services;
  WindowHub hub(services, [] {});

  frmDBDef& layout = hub.dbDef();
  layout.sbShow();
  const std::filesystem::path book =
      std::filesystem::path(morvane::test::exampleDescriptionPath()).parent_path() / "design-document.xlsx";
  fill(layout,
       {"txtFile", "txtSSheet", "txtESheet", "txtTableNmRow", "txtTableNmCol", "txtFieldStart", "txtFieldNm",
        "txtFieldAttr", "txtFieldSize", "txtPKey", "txtNull"},
       {QString::fromStdString(book.string()), "1", "5", "3", "3", "6", "4", "5", "6", "7", "9"});
  bool ok = save(layout, folder, QStringLiteral("layout-window.png"));

  layout.findChild<QAction*>(QStringLiteral("mnuFieldAttr"))->trigger();
  ok = save(hub.datTypeSQLServer(), folder, QStringLiteral("type-window.png")) && ok;

  layout.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
  auto* list = hub.tableList().findChild<QListWidget*>(QStringLiteral("List1"));
  if (list->count() < 3 || !services.messages.empty()) {
    QTextStream(stderr) << "the example workbook was not read\n";
    return 1;
  }
  list->item(0)->setSelected(true);
  list->item(2)->setSelected(true);
  ok = save(hub.tableList(), folder, QStringLiteral("table-list-window.png")) && ok;

  {
    // The dialog of a long run, as it looks once the half second has passed.
    QtProgress progress(&hub.tableList(), QStringLiteral("テーブル作成"));
    progress.begin(4);
    progress.step(1, "受注");
    QApplication::processEvents();
    auto* dialog = hub.tableList().findChild<QProgressDialog*>();
    dialog->show();
    ok = save(*dialog, folder, QStringLiteral("progress-dialog.png")) && ok;
  }

  frmDBServer& server = hub.dbServer();
  server.sbShow();
  fill(server, {"txtServer", "txtDB", "txtUser", "txtPasswd"}, {"dbserver", "販売", "sa", "secret"});
  ok = save(server, folder, QStringLiteral("server-window.png")) && ok;
  return ok ? 0 : 1;
}
