#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/iLibSend.h"
#include "tools/simunits/SimReceiverUnit.h"
#include "tools/simunits/SimTransmitterUnit.h"
#include "tools/simunits/SimUnitAddress.h"
#include "tools/simunits/SimUnitPair.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 5000;
constexpr qint64 kNow = 1700000000123;

// Both unit links against a simulated pair on two loopback addresses, with
// records 20 times faster than real time.
struct Bench
{
    SimUnitPair units;
    ILibRecv_VRX2208 recv;
    iLibSend send;

    bool Start(const QString& sendIp, const QString& recvIp)
    {
        units.SetTimeScale(0.05);
        recv.SetClock([] { return kNow; });
        if (!units.Listen(QHostAddress(sendIp), QHostAddress(recvIp)))
            return false;
        QSignalSpy recvUp(&recv, &Communication::ComConnected);
        QSignalSpy sendUp(&send, &Communication::ComConnected);
        recv.SetAddress({recvIp, 12345});
        send.SetAddress({sendIp, 12345});
        recv.Connect();
        send.Connect();
        return (recvUp.size() > 0 || recvUp.wait(kWait)) && (sendUp.size() > 0 || sendUp.wait(kWait));
    }

    // The collector's configuration sequence, each step after its reply.
    bool Configure(float fs, int periods, int continueMode, int sampleMode)
    {
        if (sampleMode == 0) {
            QSignalSpy reply(&recv, &ILibRecv_VRX2208::onRecvAutoChannel);
            st_ConfigAutoTimeChannel_VRX2208 request;
            request.ParamFs = fs;
            request.ChannelCount = 1250;
            recv.RecvConfig_AutoChannel(&request);
            if (!reply.wait(kWait))
                return false;
        }
        QSignalSpy recvReply(&recv, &ILibRecv_VRX2208::onRecvConfiged);
        st_RecvParam param;
        param.ParamFs = fs;
        param.ParamPeriod = periods;
        param.ContinueMode = continueMode;
        param.SampleMode = sampleMode;
        recv.RecvConfig(&param);
        if (!recvReply.wait(kWait))
            return false;
        QSignalSpy sendReply(&send, &iLibSend::TEM_Configed);
        st_TEMSendInfo info;
        info.ParamFs = fs;
        info.ParamPeriod = periods;
        info.ContinueMode = continueMode;
        send.TEM_Config(&info);
        return sendReply.wait(kWait);
    }

    bool StartUnits()
    {
        QSignalSpy reply(&send, &iLibSend::TEM_Strated);
        send.TEM_Strat();
        return reply.wait(kWait) && reply.at(0).at(0).toBool();
    }
};

} // namespace

class tst_UnitCycle : public QObject
{
    Q_OBJECT

private slots:
    void singleRecordCycle();
    void continuousRecordsUntilStop();
    void unitFaultSwitches();
    void notListeningRefusesConnections();
    void programAcceptsOnlyLoopbackAddresses();
};

void tst_UnitCycle::singleRecordCycle()
{
    Bench bench;
    QVERIFY(bench.Start("127.0.0.20", "127.0.0.21"));
    QSignalSpy recvData(&bench.recv, &ILibRecv_VRX2208::onRecvData);
    QSignalSpy sendData(&bench.send, &iLibSend::TEM_NewSendData);
    QSignalSpy monitor(&bench.send, &iLibSend::TEM_SendMonitor);

    QVERIFY(bench.Configure(25.0f, 16, 0, 0));
    QCOMPARE(bench.units.RecordDurationMs(), 32);
    QCOMPARE(bench.units.Receiver()->Gates().size(), 656);
    // The configuration went out stamped with the link's clock.
    QCOMPARE(bench.units.Receiver()->ReceivedPayloads().last().mid(72, 8),
             QByteArray::fromHex("7b68e5cf8b010000"));
    QCOMPARE(bench.units.Transmitter()->Config().ParamPeriod, 16);

    QVERIFY(bench.StartUnits());
    QVERIFY(recvData.wait(kWait));
    QTRY_COMPARE_WITH_TIMEOUT(monitor.size(), 2, kWait);
    QCOMPARE(sendData.size(), 1);

    // Both sides built the same gates: one decaying value per time channel.
    const auto record = recvData.at(0).at(0).value<st_RecvData_VRX2208>();
    QCOMPARE(record.TYPE, 1);
    QCOMPARE(record.StartTime, kNow);
    QCOMPARE(record.values.size(), 656);
    QVERIFY(record.values.first() > 0.01);
    QVERIFY(record.values.last() > 0.0 && record.values.last() < 1e-7);
    QVERIFY(qAbs(record.times.last() + record.widths.last() / 2 - 10000.0) < 1e-6);

    const auto waves = sendData.at(0).at(0).value<st_TEMSendData>();
    QCOMPARE(waves.SendFs, 25.0);
    QCOMPARE(waves.SendWave.size(), 500);
    QCOMPARE(waves.OffWave.size(), 400);
    QCOMPARE(monitor.at(1).at(0).value<st_TEMSendMonitor>().SendV, 48.0f);

    QVERIFY(!bench.units.IsRunning());
    QSignalSpy sendStopped(&bench.send, &iLibSend::TEM_Stoped);
    QSignalSpy recvStopped(&bench.recv, &ILibRecv_VRX2208::onRecvStop);
    bench.recv.RecvStop();
    bench.send.TEM_Stop();
    QVERIFY(recvStopped.wait(kWait));
    QVERIFY(sendStopped.size() == 1 || sendStopped.wait(kWait));
    QCOMPARE(recvData.size(), 1);
}

