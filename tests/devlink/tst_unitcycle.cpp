#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/iLibSend.h"
#include "tests/support/TestEnvironment.h"
#include "tools/simunits/SimReceiverUnit.h"
#include "tools/simunits/SimTransmitterUnit.h"
#include "tools/simunits/SimUnitAddress.h"
#include "tools/simunits/SimUnitPair.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr qint64 kNow = 1700000000123;

// Both unit links against a simulated pair on two loopback addresses, with
// records 20 times faster than real time.
struct Rig
{
    SimUnitPair units;
    ILibRecv_VRX2208 recv;
    iLibSend send;
    QSignalSpy recvData{&recv, &ILibRecv_VRX2208::onRecvData};
    QSignalSpy sendData{&send, &iLibSend::TEM_NewSendData};

    // The transmitter on host, the receiver on host + 1.
    bool Start(int host)
    {
        const QString sendIp = TestLoopback::Address(TestLoopback::UnitCycleTests, host);
        const QString recvIp = TestLoopback::Address(TestLoopback::UnitCycleTests, host + 1);
        units.SetTimeScale(0.05);
        recv.SetClock([] { return kNow; });
        if (!units.Listen(QHostAddress(sendIp), QHostAddress(recvIp)))
            return false;
        recv.SetAddress({recvIp, 12345});
        send.SetAddress({sendIp, 12345});
        recv.Connect();
        send.Connect();
        return QTest::qWaitFor([this] { return recv.IsConnected() && send.IsConnected(); }, TestTimeoutMs());
    }

    // The collector's configuration sequence, each step after its reply.
    bool Configure(float fs, int periods, int continueMode, int sampleMode)
    {
        QSignalSpy autoReply(&recv, &ILibRecv_VRX2208::onRecvAutoChannel);
        QSignalSpy recvReply(&recv, &ILibRecv_VRX2208::onRecvConfiged);
        QSignalSpy sendReply(&send, &iLibSend::TEM_Configed);
        st_ConfigAutoTimeChannel_VRX2208 request{fs, 1250};
        st_RecvParam param{fs, periods, continueMode, sampleMode, 0, 0};
        st_TEMSendInfo info{fs, periods, {{1, 1}}, continueMode, 0};
        if (sampleMode == 0)
            recv.RecvConfig_AutoChannel(&request);
        if (sampleMode == 0 && !autoReply.wait(TestTimeoutMs()))
            return false;
        recv.RecvConfig(&param);
        if (!recvReply.wait(TestTimeoutMs()))
            return false;
        send.TEM_Config(&info);
        return sendReply.wait(TestTimeoutMs());
    }

    bool StartUnits()
    {
        QSignalSpy reply(&send, &iLibSend::TEM_Strated);
        send.TEM_Strat();
        return reply.wait(TestTimeoutMs()) && reply.at(0).at(0).toBool();
    }
};

} // namespace

class tst_UnitCycle : public QObject
{
    Q_OBJECT

private slots:
    void singleRecordCycle();
    void continuousRecordsWithFaults();
    void programAcceptsOnlyLoopbackAddresses();
};

void tst_UnitCycle::singleRecordCycle()
{
    Rig r;
    QVERIFY(r.Start(1));
    QSignalSpy monitor(&r.send, &iLibSend::TEM_SendMonitor);
    QVERIFY(r.Configure(25.0f, 16, 0, 0));
    // The configuration went out stamped with the link's clock.
    QCOMPARE(r.units.Receiver()->Param().SendTime, kNow);

    QVERIFY(r.StartUnits());
    QVERIFY(r.recvData.wait(TestTimeoutMs()));
    QTRY_COMPARE_WITH_TIMEOUT(monitor.size(), 2, TestTimeoutMs());
    QCOMPARE(r.sendData.size(), 1);

    // Both sides built the same gates: one decaying value per time channel.
    const auto record = r.recvData.at(0).at(0).value<st_RecvData_VRX2208>();
    QCOMPARE(record.TYPE, 1);
    QCOMPARE(record.values.size(), 656);
    QVERIFY(record.values.first() > record.values.last());
    QVERIFY(qAbs(record.times.last() + record.widths.last() / 2 - 10000.0) < 1e-6);

    QVERIFY(!r.units.IsRunning());
    QSignalSpy sendStopped(&r.send, &iLibSend::TEM_Stoped);
    QSignalSpy recvStopped(&r.recv, &ILibRecv_VRX2208::onRecvStop);
    r.recv.RecvStop();
    r.send.TEM_Stop();
    QVERIFY(recvStopped.wait(TestTimeoutMs()));
    QVERIFY(sendStopped.size() == 1 || sendStopped.wait(TestTimeoutMs()));
    QCOMPARE(r.recvData.size(), 1);
}

void tst_UnitCycle::continuousRecordsWithFaults()
{
    Rig r;
    QVERIFY(r.Start(3));
    QSignalSpy autoChannel(&r.recv, &ILibRecv_VRX2208::onRecvAutoChannel);
    QSignalSpy stopped(&r.units, &SimUnitPair::stopped);

    // A refused time-channel request: neither side has gates.
    r.units.Receiver()->SetReplyStatusZero(true);
    QVERIFY(r.Configure(25.0f, 16, 0, 0));
    QCOMPARE(autoChannel, QList<QVariantList>{{false}});
    QVERIFY(r.units.Receiver()->Gates().isEmpty());
    r.units.Receiver()->SetReplyStatusZero(false);

    // Every transmitter record twice, every receiver record 300 ms late.
    QVERIFY(r.Configure(25.0f, 16, 1, 1));
    r.units.Transmitter()->SetExtraRecords(1);
    r.units.Receiver()->SetLateMs(300);
    QVERIFY(r.StartUnits());
    QTRY_COMPARE_WITH_TIMEOUT(r.sendData.size(), 2, TestTimeoutMs());
    QCOMPARE(r.recvData.size(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(r.recvData.size() >= 3 && r.sendData.size() >= 6, TestTimeoutMs());
    QVERIFY(r.units.IsRunning());
    // A quarter period at 625000 Hz, as a full waveform.
    const auto record = r.recvData.at(0).at(0).value<st_RecvData_VRX2208>();
    QCOMPARE(record.TYPE, 2);
    QCOMPARE(record.values.size(), 6250);
    QVERIFY(record.values.first() > record.values.last());

    r.recv.RecvStop();
    QVERIFY(stopped.wait(TestTimeoutMs()));
    QSignalSpy closed(&r.send, &Communication::ComClosed);
    r.units.Transmitter()->CloseConnection();
    QVERIFY(closed.wait(TestTimeoutMs()));
}

void tst_UnitCycle::programAcceptsOnlyLoopbackAddresses()
{
    QHostAddress address;
    QVERIFY(ParseLoopbackAddress("127.255.1.2", &address));
    QCOMPARE(address, QHostAddress("127.255.1.2"));
    for (const char* refused : {"128.0.0.1", "0.0.0.0", "::1", "localhost", ""})
        QVERIFY2(!ParseLoopbackAddress(refused, &address), refused);
    SimUnitPair units;
    const QHostAddress own(TestLoopback::Address(TestLoopback::UnitCycleTests, 5));
    for (const char* refused : {"0.0.0.0", "::1", "::ffff:127.0.0.1"})
        QVERIFY2(!units.Listen(QHostAddress(refused), own), refused);
}

QTEST_MAIN(tst_UnitCycle)
#include "tst_unitcycle.moc"
