// The table list and server windows: what the list shows, what each command gets, writes or sends and reports.
#include "TestServices.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/TdsTestServer.h"
#include "ui/frmCheckResult.h"
#include "ui/frmDBServer.h"
#include "ui/frmDrift.h"

using namespace morvane::ui;
using namespace morvane::ui::test;
using morvane::test::TdsTestServer;

namespace {

const QString kDone = QStringLiteral("作成処理を終了しました。\n完了 %1 件、失敗 %2 件、未処理 %3 件");
const QString kStopped = QStringLiteral("作成処理を中止しました。\n完了 %1 件、失敗 %2 件、未処理 %3 件");

// The messages shown, each as expected where "…" stands for some text.
void compareMessages(const QStringList& shown, const QStringList& expected) {
  QCOMPARE(shown.size(), expected.size());
  for (int i = 0; i < shown.size(); ++i) {
    const QString parts = QRegularExpression::escape(expected[i]).replace(QStringLiteral("\\…"), QStringLiteral(".+"));
    const QRegularExpression pattern("\\A" + parts + "\\z", QRegularExpression::DotMatchesEverythingOption);
    QVERIFY2(pattern.match(shown[i]).hasMatch(), qPrintable(shown[i] + " / " + expected[i]));
  }
}

QStringList treeLines(const QTreeWidget* tree, int columns) {
  QStringList lines;
  for (int row = 0; row < tree->topLevelItemCount(); ++row) {
    QStringList cells;
    for (int column = 0; column < columns; ++column) cells << tree->topLevelItem(row)->text(column);
    lines << cells.join(' ');
  }
  return lines;
}

// A double-click as a user's hand makes it: a click, then the double press.
void doubleClick(QTreeWidget* tree, int row) {
  const QPoint at = tree->visualItemRect(tree->topLevelItem(row)).center();
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace

class TableListTest : public QObject {
  Q_OBJECT
  std::unique_ptr<Windows> w_;
  QString serverButton_;
  bool serverModal_ = false;

  frmTableList& tables() { return w_->tables(); }
  std::string out(const std::string& name) { return morvane::test::readBytes(w_->dir.file("out/" + name)); }
  // The user fills in the server window once it is up (modal, centred over the list, kept above it).
  void answerServerWindow(const TdsTestServer& server, bool close = true) {
    QTimer::singleShot(0, this, [this, &server, close] {
      frmDBServer& window = w_->hub.dbServer();
      serverModal_ = window.isVisible() && window.isModal() &&
                     window.windowHandle()->transientParent() == tables().windowHandle() &&
                     (window.frameGeometry().center() - tables().frameGeometry().center()).manhattanLength() <= 1;
      setBoxes(window, kServerBoxes, {QString::fromStdString(server.address()), "販売", "sa", "pw"});
      serverButton_ = child<QPushButton>(window, "cmdCreateTable")->text();
      press(window, "cmdCreateTable");
      if (close) window.close();
    });
  }

 private slots:
  void init() { w_ = std::make_unique<Windows>(); }

  // No command goes on without tables, a folder or an old workbook: dialogs asked (Open, Folder).
  void aCommandWithoutWhatItNeedsDoesNothing_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("dialogs");  // none: no line selected
    const QStringList none{"!テーブルが１つも選択されていません"};
    QTest::newRow("tables, none selected") << "mnuMakeTable" << none << "";
    QTest::newRow("scripts, none selected") << "mnuMakeCTSQL" << none << "";
    QTest::newRow("changes, none selected") << "mnuMakeChangeSQL" << none << "";
    QTest::newRow("documents, none selected") << "mnuMakeTableDoc" << none << "";
    QTest::newRow("drift, every line hidden") << "mnuDrift" << none << "";
    QTest::newRow("scripts, no folder") << "mnuMakeCTSQL" << QStringList() << "F";
    QTest::newRow("documents, no folder") << "mnuMakeTableDoc" << QStringList() << "F";
    QTest::newRow("changes, no old book") << "mnuMakeChangeSQL" << QStringList() << "O";
    QTest::newRow("changes, unreadable old book")
        << "mnuMakeChangeSQL" << QStringList{"!読み込み失敗しました\n…#DIV/0!…"} << "O";
  }
  void aCommandWithoutWhatItNeedsDoesNothing() {
    QFETCH(QString, action);
    QFETCH(QStringList, expected);
    QFETCH(QString, dialogs);
    w_->open({simpleTable("alpha")});
    if (!dialogs.isEmpty()) w_->click(1);
    if (action == "mnuDrift") child(tables(), "txtFilter")->setText("zzz");
    morvane::test::HandPackage old;
    old.sheets = {morvane::test::worksheetXml("<row r=\"3\"><c r=\"C3\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c></row>")};
    morvane::test::writeZip(w_->dir.file("old.xlsx"), old.parts());
    if (!dialogs.isEmpty() && !expected.isEmpty()) w_->services.answers.push_back(w_->path("old.xlsx"));
    // A command that wrongly goes on opens the modal server window: closed, so the test fails instead of waiting.
    QTimer::singleShot(0, this, [] { if (QWidget* modal = QApplication::activeModalWidget()) modal->close(); });
    trigger(tables(), action);
    compareMessages(w_->take(), expected);
    QString asked;
    for (const QString& dialog : w_->services.dialogs) asked += dialog[0];
    QCOMPARE(asked, dialogs);
  }

  void scriptsAndTablesGoForTheSelectedLinesWithTheProgramsTypeNotations() {
    TdsTestServer server({.user = "sa", .password = "pw", .database = "販売"});
    w_->layout().fieldAttr()->setInt("整数");
    w_->open({{"orders", {{"order_id", "整数", "", "*"}, {"note", "blob", "", ""}}},
              {"broken", {{"id", "identity", "5", "*"}}},
              {"dup", {{"first_col", "整数", "", "*"}}},
              {"dup", {{"second_col", "整数", "", "*"}}}});
    w_->list()->selectAll();
    w_->list()->item(2)->setSelected(false);
    w_->outFolder();
    trigger(tables(), "mnuMakeCTSQL");
    QCOMPARE(w_->services.runs.at(0), QStringLiteral("スクリプト作成"));
    const QStringList expected = {"!broken作成に失敗しました\n…", "!orders: blobは未定義です", kDone.arg(2).arg(1).arg(0)};
    compareMessages(w_->take(), expected);
    QCOMPARE(morvane::test::filesIn(w_->dir.file("out")), (std::vector<std::string>{"dup.sql", "orders.sql"}));
    answerServerWindow(server);  // the same tables to the server
    trigger(tables(), "mnuMakeTable");
    QVERIFY(serverModal_ && tables().isVisible());
    compareMessages(w_->take(), expected);
    const std::vector<std::string> batches = server.batches();
    QCOMPARE(batches.size(), std::size_t{3});  // SET XACT_ABORT ON first
    QVERIFY(batches[1].find("order_id int") != std::string::npos && batches[1].find("note") == std::string::npos);
    // A line stands for its own table when names repeat.
    QVERIFY(batches[2].find("second_col") != std::string::npos && batches[2].find("first_col") == std::string::npos);
  }

  void documentsGoForTheSelectedLinesInListOrder() {
    w_->open({simpleTable("alpha_tbl"), simpleTable("LeftFrame"), simpleTable("beta_tbl"), simpleTable("gamma_tbl")});
    w_->click(4);
    w_->click(1, Qt::ControlModifier);
    w_->click(2, Qt::ControlModifier);
    w_->outFolder();
    trigger(tables(), "mnuMakeTableDoc");
    // A table that cannot have a page of its own is left out of the set, and said so.
    compareMessages(w_->take(), {"!LeftFrame作成に失敗しました\n…", "作成しました"});
    const std::string index = out("leftframe.htm");
    QVERIFY(index.find("alpha_tbl") < index.find("gamma_tbl") && index.find("gamma_tbl") != std::string::npos &&
            index.find("beta_tbl") == std::string::npos && index.find("LeftFrame") == std::string::npos);
    QVERIFY(out("beta_tbl.htm").empty() && out("index.htm").find("design.xlsx") != std::string::npos);

    // A plain file where the folder should be: the reason is reported and the program goes on.
    w_->click(1);
    w_->services.answers.push_back(w_->bookPath());
    trigger(tables(), "mnuMakeTableDoc");
    compareMessages(w_->take(), {"!作成に失敗しました\n…"});

    // A cancel after the first table leaves the others unwritten and says so.
    w_->list()->selectAll();
    w_->services.answers.push_back(w_->path("out"));
    w_->services.cancelAfter = 1;
    trigger(tables(), "mnuMakeTableDoc");
    QCOMPARE(w_->services.runs.back(), QStringLiteral("ドキュメント作成"));
    compareMessages(w_->take(), {"!LeftFrame作成に失敗しました\n…", kStopped.arg(1).arg(0).arg(3)});
  }

  void theListShowsTheTablesInSheetOrderAndTheFilterIgnoresCaseAndWidth() {
    w_->open({simpleTable("カナ表"), simpleTable("ＡＢＣ"), simpleTable("ot\ther"), simpleTable("abc_log")});
    // A tab shows as the terminal shows it; the title names the workbook.
    QCOMPARE(w_->list()->item(2)->text(), QStringLiteral("ot\\ther"));
    QCOMPARE(tables().windowTitle(), QStringLiteral("design.xlsx - Morvane For SQLServer"));
    QVERIFY(tables().focusWidget() == w_->list() && w_->take().isEmpty() && w_->services.busyDepth == 0);
    w_->list()->selectAll();
    auto* filter = child(tables(), "txtFilter");
    filter->setText("ｶﾅ");
    // Hidden lines lose their selection, so a command acts on what the user sees.
    QCOMPARE(w_->selectedLines(), QList<int>{1});
    filter->setText("abc");
    QTest::keyClick(w_->list(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w_->selectedLines(), (QList<int>{2, 4}));
    QCOMPARE(tables().statusBar()->currentMessage(), QStringLiteral("表示 2 / 4 テーブル、選択 2"));
    QTest::keyClick(&tables(), Qt::Key_F, Qt::ControlModifier);
    QTest::keyClick(filter, Qt::Key_Escape);
    QVERIFY(filter->text().isEmpty() && !w_->list()->item(0)->isHidden());
  }

  void changeScriptsGoForTheSelectedTablesAsChosenInTheOptions() {
    const std::string oldBook = w_->dir.file("old.xlsx");
    morvane::test::writeDesignBook(oldBook, {{"alpha", {{"id", "int", "", "*"}, {"note", "varchar", "50", ""}}},
                                             simpleTable("beta"), simpleTable("gone")});
    // alpha narrows note; beta's id becomes ident, which only looks like a rename.
    w_->open({{"alpha", {{"id", "int", "", "*"}, {"note", "varchar", "10", ""}}}, simpleTable("beta", "ident"),
              simpleTable("delta")});
    w_->list()->selectAll();
    w_->services.answers.push_back(QString::fromStdString(oldBook));
    w_->outFolder();
    // The options as offered (each rename and box, '+' checked): every rename taken, the boxes left alone.
    QStringList offered;
    QTimer::singleShot(0, this, [&offered] {
      QWidget* ask = QApplication::activeModalWidget();
      auto* renames = child<QListWidget>(*ask, "lstRenames");
      for (int row = 0; row < renames->count(); ++row) {
        offered << renames->item(row)->text() + (renames->item(row)->checkState() == Qt::Checked ? "+" : "");
        renames->item(row)->setCheckState(Qt::Checked);
      }
      for (const char* box : {"chkAllowRebuild", "chkAllowDataLoss"})
        offered << box + QString(child<QCheckBox>(*ask, box)->isChecked() ? "+" : "");
      QTest::mouseClick(child<QDialogButtonBox>(*ask, "cmdButtons")->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    trigger(tables(), "mnuMakeChangeSQL");
    QCOMPARE(offered, (QStringList{"テーブル「beta」: 列「id」→「ident」", "chkAllowRebuild", "chkAllowDataLoss"}));
    // The counts with each table's line, then the old workbook's other tables.
    compareMessages(w_->take(), {kDone.arg(3).arg(0).arg(0) + "\nテーブル「alpha」: …\nテーブル「beta」: …; 列名"
                                 "の変更 id → ident\nテーブル「delta」: 新規…\n古いブックにだけあるテーブル (削除のスク"
                                 "リプトは作りません): gone"});
    // The box left unticked, the rows are checked before note narrows; the rename keeps beta's data.
    QVERIFY(out("alpha.sql").find("IF EXISTS (SELECT 1 FROM dbo.alpha WHERE LEN(note) > 10) THROW") !=
            std::string::npos);
    QVERIFY(out("beta.sql").find("EXEC sp_rename N'dbo.beta.id', N'ident', N'COLUMN';") != std::string::npos);
    QCOMPARE(morvane::test::filesIn(w_->dir.file("out")),
             (std::vector<std::string>{"alpha.sql", "beta.sql", "delta.sql"}));
  }

  void checkShowsTheFindingsOfTheSelectionOrOfEveryShownTable() {
    w_->layout().fieldAttr()->setDate("日付");
    w_->open({simpleTable("alpha"),
              {"beta", {{"at", "date", "", ""}, {"memo", "varchar", "9000", ""}}},
              {"gamma", {{"id", "int", "", "*"}, {"ID", "日付", "", ""}}},
              simpleTable("gamma", "x")});
    // Nothing selected: every table, in sheet and row order, with the counts in the title.
    trigger(tables(), "mnuCheck");
    frmCheckResult* result = tables().checkResult();
    QVERIFY(result != nullptr && QTest::qWaitForWindowExposed(result));
    auto* findings = child<QTreeWidget>(*result, "lstFindings");
    QCOMPARE(treeLines(findings, 3), (QStringList{"Sheet2 C3 警告", "Sheet2 E6 エラー", "Sheet2 F7 エラー",
                                                  "Sheet3 D7 エラー", "Sheet4 C3 エラー"}));
    QCOMPARE(result->windowTitle(), QStringLiteral("チェック結果 - エラー 4 件、警告 1 件"));
    // The line of the second gamma, not the first line of that name; a hidden line is shown again.
    child(tables(), "txtFilter")->setText("alpha");
    doubleClick(findings, 4);
    QVERIFY(child(tables(), "txtFilter")->text().isEmpty() && w_->selectedLines() == QList<int>{4});

    w_->click(1);
    trigger(tables(), "mnuCheck");
    QVERIFY(tables().checkResult() == result && findings->topLevelItemCount() == 0);
  }

  void comparingWithADatabaseListsTheDriftAndRunsTheChangesOnceConfirmed() {
    const TdsTestServer::Catalog catalog{
        {{"customer", "id", 1, "int", {}, 10, 0, "NO"}, {"stale", "id", 1, "int", {}, 10, 0, "NO"}},
        {{"customer", "id", 1}, {"stale", "id", 1}}};
    TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .catalog = catalog});
    w_->open({{"customer", {{"id", "int", "", "*"}, {"name", "varchar", "20", "*"}}}, simpleTable("orders")});
    answerServerWindow(server, false);
    trigger(tables(), "mnuDrift");
    QVERIFY(serverModal_ && serverButton_ == QStringLiteral("比較(&C)"));
    QCOMPARE(child<QPushButton>(w_->hub.dbServer(), "cmdCreateTable")->text(), QStringLiteral("作成(&C)"));
    frmDrift* drift = tables().drift();
    QVERIFY(drift != nullptr && QTest::qWaitForWindowExposed(drift));
    auto* tree = child<QTreeWidget>(*drift, "lstDrift");
    QCOMPARE(treeLines(tree, 2),
             (QStringList{"customer 定義が違う", "orders ブックにだけある", "stale データベースにだけある"}));
    doubleClick(tree, 1);
    QCOMPARE(w_->selectedLines(), QList<int>{2});
    // Running waits for the confirmation; without 削除 the stale table stays.
    QVERIFY(!child<QPushButton>(*drift, "cmdRun")->isEnabled());
    child<QCheckBox>(*drift, "chkConfirm")->setChecked(true);
    press(*drift, "cmdRun");
    const std::vector<std::string> batches = server.batches();
    QCOMPARE(batches.size(), std::size_t{12});  // two catalog reads of five queries, then two changes
    QVERIFY(batches[10].find("ALTER TABLE dbo.customer ADD name varchar(20)") != std::string::npos &&
            batches[11].find("CREATE TABLE dbo.orders") != std::string::npos);
    compareMessages(w_->take(), {kDone.arg(3).arg(0).arg(0) + "\n…"});
  }

  // Each way a run on the server ends, by the messages in order.
  void aServerRunReportsEachTableAndTheCounts_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("wrong password") << "wrong" << QStringList{"…Login failed for user 'sa'…", "!接続に失敗しました"};
    QTest::newRow("cancel") << "cancel" << QStringList{kStopped.arg(1).arg(0).arg(2)};
    QTest::newRow("lost server") << "lost" << QStringList{"!注文作成に失敗しました\n…", kStopped.arg(1).arg(1).arg(1)};
    QTest::newRow("blank user") << "blank" << QStringList{"!未入力です"};
    QTest::newRow("cancel at login") << "login" << QStringList();  // ends the run there, without a word
  }
  void aServerRunReportsEachTableAndTheCounts() {
    QFETCH(QString, server);
    QFETCH(QStringList, expected);
    TdsTestServer::Config config{.user = "sa", .password = "pw", .database = "販売"};
    if (server == "lost") config.hangUpAfterBatches = 2;
    if (server == "cancel" || server == "login") w_->services.cancelAfter = server == "cancel" ? 1 : 0;
    TdsTestServer tds(config);
    auto table = [](const std::string& name) { return morvane::test::makeTable(name, {{"id", "int", ""}}, {"id"}); };
    frmDBServer& window = w_->hub.dbServer();
    window.setDBInfo(morvane::test::dbOf({table("顧客"), table("注文"), table("Orders")}));
    window.sbShow();
    QCOMPARE(child(window, "txtPasswd")->echoMode(), QLineEdit::Password);
    const QStringList values = {QString::fromStdString(tds.address()), "販売", server == "blank" ? "　" : "sa",
                                server == "wrong" ? "wrong" : "pw"};
    setBoxes(window, kServerBoxes, values);
    press(window, "cmdCreateTable");
    compareMessages(w_->take(), expected);
    QVERIFY(window.isLoaded() && w_->services.busyDepth == 0);
    if (server == "blank") {
      QVERIFY(child(window, "txtUser")->selectedText() == values[2] && tds.connectionCount() == 0);
      return;
    }
    const QString login = QStringLiteral("サーバに接続");
    QCOMPARE(w_->services.runs.join('|'), server == "wrong" || server == "login" ? login : login + "|テーブル作成");
    // The next run offers the names again, never the password.
    WindowHub again(w_->services, [] {});
    again.dbServer().sbShow();
    QCOMPARE(texts(again.dbServer(), kServerBoxes), (QStringList{values[0], "販売", "sa", ""}));
  }
};

QTEST_MAIN(TableListTest)
#include "TableListTest.moc"
