// The server connection window against the TDS test server.
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <functional>
#include <memory>

#include "TestServices.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/TdsTestServer.h"
#include "ui/WindowHub.h"
#include "ui/frmDBServer.h"

using namespace morvane;
using namespace morvane::ui;
using morvane::test::TdsTestServer;
using morvane::ui::test::TestServices;

namespace {

// A table with an identity key and a nullable name column.
clsTableInfo table(const std::string& name, const std::string& idSize = "1,1") {
  return morvane::test::makeTable(name, {{name + "ID", "identity", idSize}, {"名前", "varchar", "50", true}}, {name + "ID"});
}

// Calls back on every paint of the widget it watches.
class PaintWatch final : public QObject {
 public:
  explicit PaintWatch(std::function<void()> onPaint) : onPaint_(std::move(onPaint)) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) onPaint_();
    return false;
  }

 private:
  std::function<void()> onPaint_;
};

}  // namespace

class frmDBServerTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestServices> services_;
  std::unique_ptr<WindowHub> hub_;
  std::unique_ptr<TdsTestServer> server_;

  frmDBServer& window() { return hub_->dbServer(); }
  QLineEdit* box(const char* name) { return window().findChild<QLineEdit*>(name); }
  void enter(const QStringList& values) {
    const char* names[] = {"txtServer", "txtDB", "txtUser", "txtPasswd"};
    for (int i = 0; i < 4; ++i) box(names[i])->setText(values.value(i));
  }
  void enter(const QString& password = QStringLiteral("pw")) {
    enter({QString::fromStdString(server_->address()), QStringLiteral("販売"), QStringLiteral("sa"), password});
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
    server_ = std::make_unique<TdsTestServer>(
        TdsTestServer::Config{.user = "sa", .password = "pw", .database = "販売"});
    window().sbShow();
  }
  void cleanup() {
    hub_.reset();
    services_.reset();
    server_.reset();
  }

  void firstBlankBoxIsReportedAndNothingIsSent_data() {
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("reported");
    QTest::newRow("all empty") << QStringList{"", "", "", ""} << "txtServer";
    QTest::newRow("blank password") << QStringList{"srv", "db", "sa", "   "} << "txtPasswd";
    QTest::newRow("database before user") << QStringList{"srv", "", "　", "pw"} << "txtDB";
  }
  void firstBlankBoxIsReportedAndNothingIsSent() {
    QFETCH(QStringList, values);
    QFETCH(QString, reported);
    QCOMPARE(box("txtPasswd")->echoMode(), QLineEdit::Password);
    enter(values);
    box(qPrintable(reported))->deselect();
    create();
    QCOMPARE(prompts(), QStringList{"未入力です"});
    QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
    QLineEdit* blank = box(qPrintable(reported));
    QCOMPARE(blank->selectedText(), blank->text());
    QCOMPARE(server_->connectionCount(), std::size_t{0});
  }

  void failingTablesAreReportedEachWithItsReasonAndTheOthersAreMade() {
    // No script can be made for an identity size without increment; an injected name is refused.
    window().setDBInfo(morvane::test::dbOf({table("顧客"), table("注文", "1"), table("x;DROP TABLE y--"), table("Orders")}));
    enter();
    create();
    const QStringList shown = prompts();
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown[0], QStringLiteral("注文作成に失敗しました\nフィールド「注文ID」のサイズ「1」にカンマがありません"));
    QVERIFY2(shown[1].startsWith("x;DROP TABLE y--作成に失敗しました\nテーブル名「x;DROP TABLE y--」に") &&
                 shown[1].endsWith("サーバでは実行しません"),
             qPrintable(shown[1]));
    QCOMPARE(shown[2], QStringLiteral("作成処理を終了しました。\n完了 2 件、失敗 2 件、未処理 0 件"));
    QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
    QVERIFY(services_->messages[2].icon == MessageIcon::None);
    QCOMPARE(server_->tables(), (std::set<std::string>{"顧客", "Orders"}));
    QCOMPARE(server_->batches().size(), std::size_t{3});  // SET XACT_ABORT ON and the two tables
    QVERIFY(window().isLoaded());
    QCOMPARE(box("txtPasswd")->text(), QStringLiteral("pw"));
  }

  void createTwiceReportsEachExistingTableWithTheServersReason() {
    window().setDBInfo(morvane::test::dbOf({table("顧客"), table("Orders")}));
    enter();
    create();
    QCOMPARE(prompts(), QStringList{"作成処理を終了しました。\n完了 2 件、失敗 0 件、未処理 0 件"});
    services_->messages.clear();
    create();
    const QStringList shown = prompts();
    QCOMPARE(shown.size(), 3);
    QVERIFY2(shown[0].startsWith("顧客作成に失敗しました\n") && shown[0].contains("already an object named '顧客'"),
             qPrintable(shown[0]));
    QVERIFY2(shown[1].startsWith("Orders作成に失敗しました\n"), qPrintable(shown[1]));
    QCOMPARE(shown[2], QStringLiteral("作成処理を終了しました。\n完了 0 件、失敗 2 件、未処理 0 件"));
    QCOMPARE(server_->connectionCount(), std::size_t{2});
  }

  void aServerThatStopsAnsweringFailsEachTableWithTheReason() {
    server_ = std::make_unique<TdsTestServer>(TdsTestServer::Config{
        .user = "sa", .password = "pw", .database = "販売", .mode = TdsTestServer::Mode::mute});
    window().setDBInfo(morvane::test::dbOf({table("顧客"), table("Orders")}));
    window().setQueryTimeout(1);
    enter();
    create();
    const QStringList shown = prompts();
    QCOMPARE(shown.size(), 3);
    QVERIFY2(shown[0].startsWith("顧客作成に失敗しました\nサーバが 1 秒以内に応答しませんでした"), qPrintable(shown[0]));
    QVERIFY2(shown[1].startsWith("Orders作成に失敗しました\n"), qPrintable(shown[1]));
    QCOMPARE(shown[2], QStringLiteral("作成処理を終了しました。\n完了 0 件、失敗 2 件、未処理 0 件"));
  }

  // A cancel, and a server lost after the first table: the run stops there either way.
  void aRunStoppedAfterTheFirstOfThreeTablesSendsNoOtherAndCountsThem_data() {
    QTest::addColumn<bool>("lost");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("end");
    QTest::newRow("cancel") << false << QStringList{"作成処理を中止しました。\n完了 1 件、失敗 0 件、未処理 2 件"}
                            << "end 1/0/2 cancelled";
    QTest::newRow("lost server") << true
                                 << QStringList{"注文作成に失敗しました", "作成処理を中止しました。\n完了 1 件、失敗 1 件、未処理 1 件"}
                                 << "end 1/1/1 cancelled";
  }
  void aRunStoppedAfterTheFirstOfThreeTablesSendsNoOtherAndCountsThem() {
    QFETCH(bool, lost);
    QFETCH(QStringList, expected);
    QFETCH(QString, end);
    if (lost) {
      server_ = std::make_unique<TdsTestServer>(
          TdsTestServer::Config{.user = "sa", .password = "pw", .database = "販売", .hangUpAfterBatches = 2});
    } else {
      services_->cancelAfter = 1;
    }
    window().setDBInfo(morvane::test::dbOf({table("顧客"), table("注文"), table("Orders")}));
    enter();
    create();
    QStringList shown = prompts();
    if (lost && shown.size() == 2) shown[0] = shown[0].section(QLatin1Char('\n'), 0, 0);
    QCOMPARE(shown, expected);
    QCOMPARE(server_->tables(), std::set<std::string>{"顧客"});
    // SET XACT_ABORT ON, then the first table.
    QCOMPARE(server_->batches().size(), std::size_t{2});
    // The login has its progress too.
    QCOMPARE(services_->runs.size(), std::size_t{2});
    QCOMPARE(services_->runs[0].first, QStringLiteral("サーバに接続"));
    QCOMPARE(services_->runs[1].first, QStringLiteral("テーブル作成"));
    const auto calls = services_->runs[1].second->calls();
    QCOMPARE(QString::fromStdString(calls.back()), end);
    QCOMPARE(services_->busyDepth, 0);
  }

  void theWindowRepaintsWhileASlowServerTakesEachTable() {
    using namespace std::chrono_literals;
    server_ = std::make_unique<TdsTestServer>(
        TdsTestServer::Config{.user = "sa", .password = "pw", .database = "販売", .batchDelay = 400ms});
    window().setDBInfo(morvane::test::dbOf({table("顧客"), table("注文"), table("Orders")}));
    enter();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    // Paints that land while a table is under way, between its step and the run's end.
    int paintsDuringRun = 0;
    PaintWatch watch([&] {
      if (services_->runs.empty()) return;
      const auto calls = services_->runs.back().second->calls();
      if (calls.size() > 1 && !calls.back().starts_with("end")) ++paintsDuringRun;
    });
    window().installEventFilter(&watch);
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, &window(), [this] { window().update(); });
    ticker.start(50);
    create();
    ticker.stop();
    window().removeEventFilter(&watch);
    QCOMPARE(prompts(), QStringList{"作成処理を終了しました。\n完了 3 件、失敗 0 件、未処理 0 件"});
    QCOMPARE(server_->tables().size(), std::size_t{3});
    QVERIFY2(paintsDuringRun >= 3, qPrintable(QString::number(paintsDuringRun)));
  }

  void wrongPasswordShowsTheDriversTextThenTheWarning() {
    window().setDBInfo(morvane::test::dbOf({table("顧客")}));
    enter(QStringLiteral("wrong"));
    create();
    const QStringList shown = prompts();
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown[0].contains("Login failed for user 'sa'"), qPrintable(shown[0]));
    QVERIFY(services_->messages[0].icon == MessageIcon::None);
    QCOMPARE(shown[1], QStringLiteral("接続に失敗しました"));
    QVERIFY(services_->messages[1].icon == MessageIcon::Exclamation);
    QVERIFY(server_->batches().empty());
    QVERIFY(window().isLoaded());
    QCOMPARE(box("txtPasswd")->text(), QStringLiteral("wrong"));
    // The next run offers the names again, never the password.
    hub_ = std::make_unique<WindowHub>(*services_, [] {});
    window().sbShow();
    QCOMPARE((QStringList{box("txtServer")->text(), box("txtDB")->text(), box("txtUser")->text(), box("txtPasswd")->text()}),
             (QStringList{QString::fromStdString(server_->address()), "販売", "sa", ""}));
  }
};

QTEST_MAIN(frmDBServerTest)
#include "frmDBServerTest.moc"
