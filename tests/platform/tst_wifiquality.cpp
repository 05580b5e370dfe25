#include "platform/WifiQuality.h"

#include <QTemporaryDir>
#include <QtTest>

// The kernel's table: two header lines, then one line per wireless interface.
class TestWifiQuality : public QObject
{
    Q_OBJECT

private slots:
    void linkQualityIsReadAsPercent_data()
    {
        QTest::addColumn<QByteArray>("interfaces");
        QTest::addColumn<int>("percent");
        const QByteArray idle = "  wlan0: 0000    0     0     0        0      0      0      0      0        0\n";
        QTest::newRow("full scale") << QByteArray("wlp2s0: 0000   70.  -40.  -256  0 0 0 0 0 0\n") << 100;
        QTest::newRow("weak") << QByteArray("wlp2s0: 0000   55.  -60.  -256  0 0 0 0 0 0\n") << 79;
        QTest::newRow("first associated") << idle + "  wlan1: 0000   42   -68.  -256  0 0 0 0 0 0\n" << 60;
        QTest::newRow("garbled") << QByteArray("  wlan0: garbled\n") << -1;
        // A machine without Wi-Fi has no table at all.
        QTest::newRow("no table") << QByteArray() << -1;
    }

    void linkQualityIsReadAsPercent()
    {
        QFETCH(QByteArray, interfaces);
        QFETCH(int, percent);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("wireless")));
        if (!interfaces.isNull()) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("Inter-| sta-|   Quality        |   Discarded packets               | Missed | WE\n"
                       " face | tus | link level noise |  nwid  crypt   frag  retry   misc | beacon | 22\n"
                       + interfaces);
            file.close();
        }
        QCOMPARE(WifiQuality(file.fileName()).query(), percent);
    }
};

QTEST_GUILESS_MAIN(TestWifiQuality)
#include "tst_wifiquality.moc"
