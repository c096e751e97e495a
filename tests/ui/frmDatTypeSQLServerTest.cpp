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
const QStringList kDefaults = {"char", "varchar", "identity", "int", "date", "float", "real", "decimal", "money"};

// The table's notations in the boxes' order.
QStringList notations(const clsSQLServerFieldAttr& t) {
  QStringList all;
  for (const std::string& each : {t.getChar(), t.getVarChar(), t.getIdentity(), t.getInt(), t.getDate(),
                                  t.getFloat(), t.getReal(), t.getDecimal(), t.getMoney()}) {
    all << QString::fromStdString(each);
  }
  return all;
}

}  // namespace

class frmDatTypeSQLServerTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestServices> services_;
  std::unique_ptr<WindowHub> hub_;
  std::shared_ptr<clsSQLServerFieldAttr> table_;

  frmDatTypeSQLServer& window() { return hub_->datTypeSQLServer(); }
  QLineEdit* box(const QString& name) { return window().findChild<QLineEdit*>(name); }
  void trigger(const char* action) { window().findChild<QAction*>(action)->trigger(); }
  void showFromLayoutWindow() { hub_->dbDef().findChild<QAction*>("mnuFieldAttr")->trigger(); }
  QStringList shown() {
    QStringList all;
    for (const QString& name : kBoxes) all << box(name)->text();
    return all;
  }
  void expectOneMessage(const QString& prompt) {
    QCOMPARE(services_->messages.size(), std::size_t{1});
    QCOMPARE(services_->messages[0].prompt, prompt);
    QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
  }

 private slots:
  void init() {
    services_ = std::make_unique<TestServices>();
    hub_ = std::make_unique<WindowHub>(*services_, [] {});
    hub_->dbDef().sbShow();
    showFromLayoutWindow();
    table_ = hub_->dbDef().moobjFAttr;
  }
  void cleanup() {
    hub_.reset();
    services_.reset();
    table_.reset();
  }

  void aBlankBoxRefusesTheCloseThenClosingCopiesBack() {
    QVERIFY(window().isVisible());
    QVERIFY(window().moDataType == table_);
    QCOMPARE(shown(), kDefaults);
    QCOMPARE(window().focusWidget(), box("txtChar"));

    box("txtVarchar")->setText("   ");
    box("txtMoney")->clear();
    box("txtChar")->setText(" nchar ");
    trigger("mnuQuit");
    expectOneMessage("未入力です");
    QCOMPARE(window().focusWidget(), box("txtVarchar"));
    QVERIFY(window().isLoaded() && window().isVisible());
    QCOMPARE(notations(*table_), kDefaults);
    QCOMPARE(box("txtChar")->text(), QStringLiteral(" nchar "));

    box("txtVarchar")->setText("nvarchar");
    box("txtMoney")->setText("money");
    QVERIFY(window().close());
    QVERIFY(!window().isLoaded());
    // Copied untrimmed into the very table the layout window holds.
    QCOMPARE(table_->getChar(), std::string(" nchar "));
    QCOMPARE(table_->getVarChar(), std::string("nvarchar"));
    QVERIFY(hub_->dbDef().moobjFAttr == table_);
  }

  void editsWaitForTheClose() {
    box("txtInt")->setText("integer");
    QCOMPARE(table_->getInt(), std::string("int"));
    // Shown again while open, the window keeps the edit.
    showFromLayoutWindow();
    QCOMPARE(box("txtInt")->text(), QStringLiteral("integer"));
    QVERIFY(window().fnUnload());
    QCOMPARE(table_->getInt(), std::string("integer"));
    // Loaded anew, it shows the table again.
    table_->setInt("bigint");
    showFromLayoutWindow();
    QCOMPARE(box("txtInt")->text(), QStringLiteral("bigint"));
  }

  void saveChecksCopiesAndWritesWhatTheBoxesShow() {
    QTemporaryDir dir;
    const QString path = dir.filePath("types.sfa");
    box("txtFloat")->clear();
    trigger("mnuSave");
    expectOneMessage("未入力です");
    QCOMPARE(window().focusWidget(), box("txtFloat"));
    QVERIFY(services_->dialogs.empty());

    services_->messages.clear();
    box("txtFloat")->setText("float");
    box("txtReal")->setText("single");
    trigger("mnuSave");  // cancelled
    QCOMPARE(table_->getReal(), std::string("real"));
    QVERIFY(services_->messages.empty());
    services_->answers = {path};
    trigger("mnuSave");
    // Confirmed like a saved layout file.
    QCOMPARE(services_->messages.size(), std::size_t{1});
    QCOMPARE(services_->messages[0].prompt, QStringLiteral("保存しました"));
    QVERIFY(services_->messages[0].icon == MessageIcon::None);
    QCOMPARE(services_->dialogs.at(1).filter, QStringLiteral("SQLServerﾌｨｰﾙﾄﾞ属性定義ﾌｧｲﾙ|*.sfa"));
    QCOMPARE(table_->getReal(), std::string("single"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("<real>single</real>"));

    services_->messages.clear();
    services_->answers = {dir.filePath("missing/types.sfa")};
    trigger("mnuSave");
    expectOneMessage("保存に失敗しました\n" + dir.filePath("missing/types.sfa") + ": ファイルまたはフォルダがありません");
  }

  void openReplacesTableAndBoxesOrKeepsBoth() {
    QTemporaryDir dir;
    const QString path = dir.filePath("types.sfa");
    box("txtMoney")->setText("currency");
    box("txtDecimal")->setText("numeric");
    services_->answers = {path};
    trigger("mnuSave");
    QCOMPARE(services_->messages.at(0).prompt, QStringLiteral("保存しました"));
    services_->messages.clear();
    QVERIFY(window().close());
    table_->setMoney("money");
    table_->setDecimal("decimal");

    showFromLayoutWindow();
    box("txtChar")->setText("nchar");
    services_->answers = {dir.filePath("none.sfa")};
    trigger("mnuOpen");
    expectOneMessage("読み込みに失敗しました\n" + dir.filePath("none.sfa") + ": ファイルまたはフォルダがありません");
    QCOMPARE(box("txtChar")->text(), QStringLiteral("nchar"));
    QCOMPARE(notations(*table_), kDefaults);
    trigger("mnuOpen");  // cancelled
    QCOMPARE(services_->messages.size(), std::size_t{1});

    services_->answers = {path};
    trigger("mnuOpen");
    QCOMPARE(services_->messages.size(), std::size_t{1});
    QCOMPARE(table_->getMoney(), std::string("currency"));
    QCOMPARE(box("txtMoney")->text(), QStringLiteral("currency"));
    QCOMPARE(box("txtDecimal")->text(), QStringLiteral("numeric"));
    QCOMPARE(box("txtChar")->text(), QStringLiteral("char"));
  }
};

QTEST_MAIN(frmDatTypeSQLServerTest)
#include "frmDatTypeSQLServerTest.moc"
