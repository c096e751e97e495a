// The whole run as a person makes it, with the desktop's own dialogs and message boxes: the
// example workbook and its layout typed in, Next, two tables selected, scripts, documents and
// tables on a server, Back, Exit.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "model/clsDBInfo.h"
#include "platform/text/Cp932.h"
#include "sqlserver/clsSQLServerDB.h"
#include "tests/support/ExampleModel.h"
#include "tests/support/TdsTestServer.h"
#include "tests/support/TempDir.h"
#include "ui/QtPlatformServices.h"
#include "ui/WindowHub.h"
#include "ui/frmDBDef.h"
#include "ui/frmDBServer.h"
#include "ui/frmDatTypeSQLServer.h"
#include "ui/frmTableList.h"

using namespace morvane;
using namespace morvane::ui;
using morvane::test::readBytes;
using morvane::test::TdsTestServer;
using morvane::test::TempDir;

namespace {

// Answers whatever modal window comes up: message boxes are read and confirmed, a file or
// folder dialog gets the next path of the queue (cancelled when it is empty), the server window is
// handed to its handler. Answers are queued so that a window opened by an answer is answered too.
class User : public QObject {
 public:
  struct Message {
    QString text;
    QMessageBox::Icon icon;
  };
  std::vector<Message> messages;
  std::deque<QString> paths;
  std::function<void(frmDBServer&)> atServerWindow;

  User() {
    connect(&poll_, &QTimer::timeout, this, &User::look);
    poll_.start(10);
  }

  QStringList texts() const {
    QStringList all;
    for (const Message& message : messages) all << message.text;
    return all;
  }

 private:
  void look() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      // The dialog may still be reading the folder and refuse the first accept: keep answering.
      if (!dialog->property("answer").isValid()) {
        dialog->setProperty("answer", paths.empty() ? QString() : paths.front());
        if (!paths.empty()) paths.pop_front();
      }
      const QString path = dialog->property("answer").toString();
      QTimer::singleShot(0, dialog, [dialog, path] {
        if (path.isEmpty()) {
          dialog->reject();
        } else {
          // Typed into the name box, as a person does: selectFile leaves a focused box alone.
          if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) {
            name->setText(path);
          } else {
            dialog->selectFile(path);
          }
          QMetaObject::invokeMethod(dialog, "accept");
        }
      });
      return;
    }
    if (modal->property("answered").toBool()) return;
    modal->setProperty("answered", true);
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      messages.push_back({box->text(), box->icon()});
      QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Ok)->click(); });
    } else if (auto* server = qobject_cast<frmDBServer*>(modal)) {
      QTimer::singleShot(0, server, [this, server] {
        if (atServerWindow) atServerWindow(*server);
        // The same window comes back for the next Create tables.
        server->setProperty("answered", false);
      });
    }
  }

  QTimer poll_;
};

void type(QLineEdit* box, const QString& text) {
  box->setFocus(Qt::MouseFocusReason);
  box->selectAll();
  bool latin1 = true;
  for (QChar c : text) latin1 = latin1 && c.unicode() < 0x80;
  if (latin1) {
    QTest::keyClicks(box, text);
  } else {
    // Japanese comes from the input method as committed text.
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(box, &commit);
  }
}

QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

class WorkflowTest : public QObject {
  Q_OBJECT

