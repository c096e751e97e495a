// The layout definition window and the type notation window: input checks, Next's hand-over,
// Back, Browse, setting files, remembered settings, and where the windows open.
#include <QMenu>
#include <QMimeData>
#include <QRadioButton>
#include <QScreen>

#include "TestServices.h"
#include "document/clsExcel.h"
#include "tests/support/TdsTestServer.h"
#include "ui/frmDBServer.h"
#include "ui/frmDatTypeSQLServer.h"

using namespace morvane::ui;
using namespace morvane::ui::test;

namespace {

const QStringList kTypeBoxes = {"txtChar",  "txtVarchar", "txtIdentity", "txtInt",  "txtDate",
                                "txtFloat", "txtReal",    "txtDecimal",  "txtMoney"};

bool fileHas(const QString& path, const char* text) {
  return morvane::test::readBytes(path.toStdString()).find(text) != std::string::npos;
}

}  // namespace

class LayoutWindowsTest : public QObject {
  Q_OBJECT
  std::unique_ptr<Windows> w_;

  frmDBDef& layout() { return w_->layout(); }
  frmDatTypeSQLServer& types() { return w_->hub.datTypeSQLServer(); }
  QLineEdit* box(const QString& name) { return child(layout(), name); }

 private slots:
  void init() {
    w_ = std::make_unique<Windows>();
    layout().sbShow();
    QVERIFY(QTest::qWaitForWindowActive(&layout()));
  }
  void cleanup() { w_.reset(); }

  // Blanks first (path box, then the boxes in order), then the numbers, then the optional boxes.
  void theFirstBadBoxIsReported_data() {
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("optional");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reported");
    const QString empty = "!未入力です", notNumber = "!数値のみ入力してください";
    auto with = [](int at, const QString& text, int at2 = 0, const QString& text2 = "1") {
      QStringList numbers = kDefaults;
      numbers[at2] = text2;
      numbers[at] = text;
      return numbers;
    };
    QTest::newRow("all empty") << QStringList(10) << ""
                               << "" << empty << "txtFile";
    QTest::newRow("empty path first") << with(0, "a") << ""
                                      << "" << empty << "txtFile";
    QTest::newRow("blank first") << with(7, "  ", 8, "x") << ""
                                 << "b.xls" << empty << "txtFieldSize";
    QTest::newRow("ideographic space") << with(7, "　") << ""
                                       << "b.xls" << empty << "txtFieldSize";
    QTest::newRow("first non-number") << with(1, "x", 9, "y") << ""
                                      << "b.xls" << notNumber << "txtESheet";
    QTest::newRow("beyond 32 bits") << with(9, "3000000000") << ""
                                    << "b.xls" << notNumber << "txtNull";
    QTest::newRow("the ten before optional") << with(9, "z") << "-1"
                                             << "b.xls" << notNumber << "txtNull";
    QTest::newRow("negative optional") << kDefaults << "-1"
                                       << "b.xls" << notNumber << "txtDefault";
    // Saving a layout needs no workbook.
    QTest::newRow("save") << with(9, "") << ""
                          << "" << empty << "txtNull";
  }
  void theFirstBadBoxIsReported() {
    QFETCH(QStringList, numbers);
    QFETCH(QString, optional);
    QFETCH(QString, path);
    QFETCH(QString, message);
    QFETCH(QString, reported);
    setBoxes(layout(), kNumberBoxes + QStringList{"txtDefault", "txtReference", "txtFile"},
             numbers + QStringList{optional, optional.isEmpty() ? "" : "x", path});
    box(reported)->deselect();
    if (QTest::currentDataTag() == QStringLiteral("save"))
      trigger(layout(), "mnuSaveDBDef");
    else
      QTest::mouseClick(child<QPushButton>(layout(), "cmdOK"), Qt::LeftButton);
    QCOMPARE(w_->take(), QStringList{message});
    QCOMPARE(layout().focusWidget(), box(reported));
    QCOMPARE(box(reported)->selectedText(), box(reported)->text());
    QVERIFY(layout().isLoaded() && !w_->tables().isLoaded() && w_->services.dialogs.empty());
  }

