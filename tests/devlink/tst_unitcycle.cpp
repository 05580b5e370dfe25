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

// Both unit links against a simulated pair, with records 20 times faster
// than real time.
struct Rig
{
    SimUnitPair units;
    ILibRecv_VRX2208 recv;
    iLibSend send;
    QSignalSpy recvData{&recv, &ILibRecv_VRX2208::onRecvData};
    QSignalSpy sendData{&send, &iLibSend::TEM_NewSendData};

    bool Start()
    {
        const QString sendIp = TestLoopback::Address(TestLoopback::UnitCycleTests, 1);
        const QString recvIp = TestLoopback::Address(TestLoopback::UnitCycleTests, 2);
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

    // The collector's configuration sequence for one gated record at 25 Hz,
    // each step after its reply, then the start.
    bool ConfigureAndStart()
    {
        QSignalSpy autoReply(&recv, &ILibRecv_VRX2208::onRecvAutoChannel);
        QSignalSpy recvReply(&recv, &ILibRecv_VRX2208::onRecvConfiged);
        QSignalSpy sendReply(&send, &iLibSend::TEM_Configed);
        QSignalSpy started(&send, &iLibSend::TEM_Strated);
        st_ConfigAutoTimeChannel_VRX2208 request{25.0f, 1250};
        st_RecvParam param{25.0f, 16, 0, 0, 0, 0};
        st_TEMSendInfo info{25.0f, 16, {{1, 1}}, 0, 0};
        recv.RecvConfig_AutoChannel(&request);
        if (!autoReply.wait(TestTimeoutMs()))
            return false;
        recv.RecvConfig(&param);
        if (!recvReply.wait(TestTimeoutMs()))
            return false;
        send.TEM_Config(&info);
        if (!sendReply.wait(TestTimeoutMs()))
            return false;
        send.TEM_Strat();
        return started.wait(TestTimeoutMs()) && started.at(0).at(0).toBool();
    }
};

} // namespace

class tst_UnitCycle : public QObject
{
    Q_OBJECT

private slots:
    void singleRecordCycle();
    void programAcceptsOnlyLoopbackAddresses();
};

// Both links through a whole record: configuration stamped with the link's
// clock, a start, the transmitter's waveform and monitor reports and the
// receiver's gated upload read on the gates of the time-channel reply.
void tst_UnitCycle::singleRecordCycle()
{
    Rig r;
    QVERIFY(r.Start());
    QSignalSpy monitor(&r.send, &iLibSend::TEM_SendMonitor);
    QVERIFY(r.ConfigureAndStart());
    QCOMPARE(r.units.Receiver()->Param().SendTime, kNow);
    QTRY_VERIFY_WITH_TIMEOUT(r.recvData.size() == 1 && monitor.size() == 2, TestTimeoutMs());
    QCOMPARE(r.sendData.size(), 1);
    const auto record = r.recvData.at(0).at(0).value<st_RecvData_VRX2208>();
    QCOMPARE(record.TYPE, 1);
    QCOMPARE(record.values.size(), 656);
    QVERIFY(record.values.first() > record.values.last());
    QVERIFY(qAbs(record.times.last() + record.widths.last() / 2 - 10000.0) < 1e-6);

    QSignalSpy sendStopped(&r.send, &iLibSend::TEM_Stoped);
    QSignalSpy recvStopped(&r.recv, &ILibRecv_VRX2208::onRecvStop);
    r.recv.RecvStop();
    r.send.TEM_Stop();
    QVERIFY(recvStopped.wait(TestTimeoutMs()));
    QVERIFY(sendStopped.size() == 1 || sendStopped.wait(TestTimeoutMs()));
    QCOMPARE(r.recvData.size(), 1);
}

// The simulated units never serve, and so never draw a link to, an address
// off this machine.
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