void tst_UnitCycle::continuousRecordsUntilStop()
{
    Bench bench;
    QVERIFY(bench.Start("127.0.0.22", "127.0.0.23"));
    QSignalSpy recvData(&bench.recv, &ILibRecv_VRX2208::onRecvData);
    QSignalSpy sendData(&bench.send, &iLibSend::TEM_NewSendData);
    QSignalSpy stopped(&bench.units, &SimUnitPair::stopped);

    QVERIFY(bench.Configure(100.0f, 4, 1, 1));
    QVERIFY(bench.StartUnits());
    QTRY_VERIFY_WITH_TIMEOUT(recvData.size() >= 3 && sendData.size() >= 3, kWait);
    QVERIFY(bench.units.IsRunning());

    // A quarter period at 625000 Hz, on the full-waveform time axis.
    const auto record = recvData.at(0).at(0).value<st_RecvData_VRX2208>();
    QCOMPARE(record.TYPE, 2);
    QCOMPARE(record.values.size(), 1562);
    QVERIFY(record.values.first() > record.values.last());

    bench.recv.RecvStop();
    QVERIFY(stopped.wait(kWait));
    QVERIFY(!bench.units.IsRunning());
}

void tst_UnitCycle::unitFaultSwitches()
{
    Bench bench;
    QVERIFY(bench.Start("127.0.0.24", "127.0.0.25"));
    QSignalSpy recvData(&bench.recv, &ILibRecv_VRX2208::onRecvData);
    QSignalSpy sendData(&bench.send, &iLibSend::TEM_NewSendData);
    QSignalSpy autoChannel(&bench.recv, &ILibRecv_VRX2208::onRecvAutoChannel);

    // A rejected time-channel request: both sides keep having no gates.
    bench.units.Receiver()->SetReplyStatusZero(true);
    QVERIFY(bench.Configure(25.0f, 16, 0, 0));
    QCOMPARE(autoChannel.at(0).at(0).toBool(), false);
    QVERIFY(bench.units.Receiver()->Gates().isEmpty());
    bench.units.Receiver()->SetReplyStatusZero(false);

    // Extra transmitter records and a late receiver record.
    QVERIFY(bench.Configure(25.0f, 16, 0, 1));
    bench.units.Transmitter()->SetExtraRecords(1);
    bench.units.Receiver()->SetLateMs(300);
    int recvAtDue = -1;
    connect(&bench.units, &SimUnitPair::recordSent, this, [&] { recvAtDue = recvData.size(); });
    QVERIFY(bench.StartUnits());
    QVERIFY(recvData.wait(kWait));
    QCOMPARE(recvAtDue, 0);
    QTRY_COMPARE_WITH_TIMEOUT(sendData.size(), 2, kWait);

    // A closed link reaches the protocol as ComClosed.
    QSignalSpy closed(&bench.send, &Communication::ComClosed);
    bench.units.Transmitter()->CloseConnection();
    QVERIFY(closed.wait(kWait));
}

void tst_UnitCycle::notListeningRefusesConnections()
{
    SimUnitPair units;
    QVERIFY(units.Listen(QHostAddress("127.0.0.26"), QHostAddress("127.0.0.27")));
    units.Receiver()->SetListening(false);

    QTcpSocket socket;
    QSignalSpy error(&socket, &QAbstractSocket::errorOccurred);
    socket.connectToHost(QHostAddress("127.0.0.27"), 12345);
    QVERIFY(error.wait(kWait));
    QCOMPARE(socket.error(), QAbstractSocket::ConnectionRefusedError);
}

void tst_UnitCycle::programAcceptsOnlyLoopbackAddresses()
{
    QHostAddress address;
    QVERIFY(ParseLoopbackAddress("127.0.0.200", &address));
    QCOMPARE(address, QHostAddress("127.0.0.200"));
    QVERIFY(ParseLoopbackAddress("127.255.1.2", &address));
    QVERIFY(!ParseLoopbackAddress("128.0.0.1", &address));
    QVERIFY(!ParseLoopbackAddress("0.0.0.0", &address));
    QVERIFY(!ParseLoopbackAddress("::1", &address));
    QVERIFY(!ParseLoopbackAddress("localhost", &address));
    QVERIFY(!ParseLoopbackAddress("", &address));

    SimUnitPair units;
    QVERIFY(!units.Listen(QHostAddress("0.0.0.0"), QHostAddress("127.0.0.28")));
}

QTEST_MAIN(tst_UnitCycle)
#include "tst_unitcycle.moc"
