// The desktop services with Qt's own dialogs, answered by finding them on screen.
#include <sys/inotify.h>
#include <unistd.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>
#include <thread>

#include "tests/support/TempDir.h"
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

// Types a path into the dialog's name box as a user does, then waits until the dialog's list has
// read the path's folder, each file's type and icon included, as a user would see it.
void typePath(QFileDialog* dialog, const QString& path, const QString& folder = {}) {
  QSignalSpy loaded(dialog->findChild<QFileSystemModel*>(), &QFileSystemModel::directoryLoaded);
  if (!folder.isEmpty()) dialog->setDirectory(folder);
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  // With the focus in the box, as the dialog picks files in its list only for what is typed.
  dialog->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(dialog));
  name->setFocus();
  name->clear();
  QTest::keyClicks(name, path);
  QTRY_VERIFY(std::any_of(loaded.begin(), loaded.end(), [&](const QList<QVariant>& signal) {
    return signal.at(0).toString() == QFileInfo(path).path();
  }));
}

}  // namespace

class QtPlatformServicesTest : public QObject {
  Q_OBJECT
  QtPlatformServices services_;
  const QString layoutFilter_ = QStringLiteral("Excel設計書定義ファイル|*.edf");

 private slots:
  void initTestCase() {
    // As the program does at start.
    QVERIFY2(loadQtJapanese(), "Qt's Japanese translations (qt6-translations-l10n) are missing");
    QCOMPARE(QDialogButtonBox(QDialogButtonBox::Yes).button(QDialogButtonBox::Yes)->text(), QStringLiteral("はい(&Y)"));
  }

  void typingASpecialFileIntoTheSaveDialogDoesNotHang() {
    // Reading /proc/kmsg waits for the next kernel message, for ever once the log is read.
    if (!QFileInfo::exists(QStringLiteral("/proc/kmsg"))) QSKIP("no /proc/kmsg");
    whenShown<QFileDialog>([](QFileDialog* dialog) {
      typePath(dialog, QStringLiteral("/proc/kmsg"));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    // The filter's extension is added, so saving then fails like any unwritable path.
    QCOMPARE(services_.saveFileName(nullptr, layoutFilter_), QStringLiteral("/proc/kmsg.edf"));
  }

  void fileDialogsNeverOpenTheFilesTheyShow() {
    // A file whose name does not tell its type: guessing the type would mean reading it.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("layout-notes"));
    morvane::test::writeBytes(path.toStdString(), "#!/bin/sh\necho plain text\n");
    const int watch = inotify_init1(IN_NONBLOCK);
    QVERIFY(watch >= 0);
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(path).constData(), IN_OPEN | IN_ACCESS) >= 0);
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
      dialog->setViewMode(QFileDialog::Detail);
      typePath(dialog, path, dir.path());
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(services_.openFileName(nullptr, QStringLiteral("すべて|*")), path);
    char events[4096];
    const ssize_t got = read(watch, events, sizeof events);
    close(watch);
    QCOMPARE(got, ssize_t{-1});
  }

  void messageBoxHasTheWholeTitleAnIconAndOnlyOk() {
    QString shown;
    bool titleFits = false;
    whenShown<QMessageBox>([&](QMessageBox* box) {
      shown = box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon()) + "|" +
              QString::number(box->standardButtons());
      titleFits = box->width() > box->fontMetrics().horizontalAdvance(box->windowTitle()) + 60;
      box->button(QMessageBox::Ok)->click();
    });
    services_.showMessage(nullptr, QStringLiteral("未入力です"), MessageIcon::Exclamation);
    QCOMPARE(shown,
             QStringLiteral("Morvane For SQLServer|未入力です|%1|%2").arg(QMessageBox::Warning).arg(QMessageBox::Ok));
    QVERIFY(titleFits);

