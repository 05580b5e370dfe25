#include "platform/WifiName.h"
#include "tests/support/TestEnvironment.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestWifiName : public QObject
{
    Q_OBJECT

private slots:
    void nameIsReadFromTheSsidLine_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("name");
        QTest::newRow("netsh, CR LF") << QStringLiteral("\r\n    Name                   : WLAN\r\n"
                                                        "    SSID                   :  Camp   3 \r\n"
                                                        "    BSSID                  : 00:11:22:33:44:55\r\n")
                                      << QStringLiteral("Camp 3");
        QTest::newRow("broken UTF-16 on another line")
            << QStringLiteral("BSSID: ") + QChar(0xD800) + QStringLiteral("\n\tSSID: FieldNet\r\n\tfreq: 2437")
            << QStringLiteral("FieldNet");
        QTest::newRow("BSSID, then an empty name")
            << QStringLiteral("BSSID: 00:11:22:33:44:55\nSSID:   \nSSID: later\n") << QStringLiteral("None");
    }

    void nameIsReadFromTheSsidLine()
    {
        QFETCH(QString, report);
        QTEST(WifiName::nameFromReport(report), "name");
    }

    // A fake tool on a folder of fake interfaces: wlan0 is not connected,
    // wlan1 is, eth0 is no wireless interface. The tool notes each
    // interface it is asked about.
    void toolIsAskedPerInterface_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QStringList>("interfaces");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("asked");
        const QByteArray answer = "case \"$1 $2 $3\" in\n"
                                  "\"dev wlan1 link\") printf 'Connected to 00:11:22:33:44:55 (on wlan1)\\n"
                                  "\\tSSID: \\\\xe9\\\\x87\\\\x8e\\\\xe5\\\\xa4\\\\x96 Site:2\\\\x5c\\n' ;;\n"
                                  "*) echo 'Not connected.' ;;\n"
                                  "esac\n";
        QTest::newRow("second interface") << answer << QStringList{"eth0", "wlan0", "wlan1"}
                                          << QStringLiteral("野外 Site:2\\") << QStringList{"wlan0", "wlan1"};
        QTest::newRow("no wireless interface")
            << answer << QStringList{"eth0"} << QStringLiteral("None") << QStringList{};
        QTest::newRow("no tool") << QByteArray() << QStringList{"wlan1"} << QStringLiteral("None") << QStringList{};
        // One that hangs is ended once, not once per interface.
        QTest::newRow("tool hangs") << QByteArray("exec sleep 30\n") << QStringList{"wlan1", "wlan2"}
                                    << QStringLiteral("None") << QStringList{"wlan1"};
    }

    void toolIsAskedPerInterface()
    {
        QFETCH(QByteArray, script);
        QFETCH(QStringList, interfaces);
        QTemporaryDir dir;
        const QString tool = dir.filePath(QStringLiteral("iw"));
        if (!script.isNull()) {
            QFile file(tool);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\necho \"$2\" >> \"$0.asked\"\n" + script);
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        }
        QDir net(dir.filePath(QStringLiteral("net")));
        for (const QString& name : interfaces)
            QVERIFY(net.mkpath(name.startsWith(QLatin1String("wlan")) ? name + QStringLiteral("/phy80211") : name));

        WifiName wifi(tool, net.path());
        wifi.setTimeout(300);
        QSignalSpy found(&wifi, &WifiName::nameFound);
        wifi.query();
        QCOMPARE(found.count(), 0);
        QVERIFY(found.wait(TestTimeoutMs()));
        QCOMPARE(found.count(), 1);
        QTEST(found.first().first().toString(), "name");
        QFile asked(tool + QStringLiteral(".asked"));
        QStringList names;
        if (asked.open(QIODevice::ReadOnly))
            names = QString::fromUtf8(asked.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QTEST(names, "asked");
    }
};

QTEST_GUILESS_MAIN(TestWifiName)
#include "tst_wifiname.moc"
