// The layout definition window: input check, Next's hand-over, Back, Browse, layout files.
#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "TestServices.h"
#include "document/clsExcel.h"
#include "tests/support/TdsTestServer.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"
#include "ui/frmDatTypeSQLServer.h"
#include "ui/frmTableList.h"

using namespace morvane::ui;
using morvane::ui::test::DialogKind;
using morvane::ui::test::TestServices;

namespace {

const QStringList kNumberBoxes = {"txtSSheet",     "txtESheet",  "txtTableNmRow", "txtTableNmCol",
                                  "txtFieldStart", "txtFieldNm", "txtFieldAttr",  "txtFieldSize",
                                  "txtPKey",       "txtNull"};
const QStringList kDefaults = {"1", "4", "3", "3", "6", "4", "5", "6", "7", "9"};
const QStringList kOptionalBoxes = {"txtLogicalNm", "txtDefault",   "txtRemarks",           "txtUnique",
                                    "txtIndex",     "txtReference", "txtTableLogicalNmRow", "txtTableLogicalNmCol"};

}  // namespace

class frmDBDefTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestServices> services_;
  std::unique_ptr<WindowHub> hub_;
  int endRequests_ = 0;

  frmDBDef& window() { return hub_->dbDef(); }
  QLineEdit* box(const QString& name) {
    auto* found = window().findChild<QLineEdit*>(name);
    if (found == nullptr) qFatal("no box %s", qPrintable(name));
    return found;
  }
  void trigger(const char* action) { window().findChild<QAction*>(action)->trigger(); }
  void clickNext() { QTest::mouseClick(window().findChild<QPushButton*>("cmdOK"), Qt::LeftButton); }
  // The ten number boxes in window order, then the path box.
  void fill(const QStringList& numbers = kDefaults, const QString& path = QStringLiteral("book.xls")) {
    for (int i = 0; i < kNumberBoxes.size(); ++i) box(kNumberBoxes[i])->setText(numbers.value(i));
    box("txtFile")->setText(path);
  }
  QStringList numbersShown() {
    QStringList shown;
    for (const QString& name : kNumberBoxes) shown << box(name)->text();
    return shown;
  }
  // One message with this text and icon, nothing else.
  void expectOneMessage(const QString& prompt, MessageIcon icon) {
    QCOMPARE(services_->messages.size(), std::size_t{1});
    QCOMPARE(services_->messages[0].prompt, prompt);
    QVERIFY(services_->messages[0].icon == icon);
  }
  void expectReported(const QString& prompt, const QString& boxName) {
    expectOneMessage(prompt, MessageIcon::Exclamation);
    QCOMPARE(window().focusWidget(), box(boxName));
    QCOMPARE(box(boxName)->selectedText(), box(boxName)->text());
    QVERIFY(window().isLoaded());
    QVERIFY(!hub_->tableList().isLoaded());
  }

 private slots:
  void init() {
    services_ = std::make_unique<TestServices>();
    endRequests_ = 0;
    hub_ = std::make_unique<WindowHub>(*services_, [this] { ++endRequests_; });
    window().sbShow();
    QVERIFY(QTest::qWaitForWindowActive(&window()));
  }
  void cleanup() {
    hub_.reset();
    services_.reset();
  }

  // Empty pass first (path box, then boxes in order; blanks count as empty), then the numbers.
  void nextReportsTheFirstBadBox_data() {
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reported");
    const QString empty = QStringLiteral("未入力です"), notNumber = QStringLiteral("数値のみ入力してください");
    // The defaults with some boxes changed.
    auto with = [](std::initializer_list<std::pair<int, QString>> changes) {
      QStringList numbers = kDefaults;
      for (const auto& [at, text] : changes) numbers[at] = text;
      return numbers;
    };
    QTest::newRow("all empty") << QStringList(10) << QString() << empty << "txtFile";
    QTest::newRow("empty path before a letter") << with({{0, "a"}}) << QString() << empty << "txtFile";
    QTest::newRow("blank before a letter") << with({{7, "  "}, {8, "x"}}) << "book.xls" << empty << "txtFieldSize";
    QTest::newRow("ideographic space") << with({{7, "　"}}) << "book.xls" << empty << "txtFieldSize";
    QTest::newRow("first non-number") << with({{1, "x"}, {9, "y"}}) << "book.xls" << notNumber << "txtESheet";
    QTest::newRow("beyond 32 bits") << with({{9, "3000000000"}}) << "book.xls" << notNumber << "txtNull";
  }
  void nextReportsTheFirstBadBox() {
    QFETCH(QStringList, numbers);
    QFETCH(QString, path);
    QFETCH(QString, message);
    QFETCH(QString, reported);
    fill(numbers, path);
    box(reported)->deselect();
    clickNext();
    expectReported(message, reported);
  }

  // データベースから設計書を作成: the login, then the file; written in the layout of the boxes.
  void serverBookWritesTheDatabaseInTheLayoutOfTheBoxes() {
    morvane::test::TdsTestServer::Catalog catalog;
    catalog.columns = {{"顧客", "ID", 1, "int", {}, 10, 0, "NO", 0, {}, {}}};
    catalog.keys = {{"顧客", "ID", 1}};
    morvane::test::TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .catalog = catalog});
    QTemporaryDir dir;
    const QString path = dir.filePath("db.xlsx");
    services_->answers.push_back(path);
    QStringList numbers = kDefaults;
    numbers[0] = "2";
    fill(numbers, QString());
    QTimer::singleShot(0, this, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog != nullptr);
      for (const auto& [name, text] : {std::pair{"txtServer", QString::fromStdString(server.address())},
                                       std::pair{"txtDB", QStringLiteral("販売")}, std::pair{"txtUser", QStringLiteral("sa")},
                                       std::pair{"txtPasswd", QStringLiteral("pw")}}) {
        dialog->findChild<QLineEdit*>(name)->setText(text);
      }
      QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    trigger("mnuServerBook");
    expectOneMessage(QStringLiteral("テーブルを 1 個書きました。"), MessageIcon::None);
    morvane::clsExcel book;
    QVERIFY(book.fnOpenBook(path.toStdString()));
    QVERIFY(book.fnOpenSheet(1));
    QCOMPARE(book.Cells(4, 3) + "|" + book.Cells(11, 3), std::string("販売|顧客"));
    QVERIFY(book.fnOpenSheet(2));
    QCOMPARE(book.Cells(3, 3) + "|" + book.Cells(6, 4) + "|" + book.Cells(6, 7), std::string("顧客|ID|○"));
  }

  void numberBoxesTakeTwoTypedCharactersAndNoInputMethodMostly() {
    QCOMPARE(window().mocolAllTextBox.size(), 11);
    for (QLineEdit* each : window().mocolAllTextBox) QVERIFY(each->text().isEmpty());
    QCOMPARE(window().focusWidget(), box("txtFile"));
    for (const QString& name : kNumberBoxes + kOptionalBoxes) {
      box(name)->setFocus();
      QTest::keyClicks(box(name), "123");
      QCOMPARE(box(name)->text(), QStringLiteral("12"));
      const bool keepsInputMethod = name == "txtTableNmRow" || name == "txtFieldSize";
      QCOMPARE(box(name)->testAttribute(Qt::WA_InputMethodEnabled), keepsInputMethod);
    }
    QTest::keyClicks(box("txtFile"), "C:\\design\\tables.xls");
    QCOMPARE(box("txtFile")->text(), QStringLiteral("C:\\design\\tables.xls"));
    QVERIFY(box("txtFile")->testAttribute(Qt::WA_InputMethodEnabled));
    // A value from a layout is shown whole, however long.
    window().docInfo()->setColNULL(100);
    window().sbSetTextBox();
    QCOMPARE(box("txtNull")->text(), QStringLiteral("100"));
  }

  void focusSelectsTheWholeText() {
    fill();
    box("txtFieldNm")->setText("12");
    box("txtFieldAttr")->setFocus();
    QTest::mouseClick(box("txtFieldNm"), Qt::LeftButton, {}, QPoint(2, 5));
    QTRY_COMPARE(box("txtFieldNm")->selectedText(), QStringLiteral("12"));
    QTest::keyClick(&window(), Qt::Key_Tab);
    QCOMPARE(window().focusWidget(), box("txtFieldAttr"));
    QCOMPARE(box("txtFieldAttr")->selectedText(), QStringLiteral("5"));
    QTest::keyClicks(box("txtFieldAttr"), "8");
    QCOMPARE(box("txtFieldAttr")->text(), QStringLiteral("8"));
  }

  void nextHandsOverRoundedNumbersAndBackRefills() {
    fill({"1.5", "2.5", "3", "3", "6", "4", "5", "6", "7", " 9 "}, QStringLiteral(" /data/book.xls "));
    int busyWhileListShows = -1;
    frmTableList& list = hub_->tableList();
    struct ShowProbe : QObject {
      std::function<void()> onShow;
      bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) onShow();
        return false;
      }
    } probe;
    probe.onShow = [&] { busyWhileListShows = services_->busyDepth; };
    list.installEventFilter(&probe);
    clickNext();
    list.removeEventFilter(&probe);

    // No such workbook: the list says so, and nothing else is reported.
    QCOMPARE(services_->messages.size(), std::size_t{1});
    QVERIFY(services_->messages[0].prompt.contains(QStringLiteral("ファイルが見つかりません")));
    QVERIFY(list.isLoaded() && list.isVisible());
    QVERIFY(!window().isLoaded() && !window().isVisible());
    QCOMPARE(busyWhileListShows, 1);
    QCOMPARE(services_->busyDepth, 0);
    QVERIFY(list.moobjExcelDocInfo == window().moobjDocInfo);
    QVERIFY(list.moobjFAttr != nullptr && list.moobjFAttr == window().moobjFAttr);
    QCOMPARE(list.mostrFilePath, QStringLiteral(" /data/book.xls "));
    const auto& layout = *list.moobjExcelDocInfo;
    const QList<int> handed = {layout.getStartPage(),       layout.getEndPage(),     layout.getRowTableName(),
                               layout.getColTableName(),    layout.getStartRowFieldDef(), layout.getColFieldName(),
                               layout.getColFieldType(),    layout.getColFieldSize(), layout.getColPrimaryKey(),
                               layout.getColNULL()};
    QCOMPARE(handed, (QList<int>{2, 2, 3, 3, 6, 4, 5, 6, 7, 9}));

    QTest::mouseClick(list.findChild<QPushButton*>("cmdBack"), Qt::LeftButton);
    QVERIFY(window().isLoaded() && window().isVisible());
    QVERIFY(!list.isLoaded());
    QCOMPARE(numbersShown(), QStringList({"2", "2", "3", "3", "6", "4", "5", "6", "7", "9"}));
    QCOMPARE(box("txtFile")->text(), QStringLiteral(" /data/book.xls "));
  }

  void browseSetsThePathUnlessCancelled() {
    box("txtFile")->setText("old.xls");
    services_->answers = {"", "   ", " /data/new book.xlsx"};
    auto* browse = window().findChild<QPushButton*>("cmdRefFile");
    QTest::mouseClick(browse, Qt::LeftButton);
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(box("txtFile")->text(), QStringLiteral("old.xls"));
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(box("txtFile")->text(), QStringLiteral(" /data/new book.xlsx"));
    QCOMPARE(services_->dialogs.size(), std::size_t{3});
    QVERIFY(services_->dialogs[0].kind == DialogKind::Open);
    QCOMPARE(services_->dialogs[0].filter, QStringLiteral("Excelﾌｧｲﾙ|*.xls;*.xlsx"));
    QVERIFY(services_->messages.empty());

    // A file dropped from a file manager gives its local path; a remote one is refused.
    for (const char* url : {"file:///data/dropped%20book.xlsx", "https://example.com/book.xlsx"}) {
      QMimeData data;
      data.setUrls({QUrl(QString::fromLatin1(url))});
      const QPoint at = box("txtFile")->rect().center();
      QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(box("txtFile"), &enter);
      QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(box("txtFile"), &drop);
      QCOMPARE(enter.isAccepted(), QUrl(QString::fromLatin1(url)).isLocalFile());
      QCOMPARE(box("txtFile")->text(), QStringLiteral("/data/dropped book.xlsx"));
    }
  }

  void theLastWorkbookAndLayoutFileComeBackInTheNextRun() {
    QTemporaryDir dir;
    fill({"2", "5", "1", "2", "8", "3", "4", "5", "6", "7"}, dir.filePath("book.xlsx"));
    services_->answers = {dir.filePath("layout.edf")};
    trigger("mnuSaveDBDef");
    clickNext();
    // Another run: a new set of windows over the same user's settings.
    hub_ = std::make_unique<WindowHub>(*services_, [] {});
    window().sbShow();
    QCOMPARE(box("txtFile")->text(), dir.filePath("book.xlsx"));
    QCOMPARE(numbersShown(), (QStringList{"2", "5", "1", "2", "8", "3", "4", "5", "6", "7"}));
    auto* file = window().findChild<QMenu*>("mnuFile");
    emit file->aboutToShow();
    QCOMPARE(file->actions().first()->text(), "&1 " + dir.filePath("book.xlsx"));
  }

  void saveChecksInModeOneThenWritesOrReports() {
    QTemporaryDir dir;
    const QString path = dir.filePath("layout.edf");
    // The path may be empty; a number box may not.
    fill({"1", "4", "3", "3", "6", "4", "5", "6", "7", ""}, QString());
    trigger("mnuSaveDBDef");
    expectReported("未入力です", "txtNull");
    QVERIFY(services_->dialogs.empty());

    services_->messages.clear();
    box("txtNull")->setText("9");
    box("txtFieldStart")->setText("6.5");
    services_->answers = {path};
    trigger("mnuSaveDBDef");
    expectOneMessage("保存しました", MessageIcon::None);
    QCOMPARE(services_->dialogs.at(0).filter, QStringLiteral("Excel設計書定義ファイル|*.edf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.contains("<StartSheetNo>1</StartSheetNo>"));
    QVERIFY(content.contains("<StartRowFieldDef>6</StartRowFieldDef>"));
    QVERIFY(content.contains("<ColNull>9</ColNull>"));

    services_->messages.clear();
    services_->answers = {dir.filePath("missing/layout.edf")};
    trigger("mnuSaveDBDef");
    // The reason on the second line.
    expectOneMessage("保存失敗しました\n" + dir.filePath("missing/layout.edf") + ": ファイルまたはフォルダがありません",
                     MessageIcon::Exclamation);
    services_->messages.clear();
    trigger("mnuSaveDBDef");  // the queue is empty: cancelled
    QVERIFY(services_->messages.empty());
    QCOMPARE(services_->dialogs.size(), std::size_t{3});
  }

  void openFillsTheNumberBoxesOnlyOrReportsAFailure() {
    QTemporaryDir dir;
    const QString path = dir.filePath("layout.edf");
    fill({"2", "5", "1", "2", "8", "3", "4", "5", "6", "7"});
    services_->answers = {path};
    trigger("mnuSaveDBDef");
    services_->messages.clear();

    fill(QStringList(10, "1"), QStringLiteral("kept.xls"));
    trigger("mnuOpenDBDef");  // cancelled
    QVERIFY(services_->messages.empty());
    QCOMPARE(numbersShown(), QStringList(10, "1"));
    // A file lacking keys changes none of the boxes.
    const QString partial = dir.filePath("partial.edf");
    QFile file(partial);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<StartSheetNo>2</StartSheetNo>\r\n");
    file.close();
    for (const auto& [bad, reason] : {std::pair{dir.filePath("none.edf"), QStringLiteral(": ファイルまたはフォルダがありません")},
                                      std::pair{partial, QStringLiteral(": EndSheetNo is missing or empty")}}) {
      services_->messages.clear();
      services_->answers = {bad};
      trigger("mnuOpenDBDef");
      expectOneMessage("読み込み失敗しました\n" + bad + reason, MessageIcon::Exclamation);
      QCOMPARE(numbersShown(), QStringList(10, "1"));
    }

    services_->messages.clear();
    services_->answers = {path};
    trigger("mnuOpenDBDef");
    QVERIFY(services_->messages.empty());
    QCOMPARE(services_->dialogs.at(2).filter, QStringLiteral("Excel設計書定義ファイル|*.edf"));
    QCOMPARE(numbersShown(), QStringList({"2", "5", "1", "2", "8", "3", "4", "5", "6", "7"}));
    QCOMPARE(box("txtFile")->text(), QStringLiteral("kept.xls"));
  }

  // Blank is 0; otherwise a number of 0 or more, checked after the ten boxes; Save and Open carry them.
  void optionalBoxesAreCheckedAfterTheTenAndCarriedByAFile() {
    fill();
    box("txtDefault")->setText("-1");
    box("txtReference")->setText("x");
    box("txtNull")->setText("z");
    clickNext();
    expectReported("数値のみ入力してください", "txtNull");
    services_->messages.clear();
    box("txtNull")->setText("9");
    clickNext();
    expectReported("数値のみ入力してください", "txtDefault");

    QTemporaryDir dir;
    const QStringList entered = {"2", "", "10", " ", "12", "1.5", "2", "3"};
    for (int i = 0; i < kOptionalBoxes.size(); ++i) box(kOptionalBoxes[i])->setText(entered[i]);
    auto* notNull = window().findChild<QRadioButton*>("optNullMarkNotNull");
    notNull->setChecked(true);
    services_->messages.clear();
    services_->answers = {dir.filePath("layout.edf")};
    trigger("mnuSaveDBDef");
    expectOneMessage("保存しました", MessageIcon::None);
    const auto& layout = *window().docInfo();
    QCOMPARE((QList<int>{layout.getColLogicalName(), layout.getColDefault(), layout.getColRemarks(),
                         layout.getColUnique(), layout.getColIndex(), layout.getColReference(),
                         layout.getRowTableLogicalName(), layout.getColTableLogicalName(),
                         layout.getNullMarkMeansNotNull()}),
             (QList<int>{2, 0, 10, 0, 12, 2, 2, 3, 1}));

    for (const QString& name : kOptionalBoxes) box(name)->setText("7");
    window().findChild<QRadioButton*>("optNullMarkNull")->setChecked(true);
    services_->answers = {dir.filePath("layout.edf")};
    trigger("mnuOpenDBDef");
    QStringList shown;
    for (const QString& name : kOptionalBoxes) shown << box(name)->text();
    QCOMPARE(shown, QStringList({"2", "", "10", "", "12", "2", "2", "3"}));
    QVERIFY(notNull->isChecked());
  }

  void typeNotationEditsReachTheTableNextHandsOn() {
    trigger("mnuFieldAttr");
    frmDatTypeSQLServer& types = hub_->datTypeSQLServer();
    QVERIFY(types.isLoaded() && types.isVisible());
    QVERIFY(types.moDataType == window().moobjFAttr);
    types.findChild<QLineEdit*>("txtVarchar")->setText("nvarchar");
    // Both windows stay usable; the table changes only when the type window closes.
    QCOMPARE(window().moobjFAttr->getVarChar(), std::string("varchar"));
    fill();
    clickNext();
    QVERIFY(!types.isLoaded());
    QCOMPARE(hub_->tableList().moobjFAttr->getVarChar(), std::string("nvarchar"));
  }

  void aBlankTypeNotationKeepsItsWindowOpenAfterNext() {
    trigger("mnuFieldAttr");
    frmDatTypeSQLServer& types = hub_->datTypeSQLServer();
    types.findChild<QLineEdit*>("txtMoney")->setText(" ");
    fill();
    clickNext();
    // The list reports the missing workbook first; then the type window its blank box.
    QCOMPARE(services_->messages.size(), std::size_t{2});
    QVERIFY(services_->messages[0].prompt.contains(QStringLiteral("book.xls")));
    QCOMPARE(services_->messages[1].prompt, QStringLiteral("未入力です"));
    QVERIFY(hub_->tableList().isLoaded());
    QVERIFY(types.isLoaded() && types.isVisible());
    QCOMPARE(hub_->tableList().moobjFAttr->getMoney(), std::string("money"));
  }

  void exitEndsTheProgramWithoutAsking() {
    trigger("mnuFieldAttr");
    hub_->datTypeSQLServer().findChild<QLineEdit*>("txtChar")->clear();
    trigger("mnuQuit");
    QCOMPARE(endRequests_, 1);
    QVERIFY(services_->messages.empty());
    QVERIFY(!window().isVisible() && !hub_->datTypeSQLServer().isVisible());
  }
};

QTEST_MAIN(frmDBDefTest)
#include "frmDBDefTest.moc"
