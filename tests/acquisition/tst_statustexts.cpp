#include "acquisition/StatusTexts.h"

#include <QtTest>

class TestStatusTexts : public QObject
{
    Q_OBJECT

private slots:
    void textsAreExact_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString bars = QStringLiteral("<span style='color:green;'>已连接 📶%1</span>");
        QTest::newRow("disconnected") << StatusTexts::disconnected()
                                      << QStringLiteral("<p style='color:red;'>未连接</p>");
        QTest::newRow("initialising") << StatusTexts::initialising()
                                      << QStringLiteral("<p style='color:red;'>初始化连接</p>");
        QTest::newRow("invalid address") << StatusTexts::invalidAddress()
                                         << QStringLiteral("<p style='color:red;'>IP不合规</p>");
        QTest::newRow("retrying") << StatusTexts::retrying() << QStringLiteral("<p style='color:red;'>重试</p>");
        QTest::newRow("online") << StatusTexts::online() << QStringLiteral("<p style='color:green;'>已连接</p>");
        QTest::newRow("no wifi") << StatusTexts::wifi(-1) << QStringLiteral("已连接");
        QTest::newRow("wifi 79") << StatusTexts::wifi(79) << bars.arg(QStringLiteral("弱 79"));
        QTest::newRow("wifi 80") << StatusTexts::wifi(80) << bars.arg(QStringLiteral("中 80"));
        QTest::newRow("wifi 89") << StatusTexts::wifi(89) << bars.arg(QStringLiteral("中 89"));
        QTest::newRow("wifi 90") << StatusTexts::wifi(90) << bars.arg(QStringLiteral("强 90"));
        QTest::newRow("connecting") << StatusTexts::connecting(false, true)
                                    << QStringLiteral("正在连接 <span style='color:red;'>发 </span>"
                                                      "<span style='color:green;'>收</span>");
        QTest::newRow("link update") << StatusTexts::linkUpdate(true, false)
                                     << QStringLiteral("状态更新 <span style='color:green;'>发 </span>"
                                                       "<span style='color:red;'>收</span>");
    }

    void textsAreExact()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }
};

QTEST_GUILESS_MAIN(TestStatusTexts)
#include "tst_statustexts.moc"
