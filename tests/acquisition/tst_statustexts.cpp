#include "acquisition/StatusTexts.h"

#include <QtTest>

class TestStatusTexts : public QObject
{
    Q_OBJECT

private slots:
    void wifiBarsFollowTheThresholds_data()
    {
        QTest::addColumn<int>("quality");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << -1 << QStringLiteral("已连接");
        QTest::newRow("zero") << 0 << QStringLiteral("<span style='color:green;'>已连接 📶弱 0</span>");
        QTest::newRow("79") << 79 << QStringLiteral("<span style='color:green;'>已连接 📶弱 79</span>");
        QTest::newRow("80") << 80 << QStringLiteral("<span style='color:green;'>已连接 📶中 80</span>");
        QTest::newRow("89") << 89 << QStringLiteral("<span style='color:green;'>已连接 📶中 89</span>");
        QTest::newRow("90") << 90 << QStringLiteral("<span style='color:green;'>已连接 📶强 90</span>");
        QTest::newRow("100") << 100 << QStringLiteral("<span style='color:green;'>已连接 📶强 100</span>");
    }

    void wifiBarsFollowTheThresholds()
    {
        QFETCH(int, quality);
        QFETCH(QString, text);
        QCOMPARE(StatusTexts::wifi(quality), text);
    }

    void linkColoursNameEachUnit()
    {
        QCOMPARE(StatusTexts::connecting(false, false),
                 QStringLiteral("正在连接 <span style='color:red;'>发 </span><span style='color:red;'>收</span>"));
        QCOMPARE(StatusTexts::linkUpdate(true, false),
                 QStringLiteral("状态更新 <span style='color:green;'>发 </span><span style='color:red;'>收</span>"));
        QCOMPARE(StatusTexts::linkUpdate(false, true),
                 QStringLiteral("状态更新 <span style='color:red;'>发 </span><span style='color:green;'>收</span>"));
    }
};

QTEST_GUILESS_MAIN(TestStatusTexts)
#include "tst_statustexts.moc"