  void boxesTakeTwoCharactersAndSelectAllOnFocus() {
    QCOMPARE(layout().focusWidget(), box("txtFile"));
    for (const QString& name : kNumberBoxes + kOptionalBoxes) {
      box(name)->setFocus();
      QTest::keyClicks(box(name), "123");
      QCOMPARE(box(name)->text(), QStringLiteral("12"));
      // Digits only: no input method, but where the boxes ask for more than digits.
      QCOMPARE(box(name)->testAttribute(Qt::WA_InputMethodEnabled), name == "txtTableNmRow" || name == "txtFieldSize");
    }
    QTest::keyClicks(box("txtFile"), "C:\\design\\tables.xls");
    QCOMPARE(box("txtFile")->text(), QStringLiteral("C:\\design\\tables.xls"));
    QVERIFY(box("txtFile")->testAttribute(Qt::WA_InputMethodEnabled));
    // A value from a layout is shown whole, however long.
    layout().docInfo()->setColNULL(100);
    layout().sbSetTextBox();
    QCOMPARE(box("txtNull")->text(), QStringLiteral("100"));
    // A click selects the whole text too, though the press places the caret after the focus.
    QTest::mouseClick(box("txtFieldNm"), Qt::LeftButton, {}, QPoint(2, 5));
    QTRY_COMPARE(box("txtFieldNm")->selectedText(), QStringLiteral("4"));
  }

  void nextHandsOverTheLayoutAndBackRefillsIt() {
    w_->next(" /data/book.xls ", {"1.5", "2.5", "3", "3", "6", "4", "5", "6", "7", " 9 "});
    frmTableList& list = w_->tables();
    // No such workbook: the list says so once it is on screen, still under the busy pointer.
    QCOMPARE(w_->services.messages.at(0).busyDepth, 1);
    QCOMPARE(w_->take(),
             QStringList{"!読み込み失敗しました\nブック「 /data/book.xls 」を開けません\nファイルが見つかりません"});
    QVERIFY(list.isVisible() && !layout().isLoaded() && !layout().isVisible() && w_->services.busyDepth == 0);
    QVERIFY(list.moobjExcelDocInfo == layout().moobjDocInfo && list.moobjFAttr == layout().fieldAttr());
    QCOMPARE(list.mostrFilePath, QStringLiteral(" /data/book.xls "));
    const auto& handed = *list.moobjExcelDocInfo;
    QCOMPARE((QList<int>{handed.getStartPage(), handed.getEndPage(), handed.getRowTableName(), handed.getColTableName(),
                         handed.getStartRowFieldDef(), handed.getColFieldName(), handed.getColFieldType(),
                         handed.getColFieldSize(), handed.getColPrimaryKey(), handed.getColNULL()}),
             (QList<int>{2, 2, 3, 3, 6, 4, 5, 6, 7, 9}));
    QTest::mouseClick(child<QPushButton>(list, "cmdBack"), Qt::LeftButton);
    QVERIFY(layout().isVisible() && !list.isLoaded());
    QCOMPARE(texts(layout(), kNumberBoxes), QStringList({"2", "2", "3", "3", "6", "4", "5", "6", "7", "9"}));
    QCOMPARE(box("txtFile")->text(), QStringLiteral(" /data/book.xls "));
  }

