#pragma once

#include "acquisition/ZOLVA_Collector.h"
#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/iLibSend.h"
#include "tests/support/TestEnvironment.h"
#include "tools/simunits/SimReceiverUnit.h"
#include "tools/simunits/SimTransmitterUnit.h"
#include "tools/simunits/SimUnitPair.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QState>
#include <QTest>

// A collector wired to a simulated transmitter and receiver on two
// consecutive hosts of the test file's block. The wire journal names each
// request as the units received it: "T1" is transmitter command 1, "R1001"
// the receiver's time-channel request. With the Quiet time scale the units
// never finish a record during a test, and the test feeds records itself.
struct AcqUnitsRig
{
    static constexpr double Quiet = 1e3;

    SimUnitPair units;
    ZOLVA_Collector c;
    QSignalSpy uploads{&c, &ZOLVA_Collector::dataUpload};
    QSignalSpy saves{&c, &ZOLVA_Collector::dataSave};
    QStringList wire;
    QList<qint64> wireMs;
    QElapsedTimer clock;
    bool listening;

    // The transmitter on host, the receiver on host + 1.
    AcqUnitsRig(TestLoopback::Block block, int host, double timeScale = 0.01)
    {
        const QString transmitter = TestLoopback::Address(block, host),
                      receiver = TestLoopback::Address(block, host + 1);
        units.SetTimeScale(timeScale);
        listening = units.Listen(QHostAddress(transmitter), QHostAddress(receiver));
        c.setProperty("DeviceIP_Send", transmitter);
        c.setProperty("DeviceIP_Recv", receiver);
        c.SetWifiQuery([] { return -1; });
        clock.start();
        const auto journal = [this](SimFrameServer* unit, QChar tag) {
            QObject::connect(unit, &SimFrameServer::requestReceived, &c, [this, tag](quint32 command) {
                wire << tag + QString::number(command);
                wireMs << clock.elapsed();
            });
        };
        journal(units.Transmitter(), QLatin1Char('T'));
        journal(units.Receiver(), QLatin1Char('R'));
        c.Start();
    }

    bool in(const char* state) const { return c.isActive(QString::fromLatin1(state)); }
    bool waitFor(const char* state, int ms = TestTimeoutMs())
    {
        return QTest::qWaitFor([&] { return in(state); }, ms);
    }
    bool sent(const char* request)
    {
        return QTest::qWaitFor([&] { return wire.contains(QString::fromLatin1(request)); }, TestTimeoutMs());
    }
    QString text() const { return c.property("StatusConnect").toString(); }
    int prop(const char* name) const { return c.property(name).toInt(); }
    ZOLVA_Data upload(int i) const { return uploads.at(i).at(0).value<ZOLVA_Data>(); }
    bool online()
    {
        if (!listening || !waitFor(CollectorState::DeviceWaitSet))
            return false;
        emit c.onBtnConnect();
        return waitFor(CollectorState::SampleWaitParam);
    }
    bool started()
    {
        emit c.onBtnSampleStart();
        return waitFor(CollectorState::SampleDataUpload);
    }
    QState* state(const char* name) const { return c.state(QString::fromLatin1(name)); }

    // Records as the links hand them on, told apart by their base frequency.
    void feed(const QList<double>& sends, const QList<double>& recvs)
    {
        for (double tag : sends) {
            st_TEMSendData d;
            d.SendFs = tag;
            emit c.findChild<iLibSend*>()->TEM_NewSendData(d);
        }
        for (double tag : recvs) {
            st_RecvData_VRX2208 d;
            d.SendFs = tag;
            emit c.findChild<ILibRecv_VRX2208*>()->onRecvData(d);
        }
    }
};
