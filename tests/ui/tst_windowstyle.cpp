#include "ui/BuildTime.h"
#include "ui/UiScale.h"

#include <QTest>

// Window sizes that follow the screen height, and the build stamp taken from
// the compiler's texts.
class tst_WindowStyle : public QObject
{
    Q_OBJECT

private slots:
    void scaledSizes_data();
    void scaledSizes();
    void buildTime_data();
    void buildTime();
};

void tst_WindowStyle::scaledSizes_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<int>("tree");
    QTest::addColumn<int>("panel");
    QTest::addColumn<int>("titleBar");
    QTest::addColumn<int>("plotFont");
    QTest::addColumn<QStringList>("variables");

    QTest::newRow("800 px") << 800 << QSize(960, 640) << 258 << 300 << 62 << 11
                            << QStringList{"13px", "15px", "24px", "23px", "4px", "6px", "34px", "62px", "100px"};
    // 1040 / 800 = 1.3: truncated widths, rounded-up sizes.
    QTest::newRow("1040 px") << 1040 << QSize(1248, 832) << 323 << 378 << 81 << 15
                             << QStringList{"17px", "20px", "32px", "30px", "6px", "10px", "45px", "81px", "130px"};
}

void tst_WindowStyle::scaledSizes()
{
    QFETCH(int, height);
    QFETCH(QSize, minimum);
    QFETCH(int, tree);
    QFETCH(int, panel);
    QFETCH(int, titleBar);
    QFETCH(int, plotFont);
    QFETCH(QStringList, variables);

    const UiScale scale(height);
    QCOMPARE(scale.minimumWindowSize(), minimum);
    QCOMPARE(scale.treeWidth(), tree);
    QCOMPARE(scale.projectPanelWidth(), panel);
    QCOMPARE(scale.titleBarHeight(), titleBar);
    QCOMPARE(scale.plotFontPixelSize(), plotFont);
    QStringList names;
    QStringList values;
    for (const auto& variable : scale.styleVariables()) {
        names << variable.first;
        values << variable.second;
    }
    QCOMPARE(names,
             (QStringList{"$font-size-s", "$font-size-m", "$font-size-l", "$font-size-l-1", "$xRadius", "$xPadding",
                          "$input-height", "$btn-min-width", "$tab-width"}));
    QCOMPARE(values, variables);
    QVERIFY(scale.windowStyleSheet().contains(QStringLiteral("min-width:%1px;max-width:%1px").arg(tree)));
}

void tst_WindowStyle::buildTime_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QDateTime>("expected");

    QTest::newRow("one-digit day") << "Dec  6 2026"
                                   << "23:51:36" << QDateTime(QDate(2026, 12, 6), QTime(23, 51, 36));
    QTest::newRow("two-digit day") << "Feb 28 2025"
                                   << "07:05:09" << QDateTime(QDate(2025, 2, 28), QTime(7, 5, 9));
}

void tst_WindowStyle::buildTime()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QDateTime, expected);

    QCOMPARE(BuildTime::parse(date.toLatin1().constData(), time.toLatin1().constData()), expected);
    QVERIFY(BuildTime::compiled().isValid());
}

QTEST_APPLESS_MAIN(tst_WindowStyle)
#include "tst_windowstyle.moc"
