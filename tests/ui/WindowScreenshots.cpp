// Writes pictures of the windows along the example's run: ui-screenshots <folder>. Under a virtual
// display with a window manager (xvfb-run and openbox) the pictures show the windows' frames;
// with QT_QPA_PLATFORM=offscreen only their insides.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextStream>
#include <filesystem>

#include "TestServices.h"
#include "tests/support/ExampleModel.h"
#include "ui/QtProgress.h"
#include "tests/support/TempDir.h"
#include "tests/support/XlsxPackage.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"
#include "ui/frmCheckResult.h"
#include "ui/frmDBServer.h"
#include "ui/frmDrift.h"
#include "sqlserver/ServerDrift.h"
#include "ui/frmDatTypeSQLServer.h"
#include "ui/frmTableList.h"

using namespace morvane::ui;

namespace {

bool save(QWidget& window, const QDir& folder, const QString& name) {
  QApplication::processEvents();
  const QString path = folder.filePath(name);
  QPixmap picture = window.grab();
  if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
    // The screen where the window stands, its frame and title bar as the window manager drew them.
    window.show();
    window.raise();
    QTest::qWaitForWindowExposed(&window);
    QTest::qWait(300);
    const QRect frame = window.frameGeometry();
    picture = window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  }
  if (picture.save(path)) return true;
  QTextStream(stderr) << "cannot write " << path << '\n';
  return false;
}

// A design document of 300 tables, named as a sales system's would be.
void writeLargeBook(const std::string& path) {
  const char* subjects[] = {"顧客", "受注", "発注", "商品", "在庫", "出荷", "請求", "入金", "仕入", "倉庫",
                            "取引先", "社員", "部署", "価格", "返品"};
  const char* kinds[] = {"", "明細", "履歴", "マスタ", "区分", "集計", "予定", "実績", "ログ", "一時",
                         "承認", "変更履歴", "分類", "設定", "ワーク", "キャンセル", "予約", "見積", "契約", "月次"};
  morvane::test::XlsxWriterBook book(path, true);
  for (const char* subject : subjects) {
    for (const char* kind : kinds) {
      lxw_worksheet* sheet = book.addSheet();
      morvane::test::writeCell(sheet, "C3", std::string(subject) + kind);
      morvane::test::writeCell(sheet, "D6", "ID");
      morvane::test::writeCell(sheet, "E6", "int");
    }
  }
  book.close();
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
    // The example's first table on a server that lacks a column and keys it differently, the
    // second not there, and a table only the database has.
    const morvane::clsDBInfo example = morvane::test::exampleModel();
    const auto& tables = example.getTables();
    morvane::ServerTable first{tables[0]->getName(), {}, {}};
    const auto& fields = tables[0]->getFields();
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
      first.columns.push_back({fields[i].getName(), static_cast<int>(i + 1), "int", {}, 10, 0, true, false, {}, {}});
    }
    const morvane::ServerTable old{"旧顧客", {{"ID", 1, "int", {}, 10, 0, false, false, {}, {}}}, {"ID"}};
    frmDrift drift(&hub.tableList());
    drift.sbShowDrift(morvane::compareWithServer(example, {first, old}, morvane::clsSQLServerFieldAttr()),
                      QStringLiteral("dbserver,1433"));
    drift.resize(900, 330);
    ok = save(drift, folder, QStringLiteral("drift-window.png")) && ok;
  }

  // The findings of the example that triggers each rule once.
  hub.tableList().findChild<QPushButton*>(QStringLiteral("cmdBack"))->click();
  fill(layout, {"txtFile", "txtESheet"}, {QString::fromStdString((book.parent_path() / "check-findings.xlsx").string()), "4"});
  layout.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
  hub.tableList().findChild<QAction*>(QStringLiteral("mnuCheck"))->trigger();
  frmCheckResult* findings = hub.tableList().checkResult();
  if (!findings || findings->getFindings().size() != 12) {
    QTextStream(stderr) << "the findings example was not checked\n";
    return 1;
  }
  findings->resize(980, 330);
  ok = save(*findings, folder, QStringLiteral("check-window.png")) && ok;

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

  // A large workbook, the list enlarged with its window and filtered.
  morvane::test::TempDir scratch;
  const std::string large = scratch.file("sales-system.xlsx");
  writeLargeBook(large);
  hub.tableList().findChild<QPushButton*>(QStringLiteral("cmdBack"))->click();
  fill(layout, {"txtFile", "txtSSheet", "txtESheet", "txtTableNmRow", "txtTableNmCol", "txtFieldStart"},
       {QString::fromStdString(large), "1", "300", "3", "3", "6"});
  fill(layout, {"txtFieldNm", "txtFieldAttr", "txtFieldSize", "txtPKey", "txtNull"}, {"4", "5", "6", "7", "9"});
  layout.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
  if (list->count() != 300 || !services.messages.empty()) {
    QTextStream(stderr) << "the large workbook was not read\n";
    return 1;
  }
  hub.tableList().resize(hub.tableList().size() + QSize(60, 160));
  hub.tableList().findChild<QLineEdit*>(QStringLiteral("txtFilter"))->setText(QStringLiteral("履歴"));
  for (int row = 0, shown = 0; row < list->count(); ++row) {
    if (!list->item(row)->isHidden() && (++shown == 2 || shown == 5)) list->item(row)->setSelected(true);
  }
  ok = save(hub.tableList(), folder, QStringLiteral("table-list-filter.png")) && ok;

  frmDBServer& server = hub.dbServer();
  server.sbShow();
  fill(server, {"txtServer", "txtDB", "txtUser", "txtPasswd"}, {"127.0.0.1,40103", "販売", "sa", "secret"});
  ok = save(server, folder, QStringLiteral("server-window.png")) && ok;
  return ok ? 0 : 1;
}
