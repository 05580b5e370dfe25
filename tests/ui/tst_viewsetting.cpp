#include "ui/View_Setting.h"

#include "project/CurveProcessing.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The network test runs a stand-in for ping written here, on loopback
// addresses only.
class tst_ViewSetting : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<View_Setting> page;

    // A null script leaves no program to run.
    void setUp(const QByteArray& script, const QString& send, const QString& recv)
    {
        const QString program = dir.filePath(QStringLiteral("ping"));
        QFile file(program);
        if (!script.isNull()) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n" + script);
            file.close();
            QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
        }
        page->setPingCommand(PingCommand(PingCommand::IpUtils, program));
        find("DeviceIP_Send")->setText(send);
        find("DeviceIP_Recv")->setText(recv);
    }

    template <class T = QLineEdit>
    T* find(const char* name)
    {
        return page->findChild<T*>(QLatin1String(name));
    }
    QPushButton* button() { return find<QPushButton>("btn_Ping"); }
    QString output() { return find<QLabel>("label_PingOutput")->text(); }

private slots:
    void init() { page = std::make_unique<View_Setting>(); }

    void cleanup()
    {
        page.reset();
        QFile::remove(dir.filePath(QStringLiteral("ping")));
        CurveProcessing::startTime = 80;
        resetDialogAnswers();
    }

    void startTimeIsClamped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("applied");
        QTest::newRow("inside") << "350" << 350;
        QTest::newRow("above") << "1000" << 800;
        QTest::newRow("below") << "-5" << 0;
        QTest::newRow("not a number") << "8O" << 0;
    }

    void startTimeIsClamped()
    {
        QFETCH(QString, typed);
        QFETCH(int, applied);
        auto* field = find("StartTime");
        QCOMPARE(field->text(), QStringLiteral("80"));
        field->setText(typed);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(field->text(), QString::number(applied));
        QCOMPARE(CurveProcessing::startTime.load(), applied);
    }

    void pointNoStepIsSentWithTheConfiguration()
    {
        int warnings = 0;
        DialogHook::setMessageAnswer([&](const DialogHook::Message&) { ++warnings; });
        QSignalSpy sent(page.get(), &View_Setting::projectConfigChanged);
        st_ProjectConfig config;
        config.WorkConfig = 3;
        config.LineNoStart = 7.0;
        config.PointNoStep = 10.0;
        page->loadProjectConfig(config);
        auto* step = find("PointNoStep");
        QCOMPARE(step->text(), QStringLiteral("10"));

        step->clear();
        QTest::keyClick(step, Qt::Key_Return);
        QTest::keyClicks(step, QStringLiteral("12.55"));
        QTest::keyClick(step, Qt::Key_Return);
        QCOMPARE(sent.count(), 1);
        const auto changed = sent.at(0).at(0).value<st_ProjectConfig>();
        QCOMPARE(changed.PointNoStep, 12.5);
        QCOMPARE(changed.WorkConfig, 3);
        QCOMPARE(changed.LineNoStart, 7.0);
        QCOMPARE(warnings, 0);
    }

    void networkTestPingsBothUnitsInTurn()
    {
        // The stand-in prints its arguments, then a character split over two
        // writes, the second held back until the test writes a line.
        setUp("printf '%s ' \"$@\"; printf 'X\\344\\275'; read go; printf '\\240Y\\n'\n", "127.0.0.1", "127.0.0.1");
        auto* ping = page->findChild<QProcess*>();
        button()->click();
        for (int run = 1; run <= 2; ++run) {
            // The X was read with the first two bytes of the character.
            QVERIFY(QTest::qWaitFor([&] { return output().count('X') == run; }, TestTimeoutMs()));
            QVERIFY(!button()->isEnabled());
            ping->write("\n");
        }
        QVERIFY(QTest::qWaitFor([&] { return button()->isEnabled(); }, TestTimeoutMs()));
        const QString run = QStringLiteral("-n -c 4 -W 1 127.0.0.1 X你Y\n");
        QCOMPARE(output(), QStringLiteral("测试结果:\n") + run + run);

        // Closing the page while a ping runs.
        button()->click();
        QVERIFY(QTest::qWaitFor([&] { return output().contains('X'); }, TestTimeoutMs()));
        page.reset();
    }

    void networkTestResetsWhenAPingCannotRun_data()
    {
        QTest::addColumn<QString>("send");
        QTest::addColumn<QString>("recv");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<int>("runs");
        QTest::addColumn<QString>("reason"); // null: the process's own error text
        const QString loopback = QStringLiteral("127.0.0.1");
        QTest::newRow("transmitter not IPv4") << "unit-1" << loopback << true << 0 << "unit-1";
        QTest::newRow("receiver an option") << loopback << "-c 9" << true << 1 << "-c 9";
        QTest::newRow("no program") << loopback << loopback << false << 0 << QString();
    }

    // A second press runs the whole test again: nothing was left half done.
    void networkTestResetsWhenAPingCannotRun()
    {
        QFETCH(QString, send);
        QFETCH(QString, recv);
        QFETCH(bool, installed);
        QFETCH(QString, reason);
        setUp(installed ? QByteArray("echo ran\n") : QByteArray(), send, recv);
        for (int press = 1; press <= 2; ++press) {
            button()->click();
            QVERIFY(QTest::qWaitFor([&] { return button()->isEnabled(); }, TestTimeoutMs()));
            QTEST(int(output().count(QStringLiteral("ran"))), "runs");
            if (reason.isNull())
                reason = page->findChild<QProcess*>()->errorString();
            QVERIFY2(output().startsWith(QStringLiteral("测试结果:")) && output().contains(reason),
                     qPrintable(output()));
        }
    }
};

QTEST_MAIN(tst_ViewSetting)
#include "tst_viewsetting.moc"