  void browseAndDropSetThePath() {
    box("txtFile")->setText("old.xls");
    w_->services.answers = {"", "   ", " /data/new book.xlsx"};
    for (const char* expected : {"old.xls", "old.xls", " /data/new book.xlsx"}) {
      QTest::mouseClick(child<QPushButton>(layout(), "cmdRefFile"), Qt::LeftButton);
      QCOMPARE(box("txtFile")->text(), QString::fromUtf8(expected));
    }
    QVERIFY(w_->services.dialogs[0].kind == 'O');
    QCOMPARE(w_->services.dialogs[0].filter, QStringLiteral("Excelﾌｧｲﾙ|*.xls;*.xlsx"));
    // A file dropped from a file manager gives its local path; a remote one is refused.
    for (const char* url : {"file:///data/dropped%20book.xlsx", "https://example.com/book.xlsx"}) {
      QMimeData data;
      data.setUrls({QUrl(QString::fromLatin1(url))});
      QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(box("txtFile"), &enter);
      QDropEvent drop({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(box("txtFile"), &drop);
      QCOMPARE(enter.isAccepted(), QUrl(QString::fromLatin1(url)).isLocalFile());
      QCOMPARE(box("txtFile")->text(), QStringLiteral("/data/dropped book.xlsx"));
    }
    QVERIFY(w_->take().isEmpty());
  }

  // Save and Open carry the ten boxes, the optional ones (blank is 0) and the mark's meaning;
  // the next run starts with the last workbook and layout file.
  void layoutFilesCarryTheBoxesAndComeBackInTheNextRun() {
    const QString path = w_->path("layout.edf"), missing = w_->path("missing/layout.edf");
    setBoxes(layout(), kNumberBoxes + kOptionalBoxes,
             {"2", "5", "1", "2", "8", "3", "4", "5", "6.5", "7", "2", "", "10", " ", "12", "1.5", "2", "3"});
    child<QRadioButton>(layout(), "optNullMarkNotNull")->setChecked(true);
    w_->services.answers = {"", missing, path};
    trigger(layout(), "mnuSaveDBDef");  // cancelled
    trigger(layout(), "mnuSaveDBDef");
    trigger(layout(), "mnuSaveDBDef");
    QCOMPARE(w_->take(),
             (QStringList{"!保存失敗しました\n" + missing + ": ファイルまたはフォルダがありません", "保存しました"}));
    QCOMPARE(w_->services.dialogs.at(2).filter, QStringLiteral("Excel設計書定義ファイル|*.edf"));
    QVERIFY(fileHas(path, "<StartSheetNo>2</StartSheetNo>") && fileHas(path, "<ColPrimarykey>6</ColPrimarykey>"));

    // A file that cannot be read, or lacks a key, changes none of the boxes.
    setBoxes(layout(), kNumberBoxes + kOptionalBoxes + QStringList{"txtFile"}, QStringList(18, "1") << "kept.xls");
    child<QRadioButton>(layout(), "optNullMarkNull")->setChecked(true);
    const QString partial = w_->path("partial.edf"), none = w_->path("none.edf");
    morvane::test::writeBytes(partial.toStdString(), "<StartSheetNo>2</StartSheetNo>\r\n");
    w_->services.answers = {"", none, partial};
    for (int i = 0; i < 3; ++i) trigger(layout(), "mnuOpenDBDef");
    QCOMPARE(w_->take(), (QStringList{"!読み込み失敗しました\n" + none + ": ファイルまたはフォルダがありません",
                                      "!読み込み失敗しました\n" + partial + ": EndSheetNo is missing or empty"}));
    QCOMPARE(texts(layout(), kNumberBoxes), QStringList(10, "1"));
    w_->services.answers = {path};
    trigger(layout(), "mnuOpenDBDef");
    QVERIFY(w_->take().isEmpty());
    QCOMPARE(w_->services.dialogs.at(6).filter, QStringLiteral("Excel設計書定義ファイル|*.edf"));
    const QStringList read = {"2", "5", "1", "2", "8", "3", "4", "5", "6", "7"};
    QCOMPARE(texts(layout(), kNumberBoxes), read);
    QCOMPARE(texts(layout(), kOptionalBoxes), QStringList({"2", "", "10", "", "12", "2", "2", "3"}));
    QVERIFY(child<QRadioButton>(layout(), "optNullMarkNotNull")->isChecked());
    QCOMPARE(box("txtFile")->text(), QStringLiteral("kept.xls"));

    w_->next(w_->bookPath(), read);
    // Another run: a new set of windows over the same user's settings.
    WindowHub again(w_->services, [] {});
    again.dbDef().sbShow();
    QCOMPARE(child(again.dbDef(), "txtFile")->text(), w_->bookPath());
    QCOMPARE(texts(again.dbDef(), kNumberBoxes), read);
    auto* file = child<QMenu>(again.dbDef(), "mnuFile");
    emit file->aboutToShow();
    QCOMPARE(file->actions().first()->text(), "&1 " + w_->bookPath());
  }

  // データベースから設計書を作成: the login, then the file; written in the layout of the boxes.
  void serverBookWritesTheDatabaseInTheLayoutOfTheBoxes() {
    morvane::test::TdsTestServer::Catalog catalog;
    catalog.columns = {{"顧客", "ID", 1, "int", {}, 10, 0, "NO", 0, {}, {}}};
    catalog.keys = {{"顧客", "ID", 1}};
    morvane::test::TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .catalog = catalog});
    const QString path = w_->path("db.xlsx");
    w_->services.answers.push_back(path);
    setBoxes(layout(), kNumberBoxes, {"2", "4", "3", "3", "6", "4", "5", "6", "7", "9"});
    QTimer::singleShot(0, this, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog != nullptr);
      setBoxes(*dialog, kServerBoxes, {QString::fromStdString(server.address()), "販売", "sa", "pw"});
      QTest::mouseClick(child<QPushButton>(*dialog, "cmdOK"), Qt::LeftButton);
    });
    trigger(layout(), "mnuServerBook");
    QCOMPARE(w_->take(), QStringList{"テーブルを 1 個書きました。"});
    morvane::clsExcel book;
    QVERIFY(book.fnOpenBook(path.toStdString()) && book.fnOpenSheet(1));
    QCOMPARE(book.Cells(4, 3) + "|" + book.Cells(11, 3), std::string("販売|顧客"));
    QVERIFY(book.fnOpenSheet(2));
    QCOMPARE(book.Cells(3, 3) + "|" + book.Cells(6, 4) + "|" + book.Cells(6, 7), std::string("顧客|ID|○"));
  }

  // The type window edits the layout window's own table, copied back only when it closes.
  void typeNotationsReachTheTableOnlyWhenTheirWindowCloses() {
    const auto table = layout().fieldAttr();
    trigger(layout(), "mnuFieldAttr");
    QVERIFY(types().isVisible() && types().moDataType == table);
    QCOMPARE(texts(types(), kTypeBoxes),
             QStringList({"char", "varchar", "identity", "int", "date", "float", "real", "decimal", "money"}));
    setBoxes(types(), {"txtChar", "txtVarchar"}, {" nchar ", "   "});
    trigger(types(), "mnuQuit");
    QCOMPARE(w_->take(), QStringList{"!未入力です"});
    QCOMPARE(types().focusWidget(), child(types(), "txtVarchar"));
    QVERIFY(types().isVisible() && table->getChar() == "char");
    // Shown again while open, it keeps the edits.
    trigger(layout(), "mnuFieldAttr");
    QCOMPARE(child(types(), "txtChar")->text(), QStringLiteral(" nchar "));

    // Next: the list reports the missing workbook, then the type window its blank box and stays.
    w_->next("book.xls");
    QCOMPARE(w_->take().at(1), QStringLiteral("!未入力です"));
    QVERIFY(types().isVisible() && w_->tables().moobjFAttr->getVarChar() == "varchar");
    child(types(), "txtVarchar")->setText("nvarchar");
    QVERIFY(types().close());
    QCOMPARE(table->getChar(), std::string(" nchar "));  // untrimmed
    QVERIFY(w_->tables().moobjFAttr == table && table->getVarChar() == "nvarchar");
    // Loaded anew, the window shows the table again.
    table->setInt("bigint");
    QTest::mouseClick(child<QPushButton>(w_->tables(), "cmdBack"), Qt::LeftButton);
    trigger(layout(), "mnuFieldAttr");
    QCOMPARE(child(types(), "txtInt")->text(), QStringLiteral("bigint"));
    // Exit ends the program without asking, whatever the type window holds.
    child(types(), "txtChar")->clear();
    trigger(layout(), "mnuQuit");
    QVERIFY(w_->endRequests == 1 && w_->take().isEmpty() && !layout().isVisible() && !types().isVisible());
  }

  void typeNotationFilesSaveWhatTheBoxesShow() {
    const auto table = layout().fieldAttr();
    trigger(layout(), "mnuFieldAttr");
    const QString path = w_->path("types.sfa"), missing = w_->path("missing/types.sfa"), none = w_->path("none.sfa");
    child(types(), "txtFloat")->clear();
    trigger(types(), "mnuSave");
    QCOMPARE(w_->take(), QStringList{"!未入力です"});
    QVERIFY(types().focusWidget() == child(types(), "txtFloat") && w_->services.dialogs.empty());
    setBoxes(types(), {"txtFloat", "txtReal"}, {"float", "single"});
    w_->services.answers = {"", missing};
    trigger(types(), "mnuSave");  // cancelled: the table stays
    QCOMPARE(table->getReal(), std::string("real"));
    trigger(types(), "mnuSave");
    w_->services.answers = {path};
    trigger(types(), "mnuSave");
    QCOMPARE(w_->take(),
             (QStringList{"!保存に失敗しました\n" + missing + ": ファイルまたはフォルダがありません", "保存しました"}));
    QCOMPARE(w_->services.dialogs.at(2).filter, QStringLiteral("SQLServerﾌｨｰﾙﾄﾞ属性定義ﾌｧｲﾙ|*.sfa"));
    QVERIFY(table->getReal() == "single" && fileHas(path, "<real>single</real>"));

    child(types(), "txtReal")->setText("edited");
    table->setReal("real");
    w_->services.answers = {none, ""};
    trigger(types(), "mnuOpen");
    trigger(types(), "mnuOpen");
    QCOMPARE(w_->take(), QStringList{"!読み込みに失敗しました\n" + none + ": ファイルまたはフォルダがありません"});
    QCOMPARE(child(types(), "txtReal")->text(), QStringLiteral("edited"));
    w_->services.answers = {path};
    trigger(types(), "mnuOpen");
    QVERIFY(w_->take().isEmpty() && table->getReal() == "single");
    QCOMPARE(child(types(), "txtReal")->text(), QStringLiteral("single"));
  }

  // Next and Back trade places, each window keeping its size; the type window opens beside the
  // layout window, the server window centred over the list; each stays on the opener's screen.
  void windowsOpenWhereTheirOpenerIs() {
    auto place = [](QWidget& window, QPoint at, QSize size) {
      window.resize(size);
      window.move(at);
      QCoreApplication::processEvents();
    };
    const QSize layoutSize = layout().size();
    const QRect screen = layout().screen()->availableGeometry();
    frmTableList& list = w_->tables();
    morvane::test::writeDesignBook(w_->bookPath().toStdString(), {simpleTable("alpha")});
    place(layout(), {40, 30}, layoutSize);
    w_->next(w_->bookPath());
    QVERIFY(QTest::qWaitForWindowExposed(&list) &&
            list.frameGeometry().topLeft() == layout().frameGeometry().topLeft());
    const QSize grown = list.size() + QSize(120, 80);
    place(list, {90, 60}, grown);
    QTest::mouseClick(child<QPushButton>(list, "cmdBack"), Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowExposed(&layout()));
    QVERIFY(layout().frameGeometry().topLeft() == list.frameGeometry().topLeft() && layout().size() == layoutSize);
    // Pushed past the bottom-right corner: the larger list is kept on the screen.
    place(layout(), screen.bottomRight() - QPoint(layoutSize.width() / 2, layoutSize.height() / 2), layoutSize);
    w_->next(w_->bookPath());
    QVERIFY(list.size() == grown && screen.contains(list.frameGeometry()));

    // The server window: centred on the list, and the list its parent for the window manager.
    w_->list()->selectAll();
    QRect serverFrame;
    QWindow* above = nullptr;
    QTimer::singleShot(0, this, [&] {
      serverFrame = w_->hub.dbServer().frameGeometry();
      above = w_->hub.dbServer().windowHandle()->transientParent();
      w_->hub.dbServer().close();
    });
    trigger(list, "mnuMakeTable");
    QVERIFY(above == list.windowHandle() &&
            (serverFrame.center() - list.frameGeometry().center()).manhattanLength() <= 1);

    // At the screen's right edge the type window goes to the left, where there is more room.
    QTest::mouseClick(child<QPushButton>(list, "cmdBack"), Qt::LeftButton);
    place(layout(), {screen.right() + 1 - layout().frameGeometry().width(), 40}, layoutSize);
    trigger(layout(), "mnuFieldAttr");
    QVERIFY(QTest::qWaitForWindowExposed(&types()));
    QCOMPARE(types().frameGeometry().left(),
             std::max(screen.left(), layout().frameGeometry().left() - types().frameGeometry().width()));
    QCOMPARE(types().frameGeometry().top(), layout().frameGeometry().top());
    // Asked for again while open, it stays where the user put it.
    place(types(), {5, 5}, types().size());
    trigger(layout(), "mnuFieldAttr");
    QCOMPARE(types().frameGeometry().topLeft(), QPoint(5, 5));
  }
};

QTEST_MAIN(LayoutWindowsTest)
#include "LayoutWindowsTest.moc"
