// The filter conversion between the windows' "description|pattern" and Qt's dialogs.
#include <QtTest>

#include "ui/PlatformServices.h"

using morvane::ui::toQtFilter;

class PlatformServicesTest : public QObject {
  Q_OBJECT
 private slots:
  void filterBecomesQtForm_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one pattern") << QStringLiteral("Excelﾌｧｲﾙ|*.xls") << QStringLiteral("Excelﾌｧｲﾙ (*.xls)");
    QTest::newRow("two patterns") << QStringLiteral("Excelﾌｧｲﾙ|*.xls;*.xlsx")
                                  << QStringLiteral("Excelﾌｧｲﾙ (*.xls *.xlsx)");
    QTest::newRow("type notation") << QStringLiteral("SQLServerﾌｨｰﾙﾄﾞ属性定義ﾌｧｲﾙ|*.sfa")
                                   << QStringLiteral("SQLServerﾌｨｰﾙﾄﾞ属性定義ﾌｧｲﾙ (*.sfa)");
    QTest::newRow("no bar") << QStringLiteral("*.edf") << QStringLiteral("*.edf");
  }
  void filterBecomesQtForm() {
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(toQtFilter(filter), expected);
  }
};

QTEST_MAIN(PlatformServicesTest)
#include "PlatformServicesTest.moc"