    // A long line with a path keeps its words whole; a busy pointer gives way to the box.
    const QString line =
        QStringLiteral("/home/someone/design-documents/layout-file.edf: ファイルまたはフォルダがありません");
    bool lineFits = false;
    Qt::CursorShape pointer = Qt::WaitCursor;
    QMessageBox::Icon icon = QMessageBox::Warning;
    whenShown<QMessageBox>([&](QMessageBox* box) {
      icon = box->icon();
      auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
      lineFits = label != nullptr && label->width() >= label->fontMetrics().horizontalAdvance(line);
      pointer = QApplication::overrideCursor()->shape();
      box->button(QMessageBox::Ok)->click();
    });
    services_.beginBusy();
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    services_.showMessage(nullptr, "保存失敗しました\n" + line, MessageIcon::None);
    QVERIFY(icon == QMessageBox::NoIcon && lineFits && pointer == Qt::ArrowCursor);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    services_.endBusy();
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void fileDialogsOfferTheFilterAndCancelGivesNothing() {
    QTemporaryDir dir;
    const QString path = dir.filePath("book.xls");
    morvane::test::writeBytes(path.toStdString(), std::string(2048, 'x'));
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
    // selectFile leaves a box that has the focus alone, and the dialog would stay open.
    QString caption;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
      caption = dialog->windowTitle();
      dialog->setDirectory(dir.path());
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("layout"));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(services_.saveFileName(nullptr, layoutFilter_), dir.filePath("layout.edf"));
    QCOMPARE(caption, QStringLiteral("名前を付けて保存"));
    whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QVERIFY(services_.saveFileName(nullptr, layoutFilter_).isEmpty());
    // A folder is chosen as a folder.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    bool foldersOnly = false;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
      foldersOnly = dialog->fileMode() == QFileDialog::Directory && dialog->testOption(QFileDialog::ShowDirsOnly);
      // With no name typed, the folder shown is the one chosen.
      dialog->setDirectory(dir.filePath("sub"));
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->clear();
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(services_.chooseFolder(nullptr), dir.filePath("sub"));
    QVERIFY(foldersOnly);

    // The list's columns in Japanese: a folder, a size in KB, a date with the year first.
    QFileSystemModel files;
    FileColumns columns;
    columns.setSourceModel(&files);
    const QModelIndex root = columns.mapFromSource(files.setRootPath(dir.path()));
    QTRY_COMPARE(columns.rowCount(root), 2);
    const QModelIndex book = columns.mapFromSource(files.index(path)),
                      sub = columns.mapFromSource(files.index(dir.filePath("sub")));
    QCOMPARE(book.siblingAtColumn(1).data().toString() + "|" + sub.siblingAtColumn(1).data().toString() + "|" +
                 sub.siblingAtColumn(2).data().toString(),
             QStringLiteral("2.0 KB||フォルダ"));
    QVERIFY(book.siblingAtColumn(3).data().toString().startsWith(QDate::currentDate().toString("yyyy/MM/dd ")));
    QCOMPARE(columns.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("更新日時"));
  }

  void progressShowsAfterHalfASecondAndItsCancelReachesTheRun() {
    QWidget owner;
    auto* other = new QPushButton(QStringLiteral("作成"), &owner);
    int otherClicks = 0;
    connect(other, &QPushButton::clicked, [&] { ++otherClicks; });
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QElapsedTimer clock;
    clock.start();
    const std::unique_ptr<morvane::ProgressSink> progress =
        services_.startProgress(&owner, QStringLiteral("テーブル作成"));
    auto* dialog = owner.findChild<QProgressDialog*>();
    QVERIFY(dialog != nullptr);
    // Once the dialog shows: a click on the window behind it is held back while the run goes on,
    // and Esc cancels wherever it is pressed.
    qint64 shownAfter = -1;
    QString label, button;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
      if (shownAfter >= 0 || !dialog->isVisible()) return;
      shownAfter = clock.elapsed();
      label = dialog->labelText();
      if (auto* cancel = dialog->findChild<QPushButton*>()) button = cancel->text();
      QTest::mouseClick(other, Qt::LeftButton);
      QTest::keyClick(other, Qt::Key_Escape);
    });
    poll.start(10);
    runOffUiThread([&] {
      progress->begin(3);
      progress->step(0, "顧客");
      // Until the test's Esc; a cancel that never arrives ends in ctest's timeout.
      while (!progress->cancelled()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      progress->end({});
    });
    // Qt lets a coarse timer fire up to 5 % early.
    QVERIFY2(shownAfter >= 450, qPrintable(QString::number(shownAfter)));
    QCOMPARE(label + "|" + button, QStringLiteral("顧客\n1 / 3|キャンセル"));
    QCOMPARE(otherClicks, 0);
    QTest::mouseClick(other, Qt::LeftButton);
    QCOMPARE(otherClicks, 1);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, runOffUiThread([] { throw std::runtime_error("x"); }));
  }
};

QTEST_MAIN(QtPlatformServicesTest)
#include "QtPlatformServicesTest.moc"
