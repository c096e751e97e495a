// The type notation window: boxes from the shared table, the close check, copy-back, files.
#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "TestServices.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"
#include "ui/frmDatTypeSQLServer.h"

using namespace morvane::ui;
using morvane::clsSQLServerFieldAttr;
using morvane::ui::test::TestServices;

namespace {

const QStringList kBoxes = {"txtChar", "txtVarchar", "txtIdentity", "txtInt",  "txtDate",
                            "txtFloat", "txtReal",   "txtDecimal",  "txtMoney"};

// The table's notations in the boxes' order.
QStringList notations(const clsSQLServerFieldAttr& t) {
  QStringList all;
  for (const std::string& each : {t.getChar(), t.getVarChar(), t.getIdentity(), t.getInt(), t.getDate(),
                                  t.getFloat(), t.getReal(), t.getDecimal(), t.getMoney()}) {
    all << QString::fromStdString(each);
  }
  return all;
}

const QStringList kDefaults = {"char", "varchar", "identity", "int", "date", "float", "real", "decimal", "money"};

}  // namespace

class frmDatTypeSQLServerTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestServices> services_;
  std::unique_ptr<WindowHub> hub_;
  std::shared_ptr<clsSQLServerFieldAttr> table_;

  frmDatTypeSQLServer& window() { return hub_->datTypeSQLServer(); }
  QLineEdit* box(const QString& name) { return window().findChild<QLineEdit*>(name); }
  void trigger(const char* action) { window().findChild<QAction*>(action)->trigger(); }
  QStringList shown() {
    QStringList all;
    for (const QString& name : kBoxes) all << box(name)->text();
    return all;
  }
  // Opened from the layout definition window, as the user does.
  void openFromLayoutWindow() {
    hub_->dbDef().sbShow();
    hub_->dbDef().findChild<QAction*>("mnuFieldAttr")->trigger();
    table_ = hub_->dbDef().moobjFAttr;
  }

 private slots:
  void init() {
    services_ = std::make_unique<TestServices>();
    hub_ = std::make_unique<WindowHub>(*services_, [] {});
    openFromLayoutWindow();
  }
  void cleanup() {
    hub_.reset();
    services_.reset();
    table_.reset();
  }

  void freshRunShowsTheDefaultsTopToBottom() {
    QVERIFY(window().isVisible());
    QVERIFY(window().moDataType == table_);
    QCOMPARE(shown(), kDefaults);
    QCOMPARE(window().focusWidget(), box("txtChar"));
  }

  void blankBoxRefusesTheClose() {
    box("txtVarchar")->clear();
    box("txtMoney")->setText("   ");
    box("txtChar")->setText("nchar");
    trigger("mnuQuit");
    QCOMPARE(services_->messages.size(), std::size_t{1});
    QCOMPARE(services_->messages[0].prompt, QStringLiteral("未入力です"));
    QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
    QCOMPARE(window().focusWidget(), box("txtVarchar"));
    QVERIFY(window().isLoaded() && window().isVisible());
    QCOMPARE(notations(*table_), kDefaults);
    QCOMPARE(box("txtChar")->text(), QStringLiteral("nchar"));
  }

  void closingCopiesTheBoxesUntrimmed() {
    box("txtChar")->setText(" nchar ");
    box("txtDate")->setText("datetime");
    QVERIFY(window().close());
    QVERIFY(!window().isLoaded());
    QCOMPARE(table_->getChar(), std::string(" nchar "));
    QCOMPARE(table_->getDate(), std::string("datetime"));
    QVERIFY(hub_->dbDef().moobjFAttr == table_);
  }

  void editsWaitForTheClose() {
    box("txtInt")->setText("integer");
    QCOMPARE(table_->getInt(), std::string("int"));
    // Shown again while open, the window keeps the edit.
    hub_->dbDef().findChild<QAction*>("mnuFieldAttr")->trigger();
    QCOMPARE(box("txtInt")->text(), QStringLiteral("integer"));
    QVERIFY(window().fnUnload());
    QCOMPARE(table_->getInt(), std::string("integer"));
    // Loaded anew, it shows the table again.
    table_->setInt("bigint");
    hub_->dbDef().findChild<QAction*>("mnuFieldAttr")->trigger();
    QCOMPARE(box("txtInt")->text(), QStringLiteral("bigint"));
  }

  void saveWritesWhatTheBoxesShow() {
    QTemporaryDir dir;
    const QString path = dir.filePath("types.sfa");
    box("txtReal")->setText("single");
    services_->answers = {path};
    trigger("mnuSave");
    QVERIFY(services_->messages.empty());
    QCOMPARE(services_->dialogs.at(0).filter, QStringLiteral("SQLServerﾌｨｰﾙﾄﾞ属性定義ﾌｧｲﾙ|*.sfa"));
    QCOMPARE(table_->getReal(), std::string("single"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("<real>single</real>"));
  }

  void saveWithABlankBoxAsksNothing() {
    box("txtFloat")->clear();
    trigger("mnuSave");
    QCOMPARE(services_->messages.size(), std::size_t{1});
    QCOMPARE(services_->messages[0].prompt, QStringLiteral("未入力です"));
    QCOMPARE(window().focusWidget(), box("txtFloat"));
    QVERIFY(services_->dialogs.empty());
  }

  void cancelledSaveLeavesTheTable() {
    box("txtReal")->setText("single");
    trigger("mnuSave");
    QCOMPARE(services_->dialogs.size(), std::size_t{1});
    QVERIFY(services_->messages.empty());
    QCOMPARE(table_->getReal(), std::string("real"));
  }

  void failedSaveIsReported() {
    QTemporaryDir dir;
    services_->answers = {dir.filePath("missing/types.sfa")};
    trigger("mnuSave");
    QCOMPARE(services_->messages.size(), std::size_t{1});
    QCOMPARE(services_->messages[0].prompt, QStringLiteral("保存に失敗しました"));
  }

  void openReplacesTableAndBoxes() {
    QTemporaryDir dir;
    const QString path = dir.filePath("types.sfa");
    box("txtMoney")->setText("currency");
    box("txtDecimal")->setText("numeric");
    services_->answers = {path};
    trigger("mnuSave");
    QVERIFY(window().close());
    table_->setMoney("money");
    table_->setDecimal("decimal");

    hub_->dbDef().findChild<QAction*>("mnuFieldAttr")->trigger();
    box("txtChar")->setText("unsaved edit");
    services_->answers = {path};
    trigger("mnuOpen");
    QVERIFY(services_->messages.empty());
    QCOMPARE(table_->getMoney(), std::string("currency"));
    QCOMPARE(box("txtMoney")->text(), QStringLiteral("currency"));
    QCOMPARE(box("txtDecimal")->text(), QStringLiteral("numeric"));
    QCOMPARE(box("txtChar")->text(), QStringLiteral("char"));
  }

  void failedOpenKeepsBoxesAndTable() {
    QTemporaryDir dir;
    box("txtChar")->setText("nchar");
    services_->answers = {dir.filePath("none.sfa")};
    trigger("mnuOpen");
    QCOMPARE(services_->messages.size(), std::size_t{1});
    QCOMPARE(services_->messages[0].prompt, QStringLiteral("読み込みに失敗しました"));
    QCOMPARE(box("txtChar")->text(), QStringLiteral("nchar"));
    QCOMPARE(notations(*table_), kDefaults);
    trigger("mnuOpen");  // cancelled
    QCOMPARE(services_->messages.size(), std::size_t{1});
  }
};

QTEST_MAIN(frmDatTypeSQLServerTest)
#include "frmDatTypeSQLServerTest.moc"
