// Where the windows open: over or centred on the window that opened them, keeping their size.
#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "TestServices.h"
#include "tests/support/TempDir.h"
#include "tests/support/DesignBook.h"
#include "ui/WindowHub.h"
#include "ui/WindowPlacement.h"
#include "ui/frmDBDef.h"
#include "ui/frmDBServer.h"
#include "ui/frmDatTypeSQLServer.h"
#include "ui/frmTableList.h"

using namespace morvane::ui;
using morvane::test::TempDir;
using morvane::ui::test::TestServices;

class WindowPlacementTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestServices> services_;
  std::unique_ptr<WindowHub> hub_;
  std::unique_ptr<TempDir> dir_;

  frmDBDef& layout() { return hub_->dbDef(); }
  frmTableList& tables() { return hub_->tableList(); }

  // Shows a window where a user would have dragged it, at the size the user gave it.
  static void userPlaces(QWidget& window, QPoint at, QSize size) {
    window.resize(size);
    window.move(at);
    QCoreApplication::processEvents();
  }
  void next() {
    const QStringList names = {"txtFile",       "txtSSheet",  "txtESheet",    "txtTableNmRow",
                               "txtTableNmCol", "txtFieldStart", "txtFieldNm", "txtFieldAttr",
                               "txtFieldSize",  "txtPKey",    "txtNull"};
    const QStringList values = {QString::fromStdString(dir_->file("design.xlsx")), "1", "1", "3", "3", "6", "4",
                                "5", "6", "7", "9"};
    for (int i = 0; i < names.size(); ++i) layout().findChild<QLineEdit*>(names[i])->setText(values[i]);
    QTest::mouseClick(layout().findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    QVERIFY(tables().isLoaded());
    QVERIFY(QTest::qWaitForWindowExposed(&tables()));
  }
  void back() {
    QTest::mouseClick(tables().findChild<QPushButton*>("cmdBack"), Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowExposed(&layout()));
  }
  static QRect room(const QWidget& window) { return window.screen()->availableGeometry(); }

 private slots:
  void init() {
    services_ = std::make_unique<TestServices>();
    dir_ = std::make_unique<TempDir>();
    hub_ = std::make_unique<WindowHub>(*services_, [] {});
    morvane::test::writeDesignBook(dir_->file("design.xlsx"), {{"alpha", {{"id", "int"}}}});
    layout().sbShow();
    QVERIFY(QTest::qWaitForWindowExposed(&layout()));
  }
  void cleanup() {
    hub_.reset();
    services_.reset();
    dir_.reset();
  }

  void nextAndBackTradePlacesAndEachKeepsItsSize() {
    const QSize layoutSize = layout().size();
    userPlaces(layout(), {40, 30}, layoutSize);
    next();
    QCOMPARE(tables().frameGeometry().topLeft(), layout().frameGeometry().topLeft());
    QVERIFY(!layout().isVisible());

    // The user moves and enlarges the table list; 戻る brings the layout window there.
    const QSize grown = tables().size() + QSize(120, 80);
    userPlaces(tables(), {90, 60}, grown);
    const QPoint tablesAt = tables().frameGeometry().topLeft();
    back();
    QCOMPARE(layout().frameGeometry().topLeft(), tablesAt);
    QCOMPARE(layout().size(), layoutSize);

    // Read anew, the list comes back at the size the user gave it, where the layout window is.
    userPlaces(layout(), {20, 50}, layoutSize);
    next();
    QCOMPARE(tables().size(), grown);
    QCOMPARE(tables().frameGeometry().topLeft(), layout().frameGeometry().topLeft());
  }

  void typeWindowOpensBesideTheLayoutWindowAndStaysWhereTheUserPutsIt() {
    // At the screen's right edge: the type window goes to the layout window's left, where there is more room.
    const QRect screen = room(layout());
    userPlaces(layout(), {screen.right() + 1 - layout().frameGeometry().width(), 40}, layout().size());
    QAction* open = layout().findChild<QAction*>("mnuFieldAttr");
    open->trigger();
    frmDatTypeSQLServer& types = hub_->datTypeSQLServer();
    QVERIFY(QTest::qWaitForWindowExposed(&types));
    QCOMPARE(types.frameGeometry().left(), std::max(screen.left(), layout().frameGeometry().left() - types.frameGeometry().width()));
    QCOMPARE(types.frameGeometry().top(), layout().frameGeometry().top());

    // Asked for again while open, it stays; closed and opened again, it keeps the user's size.
    const QSize size = types.size() + QSize(50, 30);
    userPlaces(types, {5, 5}, size);
    open->trigger();
    QCOMPARE(types.frameGeometry().topLeft(), QPoint(5, 5));
    QVERIFY(types.fnUnload());
    open->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&types));
    QCOMPARE(types.size(), size);
    QCOMPARE(types.frameGeometry().top(), layout().frameGeometry().top());
  }

  void serverWindowOpensCentredOnTheTableListAndStaysAboveIt() {
    next();
    userPlaces(tables(), {70, 20}, tables().size());
    tables().findChild<QListWidget*>("List1")->selectAll();
    QRect serverFrame;
    QWindow* above = nullptr;
    QTimer::singleShot(0, this, [&] {
      frmDBServer& server = hub_->dbServer();
      serverFrame = server.frameGeometry();
      above = server.windowHandle()->transientParent();
      server.close();
    });
    tables().findChild<QAction*>("mnuMakeTable")->trigger();
    // The table list is its parent for the window manager: raising the list does not hide it.
    QCOMPARE(above, tables().windowHandle());
    QVERIFY(!serverFrame.isEmpty());
    QVERIFY((serverFrame.center() - tables().frameGeometry().center()).manhattanLength() <= 1);
  }

  void aWindowIsKeptOnTheOpenersScreen() {
    // The layout window pushed past the bottom-right corner, the table list made larger than it.
    const QRect screen = room(layout());
    userPlaces(layout(), screen.bottomRight() - QPoint(layout().width() / 2, layout().height() / 2), layout().size());
    tables().resize(layout().size() + QSize(100, 100));
    next();
    QVERIFY2(screen.contains(tables().frameGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(tables().frameGeometry().x())
                            .arg(tables().frameGeometry().y())
                            .arg(tables().frameGeometry().width())
                            .arg(tables().frameGeometry().height())));
    // Centred on a window in the top-left corner, the type window does not start off screen.
    back();
    userPlaces(layout(), screen.topLeft(), layout().size());
    layout().findChild<QAction*>("mnuFieldAttr")->trigger();
    frmDatTypeSQLServer& types = hub_->datTypeSQLServer();
    QVERIFY(types.frameGeometry().left() >= screen.left() && types.frameGeometry().top() >= screen.top());
  }
};

QTEST_MAIN(WindowPlacementTest)
#include "WindowPlacementTest.moc"
