// The table list window and the server window: what the list shows, which tables each command
// gets, what it writes or sends, and how it reports.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QStatusBar>
#include <QTreeWidget>

#include "TestServices.h"
#include "tests/sqlserver/ScriptTables.h"
#include "tests/support/TdsTestServer.h"
#include "tests/support/XlsxDamage.h"
#include "ui/frmChangeOptions.h"
#include "ui/frmCheckResult.h"
#include "ui/frmDBServer.h"
#include "ui/frmDrift.h"

using namespace morvane::ui;
using namespace morvane::ui::test;
using morvane::test::TdsTestServer;

namespace {

// The messages shown, each as expected where "…" stands for some text.
void compareMessages(const QStringList& shown, const QStringList& expected) {
  QCOMPARE(shown.size(), expected.size());
  for (int i = 0; i < shown.size(); ++i) {
    QStringList parts = expected[i].split(u'…');
    for (QString& part : parts) part = QRegularExpression::escape(part);
    const QRegularExpression pattern("\\A" + parts.join(".+") + "\\z", QRegularExpression::DotMatchesEverythingOption);
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
  bool written(const std::string& name) { return !out(name).empty(); }
  // The user fills in the modal server window once it is up and presses its button.
  void answerServerWindow(const TdsTestServer& server, bool close = true) {
    QTimer::singleShot(0, this, [this, &server, close] {
      frmDBServer& window = w_->hub.dbServer();
      serverModal_ = window.isVisible() && window.isModal();
      setBoxes(window, kServerBoxes, {QString::fromStdString(server.address()), "販売", "sa", "pw"});
      serverButton_ = child<QPushButton>(window, "cmdCreateTable")->text();
      QTest::mouseClick(child<QPushButton>(window, "cmdCreateTable"), Qt::LeftButton);
      if (close) window.close();
    });
  }

 private slots:
  void init() { w_ = std::make_unique<Windows>(); }
  void cleanup() { w_.reset(); }

  void listsTheTablesInSheetOrderAndBackRereadsTheWorkbook() {
    w_->open({simpleTable("zeta"), simpleTable("al\tpha"), simpleTable("mid")});
    // A tab shows as the terminal shows it; the title names the workbook, the status line counts.
    QCOMPARE(w_->list()->item(1)->text(), QStringLiteral("al\\tpha"));
    QCOMPARE(w_->list()->item(2)->text(), QStringLiteral("mid"));
    QCOMPARE(tables().windowTitle(), QStringLiteral("design.xlsx - Morvane For SQLServer"));
    QCOMPARE(tables().statusBar()->currentMessage(), QStringLiteral("表示 3 / 3 テーブル、選択 0"));
    QCOMPARE(tables().focusWidget(), w_->list());
    QCOMPARE(w_->list()->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(w_->list()->selectedItems().isEmpty() && w_->take().isEmpty() && w_->services.busyDepth == 0);

    w_->click(2);
    QTest::mouseClick(child<QPushButton>(tables(), "cmdBack"), Qt::LeftButton);
    QVERIFY(w_->layout().isLoaded() && !tables().isLoaded());
    QCOMPARE(child(w_->layout(), "txtFile")->text(), w_->bookPath());
    morvane::test::writeDesignBook(w_->bookPath().toStdString(), {simpleTable("delta")});
    QTest::mouseClick(child<QPushButton>(w_->layout(), "cmdOK"), Qt::LeftButton);
    QCOMPARE(w_->list()->count(), 1);
    QCOMPARE(w_->list()->item(0)->text(), QStringLiteral("delta"));
    QVERIFY(w_->list()->selectedItems().isEmpty());

    // Nothing of a workbook that cannot be read is listed: one message with the book and its reason.
    std::filesystem::remove(w_->bookPath().toStdString());
    QTest::mouseClick(child<QPushButton>(tables(), "cmdBack"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(w_->layout(), "cmdOK"), Qt::LeftButton);
    compareMessages(w_->take(),
                    {"!読み込み失敗しました\nブック「" + w_->bookPath() + "」を開けません\nファイルが見つかりません"});
    // An error cell on the second sheet: the good table on the first is not listed either.
    morvane::test::HandPackage package;
    package.sheets = {
        morvane::test::worksheetXml("<row r=\"3\"><c r=\"C3\" t=\"inlineStr\"><is><t>good</t></is></c></row>"),
        morvane::test::worksheetXml("<row r=\"3\"><c r=\"C3\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c></row>")};
    morvane::test::writeZip(w_->bookPath().toStdString(), package.parts());
    QTest::mouseClick(child<QPushButton>(tables(), "cmdBack"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(w_->layout(), "cmdOK"), Qt::LeftButton);
    compareMessages(w_->take(), {"!読み込み失敗しました\n…#DIV/0!…"});
    QVERIFY(tables().isVisible() && w_->list()->count() == 0 && w_->services.busyDepth == 0);
  }

  // No command goes on without tables, a folder or an old workbook: dialogs asked (Open, Folder).
  void aCommandWithoutWhatItNeedsDoesNothing_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("select");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("dialogs");
    const QStringList none{"!テーブルが１つも選択されていません"};
    QTest::newRow("tables, none selected") << "mnuMakeTable" << false << none << "";
    QTest::newRow("scripts, none selected") << "mnuMakeCTSQL" << false << none << "";
    QTest::newRow("changes, none selected") << "mnuMakeChangeSQL" << false << none << "";
    QTest::newRow("documents, none selected") << "mnuMakeTableDoc" << false << none << "";
    QTest::newRow("drift, every line hidden") << "mnuDrift" << false << none << "";
    QTest::newRow("scripts, no folder") << "mnuMakeCTSQL" << true << QStringList() << "F";
    QTest::newRow("documents, no folder") << "mnuMakeTableDoc" << true << QStringList() << "F";
    QTest::newRow("changes, no old book") << "mnuMakeChangeSQL" << true << QStringList() << "O";
    QTest::newRow("changes, unreadable old book")
        << "mnuMakeChangeSQL" << true << QStringList{"!読み込み失敗しました\nブック「…"} << "O";
  }
  void aCommandWithoutWhatItNeedsDoesNothing() {
    QFETCH(QString, action);
    QFETCH(bool, select);
    QFETCH(QStringList, expected);
    QFETCH(QString, dialogs);
    w_->open({simpleTable("alpha")});
    if (select) w_->click(1);
    if (action == "mnuDrift") child(tables(), "txtFilter")->setText("zzz");
    morvane::test::writeBytes(w_->dir.file("junk.xlsx"), "not a workbook at all");
    if (!expected.isEmpty() && select) w_->services.answers.push_back(w_->path("junk.xlsx"));
    const auto files = std::distance(std::filesystem::directory_iterator(w_->dir.path()), {});
    trigger(tables(), action);
    compareMessages(w_->take(), expected);
    QString asked;
    for (const AskedDialog& dialog : w_->services.dialogs) {
      asked += dialog.kind;
      // Modal to the table list, not to some other window.
      QCOMPARE(dialog.owner, static_cast<QWidget*>(&tables()));
    }
    QCOMPARE(asked, dialogs);
    QVERIFY(!w_->hub.dbServer().isVisible());
    QCOMPARE(std::distance(std::filesystem::directory_iterator(w_->dir.path()), {}), files);
  }

  void scriptsGoForTheSelectedLinesWithTheProgramsTypeNotations() {
    w_->layout().fieldAttr()->setInt("整数");
    w_->open({{"orders", {{"order_id", "整数", "", "*"}, {"note", "blob", "", ""}}},
              {"broken", {{"id", "identity", "5", "*"}}},
              {"dup", {{"first_col", "整数", "", "*"}}},
              {"dup", {{"second_col", "整数", "", "*"}}}});
    w_->list()->selectAll();
    w_->list()->item(2)->setSelected(false);
    w_->outFolder();
    trigger(tables(), "mnuMakeCTSQL");
    QCOMPARE(w_->services.runs.at(0).first, QStringLiteral("スクリプト作成"));
    compareMessages(w_->take(), {"!broken作成に失敗しました\n…", "!orders: blobは未定義です",
                                 "作成処理を終了しました。\n完了 2 件、失敗 1 件、未処理 0 件"});
    QCOMPARE(morvane::test::filesIn(w_->dir.file("out")), (std::vector<std::string>{"dup.sql", "orders.sql"}));
    QVERIFY(out("orders.sql").find("order_id int") != std::string::npos &&
            out("orders.sql").find("note") == std::string::npos);
    // A line stands for its own table when names repeat.
    QVERIFY(out("dup.sql").find("second_col") != std::string::npos &&
            out("dup.sql").find("first_col") == std::string::npos);
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
    QVERIFY(index.find("alpha_tbl") < index.find("gamma_tbl") && index.find("gamma_tbl") != std::string::npos);
    QVERIFY(index.find("beta_tbl") == std::string::npos && index.find("LeftFrame") == std::string::npos);
    QVERIFY(!written("beta_tbl.htm") && written("gamma_tbl.htm"));
    QVERIFY(out("index.htm").find("design.xlsx") != std::string::npos);

    // A plain file where the folder should be: the reason is reported and the program goes on.
    w_->click(1);
    morvane::test::writeBytes(w_->dir.file("file"), "x");
    w_->services.answers.push_back(w_->path("file"));
    trigger(tables(), "mnuMakeTableDoc");
    compareMessages(w_->take(), {"!作成に失敗しました\n…"});
    QVERIFY(tables().isLoaded() && w_->endRequests == 0);

    // A cancel after the first table leaves the others unwritten and says so.
    w_->list()->selectAll();
    w_->list()->item(1)->setSelected(false);
    std::filesystem::create_directory(w_->dir.file("docs"));
    w_->services.answers.push_back(w_->path("docs"));
    w_->services.cancelAfter = 1;
    trigger(tables(), "mnuMakeTableDoc");
    QCOMPARE(w_->services.runs.back().first, QStringLiteral("ドキュメント作成"));
    QCOMPARE(w_->services.runs.back().second->calls(),
             (std::vector<std::string>{"begin 3", "step 0 alpha_tbl", "end 1/0/2 cancelled"}));
    compareMessages(w_->take(), {"作成処理を中止しました。\n完了 1 件、失敗 0 件、未処理 2 件"});
    QVERIFY(std::filesystem::exists(w_->dir.file("docs/alpha_tbl.htm")) &&
            !std::filesystem::exists(w_->dir.file("docs/beta_tbl.htm")));
    QCOMPARE(w_->services.busyDepth, 0);
  }

  void theFilterIgnoresCaseAndWidthAndCommandsSeeOnlyShownLines() {
    w_->open({simpleTable("カナ表"), simpleTable("ＡＢＣ"), simpleTable("other"), simpleTable("abc_log")});
    w_->list()->selectAll();
    auto* filter = child(tables(), "txtFilter");
    filter->setText("ｶﾅ");
    // Hidden lines lose their selection, so a command acts on what the user sees.
    QCOMPARE(w_->selectedLines(), QList<int>{1});
    QVERIFY(w_->list()->item(1)->isHidden() && !w_->list()->item(0)->isHidden());
    filter->setText("abc");
    QTest::keyClick(w_->list(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w_->selectedLines(), (QList<int>{2, 4}));
    QCOMPARE(tables().statusBar()->currentMessage(), QStringLiteral("表示 2 / 4 テーブル、選択 2"));
    w_->outFolder();
    trigger(tables(), "mnuMakeCTSQL");
    QCOMPARE(morvane::test::filesIn(w_->dir.file("out")), (std::vector<std::string>{"abc_log.sql", "ＡＢＣ.sql"}));
    // Ctrl+F goes to the filter, Esc there clears it.
    QTest::keyClick(&tables(), Qt::Key_F, Qt::ControlModifier);
    QTest::keyClick(filter, Qt::Key_Escape);
    QVERIFY(filter->text().isEmpty() && !w_->list()->item(0)->isHidden());
  }

  void createTablesSendsTheSelectionWithTheProgramsTypeNotations() {
    TdsTestServer server({.user = "sa", .password = "pw", .database = "販売"});
    w_->layout().fieldAttr()->setMoney("金額");
    w_->open({{"priced", {{"id", "int", "", "*"}, {"amount", "金額", "", ""}}},
              simpleTable("skipped"),
              {"odd", {{"id", "int", "", "*"}, {"amount", "blob", "", ""}}}});
    w_->click(3);
    w_->click(1, Qt::ControlModifier);
    answerServerWindow(server);
    trigger(tables(), "mnuMakeTable");
    QVERIFY(serverModal_);
    compareMessages(w_->take(),
                    {"!odd: blobは未定義です", "作成処理を終了しました。\n完了 2 件、失敗 0 件、未処理 0 件"});
    const std::vector<std::string> batches = server.batches();
    QCOMPARE(batches.size(), std::size_t{3});  // SET XACT_ABORT ON first
    QVERIFY(batches[1].find("CREATE TABLE dbo.priced") != std::string::npos &&
            batches[1].find("amount money") != std::string::npos);
    QVERIFY(batches[2].find("CREATE TABLE dbo.odd") != std::string::npos && tables().isVisible());
  }

  void changeScriptsGoForTheSelectedTablesAsChosenInTheOptions() {
    const std::string oldBook = w_->dir.file("old.xlsx");
    morvane::test::writeDesignBook(oldBook, {{"alpha", {{"id", "int", "", "*"}, {"note", "varchar", "50", ""}}},
                                             simpleTable("beta"),
                                             simpleTable("gone"),
                                             simpleTable("picked")});
    // alpha narrows note; beta's id becomes ident, which only looks like a rename.
    w_->open({{"alpha", {{"id", "int", "", "*"}, {"note", "varchar", "10", ""}, {"memo", "varchar", "20", ""}}},
              simpleTable("beta", "ident"),
              simpleTable("delta"),
              simpleTable("picked", "x")});
    // picked changed too, but is not selected: no script, and not taken for gone either.
    w_->list()->selectAll();
    w_->list()->item(3)->setSelected(false);
    w_->services.answers.push_back(QString::fromStdString(oldBook));
    w_->outFolder();
    // The options as offered (each rename and box, '+' checked), answered whatever they are.
    QStringList offered;
    QTimer::singleShot(0, this, [&offered] {
      auto* ask = qobject_cast<frmChangeOptions*>(QApplication::activeModalWidget());
      auto* renames = child<QListWidget>(*ask, "lstRenames");
      for (int row = 0; row < renames->count(); ++row) {
        offered << renames->item(row)->text() + (renames->item(row)->checkState() == Qt::Checked ? "+" : "");
        renames->item(row)->setCheckState(Qt::Checked);
      }
      for (const char* box : {"chkAllowRebuild", "chkAllowDataLoss"})
        offered << box + QString(child<QCheckBox>(*ask, box)->isChecked() ? "+" : "");
      QTest::mouseClick(child<QCheckBox>(*ask, "chkAllowDataLoss"), Qt::LeftButton);
      QTest::mouseClick(child<QDialogButtonBox>(*ask, "cmdButtons")->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    trigger(tables(), "mnuMakeChangeSQL");
    QCOMPARE(offered, (QStringList{"テーブル「beta」: 列「id」→「ident」", "chkAllowRebuild", "chkAllowDataLoss"}));
    compareMessages(
        w_->take(),
        {"!テーブル「alpha」: 列「note」を varchar(50) NOT NULL から varchar(10) NOT NULL に変えると、値が失われるか"
         "変更が失敗することがあります\nテーブル「alpha」: 列「memo」は NOT NULL "
         "で追加します。行のあるテーブルでは失敗します",
         "作成処理を終了しました。\n完了 3 件、失敗 0 件、未処理 0 件\nテーブル「alpha」: 変更 (列の追加 1、変更 "
         "1、削除 0)\n"
         "テーブル「beta」: 変更 (列の追加 0、変更 0、削除 0); 列名の変更 id → ident\nテーブル「delta」: 新規 (CREATE "
         "TABLE)\n"
         "古いブックにだけあるテーブル (削除のスクリプトは作りません): gone"});
    // No row checks, as chosen; the rename keeps beta's data.
    QCOMPARE(out("alpha.sql"),
             std::string("SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\nALTER TABLE dbo.alpha ALTER COLUMN note "
                         "varchar(10)  NOT NULL \r\nALTER TABLE dbo.alpha ADD memo varchar(20)  NOT NULL \r\n"
                         "COMMIT \r\n"));
    QCOMPARE(out("beta.sql"), std::string("SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\nEXEC sp_rename N'dbo.beta.id', "
                                          "N'ident', N'COLUMN';\r\nCOMMIT \r\n"));
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
    QVERIFY(findings->topLevelItem(1)->text(3).contains(QStringLiteral("「date」")));
    // The line of the second gamma, not the first line of that name; a hidden line is shown again.
    child(tables(), "txtFilter")->setText("alpha");
    doubleClick(findings, 4);
    QVERIFY(child(tables(), "txtFilter")->text().isEmpty());
    QCOMPARE(w_->selectedLines(), QList<int>{4});

    w_->click(1);
    trigger(tables(), "mnuCheck");
    QVERIFY(tables().checkResult() == result && findings->topLevelItemCount() == 0);
    QCOMPARE(result->windowTitle(), QStringLiteral("チェック結果 - エラー 0 件、警告 0 件"));
    // With a filter and no selection, only the shown tables.
    w_->list()->clearSelection();
    child(tables(), "txtFilter")->setText("beta");
    trigger(tables(), "mnuCheck");
    QCOMPARE(findings->topLevelItemCount(), 3);
  }

  void comparingWithADatabaseListsTheDriftAndRunsTheChangesOnceConfirmed() {
    TdsTestServer::Catalog catalog;
    for (const char* table : {"customer", "stale"}) {
      catalog.columns.push_back({table, "id", 1, "int", {}, 10, 0, "NO", 0, {}, {}});
      catalog.keys.push_back({table, "id", 1});
    }
    TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .catalog = catalog});
    w_->open({{"customer", {{"id", "int", "", "*"}, {"name", "varchar", "20", "*"}}}, simpleTable("orders")});
    answerServerWindow(server, false);
    trigger(tables(), "mnuDrift");
    QCOMPARE(serverButton_, QStringLiteral("比較(&C)"));
    QCOMPARE(child<QPushButton>(w_->hub.dbServer(), "cmdCreateTable")->text(), QStringLiteral("作成(&C)"));
    frmDrift* drift = tables().drift();
    QVERIFY(drift != nullptr && QTest::qWaitForWindowExposed(drift));
    auto* tree = child<QTreeWidget>(*drift, "lstDrift");
    QCOMPARE(treeLines(tree, 2),
             (QStringList{"customer 定義が違う", "orders ブックにだけある", "stale データベースにだけある"}));
    doubleClick(tree, 1);
    QCOMPARE(w_->selectedLines(), QList<int>{2});
    // Running waits for the confirmation; without 削除 the stale table stays.
    auto* run = child<QPushButton>(*drift, "cmdRun");
    QVERIFY(!run->isEnabled());
    child<QCheckBox>(*drift, "chkConfirm")->setChecked(true);
    QTest::mouseClick(run, Qt::LeftButton);
    const std::vector<std::string> batches = server.batches();
    QCOMPARE(batches.size(), std::size_t{12});  // two catalog reads of five queries, then two changes
    QVERIFY(batches[10].find("ALTER TABLE dbo.customer ADD name varchar(20)") != std::string::npos);
    QVERIFY(batches[11].find("CREATE TABLE dbo.orders") != std::string::npos);
    compareMessages(w_->take(), {"作成処理を終了しました。\n完了 3 件、失敗 0 件、未処理 0 件\n…"});
  }

  // Each way a run on the server ends: the messages in order, the tables made, the batches sent.
  void aServerRunReportsEachTableAndTheCounts_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("made");
    QTest::addColumn<int>("batches");
    const QString summary = QStringLiteral("作成処理を終了しました。\n完了 %1 件、失敗 %2 件、未処理 %3 件");
    const QString stopped = QStringLiteral("作成処理を中止しました。\n完了 %1 件、失敗 %2 件、未処理 %3 件");
    // No script for an identity size without increment; an injected name is refused.
    QTest::newRow("failing tables")
        << "answer"
        << QStringList{"!注文作成に失敗しました\nフィールド「注文ID」のサイズ「1」にカンマがありません",
                       "!x;DROP TABLE y--作成に失敗しました\nテーブル名「x;DROP TABLE y--」に…",
                       summary.arg(2).arg(2).arg(0)}
        << QStringList{"Orders", "顧客"} << 3;
    QTest::newRow("mute server") << "mute"
                                 << QStringList{"!顧客作成に失敗しました\nサーバが 1 秒以内に応答しませんでした…",
                                                "!Orders作成に失敗しました\n…", summary.arg(0).arg(2).arg(0)}
                                 << QStringList() << -1;
    QTest::newRow("wrong password") << "wrong" << QStringList{"…Login failed for user 'sa'…", "!接続に失敗しました"}
                                    << QStringList() << 0;
    QTest::newRow("cancel") << "cancel" << QStringList{stopped.arg(1).arg(0).arg(3)} << QStringList{"顧客"} << 2;
    QTest::newRow("lost server") << "lost" << QStringList{"!注文作成に失敗しました\n…", stopped.arg(1).arg(1).arg(2)}
                                 << QStringList{"顧客"} << 2;
    QTest::newRow("blank user") << "blank" << QStringList{"!未入力です"} << QStringList() << 0;
  }
  void aServerRunReportsEachTableAndTheCounts() {
    QFETCH(QString, server);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, made);
    QFETCH(int, batches);
    TdsTestServer::Config config{.user = "sa", .password = "pw", .database = "販売"};
    if (server == "mute") config.mode = TdsTestServer::Mode::mute;
    if (server == "lost") config.hangUpAfterBatches = 2;
    if (server == "cancel") w_->services.cancelAfter = 1;
    TdsTestServer tds(config);
    auto table = [](const std::string& name, const std::string& idSize = "1,1") {
      return morvane::test::makeTable(name, {{name + "ID", "identity", idSize}, {"名前", "varchar", "50", true}},
                                      {name + "ID"});
    };
    frmDBServer& window = w_->hub.dbServer();
    // A mute server is given two tables only, as each waits for the query timeout.
    window.setDBInfo(morvane::test::dbOf(server == "mute" ? std::vector{table("顧客"), table("Orders")}
                                                          : std::vector{table("顧客"),
                                                                        table("注文", server == "answer" ? "1" : "1,1"),
                                                                        table("x;DROP TABLE y--"), table("Orders")}));
    window.setQueryTimeout(1);
    window.sbShow();
    QCOMPARE(child(window, "txtPasswd")->echoMode(), QLineEdit::Password);
    const QStringList values = {QString::fromStdString(tds.address()), "販売", server == "blank" ? "　" : "sa",
                                server == "wrong" ? "wrong" : "pw"};
    setBoxes(window, kServerBoxes, values);
    QTest::mouseClick(child<QPushButton>(window, "cmdCreateTable"), Qt::LeftButton);
    compareMessages(w_->take(), expected);
    QStringList created;
    for (const std::string& name : tds.tables()) created << QString::fromStdString(name);
    QCOMPARE(created, made);
    if (batches >= 0) QCOMPARE(tds.batches().size(), std::size_t(batches));
    QVERIFY(window.isLoaded() && w_->services.busyDepth == 0);
    if (server == "blank") {
      QCOMPARE(child(window, "txtUser")->selectedText(), values[2]);
      QCOMPARE(tds.connectionCount(), std::size_t{0});
      return;
    }
    // The login has its progress too.
    QCOMPARE(w_->services.runs.at(0).first, QStringLiteral("サーバに接続"));
    if (server != "wrong") QCOMPARE(w_->services.runs.at(1).first, QStringLiteral("テーブル作成"));
    // The next run offers the names again, never the password.
    WindowHub again(w_->services, [] {});
    again.dbServer().sbShow();
    QCOMPARE(texts(again.dbServer(), kServerBoxes), (QStringList{values[0], "販売", "sa", ""}));
  }
};

QTEST_MAIN(TableListTest)
#include "TableListTest.moc"
