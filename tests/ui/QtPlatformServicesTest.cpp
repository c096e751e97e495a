// The desktop services with Qt's own dialogs, answered by finding them on screen.
#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "ui/FileColumns.h"
#include "ui/QtJapanese.h"
#include "ui/QtPlatformServices.h"
#include "ui/TableRun.h"

using namespace morvane::ui;

namespace {

// Waits for a modal dialog of type Dialog and hands it to answer.
template <class Dialog>
void whenShown(std::function<void(Dialog*)> answer) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
    if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      answer(dialog);
    }
  });
  poll->start(10);
}

// Ends the test program when a call has not returned long after it should have: a hung call
// never comes back to report a failure itself. Generous, as this detects a hang, not slowness.
class Watchdog {
 public:
  explicit Watchdog(const char* what)
      : thread_([this, what] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!done_.wait_for(lock, std::chrono::seconds(10), [this] { return finished_; })) {
            std::fprintf(stderr, "FAIL: %s did not return: it hangs\n", what);
            std::_Exit(1);
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    done_.notify_one();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

// Types a path into the dialog's file name box as a user does, letting the completer and the
// file system model look at every prefix.
void typePath(QFileDialog* dialog, const QString& path) {
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  QVERIFY(name != nullptr);
  // With the focus in the box, as the dialog picks files in its list only for what is typed.
  dialog->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(dialog));
  name->setFocus();
  name->clear();
  QTest::keyClicks(name, path);
  QTest::qWait(300);
}

}  // namespace

class QtPlatformServicesTest : public QObject {
  Q_OBJECT
  QtPlatformServices services_;

 private slots:
  void initTestCase() {
    // As the program does at start.
    QVERIFY2(loadQtJapanese(), "Qt's Japanese translations (qt6-translations-l10n) are missing");
  }

