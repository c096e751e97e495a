// The desktop services with Qt's own dialogs, answered by finding them on screen.
#include <sys/inotify.h>
#include <unistd.h>

#include <QtWidgets>
#include <QtTest>
#include <thread>

#include "tests/support/TempDir.h"
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

// Types a path into the name box as a user does, then waits until the list has read the path's folder.
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

 private slots:
  void initTestCase() {
    QVERIFY2(loadQtJapanese(), "Qt's Japanese translations (qt6-translations-l10n) are missing");
  }

  // The list shows sizes in KB and dates year first under Japanese heads, and never opens a file to show it.
  void fileDialogsNeverReadTheFilesTheyShow() {
    // A file whose name does not tell its type: guessing the type would mean reading it.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("layout-notes"));
    morvane::test::writeBytes(path.toStdString(), "#!/bin/sh\necho plain text\n" + std::string(2022, ' '));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    const int watch = inotify_init1(IN_NONBLOCK);
    QVERIFY(watch >= 0 && inotify_add_watch(watch, QFile::encodeName(path).constData(), IN_OPEN | IN_ACCESS) >= 0);
    QString shown;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
      shown = dialog->nameFilters().join('|') + "|";
      dialog->setViewMode(QFileDialog::Detail);
      typePath(dialog, path, dir.path());
      auto* files = dialog->findChild<QFileSystemModel*>();
      auto cell = [&](const QString& name, int column) {
        return dialog->proxyModel()->mapFromSource(files->index(dir.filePath(name))).siblingAtColumn(column).data();
      };
      shown += QStringList{cell("layout-notes", 1).toString(), cell("sub", 1).toString(), cell("sub", 2).toString(),
                          cell("layout-notes", 3).toString().left(11),
                          dialog->proxyModel()->headerData(3, Qt::Horizontal).toString()}
                  .join('|');
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(services_.openFileName(nullptr, QStringLiteral("すべて|*;*.edf")), path);
    QCOMPARE(shown, "すべて (* *.edf)|2.0 KB||フォルダ|" + QDate::currentDate().toString("yyyy/MM/dd ") + "|更新日時");
    char events[4096];
    QCOMPARE(read(watch, events, sizeof events), ssize_t{-1});
    close(watch);

    whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QVERIFY(services_.openFileName(nullptr, QStringLiteral("すべて|*")).isEmpty());
    // A folder is chosen as a folder; with no name typed, the folder shown is the one chosen.
    bool foldersOnly = false;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
      foldersOnly = dialog->fileMode() == QFileDialog::Directory && dialog->testOption(QFileDialog::ShowDirsOnly);
      dialog->setDirectory(dir.filePath("sub"));
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->clear();
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(services_.chooseFolder(nullptr), dir.filePath("sub"));
    QVERIFY(foldersOnly);

    // Nor is /proc/kmsg typed into the save dialog: reading it waits for the next kernel message.
    if (!QFileInfo::exists(QStringLiteral("/proc/kmsg"))) QSKIP("no /proc/kmsg");
    QString caption;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
      caption = dialog->windowTitle();
      typePath(dialog, QStringLiteral("/proc/kmsg"));
      // Without the extension the dialog would ask to overwrite /proc/kmsg and wait: fail at once instead.
      dialog->setOption(QFileDialog::DontConfirmOverwrite);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    // The filter's extension is added, so saving then fails like any unwritable path.
    QCOMPARE(services_.saveFileName(nullptr, "Excel設計書定義ファイル|*.edf"), QStringLiteral("/proc/kmsg.edf"));
    QCOMPARE(caption, QStringLiteral("名前を付けて保存"));
  }

  // The whole title, the icon asked for, only OK, a long path line whole; a busy pointer gives way to the box.
  void messageBoxHasTheWholeTitleAnIconAndOnlyOk() {
    const QString line = QStringLiteral("/home/someone/design-documents/layout-file.edf: ファイルまたはフォルダがありません");
    services_.beginBusy();
    using Row = std::tuple<MessageIcon, QString, QMessageBox::Icon>;
    for (const auto& [icon, text, boxIcon] : {Row{MessageIcon::Exclamation, "未入力です", QMessageBox::Warning},
                                              Row{MessageIcon::None, "保存失敗しました\n" + line, QMessageBox::NoIcon}}) {
      QString shown;
      whenShown<QMessageBox>([&](QMessageBox* box) {
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        const bool titleFits = box->width() > box->fontMetrics().horizontalAdvance(box->windowTitle()) + 60,
                   lineFits = label->width() >= label->fontMetrics().horizontalAdvance(text.split('\n').last());
        shown = QStringList{box->windowTitle(), box->text(), QString::number(box->icon()),
                            QString::number(box->standardButtons()), titleFits && lineFits ? "fits" : "cut",
                            QApplication::overrideCursor()->shape() == Qt::ArrowCursor ? "arrow" : "busy"}
                    .join('|');
        box->button(QMessageBox::Ok)->click();
      });
      services_.showMessage(nullptr, text, icon);
      QCOMPARE(shown, QStringLiteral("Morvane For SQLServer|%1|%2|%3|fits|arrow").arg(text).arg(boxIcon).arg(
                          QMessageBox::Ok));
    }
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    services_.endBusy();
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void progressShowsAfterHalfASecondAndItsCancelReachesTheRun() {
    QWidget owner;
    auto* other = new QPushButton(QStringLiteral("作成"), &owner);
    QSignalSpy otherClicks(other, &QPushButton::clicked);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QElapsedTimer clock;
    clock.start();
    const auto progress = services_.startProgress(&owner, QStringLiteral("テーブル作成"));
    auto* dialog = owner.findChild<QProgressDialog*>();
    QVERIFY(dialog != nullptr);
    // Once shown: a click on the window behind is held back during the run; Esc cancels wherever pressed.
    qint64 shownAfter = -1;
    QString shown;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
      if (shownAfter >= 0 || !dialog->isVisible()) return;
      shownAfter = clock.elapsed();
      shown = dialog->labelText() + "|" + dialog->findChild<QPushButton*>()->text();
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
    QCOMPARE(shown, QStringLiteral("顧客\n1 / 3|キャンセル"));
    QCOMPARE(otherClicks.count(), 0);
    QTest::mouseClick(other, Qt::LeftButton);
    QCOMPARE(otherClicks.count(), 1);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, runOffUiThread([] { throw std::runtime_error("x"); }));
  }
};

QTEST_MAIN(QtPlatformServicesTest)
#include "QtPlatformServicesTest.moc"
