#include "platform/PingCommand.h"
#include "tests/support/TestEnvironment.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTextCodec>

class tst_PingCommand : public QObject
{
    Q_OBJECT

private slots:
    void onlyIPv4ReachesTheArguments()
    {
        const QStringList refused = {"", "-f", "localhost", "::1", "127.0.0.1;reboot"};
        for (PingCommand::Flavor flavor : {PingCommand::Windows, PingCommand::IpUtils}) {
            const PingCommand command(flavor);
            for (const QString& address : refused)
                QVERIFY2(command.arguments(address).isEmpty(), qPrintable(address));
            QCOMPARE(command.arguments(QStringLiteral(" 127.0.0.200 ")).count(QStringLiteral("127.0.0.200")), 1);
        }
    }

    // The arguments are the system ping's own, and it ends by itself.
    void loopbackPingEndsByItself()
    {
        const PingCommand command;
        if (QStandardPaths::findExecutable(command.program()).isEmpty())
            QSKIP("no ping installed");
        QProcess ping;
        ping.setProcessChannelMode(QProcess::MergedChannels);
        ping.start(command.program(), command.arguments(QStringLiteral("127.0.0.1")));
        QVERIFY(ping.waitForFinished(2 * TestTimeoutMs()));
        const QString output = command.codec()->toUnicode(ping.readAll());
        QVERIFY2(ping.exitStatus() == QProcess::NormalExit && ping.exitCode() == 0, qPrintable(output));
        QVERIFY(output.contains(QStringLiteral("127.0.0.1")));
    }
};

QTEST_GUILESS_MAIN(tst_PingCommand)
#include "tst_pingcommand.moc"
