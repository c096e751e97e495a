// Writes pictures of the windows along the example's run: ui-screenshots <folder>. Under a virtual
// display with a window manager (xvfb-run and openbox) the pictures show the windows' frames;
// with QT_QPA_PLATFORM=offscreen only their insides.
#include <QApplication>
#include <QDir>
#include <QProgressDialog>
#include <QScreen>
#include <QTextStream>

#include "TestServices.h"
#include "sqlserver/ServerDrift.h"
#include "tests/support/ExampleModel.h"
#include "ui/QtProgress.h"
#include "ui/frmCheckResult.h"
#include "ui/frmDBServer.h"
#include "ui/frmDatTypeSQLServer.h"
#include "ui/frmDrift.h"

using namespace morvane::ui;
using namespace morvane::ui::test;

namespace {

bool save(QWidget& window, const QDir& folder, const QString& name) {
  QApplication::processEvents();
  QPixmap picture = window.grab();
  if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
    // The screen where the window stands, its frame and title bar as the window manager drew them.
    window.show();
    window.raise();
    if (!QTest::qWaitForWindowExposed(&window)) QTextStream(stderr) << name << ": the window was not shown in time\n";
    QTest::qWait(300);
    const QRect frame = window.frameGeometry();
    picture = window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  }
  if (picture.save(folder.filePath(name))) return true;
  QTextStream(stderr) << "cannot write " << folder.filePath(name) << '\n';
  return false;
}

bool fail(const char* what) {
  QTextStream(stderr) << what << '\n';
  return false;
}

// A design document of 300 tables, named as a sales system's would be.
std::vector<morvane::test::DesignSheet> salesSystem() {
  std::vector<morvane::test::DesignSheet> sheets;
  for (const char* subject : {"顧客", "受注", "発注", "商品", "在庫", "出荷", "請求", "入金", "仕入", "倉庫", "取引先",
                              "社員", "部署", "価格", "返品"}) {
    for (const char* kind :
         {"",     "明細",     "履歴", "マスタ", "区分",   "集計",       "予定", "実績", "ログ", "一時",
          "承認", "変更履歴", "分類", "設定",   "ワーク", "キャンセル", "予約", "見積", "契約", "月次"}) {
      sheets.push_back({std::string(subject) + kind, {{"ID", "int"}}});
    }
  }
  return sheets;
}

bool run(Windows& w, const QDir& folder) {
  frmDBDef& layout = w.layout();
  frmTableList& tables = w.tables();
  // The pictures show a path relative to the checkout, wherever it lies.
  QDir::setCurrent(MORVANE_SOURCE_DIR);
  layout.sbShow();
  setBoxes(layout, QStringList{"txtFile"} + kNumberBoxes,
           {"examples/design-document.xlsx", "1", "5", "3", "3", "6", "4", "5", "6", "7", "9"});
  setBoxes(layout, kOptionalBoxes, {"10", "11", "8", "12", "13", "14", "3", "5"});
  bool ok = save(layout, folder, "layout-window.png");
  trigger(layout, "mnuFieldAttr");
  ok = save(w.hub.datTypeSQLServer(), folder, "type-window.png") && ok;

  child<QPushButton>(layout, "cmdOK")->click();
  if (w.list()->count() < 3 || !w.take().isEmpty()) return fail("the example workbook was not read");
  w.list()->item(0)->setSelected(true);
  w.list()->item(2)->setSelected(true);
  ok = save(tables, folder, "table-list-window.png") && ok;

  // The example's first table on a server that lacks a column and keys it differently, the
  // second not there, and a table only the database has.
  const morvane::clsDBInfo example = morvane::test::exampleModel();
  const auto& first = *example.getTables()[0];
  morvane::ServerTable lacking{first.getName(), {}, {}};
  for (std::size_t i = 0; i + 1 < first.getFields().size(); ++i) {
    lacking.columns.push_back(
        {first.getFields()[i].getName(), static_cast<int>(i + 1), "int", {}, 10, 0, true, false, {}, {}});
  }
  const morvane::ServerTable old{"旧顧客", {{"ID", 1, "int", {}, 10, 0, false, false, {}, {}}}, {"ID"}};
  frmDrift drift(&tables);
  drift.sbShowDrift(morvane::compareWithServer(example, {lacking, old}, morvane::clsSQLServerFieldAttr()),
                    "dbserver,1433");
  drift.resize(900, 330);
  ok = save(drift, folder, "drift-window.png") && ok;

  // The findings of the example that triggers each rule once.
  child<QPushButton>(tables, "cmdBack")->click();
  setBoxes(layout, QStringList{"txtFile", "txtESheet"} + kOptionalBoxes, {"examples/check-findings.xlsx", "4"});
  child<QPushButton>(layout, "cmdOK")->click();
  trigger(tables, "mnuCheck");
  frmCheckResult* findings = tables.checkResult();
  if (!findings || findings->getFindings().size() != 12) return fail("the findings example was not checked");
  findings->resize(980, 330);
  ok = save(*findings, folder, "check-window.png") && ok;

  {
    // The dialog of a long run, as it looks once the half second has passed.
    QtProgress progress(&tables, "テーブル作成");
    progress.begin(4);
    progress.step(1, "受注");
    QApplication::processEvents();
    auto* dialog = tables.findChild<QProgressDialog*>();
    dialog->show();
    ok = save(*dialog, folder, "progress-dialog.png") && ok;
  }

  // A large workbook, the list enlarged with its window and filtered.
  morvane::test::writeDesignBook(w.dir.file("sales-system.xlsx"), salesSystem());
  child<QPushButton>(tables, "cmdBack")->click();
  w.next(w.path("sales-system.xlsx"), {"1", "300", "3", "3", "6", "4", "5", "6", "7", "9"});
  if (w.list()->count() != 300 || !w.take().isEmpty()) return fail("the large workbook was not read");
  tables.resize(tables.size() + QSize(60, 160));
  child(tables, "txtFilter")->setText("履歴");
  for (int row = 0, shown = 0; row < w.list()->count(); ++row) {
    if (!w.list()->item(row)->isHidden() && (++shown == 2 || shown == 5)) w.list()->item(row)->setSelected(true);
  }
  ok = save(tables, folder, "table-list-filter.png") && ok;

  frmDBServer& server = w.hub.dbServer();
  server.sbShow();
  setBoxes(server, kServerBoxes, {"127.0.0.1,40103", "販売", "sa", "secret"});
  return save(server, folder, "server-window.png") && ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 2) {
    QTextStream(stderr) << "usage: ui-screenshots FOLDER\n";
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  Windows windows;
  return run(windows, folder) ? 0 : 1;
}