 private slots:
  void theTypicalRunFromStartToExit() {
    TempDir dir;
    QtPlatformServices services;
    int ended = 0;
    WindowHub hub(services, [&] { ++ended; });
    User user;
    TdsTestServer server({.user = "sa", .password = "pw", .database = "販売"});

    // Start: the layout definition window with empty boxes.
    frmDBDef& layout = hub.dbDef();
    layout.sbShow();
    QVERIFY(QTest::qWaitForWindowActive(&layout));
    const std::filesystem::path examples = std::filesystem::path(test::exampleDescriptionPath()).parent_path();
    const std::string book = (examples / "design-document.xlsx").string();
    type(layout.findChild<QLineEdit*>("txtFile"), qs(book));
    const QStringList boxes = {"txtSSheet",     "txtESheet",  "txtTableNmRow", "txtTableNmCol",
                               "txtFieldStart", "txtFieldNm", "txtFieldAttr",  "txtFieldSize",
                               "txtPKey",       "txtNull"};
    const QStringList values = {"1", "5", "3", "3", "6", "4", "5", "6", "7", "9"};
    for (int i = 0; i < boxes.size(); ++i) type(layout.findChild<QLineEdit*>(boxes[i]), values[i]);
    // The example's own type words (日付, 通貨) from its type notation file.
    layout.findChild<QAction*>("mnuFieldAttr")->trigger();
    QVERIFY(hub.datTypeSQLServer().isVisible());
    user.paths.push_back(qs((examples / "types-ja.sfa").string()));
    hub.datTypeSQLServer().findChild<QAction*>("mnuOpen")->trigger();
    QVERIFY(user.paths.empty());
    QTest::mouseClick(layout.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    QVERIFY(!hub.datTypeSQLServer().isVisible());

    // The table list: the example's tables in sheet order; the layout window is gone.
    frmTableList& tables = hub.tableList();
    QVERIFY(QTest::qWaitForWindowExposed(&tables));
    QVERIFY(!layout.isVisible());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    auto* list = tables.findChild<QListWidget*>("List1");
    QStringList expected;
    const clsDBInfo example = test::exampleModel();
    for (const TablePtr& table : example.getTables()) expected << qs(table->getName());
    QVERIFY(expected.size() >= 3);
    QStringList shown;
    for (int row = 0; row < list->count(); ++row) shown << list->item(row)->text();
    QCOMPARE(shown, expected);

    // Two tables: the third line, then the first with Ctrl.
    auto click = [list](int row, Qt::KeyboardModifiers modifiers) {
      QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualItemRect(list->item(row)).center());
    };
    click(2, Qt::NoModifier);
    click(0, Qt::ControlModifier);
    const std::set<std::string> chosen = {expected[0].toStdString(), expected[2].toStdString()};
    // What the two tables must become with the example's type words.
    auto types = std::make_shared<clsSQLServerFieldAttr>();
    types->setDate("日付");
    types->setMoney("通貨");
    clsSQLServerDB generator;
    generator.sbSetFieldAttr(types);
    std::map<std::string, std::string> scriptOf;
    for (int row : {0, 2}) {
      const TablePtr table = example.getTables()[static_cast<std::size_t>(row)];
      scriptOf[table->getName()] = generator.makeCreateSQL(*table).value();
      QVERIFY(generator.getUndefinedNotations().empty());
    }

    // Scripts into a folder chosen in the folder dialog.
    const std::filesystem::path scripts = dir.path() / "scripts";
    std::filesystem::create_directory(scripts);
    user.paths.push_back(qs(scripts.string()));
    tables.findChild<QAction*>("mnuMakeCTSQL")->trigger();
    QCOMPARE(user.texts(), QStringList{"作成処理を終了しました。\n完了 2 件、失敗 0 件、未処理 0 件"});
    std::set<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(scripts)) written.insert(entry.path().stem().string());
    QCOMPARE(written, chosen);
    const std::string first = expected[0].toStdString();
    QCOMPARE(readBytes((scripts / (first + ".sql")).string()), platform::toCp932(scriptOf[first] + "\r\n"));

    // Documents into another folder.
    const std::filesystem::path documents = dir.path() / "documents";
    std::filesystem::create_directory(documents);
    user.paths.push_back(qs(documents.string()));
    tables.findChild<QAction*>("mnuMakeTableDoc")->trigger();
    QCOMPARE(user.texts().last(), QStringLiteral("作成しました"));
    QCOMPARE(std::distance(std::filesystem::directory_iterator(documents), {}), 5);
    QVERIFY(readBytes((documents / "index.htm").string()).find("design-document.xlsx") != std::string::npos);

    // Tables on the server: the server window comes up modal over the list.
    bool sawServerWindow = false;
    user.atServerWindow = [&](frmDBServer& window) {
      sawServerWindow = true;
      type(window.findChild<QLineEdit*>("txtServer"), qs(server.address()));
      type(window.findChild<QLineEdit*>("txtDB"), QStringLiteral("販売"));
      type(window.findChild<QLineEdit*>("txtUser"), QStringLiteral("sa"));
      type(window.findChild<QLineEdit*>("txtPasswd"), QStringLiteral("pw"));
      QTest::mouseClick(window.findChild<QPushButton*>("cmdCreateTable"), Qt::LeftButton);
      window.close();
    };
    const auto before = user.messages.size();
    tables.findChild<QAction*>("mnuMakeTable")->trigger();
    QVERIFY(sawServerWindow);
    QCOMPARE(user.texts().mid(static_cast<int>(before)), QStringList{"作成処理を終了しました。\n完了 2 件、失敗 0 件、未処理 0 件"});
    QCOMPARE(server.tables(), chosen);
    const std::vector<std::string> sent = server.batches();
    QCOMPARE(sent.size(), std::size_t{3});
    QCOMPARE(sent[0], std::string("SET XACT_ABORT ON"));
    QCOMPARE(sent[1], scriptOf[expected[0].toStdString()]);
    QCOMPARE(sent[2], scriptOf[expected[2].toStdString()]);
    QVERIFY(tables.isVisible());

    // Back: the layout window again, with the path and the layout as typed.
    QTest::mouseClick(tables.findChild<QPushButton*>("cmdBack"), Qt::LeftButton);
    QVERIFY(layout.isVisible());
    QVERIFY(!tables.isVisible());
    QCOMPARE(layout.findChild<QLineEdit*>("txtFile")->text(), qs(book));
    for (int i = 0; i < boxes.size(); ++i) QCOMPARE(layout.findChild<QLineEdit*>(boxes[i])->text(), values[i]);

    // Exit.
    layout.findChild<QAction*>("mnuQuit")->trigger();
    QCOMPARE(ended, 1);
    for (QWidget* window : QApplication::topLevelWidgets()) QVERIFY(!window->isVisible());
  }
};

QTEST_MAIN(WorkflowTest)
#include "WorkflowTest.moc"
