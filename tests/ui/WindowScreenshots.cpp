// Writes pictures of the windows as the user first meets them: ui-screenshots <folder>.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTextStream>

#include "TestServices.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"
#include "ui/frmDBServer.h"
#include "ui/frmDatTypeSQLServer.h"

using namespace morvane::ui;

namespace {

bool save(QWidget& window, const QDir& folder, const QString& name) {
  QApplication::processEvents();
  const QString path = folder.filePath(name);
  if (window.grab().save(path)) return true;
  QTextStream(stderr) << "cannot write " << path << '\n';
  return false;
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
  layout.mostrFilePath = QStringLiteral("/home/user/design-document.xlsx");
  layout.sbShow();
  layout.sbSetTextBox();
  bool ok = save(layout, folder, QStringLiteral("layout-window.png"));

  layout.findChild<QAction*>(QStringLiteral("mnuFieldAttr"))->trigger();
  ok = save(hub.datTypeSQLServer(), folder, QStringLiteral("type-window.png")) && ok;

  frmDBServer& server = hub.dbServer();
  server.sbShow();
  const QStringList values = {"dbserver", "販売", "sa", "secret"};
  const QStringList boxes = {"txtServer", "txtDB", "txtUser", "txtPasswd"};
  for (int i = 0; i < boxes.size(); ++i) server.findChild<QLineEdit*>(boxes[i])->setText(values[i]);
  ok = save(server, folder, QStringLiteral("server-window.png")) && ok;
  return ok ? 0 : 1;
}
