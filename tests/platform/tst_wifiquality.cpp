#include "platform/WifiQuality.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const char* header = "Inter-| sta-|   Quality        |   Discarded packets               | Missed | WE\n"
                     " face | tus | link level noise |  nwid  crypt   frag  retry   misc | beacon | 22\n";

}

class TestWifiQuality : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString write(const QByteArray& interfaces)
    {
        static int serial = 0;
        const QString path = dir.filePath(QStringLiteral("wireless%1").arg(++serial));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write(header);
        file.write(interfaces);
        return path;
    }

private slots:
    void driverScaleMapsOntoPercent_data()
    {
        QTest::addColumn<double>("link");
        QTest::addColumn<int>("percent");
        QTest::newRow("full") << 70.0 << 100;
        QTest::newRow("strong edge") << 63.0 << 90;
        QTest::newRow("weak") << 55.0 << 79;
        QTest::newRow("negative") << -3.0 << 0;
    }

    void driverScaleMapsOntoPercent()
    {
        QFETCH(double, link);
        QFETCH(int, percent);
        QCOMPARE(WifiQuality::fromLinkQuality(link), percent);
    }

    void connectedInterfaceIsRead()
    {
        const QString path = write("wlp2s0: 0000   63.  -47.  -256        0      0      0      0    112        0\n");
        QCOMPARE(WifiQuality(path).query(), 90);
    }

    void firstAssociatedInterfaceCounts()
    {
        const QString path = write("  wlan0: 0000    0     0     0        0      0      0      0      0        0\n"
                                   "  wlan1: 0000   42   -68.  -256        0      0      0      0      0        0\n");
        QCOMPARE(WifiQuality(path).query(), 60);
    }

    void noWirelessMeansMinusOne()
    {
        QCOMPARE(WifiQuality(write(QByteArray())).query(), -1);
        QCOMPARE(WifiQuality(write("  wlan0: 0000    0     0     0        0      0      0      0      0        0\n")).query(), -1);
        QCOMPARE(WifiQuality(write("  wlan0: garbled\n")).query(), -1);
        QCOMPARE(WifiQuality(dir.filePath(QStringLiteral("missing"))).query(), -1);
    }
};

QTEST_GUILESS_MAIN(TestWifiQuality)
#include "tst_wifiquality.moc"