  void qtsOwnTextsAreJapanese() {
    QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Yes);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
    QCOMPARE(buttons.button(QDialogButtonBox::Yes)->text(), QStringLiteral("はい(&Y)"));
    QString caption;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
      caption = dialog->windowTitle();
      dialog->reject();
    });
    services_.saveFileName(nullptr, QStringLiteral("Excel設計書定義ファイル|*.edf"));
    QCOMPARE(caption, QStringLiteral("名前を付けて保存"));
  }

  void typingASpecialFileIntoTheSaveDialogDoesNotHang() {
    // Reading /proc/kmsg waits for the next kernel message, for ever once the log is read.
    if (!QFileInfo::exists(QStringLiteral("/proc/kmsg"))) QSKIP("no /proc/kmsg");
    Watchdog watchdog("the save dialog given /proc/kmsg");
    whenShown<QFileDialog>([](QFileDialog* dialog) {
      typePath(dialog, QStringLiteral("/proc/kmsg"));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    // The filter's extension is added, so saving then fails like any unwritable path.
    QCOMPARE(services_.saveFileName(nullptr, QStringLiteral("Excel設計書定義ファイル|*.edf")),
             QStringLiteral("/proc/kmsg.edf"));
  }

  void fileDialogsNeverOpenTheFilesTheyShow() {
    // A file whose name does not tell its type: guessing the type would mean reading it.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("layout-notes"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\necho plain text\n");
    file.close();
    const int watch = inotify_init1(IN_NONBLOCK);
    QVERIFY(watch >= 0);
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(path).constData(), IN_OPEN | IN_ACCESS) >= 0);

    whenShown<QFileDialog>([&](QFileDialog* dialog) {
      dialog->setDirectory(dir.path());
      dialog->setViewMode(QFileDialog::Detail);
      typePath(dialog, path);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(services_.openFileName(nullptr, QStringLiteral("すべて|*")), path);
    char events[4096];
    const ssize_t got = read(watch, events, sizeof events);
    close(watch);
    QCOMPARE(got, ssize_t{-1});
  }

  // A short message still shows the whole title.
  void messageBoxHasTheWholeTitleAnIconAndOnlyOk() {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons;
    int boxWidth = 0;
    int titleWidth = 0;
    whenShown<QMessageBox>([&](QMessageBox* box) {
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = box->standardButtons();
      boxWidth = box->width();
      titleWidth = box->fontMetrics().horizontalAdvance(box->windowTitle());
      box->button(QMessageBox::Ok)->click();
    });
    services_.showMessage(nullptr, QStringLiteral("未入力です"), MessageIcon::Exclamation);
    QCOMPARE(title, QStringLiteral("Morvane For SQLServer"));
    QVERIFY2(boxWidth > titleWidth + 60, qPrintable(QStringLiteral("%1 %2").arg(boxWidth).arg(titleWidth)));
    QCOMPARE(text, QStringLiteral("未入力です"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // A long line with a path keeps its words whole.
    const QString path = QStringLiteral("/home/someone/design-documents/layout-file.edf: ");
    bool lineFits = false;
    whenShown<QMessageBox>([&](QMessageBox* box) {
      icon = box->icon();
      auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
      lineFits = label != nullptr && label->width() >= label->fontMetrics().horizontalAdvance(path + "ファイルまたはフォルダがありません");
      box->button(QMessageBox::Ok)->click();
    });
    services_.showMessage(nullptr, "保存失敗しました\n" + path + "ファイルまたはフォルダがありません", MessageIcon::None);
    QCOMPARE(icon, QMessageBox::NoIcon);
    QVERIFY(lineFits);
  }

  void busyPointerGivesWayToAMessage() {
    services_.beginBusy();
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Qt::CursorShape duringMessage = Qt::WaitCursor;
    whenShown<QMessageBox>([&](QMessageBox* box) {
      duringMessage = QApplication::overrideCursor()->shape();
      box->accept();
    });
    services_.showMessage(nullptr, QStringLiteral("x"), MessageIcon::None);
    QCOMPARE(duringMessage, Qt::ArrowCursor);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    services_.endBusy();
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void fileDialogsOfferTheFilterAndCancelGivesNothing() {
    Watchdog watchdog("a file dialog answered by the test");
    QTemporaryDir dir;
    const QString path = dir.filePath("book.xls");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QStringList filters;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
      filters = dialog->nameFilters();
      dialog->selectFile(path);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(services_.openFileName(nullptr, QStringLiteral("Excelﾌｧｲﾙ|*.xls;*.xlsx")), path);
    QCOMPARE(filters, QStringList{QStringLiteral("Excelﾌｧｲﾙ (*.xls *.xlsx)")});

    whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QVERIFY(services_.openFileName(nullptr, QStringLiteral("Excelﾌｧｲﾙ|*.xls")).isEmpty());

    // Saving adds the filter's extension to a bare name. The name goes into the box itself:
    // selectFile leaves a box that has the focus alone, and a dialog that became active first
    // would then take its folder for the choice and stay open.
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
      dialog->setDirectory(dir.path());
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("layout"));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(services_.saveFileName(nullptr, QStringLiteral("Excel設計書定義ファイル|*.edf")),
             dir.filePath("layout.edf"));
    whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QVERIFY(services_.saveFileName(nullptr, QStringLiteral("Excel設計書定義ファイル|*.edf")).isEmpty());

    // The list's columns in Japanese: a folder, a size in KB, a date with the year first.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QFile sized(dir.filePath("book.xls"));
    QVERIFY(sized.open(QIODevice::WriteOnly));
    sized.write(QByteArray(2048, 'x'));
    sized.close();
    QFileSystemModel files;
    FileColumns columns;
    columns.setSourceModel(&files);
    const QModelIndex root = columns.mapFromSource(files.setRootPath(dir.path()));
    QTRY_COMPARE(columns.rowCount(root), 2);
    QStringList shown;
    for (int row = 0; row < 2; ++row) {
      shown << columns.index(row, 1, root).data().toString() + "|" + columns.index(row, 2, root).data().toString();
    }
    shown.sort();
    QCOMPARE(shown.last(), QStringLiteral("|フォルダ"));
    QVERIFY2(shown.first().startsWith(QStringLiteral("2.0 KB|")), qPrintable(shown.first()));
    QVERIFY(columns.index(0, 3, root).data().toString().startsWith(QDate::currentDate().toString("yyyy/MM/dd")));
    QCOMPARE(columns.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("更新日時"));
  }
  void progressShowsAfterHalfASecondAndItsCancelReachesTheRun() {
    QWidget owner;
    auto* other = new QPushButton(QStringLiteral("作成"), &owner);
    int otherClicks = 0;
    connect(other, &QPushButton::clicked, [&] { ++otherClicks; });
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    const std::unique_ptr<morvane::ProgressSink> progress = services_.startProgress(&owner, QStringLiteral("テーブル作成"));
    auto* dialog = owner.findChild<QProgressDialog*>();
    QVERIFY(dialog != nullptr);

    bool shownEarly = true;
    QString label, button;
    QTimer::singleShot(150, [&] { shownEarly = dialog->isVisible(); });
    QTimer::singleShot(900, [&] {
      label = dialog->labelText();
      if (auto* cancel = dialog->findChild<QPushButton*>()) button = cancel->text();
      QTest::mouseClick(other, Qt::LeftButton);  // held back while the run goes on
      // Esc cancels wherever it is pressed, also over the window behind the dialog.
      QTest::keyClick(other, Qt::Key_Escape);
    });
    bool sawCancel = false;
    runOffUiThread([&] {
      progress->begin(3);
      progress->step(0, "顧客");
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!progress->cancelled() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      sawCancel = progress->cancelled();
      progress->end({});
    });
    QVERIFY(!shownEarly);
    QCOMPARE(label, QStringLiteral("顧客\n1 / 3"));
    QCOMPARE(button, QStringLiteral("キャンセル"));
    QVERIFY(sawCancel);
    QCOMPARE(otherClicks, 0);
    QTest::mouseClick(other, Qt::LeftButton);
    QCOMPARE(otherClicks, 1);
  }

  void aRunsExceptionReachesTheCaller() {
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, runOffUiThread([] { throw std::runtime_error("x"); }));
  }
};

QTEST_MAIN(QtPlatformServicesTest)
#include "QtPlatformServicesTest.moc"
