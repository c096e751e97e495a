// Writes a picture of the table list window with the example workbook read and two tables
// selected: table-list-screenshots <folder> (run with QT_QPA_PLATFORM=offscreen).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextStream>
#include <filesystem>

#include "TestServices.h"
#include "tests/support/ExampleModel.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"
#include "ui/frmTableList.h"

using namespace morvane::ui;

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 2) {
    QTextStream(stderr) << "usage: table-list-screenshots FOLDER\n";
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  test::TestServices services;
  WindowHub hub(services, [] {});

  frmDBDef& layout = hub.dbDef();
  layout.sbShow();
  const std::filesystem::path book =
      std::filesystem::path(morvane::test::exampleDescriptionPath()).parent_path() / "design-document.xlsx";
  layout.findChild<QLineEdit*>(QStringLiteral("txtFile"))->setText(QString::fromStdString(book.string()));
  const QStringList boxes = {"txtSSheet",     "txtESheet",  "txtTableNmRow", "txtTableNmCol",
                             "txtFieldStart", "txtFieldNm", "txtFieldAttr",  "txtFieldSize",
                             "txtPKey",       "txtNull"};
  const QStringList values = {"1", "5", "3", "3", "6", "4", "5", "6", "7", "9"};
  for (int i = 0; i < boxes.size(); ++i) layout.findChild<QLineEdit*>(boxes[i])->setText(values[i]);
  layout.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();

  frmTableList& tables = hub.tableList();
  auto* list = tables.findChild<QListWidget*>(QStringLiteral("List1"));
  if (list->count() < 3 || !services.messages.empty()) {
    QTextStream(stderr) << "the example workbook was not read\n";
    return 1;
  }
  list->item(0)->setSelected(true);
  list->item(2)->setSelected(true);
  QApplication::processEvents();
  const QString path = folder.filePath(QStringLiteral("table-list-window.png"));
  if (!tables.grab().save(path)) {
    QTextStream(stderr) << "cannot write " << path << '\n';
    return 1;
  }
  return 0;
}
