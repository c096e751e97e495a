// The folder chooser asks the platform over the window it belongs to.
#include <QWidget>
#include <QtTest>

#include "TestServices.h"
#include "ui/clsRefFolder.h"

using morvane::ui::clsRefFolder;
using morvane::ui::test::DialogKind;
using morvane::ui::test::TestServices;

class clsRefFolderTest : public QObject {
  Q_OBJECT
 private slots:
  void answersTheChosenFolderOrNothingOverItsOwner() {
    TestServices services;
    QWidget owner;
    clsRefFolder chooser(services);
    services.answers = {"/tmp/out", ""};
    QCOMPARE(chooser.fnShow(), QStringLiteral("/tmp/out"));
    chooser.setHWND(&owner);
    QCOMPARE(chooser.fnShow(), QString());
    QCOMPARE(services.dialogs.size(), std::size_t{2});
    QVERIFY(services.dialogs[0].kind == DialogKind::Folder);
    QVERIFY(services.dialogs[0].owner == nullptr);
    QVERIFY(services.dialogs[1].owner == &owner);
  }
};

QTEST_MAIN(clsRefFolderTest)
#include "clsRefFolderTest.moc"
