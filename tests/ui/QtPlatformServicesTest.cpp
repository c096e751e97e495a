// The desktop services with Qt's own dialogs, answered by finding them on screen.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "ui/QtPlatformServices.h"

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

}  // namespace

class QtPlatformServicesTest : public QObject {
  Q_OBJECT
  QtPlatformServices services_;

 private slots:
  void messageBoxHasTheTitleAnIconAndOnlyOk() {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons;
    whenShown<QMessageBox>([&](QMessageBox* box) {
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = box->standardButtons();
      box->button(QMessageBox::Ok)->click();
    });
    services_.showMessage(nullptr, QStringLiteral("未入力です"), MessageIcon::Exclamation);
    QCOMPARE(title, QStringLiteral("Morvane For SQLServer"));
    QCOMPARE(text, QStringLiteral("未入力です"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    whenShown<QMessageBox>([&](QMessageBox* box) {
      icon = box->icon();
      box->button(QMessageBox::Ok)->click();
    });
    services_.showMessage(nullptr, QStringLiteral("保存しました"), MessageIcon::None);
    QCOMPARE(icon, QMessageBox::NoIcon);
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

    // Saving adds the filter's extension to a bare name.
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
      dialog->selectFile(dir.filePath("layout"));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(services_.saveFileName(nullptr, QStringLiteral("Excel設計書定義ファイル|*.edf")),
             dir.filePath("layout.edf"));
    whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QVERIFY(services_.saveFileName(nullptr, QStringLiteral("Excel設計書定義ファイル|*.edf")).isEmpty());
  }
};

QTEST_MAIN(QtPlatformServicesTest)
#include "QtPlatformServicesTest.moc"
