// Create tables from the table list: the selected tables go to the server window, which runs
// them on the TDS test server with the program's type notation table.
#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestServices.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/support/TdsTestServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/XlsxPackage.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"
#include "ui/frmDBServer.h"
#include "ui/frmTableList.h"

using namespace morvane;
using namespace morvane::ui;
using morvane::test::TdsTestServer;
using morvane::test::TempDir;
using morvane::ui::test::TestServices;

namespace {

// Sheets in the default layout, each a table with a key column and the given second column.
void writeBook(const std::string& path, const std::vector<std::pair<std::string, std::string>>& tables) {
  morvane::test::XlsxWriterBook book(path);
  for (const auto& [name, type] : tables) {
    lxw_worksheet* cells = book.addSheet();
    morvane::test::writeCell(cells, "C3", name);
    morvane::test::writeCell(cells, "D6", name + "_id");
    morvane::test::writeCell(cells, "E6", "int");
    morvane::test::writeCell(cells, "G6", "*");
    morvane::test::writeCell(cells, "D7", "amount");
    morvane::test::writeCell(cells, "E7", type);
  }
  book.close();
}

// The table names of the CREATE TABLE batches, in arrival order.
QStringList createdInOrder(const TdsTestServer& server) {
  QStringList names;
  for (const std::string& batch : server.batches()) {
    const auto at = batch.find("CREATE TABLE dbo.");
    if (at == std::string::npos) continue;
    const auto start = at + std::string("CREATE TABLE dbo.").size();
    names << QString::fromStdString(batch.substr(start, batch.find(' ', start) - start));
  }
  return names;
}

}  // namespace

class frmTableListServerTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestServices> services_;
  std::unique_ptr<WindowHub> hub_;
  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<TdsTestServer> server_;

  frmTableList& tableList() { return hub_->tableList(); }
  QListWidget* list() { return tableList().findChild<QListWidget*>("List1"); }

  void open(const std::vector<std::pair<std::string, std::string>>& tables) {
    const std::string path = dir_->file("design.xlsx");
    writeBook(path, tables);
    frmTableList& window = tableList();
    window.mostrFilePath = QString::fromStdString(path);
    window.moobjExcelDocInfo = hub_->dbDef().docInfo();
    window.moobjFAttr = hub_->dbDef().fieldAttr();
    window.sbShow();
    QCOMPARE(list()->count(), static_cast<int>(tables.size()));
  }
  // Create tables; while the server window is up (modal), the user fills it in, presses Create
  // `runs` times and closes it. Returns whether the server window was seen.
  bool createTables(const QString& password, int runs, std::function<void()> whileOpen = {}) {
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
      frmDBServer& window = hub_->dbServer();
      seen = window.isVisible();
      window.findChild<QLineEdit*>("txtServer")->setText(QString::fromStdString(server_->address()));
      window.findChild<QLineEdit*>("txtDB")->setText(QStringLiteral("販売"));
      window.findChild<QLineEdit*>("txtUser")->setText(QStringLiteral("sa"));
      window.findChild<QLineEdit*>("txtPasswd")->setText(password);
      for (int run = 0; run < runs; ++run) {
        QTest::mouseClick(window.findChild<QPushButton*>("cmdCreateTable"), Qt::LeftButton);
      }
      if (whileOpen) whileOpen();
      window.close();
    });
    tableList().findChild<QAction*>("mnuMakeTable")->trigger();
    return seen;
  }
  QStringList prompts() {
    QStringList all;
    for (const auto& message : services_->messages) all << message.prompt;
    return all;
  }

 private slots:
  void init() {
    services_ = std::make_unique<TestServices>();
    dir_ = std::make_unique<TempDir>();
    hub_ = std::make_unique<WindowHub>(*services_, [] {});
    server_ = std::make_unique<TdsTestServer>(
        TdsTestServer::Config{.user = "sa", .password = "pw", .database = "販売"});
  }
  void cleanup() {
    hub_.reset();
    services_.reset();
    server_.reset();
    dir_.reset();
  }

  void theSelectedTablesGoInListOrderAndAFailureDoesNotStopTheRest() {
    open({{"first", "int"}, {"unused", "int"}, {"second", "int"}, {"third", "int"}});
    // The second table is on the server already.
    {
      clsSQLServerDB db;
      QVERIFY(db.fnOpenDB(server_->address(), "販売", "sa", "pw"));
      clsTableInfo existing;
      existing.setName("second");
      clsFieldInfo id;
      id.setName("x");
      id.setAttr("int");
      existing.setField(id);
      QVERIFY(db.fnMakeTable(existing));
      db.fnCloseDB();
    }
    list()->item(3)->setSelected(true);
    list()->item(0)->setSelected(true);
    list()->item(2)->setSelected(true);
    QVERIFY(createTables("pw", 1));

    const QStringList shown = prompts();
    QCOMPARE(shown.size(), 2);
    QVERIFY(shown[0].startsWith("second作成に失敗しました"));
    // With the server's reason after it.
    QVERIFY(shown[0].contains("second"));
    QVERIFY(shown[0].size() > QStringLiteral("second作成に失敗しました").size());
    QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
    QCOMPARE(shown[1], QStringLiteral("作成処理を終了しました。"));
    QVERIFY(services_->messages[1].icon == MessageIcon::None);
    QCOMPARE(createdInOrder(*server_), (QStringList{"second", "first", "second", "third"}));
    QVERIFY(tableList().isVisible());
  }

  void aWrongPasswordShowsTheDriversTextThenTheFailureAndTheWindowStays() {
    open({{"first", "int"}});
    list()->item(0)->setSelected(true);
    bool stillOpen = false;
    QVERIFY(createTables("wrong", 1, [&] { stillOpen = hub_->dbServer().isVisible(); }));
    QVERIFY(stillOpen);
    const QStringList shown = prompts();
    QCOMPARE(shown.size(), 2);
    QVERIFY(shown[0].contains("Login failed for user 'sa'"));
    QCOMPARE(shown[1], QStringLiteral("接続に失敗しました"));
    QVERIFY(services_->messages[1].icon == MessageIcon::Exclamation);
    QVERIFY(createdInOrder(*server_).isEmpty());
  }

  void createTwiceRunsTwiceAndTheSecondRunFailsPerTable() {
    open({{"first", "int"}, {"second", "int"}});
    list()->selectAll();
    QVERIFY(createTables("pw", 2));
    const QStringList shown = prompts();
    QCOMPARE(shown.size(), 4);
    QCOMPARE(shown[0], QStringLiteral("作成処理を終了しました。"));
    QVERIFY(shown[1].startsWith("first作成に失敗しました"));
    QVERIFY(shown[2].startsWith("second作成に失敗しました"));
    QCOMPARE(shown[3], QStringLiteral("作成処理を終了しました。"));
    QCOMPARE(server_->connectionCount(), std::size_t{2});
  }

  void theServerGetsTheProgramsTypeNotationsAndUndefinedOnesAreReported() {
    hub_->dbDef().fieldAttr()->setMoney("金額");
    open({{"priced", "金額"}, {"odd", "blob"}});
    list()->selectAll();
    QVERIFY(createTables("pw", 1));
    const std::vector<std::string> batches = server_->batches();
    bool sawMoney = false;
    for (const std::string& batch : batches) sawMoney = sawMoney || batch.find("amount money") != std::string::npos;
    QVERIFY(sawMoney);
    bool reported = false;
    for (const QString& prompt : prompts()) {
      reported = reported || (prompt.contains("odd") && prompt.contains("blobは未定義です"));
    }
    QVERIFY(reported);
    QCOMPARE(prompts().last(), QStringLiteral("作成処理を終了しました。"));
  }
};

QTEST_MAIN(frmTableListServerTest)
#include "frmTableListServerTest.moc"
