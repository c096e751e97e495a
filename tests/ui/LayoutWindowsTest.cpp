// The layout and type notation windows: input checks, Next and Back, setting files, where windows open.
#include "TestServices.h"
#include "document/clsExcel.h"
#include "tests/support/TdsTestServer.h"
#include "ui/frmDatTypeSQLServer.h"

using namespace morvane::ui;
using namespace morvane::ui::test;

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

  // Blanks first (path box, then the boxes in order), then the numbers, then the optional boxes.
  void theFirstBadBoxIsReported() {
    const QString empty = "!未入力です", notNumber = "!数値のみ入力してください";
    struct Case { QString numbers, optional, path, message, reported; bool save = false; };
    for (const Case& row : std::initializer_list<Case>{
             {"a,4,3,3,6,4,5,6,7,9", "", "", empty, "txtFile"},
             {"1,4,3,3,6,4,5,　,x,9", "", "b.xls", empty, "txtFieldSize"},
             {"1,3000000000,3,3,6,4,5,6,7,y", "", "b.xls", notNumber, "txtESheet"},  // beyond 32 bits
             {"1,4,3,3,6,4,5,6,7,z", "-1", "b.xls", notNumber, "txtNull"},
             {"1,4,3,3,6,4,5,6,7,9", "-1", "b.xls", notNumber, "txtDefault"},
             {"1,4,3,3,6,4,5,6,7,", "", "", empty, "txtNull", true}}) {  // saving needs no workbook
      init();  // a fresh window, so that the focus has to move
      setBoxes(layout(), kNumberBoxes + QStringList{"txtDefault", "txtReference", "txtFile"},
               row.numbers.split(',') + QStringList{row.optional, row.optional.isEmpty() ? "" : "x", row.path});
      box(row.reported)->deselect();
      row.save ? trigger(layout(), "mnuSaveDBDef") : press(layout(), "cmdOK");
      QCOMPARE(w_->take(), QStringList{row.message});
      QCOMPARE(layout().focusWidget(), box(row.reported));
      QCOMPARE(box(row.reported)->selectedText(), box(row.reported)->text());
      QVERIFY(layout().isLoaded() && !w_->tables().isLoaded() && w_->services.dialogs.empty());
    }
  }

  void boxesTakeTwoCharactersSelectAllOnFocusAndTakeDroppedFiles() {
    QCOMPARE(layout().focusWidget(), box("txtFile"));
    for (const QString& name : kNumberBoxes + kOptionalBoxes) {
      QTest::keyClicks(box(name), "123");
      QCOMPARE(box(name)->text(), QStringLiteral("12"));
      // Digits only: no input method, but where the boxes ask for more than digits.
      QCOMPARE(box(name)->testAttribute(Qt::WA_InputMethodEnabled), name == "txtTableNmRow" || name == "txtFieldSize");
    }
    // A click selects the whole text too, though the press places the caret after the focus.
    QTest::mouseClick(box("txtFieldNm"), Qt::LeftButton, {}, QPoint(2, 5));
    QTRY_COMPARE(box("txtFieldNm")->selectedText(), QStringLiteral("12"));

    // Browse and a drop set the path.
    box("txtFile")->setText("old.xls");
    w_->services.answers = {"", "   ", " /data/new book.xlsx"};
    for (const char* expected : {"old.xls", "old.xls", " /data/new book.xlsx"}) {
      press(layout(), "cmdRefFile");
      QCOMPARE(box("txtFile")->text(), QString::fromUtf8(expected));
    }
    QCOMPARE(w_->services.dialogs[0], QStringLiteral("OExcelﾌｧｲﾙ|*.xls;*.xlsx"));
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
  }

  // Setting files carry all boxes (blank is 0) and the mark; the next run starts with the last files.
  void layoutFilesCarryTheBoxesAndComeBackInTheNextRun() {
    const QString path = w_->path("layout.edf"), missing = w_->path("missing/layout.edf");
    setBoxes(layout(), kNumberBoxes + kOptionalBoxes,
             {"2", "5", "1", "2", "8", "3", "4", "5", "6.5", "7", "2", "", "10", " ", "12", "1.5", "2", "3"});
    child<QRadioButton>(layout(), "optNullMarkNotNull")->setChecked(true);
    w_->services.answers = {"", missing, path};
    for (int i = 0; i < 3; ++i) trigger(layout(), "mnuSaveDBDef");  // the first cancelled
    QCOMPARE(w_->take(),
             (QStringList{"!保存失敗しました\n" + missing + ": ファイルまたはフォルダがありません", "保存しました"}));
    QCOMPARE(w_->services.dialogs.at(2), QStringLiteral("SExcel設計書定義ファイル|*.edf"));

    // A file that cannot be read, or lacks a key, changes none of the boxes.
    setBoxes(layout(), kNumberBoxes + kOptionalBoxes + QStringList{"txtFile"}, QStringList(18, "1") << "kept.xls");
    child<QRadioButton>(layout(), "optNullMarkNull")->setChecked(true);
    const QString partial = w_->path("partial.edf");
    morvane::test::writeBytes(partial.toStdString(), "<StartSheetNo>2</StartSheetNo>\r\n");
    w_->services.answers = {"", partial, path};
    for (int i = 0; i < 2; ++i) trigger(layout(), "mnuOpenDBDef");
    QCOMPARE(w_->take(), QStringList{"!読み込み失敗しました\n" + partial + ": EndSheetNo is missing or empty"});
    QCOMPARE(texts(layout(), kNumberBoxes), QStringList(10, "1"));
    trigger(layout(), "mnuOpenDBDef");
    QVERIFY(w_->take().isEmpty() && w_->services.dialogs.at(5) == "OExcel設計書定義ファイル|*.edf");
    const QStringList read = {"2", "5", "1", "2", "8", "3", "4", "5", "6", "7"};
    QCOMPARE(texts(layout(), kNumberBoxes + kOptionalBoxes + QStringList{"txtFile"}),
             read + QStringList({"2", "", "10", "", "12", "2", "2", "3", "kept.xls"}));
    QVERIFY(child<QRadioButton>(layout(), "optNullMarkNotNull")->isChecked());

    w_->next(w_->bookPath(), read);
    // Another run: a new set of windows over the same user's settings.
    WindowHub again(w_->services, [] {});
    again.dbDef().sbShow();
    QCOMPARE(texts(again.dbDef(), kNumberBoxes + QStringList{"txtFile"}), read + QStringList{w_->bookPath()});
    auto* file = child<QMenu>(again.dbDef(), "mnuFile");
    emit file->aboutToShow();
    QCOMPARE(file->actions().first()->text(), "&1 " + w_->bookPath());
  }

  // データベースから設計書を作成: the login, then the file; written in the layout of the boxes.
  void serverBookWritesTheDatabaseInTheLayoutOfTheBoxes() {
    const morvane::test::TdsTestServer::Catalog catalog{{{"顧客", "ID", 1, "int", {}, 10, 0, "NO"}},
                                                        {{"顧客", "ID", 1}}};
    morvane::test::TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .catalog = catalog});
    w_->services.answers = {w_->path("db.xlsx")};
    setBoxes(layout(), kNumberBoxes, {"2", "4", "3", "3", "6", "4", "5", "6", "7", "9"});
    QTimer::singleShot(0, this, [&] {
      QWidget& dialog = *QApplication::activeModalWidget();
      setBoxes(dialog, kServerBoxes, {QString::fromStdString(server.address()), "販売", "sa", "pw"});
      press(dialog, "cmdOK");
    });
    trigger(layout(), "mnuServerBook");
    QCOMPARE(w_->take(), QStringList{"テーブルを 1 個書きました。"});
    morvane::clsExcel book;
    QVERIFY(book.fnOpenBook(w_->path("db.xlsx").toStdString()) && book.fnOpenSheet(2));
    QCOMPARE(book.Cells(3, 3) + "|" + book.Cells(6, 4) + "|" + book.Cells(6, 7), std::string("顧客|ID|○"));
  }

  // The type window edits the layout window's own table, copied back only when saved or closed.
  void typeNotationsReachTheTableOnlyWhenSavedOrTheirWindowCloses() {
    const auto table = layout().fieldAttr();
    trigger(layout(), "mnuFieldAttr");
    QVERIFY(types().isVisible() && types().moDataType == table);
    const QStringList typeBoxes = {"txtChar",  "txtVarchar", "txtIdentity", "txtInt",  "txtDate",
                                   "txtFloat", "txtReal",    "txtDecimal",  "txtMoney"};
    QCOMPARE(texts(types(), typeBoxes),
             QStringList({"char", "varchar", "identity", "int", "date", "float", "real", "decimal", "money"}));
    // Saving takes what the boxes show into the table, never a blank box; a cancel leaves the table alone.
    const QString path = w_->path("types.sfa"), missing = w_->path("missing/types.sfa"), none = w_->path("none.sfa");
    child(types(), "txtFloat")->clear();
    trigger(types(), "mnuSave");
    QCOMPARE(w_->take(), QStringList{"!未入力です"});
    QVERIFY(types().focusWidget() == child(types(), "txtFloat") && w_->services.dialogs.empty());
    setBoxes(types(), {"txtFloat", "txtReal"}, {"float", "single"});
    w_->services.answers = {"", missing, path};
    trigger(types(), "mnuSave");
    QCOMPARE(table->getReal(), std::string("real"));
    for (int i = 0; i < 2; ++i) trigger(types(), "mnuSave");
    QCOMPARE(w_->take(),
             (QStringList{"!保存に失敗しました\n" + missing + ": ファイルまたはフォルダがありません", "保存しました"}));
    QCOMPARE(w_->services.dialogs.at(2), QStringLiteral("SSQLServerﾌｨｰﾙﾄﾞ属性定義ﾌｧｲﾙ|*.sfa"));
    QCOMPARE(table->getReal(), std::string("single"));

    // Opening: a missing file or a cancel keeps the boxes; the saved file comes back into them.
    child(types(), "txtReal")->setText("edited");
    table->setReal("real");
    w_->services.answers = {none, "", path};
    for (int i = 0; i < 2; ++i) trigger(types(), "mnuOpen");
    QCOMPARE(w_->take(), QStringList{"!読み込みに失敗しました\n" + none + ": ファイルまたはフォルダがありません"});
    QCOMPARE(child(types(), "txtReal")->text(), QStringLiteral("edited"));
    trigger(types(), "mnuOpen");
    QVERIFY(w_->take().isEmpty() && table->getReal() == "single" && child(types(), "txtReal")->text() == "single");

    // Closing with a blank box is refused, and the table keeps what it had.
    setBoxes(types(), {"txtChar", "txtVarchar"}, {" nchar ", "   "});
    trigger(types(), "mnuQuit");
    QCOMPARE(w_->take(), QStringList{"!未入力です"});
    QVERIFY(types().isVisible() && table->getChar() == "char");

    // Next: the list reports the missing workbook under the busy pointer, then the type window its blank box.
    w_->next("book.xls");
    QCOMPARE(w_->services.busyMessages, 1);
    QCOMPARE(w_->take(), (QStringList{"!読み込み失敗しました\nブック「book.xls」を開けません\nファイルが見つかりません",
                                      "!未入力です"}));
    QVERIFY(types().isVisible() && w_->tables().moobjFAttr->getVarChar() == "varchar");
    child(types(), "txtVarchar")->setText("nvarchar");
    QVERIFY(types().close());
    QCOMPARE(table->getChar(), std::string(" nchar "));  // untrimmed
    QVERIFY(w_->tables().moobjFAttr == table && table->getVarChar() == "nvarchar");
    // Exit ends the program without asking, whatever the type window holds.
    child(types(), "txtChar")->clear();
    trigger(layout(), "mnuQuit");
    QVERIFY(w_->endRequests == 1 && w_->take().isEmpty() && !layout().isVisible() && !types().isVisible());
  }

  // Next and Back trade places, each keeping its size; the type window opens beside; all stay on screen.
  void windowsOpenWhereTheirOpenerIs() {
    auto place = [](QWidget& window, QPoint at, QSize size) {
      window.resize(size);
      window.move(at);
      QCoreApplication::processEvents();
    };
    const QSize layoutSize = layout().size();
    const QRect screen = layout().screen()->availableGeometry();
    frmTableList& list = w_->tables();
    morvane::test::writeDesignBook(w_->bookPath().toStdString(), {simpleTable("skipped"), simpleTable("alpha")});
    place(layout(), {40, 30}, layoutSize);
    // The layout goes to the list as read from the boxes, and comes back with Back.
    w_->next(w_->bookPath(), {"1.5", "2.5", "3", "3", "6", "4", "5", "6", "7", " 9 "});
    QVERIFY(QTest::qWaitForWindowExposed(&list) &&
            list.frameGeometry().topLeft() == layout().frameGeometry().topLeft());
    QVERIFY(list.moobjExcelDocInfo == layout().moobjDocInfo && w_->list()->count() == 1 && !layout().isVisible());
    const QSize grown = list.size() + QSize(120, 80);
    place(list, {90, 60}, grown);
    press(w_->tables(), "cmdBack");
    QVERIFY(QTest::qWaitForWindowExposed(&layout()) && !list.isLoaded());
    QVERIFY(layout().frameGeometry().topLeft() == list.frameGeometry().topLeft() && layout().size() == layoutSize);
    QCOMPARE(texts(layout(), kNumberBoxes + QStringList{"txtFile"}),
             QStringList({"2", "2", "3", "3", "6", "4", "5", "6", "7", "9", w_->bookPath()}));
    // Pushed past the bottom-right corner: the larger list is kept on the screen.
    place(layout(), screen.bottomRight() - QPoint(layoutSize.width() / 2, layoutSize.height() / 2), layoutSize);
    w_->next(w_->bookPath());
    QVERIFY(list.size() == grown && screen.contains(list.frameGeometry()));

    // At the screen's right edge the type window goes to the left, where there is more room.
    press(list, "cmdBack");
    place(layout(), {screen.right() + 1 - layout().frameGeometry().width(), 40}, layoutSize);
    trigger(layout(), "mnuFieldAttr");
    QVERIFY(QTest::qWaitForWindowExposed(&types()));
    QCOMPARE(types().frameGeometry().topLeft(),
             QPoint(std::max(screen.left(), layout().frameGeometry().left() - types().frameGeometry().width()),
                    layout().frameGeometry().top()));
    // Asked for again while open, it stays where the user put it and keeps the edits.
    place(types(), {5, 5}, types().size());
    child(types(), "txtChar")->setText("edited");
    trigger(layout(), "mnuFieldAttr");
    QVERIFY(types().frameGeometry().topLeft() == QPoint(5, 5) && child(types(), "txtChar")->text() == "edited");
  }
};

QTEST_MAIN(LayoutWindowsTest)
#include "LayoutWindowsTest.moc"
