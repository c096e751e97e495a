// The table list window: what it lists, which tables its commands get, and how it reports.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestServices.h"
#include "tests/support/DesignBook.h"
#include "tests/support/TdsTestServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/UnreadableXls.h"
#include "tests/support/XlsxDamage.h"
#include "ui/WindowHub.h"
#include "ui/frmChangeOptions.h"
#include "ui/frmDBDef.h"
#include "ui/frmCheckResult.h"
#include "ui/frmDBServer.h"
#include "ui/frmDrift.h"
#include "ui/frmTableList.h"

using namespace morvane::ui;
using morvane::test::readBytes;
using morvane::test::TempDir;
using morvane::ui::test::DialogKind;
using morvane::ui::test::TestServices;

namespace {

using Sheet = morvane::test::DesignSheet;

Sheet simpleTable(const std::string& name, const std::string& column = "id") {
  return {name, {{column, "int", "", "*"}}};
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace

class frmTableListTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestServices> services_;
  std::unique_ptr<WindowHub> hub_;
  std::unique_ptr<TempDir> dir_;
  int endRequests_ = 0;

  frmTableList& window() { return hub_->tableList(); }
  QListWidget* list() { return window().findChild<QListWidget*>("List1"); }
  void trigger(const char* action) { window().findChild<QAction*>(action)->trigger(); }
  QString bookPath() { return QString::fromStdString(dir_->file("design.xlsx")); }
  std::string outFile(const std::string& name) { return dir_->file("out/" + name); }
  QString outFolder() { return QString::fromStdString(dir_->file("out")); }

  // What a user does in the layout definition window: path, default layout, Next.
  void next(const QString& path) {
    frmDBDef& dbDef = hub_->dbDef();
    dbDef.sbShow();
    const QStringList names = {"txtSSheet",     "txtESheet",  "txtTableNmRow", "txtTableNmCol",
                               "txtFieldStart", "txtFieldNm", "txtFieldAttr",  "txtFieldSize",
                               "txtPKey",       "txtNull"};
    const QStringList values = {"1", "4", "3", "3", "6", "4", "5", "6", "7", "9"};
    for (int i = 0; i < names.size(); ++i) dbDef.findChild<QLineEdit*>(names[i])->setText(values[i]);
    dbDef.findChild<QLineEdit*>("txtFile")->setText(path);
    QTest::mouseClick(dbDef.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
  }
  void open(const std::vector<Sheet>& sheets) {
    morvane::test::writeDesignBook(bookPath().toStdString(), sheets);
    next(bookPath());
    QVERIFY(window().isLoaded());
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
  }
  QStringList lines(bool onlyShown = false) {
    QStringList shown;
    for (int row = 0; row < list()->count(); ++row) {
      if (!onlyShown || !list()->item(row)->isHidden()) shown << list()->item(row)->text();
    }
    return shown;
  }
  // Clicks a line (1-based) as the user does; with Ctrl it is added to the selection.
  void click(int line, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QListWidgetItem* item = list()->item(line - 1);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, modifiers, list()->visualItemRect(item).center());
  }
  // The findings window's lines: sheet, cell, severity, message start.
  QTreeWidget* findingList() {
    return window().checkResult() ? window().checkResult()->findChild<QTreeWidget*>("lstFindings") : nullptr;
  }
  QStringList findingLines() {
    QStringList shown;
    QTreeWidget* tree = findingList();
    for (int row = 0; tree && row < tree->topLevelItemCount(); ++row) {
      const QTreeWidgetItem* line = tree->topLevelItem(row);
      shown << line->text(0) + "!" + line->text(1) + " " + line->text(2);
    }
    return shown;
  }
  void doubleClickFinding(int row) {
    QTreeWidget* tree = findingList();
    QVERIFY(QTest::qWaitForWindowExposed(window().checkResult()));
    const QRect rect = tree->visualItemRect(tree->topLevelItem(row));
    // A double-click is a press and release and then the double press, as a user's hand makes it.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
  }
  QList<int> selectedLines() {
    QList<int> rows;
    for (int row = 0; row < list()->count(); ++row) {
      if (list()->item(row)->isSelected()) rows << row + 1;
    }
    return rows;
  }
  QStringList prompts() {
    QStringList shown;
    for (const auto& message : services_->messages) shown << message.prompt;
    return shown;
  }
  void expectOnlyMessage(const QString& prompt, MessageIcon icon) {
    QCOMPARE(prompts(), QStringList{prompt});
    QVERIFY(services_->messages[0].icon == icon);
  }
  // Next on a workbook that cannot be opened, then Back: the one message it gave.
  QString openFailure(const QString& path) {
    services_->messages.clear();
    next(path);
    const QString prompt = services_->messages.empty() ? QString() : services_->messages[0].prompt;
    [&] {
      QVERIFY(window().isLoaded());
      QCOMPARE(list()->count(), 0);
      QCOMPARE(services_->messages.size(), std::size_t{1});
      QVERIFY2(prompt.startsWith(QStringLiteral("読み込み失敗しました\nブック「") + path + QStringLiteral("」を開けません\n")),
               qPrintable(prompt));
      QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
    }();
    QTest::mouseClick(window().findChild<QPushButton*>("cmdBack"), Qt::LeftButton);
    return prompt;
  }
  // Answers the change options window once it is up: the test looks and chooses, then OK.
  void answerChangeOptions(std::function<void(frmChangeOptions&)> choose) {
    QTimer::singleShot(0, this, [choose] {
      auto* ask = qobject_cast<frmChangeOptions*>(QApplication::activeModalWidget());
      QVERIFY(ask != nullptr);
      choose(*ask);
      QTest::mouseClick(ask->findChild<QDialogButtonBox*>("cmdButtons")->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
  }
  void chooseOutputFolder() {
    std::filesystem::create_directory(dir_->file("out"));
    services_->answers.push_back(outFolder());
  }

 private slots:
  void init() {
    services_ = std::make_unique<TestServices>();
    dir_ = std::make_unique<TempDir>();
    endRequests_ = 0;
    hub_ = std::make_unique<WindowHub>(*services_, [this] { ++endRequests_; });
  }
  void cleanup() {
    hub_.reset();
    services_.reset();
    dir_.reset();
  }

  void listsTheTablesInSheetOrderWithNothingSelected() {
    open({simpleTable("zeta"), simpleTable("al\tpha"), simpleTable("mid")});
    // A tab shows as the terminal shows it; the title names the workbook, the status line counts.
    QCOMPARE(lines(), (QStringList{"zeta", "al\\tpha", "mid"}));
    QCOMPARE(window().windowTitle(), QStringLiteral("design.xlsx - Morvane For SQLServer"));
    QCOMPARE(window().statusBar()->currentMessage(), QStringLiteral("表示 3 / 3 テーブル、選択 0"));
    QCOMPARE(window().focusWidget(), list());
    QVERIFY(list()->selectedItems().isEmpty());
    QCOMPARE(list()->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(services_->messages.empty());
    // Busy from Next until the list is on screen, and not a moment longer.
    QVERIFY(services_->busyRequests > 0);
    QCOMPARE(services_->busyDepth, 0);
    QVERIFY(!hub_->dbDef().isLoaded());
  }

  void commandsGetTheSelectedTablesInListOrder() {
    open({simpleTable("alpha_tbl"), simpleTable("beta_tbl"), simpleTable("gamma_tbl")});
    click(3);
    click(1, Qt::ControlModifier);
    chooseOutputFolder();
    trigger("mnuMakeTableDoc");
    expectOnlyMessage("作成しました", MessageIcon::None);
    const std::string index = readBytes(outFile("leftframe.htm"));
    const auto first = index.find("alpha_tbl");
    const auto third = index.find("gamma_tbl");
    QVERIFY(first != std::string::npos && third != std::string::npos);
    QVERIFY(first < third);
    QCOMPARE(index.find("beta_tbl"), std::string::npos);
    QVERIFY(exists(outFile("alpha_tbl.htm")) && exists(outFile("gamma_tbl.htm")));
    QVERIFY(!exists(outFile("beta_tbl.htm")));
    // Titled with the workbook's file name.
    QVERIFY(readBytes(outFile("index.htm")).find("design.xlsx") != std::string::npos);
    QVERIFY(exists(outFile("rightframe.htm")));
  }

  void aLineStandsForItsOwnTableWhenNamesRepeat() {
    open({simpleTable("dup", "first_col"), simpleTable("dup", "second_col")});
    QCOMPARE(lines(), (QStringList{"dup", "dup"}));
    click(2);
    chooseOutputFolder();
    trigger("mnuMakeCTSQL");
    const std::string script = readBytes(outFile("dup.sql"));
    QVERIFY(script.find("second_col") != std::string::npos);
    QCOMPARE(script.find("first_col"), std::string::npos);
  }

  void everyCommandRefusesAnEmptySelection_data() {
    QTest::addColumn<QString>("action");
    QTest::newRow("tables") << QStringLiteral("mnuMakeTable");
    QTest::newRow("scripts") << QStringLiteral("mnuMakeCTSQL");
    QTest::newRow("changes") << QStringLiteral("mnuMakeChangeSQL");
    QTest::newRow("documents") << QStringLiteral("mnuMakeTableDoc");
  }
  void everyCommandRefusesAnEmptySelection() {
    QFETCH(QString, action);
    open({simpleTable("alpha")});
    trigger(qPrintable(action));
    expectOnlyMessage("テーブルが１つも選択されていません", MessageIcon::Exclamation);
    QVERIFY(services_->dialogs.empty());
    QVERIFY(!hub_->dbServer().isLoaded());
  }

  void backRefillsTheLayoutWindowAndNextReadsTheWorkbookAnew() {
    open({simpleTable("alpha"), simpleTable("beta"), simpleTable("gamma")});
    click(2);
    QTest::mouseClick(window().findChild<QPushButton*>("cmdBack"), Qt::LeftButton);
    frmDBDef& dbDef = hub_->dbDef();
    QVERIFY(dbDef.isLoaded());
    QVERIFY(!window().isLoaded());
    QCOMPARE(dbDef.findChild<QLineEdit*>("txtFile")->text(), bookPath());

    morvane::test::writeDesignBook(bookPath().toStdString(), {simpleTable("delta"), simpleTable("alpha")});
    QTest::mouseClick(dbDef.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    QVERIFY(window().isLoaded());
    QCOMPARE(lines(), (QStringList{"delta", "alpha"}));
    QVERIFY(list()->selectedItems().isEmpty());
  }

  void cancelAfterTheFirstTableLeavesTheOthersUnwrittenAndSaysSo_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("firstFile");
    QTest::newRow("scripts") << QStringLiteral("mnuMakeCTSQL") << QStringLiteral("スクリプト作成") << "alpha.sql";
    QTest::newRow("documents") << QStringLiteral("mnuMakeTableDoc") << QStringLiteral("ドキュメント作成") << "alpha.htm";
  }
  void cancelAfterTheFirstTableLeavesTheOthersUnwrittenAndSaysSo() {
    QFETCH(QString, action);
    QFETCH(QString, title);
    QFETCH(QString, firstFile);
    open({simpleTable("alpha"), simpleTable("beta"), simpleTable("gamma")});
    list()->selectAll();
    chooseOutputFolder();
    services_->cancelAfter = 1;
    trigger(qPrintable(action));

    QCOMPARE(services_->runs.size(), std::size_t{1});
    QCOMPARE(services_->runs[0].first, title);
    QCOMPARE(services_->runs[0].second->calls(),
             (std::vector<std::string>{"begin 3", "step 0 alpha", "end 1/0/2 cancelled"}));
    expectOnlyMessage(QStringLiteral("作成処理を中止しました。\n完了 1 件、失敗 0 件、未処理 2 件"), MessageIcon::None);
    QVERIFY(exists(outFile(firstFile.toStdString())));
    QVERIFY(!exists(outFile("beta.sql")) && !exists(outFile("beta.htm")));
    QVERIFY(!exists(outFile("gamma.sql")) && !exists(outFile("gamma.htm")));
    QCOMPARE(services_->busyDepth, 0);
  }


  void scriptCommandWritesEachSelectedTableAndReportsPerTable() {
    // The program's type notation table, as edited in the type notation window.
    hub_->dbDef().fieldAttr()->setInt("整数");
    open({{"orders", {{"order_id", "整数", "", "*"}, {"note", "blob", "", ""}}},
          {"broken", {{"id", "identity", "5", "*"}}},
          simpleTable("skipped"),
          {"items", {{"item_code", "char", "10", "*"}}}});
    list()->selectAll();
    list()->item(2)->setSelected(false);
    chooseOutputFolder();
    trigger("mnuMakeCTSQL");

    QCOMPARE(services_->dialogs.size(), std::size_t{1});
    QVERIFY(services_->dialogs[0].kind == DialogKind::Folder);
    const QStringList shown = prompts();
    QCOMPARE(shown.size(), 3);
    QVERIFY(shown[0].startsWith("broken作成に失敗しました"));
    QCOMPARE(shown[1], QStringLiteral("orders: blobは未定義です"));
    QCOMPARE(shown[2], QStringLiteral("作成処理を終了しました。\n完了 2 件、失敗 1 件、未処理 0 件"));
    QVERIFY(services_->messages[2].icon == MessageIcon::None);
    QCOMPARE(services_->busyDepth, 0);

    const std::string orders = readBytes(outFile("orders.sql"));
    QVERIFY(orders.find("order_id int") != std::string::npos);
    QCOMPARE(orders.find("note"), std::string::npos);
    QVERIFY(exists(outFile("items.sql")));
    QVERIFY(!exists(outFile("broken.sql")));
    QVERIFY(!exists(outFile("skipped.sql")));
  }

  void aDocumentationWriteErrorIsReportedAndTheProgramGoesOn() {
    open({simpleTable("alpha")});
    click(1);
    // A plain file where the folder should be: nothing can be written into it.
    morvane::test::writeBytes(dir_->file("out"), "x");
    services_->answers.push_back(outFolder());
    trigger("mnuMakeTableDoc");
    QCOMPARE(services_->messages.size(), std::size_t{1});
    // With the reason after it.
    QVERIFY(services_->messages[0].prompt.startsWith("作成に失敗しました\n"));
    QVERIFY(services_->messages[0].prompt.size() > QStringLiteral("作成に失敗しました\n").size());
    QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
    QVERIFY(window().isLoaded());
    QCOMPARE(services_->busyDepth, 0);
    QCOMPARE(endRequests_, 0);
  }

  void aTableWithoutAPageIsReportedAndTheSetIsWrittenWithoutIt() {
    open({simpleTable("alpha"), simpleTable("LeftFrame"), simpleTable("omega")});
    click(1);
    click(3, Qt::ShiftModifier);
    chooseOutputFolder();
    trigger("mnuMakeTableDoc");
    QCOMPARE(services_->messages.size(), std::size_t{2});
    QVERIFY(services_->messages[0].prompt.startsWith("LeftFrame作成に失敗しました\n"));
    QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
    QCOMPARE(services_->messages[1].prompt, QStringLiteral("作成しました"));
    const std::string index = readBytes(outFile("leftframe.htm"));
    QVERIFY(index.find("omega.htm") != std::string::npos);
    QCOMPARE(index.find("LeftFrame"), std::string::npos);
    QVERIFY(exists(outFile("alpha.htm")) && exists(outFile("omega.htm")));
    QVERIFY(!exists(outFile("LeftFrame.htm")));
  }

  void aReadErrorIsReportedOverAnEmptyList_data() {
    QTest::addColumn<QString>("sheetData");
    QTest::addColumn<QString>("reason");
    QTest::newRow("error cell") << "<row r=\"3\"><c r=\"C3\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c></row>"
                                << "#DIV/0!";
    QTest::newRow("damaged sheet") << "<row r=\"3\"><c r=\"C3\"><v>1</v></c>" << "sheet2.xml";
  }
  void aReadErrorIsReportedOverAnEmptyList() {
    QFETCH(QString, sheetData);
    QFETCH(QString, reason);
    morvane::test::HandPackage package;
    // A good table on the first sheet: nothing of the workbook is listed all the same.
    package.sheets = {
        morvane::test::worksheetXml("<row r=\"3\"><c r=\"C3\" t=\"inlineStr\"><is><t>good</t></is></c></row>"),
        morvane::test::worksheetXml(sheetData.toStdString())};
    morvane::test::writeZip(bookPath().toStdString(), package.parts());
    next(bookPath());
    QVERIFY(window().isLoaded());
    QVERIFY(window().isVisible());
    QCOMPARE(list()->count(), 0);
    QCOMPARE(services_->messages.size(), std::size_t{1});
    QVERIFY(services_->messages[0].prompt.startsWith("読み込み失敗しました\n"));
    QVERIFY2(services_->messages[0].prompt.contains(reason), qPrintable(services_->messages[0].prompt));
    QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
    QCOMPARE(services_->busyDepth, 0);
    QCOMPARE(endRequests_, 0);

    // The program goes on: back to the layout window and on with a good workbook.
    QTest::mouseClick(window().findChild<QPushButton*>("cmdBack"), Qt::LeftButton);
    open({simpleTable("alpha")});
    QCOMPARE(lines(), QStringList{"alpha"});
  }

  void theListTakesTheExtraRoomAndBackStaysBelowIt() {
    open({simpleTable("alpha")});
    const QSize design = window().size();
    const QRect listBefore = list()->geometry();
    window().resize(design.width() + 300, design.height() + 200);
    QCoreApplication::processEvents();
    auto* back = window().findChild<QPushButton*>("cmdBack");
    const QRect listAfter = list()->geometry();
    QCOMPARE(listAfter.width(), listBefore.width() + 300);
    QCOMPARE(listAfter.height(), listBefore.height() + 200);
    QVERIFY(back->geometry().top() >= listAfter.bottom());
    QCOMPARE(back->geometry().left(), listAfter.left());
    // Never below the design size.
    window().resize(design.width() / 2, design.height() / 2);
    QCoreApplication::processEvents();
    QVERIFY(window().width() >= design.width() && window().height() >= design.height());
  }

  void theFilterIgnoresCaseAndWidthAndCommandsSeeOnlyShownLines() {
    open({simpleTable("カナ表"), simpleTable("ＡＢＣ"), simpleTable("other"), simpleTable("abc_log")});
    list()->selectAll();
    auto* filter = window().findChild<QLineEdit*>("txtFilter");
    QVERIFY(filter != nullptr);
    filter->setText(QStringLiteral("ｶﾅ"));
    QCOMPARE(lines(true), QStringList{QStringLiteral("カナ表")});
    // Hidden lines lose their selection, so a command acts on what the user sees.
    QCOMPARE(list()->selectedItems().size(), 1);

    filter->setText(QStringLiteral("abc"));
    QCOMPARE(lines(true), (QStringList{QStringLiteral("ＡＢＣ"), QStringLiteral("abc_log")}));
    // Ctrl+A: the filter's text in the filter box, every shown table in the list.
    filter->setFocus();
    filter->deselect();
    QTest::keyClick(filter, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(filter->selectedText(), QStringLiteral("abc"));
    QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(selectedLines(), (QList<int>{2, 4}));
    QCOMPARE(window().statusBar()->currentMessage(), QStringLiteral("表示 2 / 4 テーブル、選択 2"));
    chooseOutputFolder();
    trigger("mnuMakeCTSQL");
    QCOMPARE(morvane::test::filesIn(dir_->file("out")), (std::vector<std::string>{"abc_log.sql", "ＡＢＣ.sql"}));

    filter->setFocus();
    QTest::keyClick(filter, Qt::Key_Escape);
    QVERIFY(filter->text().isEmpty());
    QCOMPARE(lines(true), lines());
  }

  // Every workbook that cannot be opened: an empty list and one message, the book and its reason.
  void aWorkbookThatCannotBeOpenedGivesAnEmptyListAndItsReason() {
    std::filesystem::create_directory(dir_->file("folder.xlsx"));
    morvane::test::writeBytes(dir_->file("empty.xlsx"), "");
    const std::pair<const char*, QString> exact[] = {{"missing.xlsx", QStringLiteral("ファイルが見つかりません")},
                                                     {"folder.xlsx", QStringLiteral("ファイルではなくフォルダです")},
                                                     {"empty.xlsx", QStringLiteral("ファイルが空です (0 バイト)")}};
    for (const auto& [name, reason] : exact) {
      const QString path = QString::fromStdString(dir_->file(name));
      QCOMPARE(openFailure(path), QStringLiteral("読み込み失敗しました\nブック「") + path + QStringLiteral("」を開けません\n") + reason);
    }
    for (const auto& file : morvane::test::writeUnreadableXlsFiles(*dir_)) {
      const QString prompt = openFailure(QString::fromStdString(dir_->file(file.name)));
      QVERIFY2(prompt.contains(QString::fromStdString(file.reason)), (file.what + ": " + prompt.toStdString()).c_str());
    }
    for (const auto& package : morvane::test::unreadablePackages()) {
      morvane::test::writeBytes(bookPath().toStdString(), package.bytes);
      const QString prompt = openFailure(bookPath());
      QCOMPARE(prompt.count('\n'), 2);
      for (const auto& word : package.words) {
        QVERIFY2(prompt.contains(QString::fromStdString(word)), qPrintable(prompt + " / " + QString::fromStdString(word)));
      }
    }
  }

  void createTablesRunsTheSelectionWithTheProgramsTypeNotations() {
    morvane::test::TdsTestServer server({.user = "sa", .password = "pw", .database = "販売"});
    hub_->dbDef().fieldAttr()->setMoney("金額");
    open({{"priced", {{"id", "int", "", "*"}, {"amount", "金額", "", ""}}},
          simpleTable("skipped"),
          {"odd", {{"id", "int", "", "*"}, {"amount", "blob", "", ""}}}});
    click(3);
    click(1, Qt::ControlModifier);
    bool modal = false;
    // The user fills in the modal server window, presses Create and closes it.
    QTimer::singleShot(0, this, [&] {
      frmDBServer& dbServer = hub_->dbServer();
      modal = dbServer.isVisible() && dbServer.isModal();
      const QStringList values = {QString::fromStdString(server.address()), "販売", "sa", "pw"};
      const char* boxes[] = {"txtServer", "txtDB", "txtUser", "txtPasswd"};
      for (int i = 0; i < 4; ++i) dbServer.findChild<QLineEdit*>(boxes[i])->setText(values[i]);
      QTest::mouseClick(dbServer.findChild<QPushButton*>("cmdCreateTable"), Qt::LeftButton);
      dbServer.close();
    });
    trigger("mnuMakeTable");
    QVERIFY(modal);
    QCOMPARE(prompts(), (QStringList{"odd: blobは未定義です", "作成処理を終了しました。\n完了 2 件、失敗 0 件、未処理 0 件"}));
    const std::vector<std::string> batches = server.batches();
    QCOMPARE(batches.size(), std::size_t{3});  // SET XACT_ABORT ON first
    QVERIFY2(batches[1].find("CREATE TABLE dbo.priced") != std::string::npos, batches[1].c_str());
    QVERIFY2(batches[1].find("amount money") != std::string::npos, batches[1].c_str());
    QVERIFY(batches[2].find("CREATE TABLE dbo.odd") != std::string::npos);
    QCOMPARE(batches[2].find("amount"), std::string::npos);
    QVERIFY(window().isVisible());
  }

  void cancellingTheFolderChooserDoesNothing_data() {
    QTest::addColumn<QString>("action");
    QTest::newRow("scripts") << QStringLiteral("mnuMakeCTSQL");
    QTest::newRow("documents") << QStringLiteral("mnuMakeTableDoc");
  }
  void cancellingTheFolderChooserDoesNothing() {
    QFETCH(QString, action);
    open({simpleTable("alpha")});
    click(1);
    const auto before = std::distance(std::filesystem::directory_iterator(dir_->path()), {});
    trigger(qPrintable(action));
    QCOMPARE(services_->dialogs.size(), std::size_t{1});
    QVERIFY(services_->dialogs[0].kind == DialogKind::Folder);
    // Modal to the table list, not to some other window.
    QCOMPARE(services_->dialogs[0].owner, static_cast<QWidget*>(&window()));
    QVERIFY(services_->messages.empty());
    QCOMPARE(std::distance(std::filesystem::directory_iterator(dir_->path()), {}), before);
  }

  void changeScriptsGoForTheSelectedTablesAndGoneTablesAreOnlyNamed() {
    const std::string oldBook = dir_->file("old.xlsx");
    morvane::test::writeDesignBook(oldBook, {{"alpha", {{"id", "int", "", "*"}, {"note", "varchar", "50", ""}}},
                                             simpleTable("beta"), simpleTable("gone"), {"picked", {{"id", "int", "", "*"}}}});
    // alpha narrows note; beta's id becomes ident, which only looks like a rename.
    open({{"alpha", {{"id", "int", "", "*"}, {"note", "varchar", "10", ""}, {"memo", "varchar", "20", ""}}},
          simpleTable("beta", "ident"),
          simpleTable("delta"),
          {"picked", {{"id", "int", "", "*"}, {"x", "int", "", ""}}}});
    // picked changed too, but is not selected: no script, and not taken for gone either.
    click(1);
    click(2, Qt::ControlModifier);
    click(3, Qt::ControlModifier);
    services_->answers.push_back(QString::fromStdString(oldBook));
    chooseOutputFolder();
    answerChangeOptions([](frmChangeOptions& ask) {
      auto* renames = ask.findChild<QListWidget*>("lstRenames");
      QCOMPARE(renames->count(), 1);
      QCOMPARE(renames->item(0)->text(), QStringLiteral("テーブル「beta」: 列「id」→「ident」"));
      QCOMPARE(renames->item(0)->checkState(), Qt::Unchecked);
      renames->item(0)->setCheckState(Qt::Checked);
      for (const char* box : {"chkAllowDataLoss", "chkAllowRebuild"}) QVERIFY(!ask.findChild<QCheckBox*>(box)->isChecked());
      QTest::mouseClick(ask.findChild<QCheckBox*>("chkAllowDataLoss"), Qt::LeftButton);
    });
    trigger("mnuMakeChangeSQL");

    QCOMPARE(services_->dialogs.size(), std::size_t{2});
    QVERIFY(services_->dialogs[0].kind == DialogKind::Open);
    QVERIFY(services_->dialogs[1].kind == DialogKind::Folder);
    const QStringList shown = prompts();
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown[0].contains(QStringLiteral("memo")) && shown[0].contains(QStringLiteral("NOT NULL")), qPrintable(shown[0]));
    QVERIFY2(shown[1].startsWith(QStringLiteral("作成処理を終了しました。\n")), qPrintable(shown[1]));
    // Each table's line as the command line prints it.
    QVERIFY2(shown[1].contains(QStringLiteral("\nテーブル「alpha」: 変更 (列の追加 1")), qPrintable(shown[1]));
    QVERIFY2(shown[1].endsWith(QStringLiteral(": gone")), qPrintable(shown[1]));
    // No row checks, as chosen; the rename kept beta's data.
    QCOMPARE(readBytes(outFile("alpha.sql")),
             std::string("SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\nALTER TABLE dbo.alpha ALTER COLUMN note varchar(10)  NOT NULL \r\n"
                         "ALTER TABLE dbo.alpha ADD memo varchar(20)  NOT NULL \r\nCOMMIT \r\n"));
    QCOMPARE(readBytes(outFile("beta.sql")),
             std::string("SET XACT_ABORT ON \r\nBEGIN TRANSACTION \r\nEXEC sp_rename N'dbo.beta.id', N'ident', N'COLUMN';\r\nCOMMIT \r\n"));
    QVERIFY(readBytes(outFile("delta.sql")).find("CREATE TABLE dbo.delta") != std::string::npos);
    QVERIFY(!exists(outFile("picked.sql")));
    QVERIFY(!exists(outFile("gone.sql")));
  }

  void anOldWorkbookThatCannotBeReadIsReportedBeforeAnyFolderIsAsked() {
    open({simpleTable("alpha")});
    click(1);
    morvane::test::writeBytes(dir_->file("old.xlsx"), "not a workbook at all");
    services_->answers.push_back(QString::fromStdString(dir_->file("old.xlsx")));
    trigger("mnuMakeChangeSQL");
    QCOMPARE(services_->dialogs.size(), std::size_t{1});
    QCOMPARE(prompts().size(), 1);
    QVERIFY2(prompts()[0].startsWith(QStringLiteral("読み込み失敗しました\nブック「")), qPrintable(prompts()[0]));
    QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
  }

  void checkShowsTheFindingsOfTheSelectionOrOfEveryShownTable() {
    hub_->dbDef().fieldAttr()->setDate("日付");
    open({simpleTable("alpha"), {"beta", {{"at", "date", "", ""}, {"memo", "varchar", "9000", ""}}},
          {"gamma", {{"id", "int", "", "*"}, {"ID", "日付", "", ""}}}});
    // Nothing selected: every table, in sheet and row order, with the counts in the title.
    trigger("mnuCheck");
    frmCheckResult* result = window().checkResult();
    QVERIFY(result != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(result));
    QCOMPARE(findingLines(), (QStringList{"Sheet2!C3 警告", "Sheet2!E6 エラー", "Sheet2!F7 エラー", "Sheet3!D7 エラー"}));
    QCOMPARE(result->windowTitle(), QStringLiteral("チェック結果 - エラー 3 件、警告 1 件"));
    QVERIFY(findingList()->topLevelItem(1)->text(3).contains(QStringLiteral("「date」")));

    click(1);
    trigger("mnuCheck");
    QCOMPARE(window().checkResult(), result);
    QCOMPARE(findingLines(), QStringList{});
    QCOMPARE(result->windowTitle(), QStringLiteral("チェック結果 - エラー 0 件、警告 0 件"));

    // With a filter and no selection, only the shown tables.
    list()->clearSelection();
    window().findChild<QLineEdit*>("txtFilter")->setText("gam");
    trigger("mnuCheck");
    QCOMPARE(findingLines(), QStringList{"Sheet3!D7 エラー"});
  }

  void doubleClickingAFindingSelectsItsOwnTable() {
    open({simpleTable("dup"), simpleTable("other"), {"dup", {{"x", "int", "", ""}}}});
    click(2);
    trigger("mnuCheck");
    QCOMPARE(findingLines(), QStringList{});
    list()->clearSelection();
    trigger("mnuCheck");
    QCOMPARE(findingLines(), (QStringList{"Sheet3!C3 エラー", "Sheet3!C3 警告"}));
    // The line of the second dup, not the first line of that name.
    doubleClickFinding(0);
    QCOMPARE(selectedLines(), QList<int>{3});
    // A line the filter hides is shown again to be selected.
    click(1);
    window().findChild<QLineEdit*>("txtFilter")->setText("other");
    doubleClickFinding(1);
    QVERIFY(window().findChild<QLineEdit*>("txtFilter")->text().isEmpty());
    QCOMPARE(selectedLines(), QList<int>{3});
  }

  void comparingWithADatabaseListsTheDriftAndRunsTheChangesOnceConfirmed() {
    morvane::test::TdsTestServer::Catalog catalog;
    catalog.columns = {{"customer", "id", 1, "int", {}, 10, 0, "NO", 0, {}, {}},
                       {"stale", "id", 1, "int", {}, 10, 0, "NO", 0, {}, {}}};
    catalog.keys = {{"customer", "id", 1}, {"stale", "id", 1}};
    morvane::test::TdsTestServer server({.user = "sa", .password = "pw", .database = "販売", .catalog = catalog});
    open({{"customer", {{"id", "int", "", "*"}, {"name", "varchar", "20", "*"}}}, simpleTable("orders")});
    QString button;
    QTimer::singleShot(0, this, [&] {
      frmDBServer& dbServer = hub_->dbServer();
      const QStringList values = {QString::fromStdString(server.address()), "販売", "sa", "pw"};
      const char* boxes[] = {"txtServer", "txtDB", "txtUser", "txtPasswd"};
      for (int i = 0; i < 4; ++i) dbServer.findChild<QLineEdit*>(boxes[i])->setText(values[i]);
      auto* compare = dbServer.findChild<QPushButton*>("cmdCreateTable");
      button = compare->text();
      QTest::mouseClick(compare, Qt::LeftButton);
    });
    trigger("mnuDrift");
    QCOMPARE(button, QStringLiteral("比較(&C)"));
    QVERIFY(window().drift() != nullptr && window().drift()->isVisible());
    auto* tree = window().drift()->findChild<QTreeWidget*>("lstDrift");
    QStringList shown;
    for (int row = 0; row < tree->topLevelItemCount(); ++row) shown << tree->topLevelItem(row)->text(0) + " " + tree->topLevelItem(row)->text(1);
    QCOMPARE(shown, (QStringList{"customer 定義が違う", "orders ブックにだけある", "stale データベースにだけある"}));
    QVERIFY(QTest::qWaitForWindowExposed(window().drift()));
    const QRect rect = tree->visualItemRect(tree->topLevelItem(1));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QCOMPARE(selectedLines(), QList<int>{2});

    // Running waits for the confirmation; without 削除 the stale table stays.
    auto* run = window().drift()->findChild<QPushButton*>("cmdRun");
    QVERIFY(!run->isEnabled());
    window().drift()->findChild<QCheckBox*>("chkConfirm")->setChecked(true);
    services_->messages.clear();
    QTest::mouseClick(run, Qt::LeftButton);
    const std::vector<std::string> batches = server.batches();
    QCOMPARE(batches.size(), std::size_t{12});  // two catalog reads of five queries, then two changes
    QVERIFY2(batches[10].find("ALTER TABLE dbo.customer ADD name varchar(20)") != std::string::npos, batches[10].c_str());
    QVERIFY2(batches[11].find("CREATE TABLE dbo.orders") != std::string::npos, batches[11].c_str());
    QCOMPARE(prompts().size(), 1);
    QVERIFY2(prompts()[0].startsWith(QStringLiteral("作成処理を終了しました。\n完了 3 件、失敗 0 件、未処理 0 件\n")),
             qPrintable(prompts()[0]));
  }

  void aPageNameEqualButForCaseFailsTheLaterTable() {
    open({simpleTable("T1", "first_col"), simpleTable("t1", "second_col")});
    list()->selectAll();
    chooseOutputFolder();
    trigger("mnuMakeTableDoc");
    QCOMPARE(prompts().size(), 2);
    QVERIFY(prompts()[0].startsWith(QStringLiteral("t1作成に失敗しました\n")));
    QVERIFY(services_->messages[0].icon == MessageIcon::Exclamation);
    QVERIFY(readBytes(outFile("T1.htm")).find("first_col") != std::string::npos);
  }
};

QTEST_MAIN(frmTableListTest)
#include "frmTableListTest.moc"
