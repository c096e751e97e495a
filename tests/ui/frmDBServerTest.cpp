// The server connection window against the TDS test server.
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "TestServices.h"
#include "tests/support/TdsTestServer.h"
#include "ui/WindowHub.h"
#include "ui/frmDBServer.h"

using namespace morvane;
using namespace morvane::ui;
using morvane::test::TdsTestServer;
using morvane::ui::test::TestServices;

namespace {

TablePtr table(const std::string& name, const std::string& idSize = "1,1", const std::string& nameType = "varchar") {
  auto t = std::make_shared<clsTableInfo>();
  t->setName(name);
  clsFieldInfo id;
  id.setName(name + "ID");
  id.setAttr("identity");
  id.setSize(idSize);
  t->setField(id);
  clsFieldInfo label;
  label.setName("名前");
  label.setAttr(nameType);
  label.setSize("50");
  label.setNull(true);
  t->setField(label);
  t->sbAddPKey(name + "ID");
  return t;
}

clsDBInfo tables(std::initializer_list<TablePtr> list) {
  clsDBInfo db;
  for (const TablePtr& t : list) db.setTable(t);
  return db;
}

TdsTestServer::Config account() {
  TdsTestServer::Config config;
  config.user = "sa";
  config.password = "pw";
  config.database = "販売";
  return config;
}

}  // namespace

class frmDBServerTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestServices> services_;
  std::unique_ptr<WindowHub> hub_;

  frmDBServer& window() { return hub_->dbServer(); }
  QLineEdit* box(const char* name) { return window().findChild<QLineEdit*>(name); }
  void enter(const QString& server, const QString& db, const QString& user, const QString& password) {
    box("txtServer")->setText(server);
    box("txtDB")->setText(db);
    box("txtUser")->setText(user);
    box("txtPasswd")->setText(password);
  }
  void enter(const TdsTestServer& server, const QString& password = QStringLiteral("pw")) {
    enter(QString::fromStdString(server.address()), QStringLiteral("販売"), QStringLiteral("sa"), password);
  }
  void create() { QTest::mouseClick(window().findChild<QPushButton*>("cmdCreateTable"), Qt::LeftButton); }
  QStringList prompts() {
    QStringList all;
    for (const auto& message : services_->messages) all << message.prompt;
    return all;
  }

 private slots:
  void init() {
    services_ = std::make_unique<TestServices>();
    hub_ = std::make_unique<WindowHub>(*services_, [] {});
    window().sbShow();
  }
  void cleanup() {
    hub_.reset();
    services_.reset();
  }

  void firstBlankBoxIsReportedAndNothingIsSent_data() {
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("reported");
    QTest::newRow("all empty") << QStringList{"", "", "", ""} << "txtServer";
    QTest::newRow("blank password") << QStringList{"srv", "db", "sa", "   "} << "txtPasswd";
    QTest::newRow("user after database") << QStringList{"srv", "", "　", "pw"} << "txtDB";
  }
  void firstBlankBoxIsReportedAndNothingIsSent() {
    QFETCH(QStringList, values);
    QFETCH(QString, reported);
    TdsTestServer server(account());
    enter(values[0], values[1], values[2], values[3]);
    box(qPrintable(reported))->deselect();
    create();
    QCOMPARE(prompts(), QStringList{"未入力です"});
    QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
    QLineEdit* blank = box(qPrintable(reported));
    QCOMPARE(blank->selectedText(), blank->text());
    QCOMPARE(server.connectionCount(), std::size_t{0});
  }

  void passwordIsMasked() { QCOMPARE(box("txtPasswd")->echoMode(), QLineEdit::Password); }

  void failingTableIsReportedAndTheOthersAreMade() {
    TdsTestServer server(account());
    // The middle table has an identity size without increment: no script can be made for it.
    window().setDBInfo(tables({table("顧客"), table("注文", "1"), table("Orders")}));
    enter(server);
    create();
    QCOMPARE(prompts(), (QStringList{"注文作成に失敗しました", "作成処理を終了しました。"}));
    QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
    QVERIFY(services_->messages[1].icon == MessageIcon::None);
    QCOMPARE(server.tables(), (std::set<std::string>{"顧客", "Orders"}));
    QVERIFY(window().isLoaded());
    QCOMPARE(box("txtPasswd")->text(), QStringLiteral("pw"));
  }

  void createTwiceReportsEachExistingTableWithTheServersReason() {
    TdsTestServer server(account());
    window().setDBInfo(tables({table("顧客"), table("Orders")}));
    enter(server);
    create();
    services_->messages.clear();
    create();
    const QStringList shown = prompts();
    QCOMPARE(shown.size(), 3);
    QVERIFY2(shown[0].startsWith("顧客作成に失敗しました\n") && shown[0].contains("already an object named '顧客'"),
             qPrintable(shown[0]));
    QVERIFY2(shown[1].startsWith("Orders作成に失敗しました\n"), qPrintable(shown[1]));
    QCOMPARE(shown[2], QStringLiteral("作成処理を終了しました。"));
    QCOMPARE(server.connectionCount(), std::size_t{2});
  }

  void wrongPasswordShowsTheDriversTextThenTheWarning() {
    TdsTestServer server(account());
    window().setDBInfo(tables({table("顧客")}));
    enter(server, QStringLiteral("wrong"));
    create();
    const QStringList shown = prompts();
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown[0].contains("Login failed"), qPrintable(shown[0]));
    QVERIFY(services_->messages[0].icon == MessageIcon::None);
    QCOMPARE(shown[1], QStringLiteral("接続に失敗しました"));
    QVERIFY(services_->messages[1].icon == MessageIcon::Exclamation);
    QVERIFY(server.batches().empty());
    QVERIFY(window().isLoaded());
    QCOMPARE(box("txtPasswd")->text(), QStringLiteral("wrong"));
  }

  void noTablesStillConnectsAndFinishes() {
    TdsTestServer server(account());
    enter(server);
    create();
    QCOMPARE(prompts(), QStringList{"作成処理を終了しました。"});
    QCOMPARE(server.connectionCount(), std::size_t{1});
  }

  void theProgramsTypeTableIsUsedAndUndefinedTypesAreNamed() {
    TdsTestServer server(account());
    auto types = std::make_shared<clsSQLServerFieldAttr>();
    types->setVarChar("文字列");
    window().setFieldAttr(types);
    window().setDBInfo(tables({table("顧客", "1,1", "文字列"), table("Orders", "1,1", "text")}));
    enter(server);
    create();
    QCOMPARE(prompts(), (QStringList{"Orders\ntextは未定義です", "作成処理を終了しました。"}));
    const auto batches = server.batches();
    QCOMPARE(batches.size(), std::size_t{2});
    QVERIFY2(batches[0].find("varchar(50)") != std::string::npos, batches[0].c_str());
    QVERIFY(batches[1].find("名前") == std::string::npos);
  }

  void modalShowReturnsWhenTheWindowCloses() {
    box("txtServer")->setText("kept while loaded");
    QTimer::singleShot(0, &window(), [this] {
      QVERIFY(window().isVisible() && window().isModal());
      QCOMPARE(box("txtServer")->text(), QStringLiteral("kept while loaded"));
      window().close();
    });
    window().sbShowModal();
    QVERIFY(!window().isLoaded());
  }
};

QTEST_MAIN(frmDBServerTest)
#include "frmDBServerTest.moc"
