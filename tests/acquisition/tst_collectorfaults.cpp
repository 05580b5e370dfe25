#include "UnitsRig.h"
#include "devlink/ILibRecv_VRX2208.h"

#include <QtTest>

// Unit and operator mishaps that must neither hang an acquisition nor lose
// or mislabel one.
class TestCollectorFaults : public QObject
{
    Q_OBJECT

private slots:
    void refusedTimeChannelsStopBothUnits()
    {
        UnitsRig r("127.0.0.60", "127.0.0.61");
        QVERIFY(r.online());
        r.units.Receiver()->SetReplyStatusZero(true);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("refused the time channels")));
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitForWire(QStringLiteral("R2")));
        QVERIFY(r.waitForWire(QStringLiteral("T5")));
        QVERIFY(r.in("SampleWaitParam"));
        QCOMPARE(r.status(), ZOLVA_Collector::IDLE);
        QCOMPARE(r.wire.size(), 3);
    }

    void unusableParametersSendNothing_data()
    {
        QTest::addColumn<double>("fs");
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("repeat");
        QTest::newRow("zero frequency") << 0.0 << 25 << 2;
        QTest::newRow("nan frequency") << qQNaN() << 25 << 2;
        QTest::newRow("infinite frequency") << qInf() << 25 << 2;
        QTest::newRow("no periods") << 25.0 << 0 << 2;
        QTest::newRow("no repeats") << 25.0 << 25 << 0;
    }

    void unusableParametersSendNothing()
    {
        QFETCH(double, fs);
        QFETCH(int, period);
        QFETCH(int, repeat);
        UnitsRig r("127.0.0.60", "127.0.0.61");
        QVERIFY(r.online());
        r.c.onLoad_Param(fs, period);
        r.c.SetParamRepeat(repeat);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Acquisition not started")));
        emit r.c.onBtnSampleStart();
        QCOMPARE(r.status(), ZOLVA_Collector::IDLE);
        r.c.onLoad_Param(25.0, 25);
        r.c.SetParamRepeat(1);
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitForWire(QStringLiteral("R1001")));
        QCOMPARE(r.wire.first(), QStringLiteral("R1001"));
    }

    void recordsAfterAStopBelongToNoAcquisition()
    {
        UnitsRig r("127.0.0.60", "127.0.0.61");
        r.units.Transmitter()->SetLateMs(200);
        r.units.Receiver()->SetLateMs(200);
        QSignalSpy arrived(r.c.findChild<ILibRecv_VRX2208*>(), &ILibRecv_VRX2208::onRecvData);
        QSignalSpy due(&r.units, &SimUnitPair::recordSent);
        QVERIFY(r.online());
        emit r.c.onBtnSampleStart();
        QVERIFY(due.wait(5000));
        r.c.onBtnSampleStop();
        QVERIFY(arrived.wait(5000));
        QCOMPARE(r.uploads.count(), 0);

        // The next acquisition is a first record again: it asks for channels.
        r.units.Transmitter()->SetLateMs(0);
        r.units.Receiver()->SetLateMs(0);
        r.wire.clear();
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitForWire(QStringLiteral("R1001")));
    }

    void recordsBeforeTheStartReplyCount()
    {
        UnitsRig r("127.0.0.60", "127.0.0.61");
        r.c.SetParamRepeat(2);
        QVERIFY(r.online());
        // The reports overtake the start reply.
        r.units.Transmitter()->SetReplyDelay(150);
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor("SampleWaitSave"));
        QCOMPARE(r.uploads.count(), 2);
        QCOMPARE(r.upload(1).sends.size(), 2);
        QCOMPARE(r.c.property("Progress").toInt(), 2000);
    }

    void savingSurvivesALostLink()
    {
        UnitsRig r("127.0.0.60", "127.0.0.61");
        r.c.SetParamRepeat(1);
        QVERIFY(r.online());
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor("SampleWaitSave"));
        r.units.Receiver()->CloseConnection();
        QTRY_COMPARE_WITH_TIMEOUT(
            r.text(), QStringLiteral("状态更新 <span style='color:green;'>发 </span><span style='color:red;'>收</span>"),
            5000);
        QVERIFY(r.in("SampleWaitSave"));

        r.saves.clear();
        emit r.c.onBtnSaveOK();
        QCOMPARE(r.saves.first().first().toBool(), true);
        emit r.c.cmdSaveOver();
        QVERIFY(r.waitFor("SampleWaitParam"));
        QTRY_COMPARE_WITH_TIMEOUT(r.text(), QStringLiteral("<p style='color:green;'>已连接</p>"), 5000);
        QCOMPARE(r.uploads.count(), 1);
    }
};

QTEST_MAIN(TestCollectorFaults)
#include "tst_collectorfaults.moc"
