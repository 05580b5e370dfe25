#pragma once

#include "acquisition/ZOLVA_Collector.h"
#include "tools/simunits/SimReceiverUnit.h"
#include "tools/simunits/SimTransmitterUnit.h"
#include "tools/simunits/SimUnitPair.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>

// A collector wired to a simulated transmitter and receiver on two loopback
// addresses of the calling test's own. The wire journal names every request
// as the units received it: "T1" is transmitter command 1, "R1001" the
// receiver's time-channel request.
class UnitsRig
{
public:
    SimUnitPair units;
    ZOLVA_Collector c;
    QSignalSpy uploads{&c, &ZOLVA_Collector::dataUpload};
    QSignalSpy saves{&c, &ZOLVA_Collector::dataSave};
    QSignalSpy texts{&c, &ZOLVA_Collector::statusConnectChanged};
    QStringList wire;
    QList<qint64> wireMs;
    bool listening = false;

    UnitsRig(const char* transmitter, const char* receiver, double timeScale = 0.01)
    {
        units.SetTimeScale(timeScale);
        listening = units.Listen(QHostAddress(QString::fromLatin1(transmitter)),
                                 QHostAddress(QString::fromLatin1(receiver)));
        c.setProperty("DeviceIP_Send", QString::fromLatin1(transmitter));
        c.setProperty("DeviceIP_Recv", QString::fromLatin1(receiver));
        c.SetWifiQuery([] { return -1; });
        clock.start();
        QObject::connect(units.Transmitter(), &SimFrameServer::requestReceived, &c,
                         [this](quint32 command) { journal(QStringLiteral("T%1").arg(command)); });
        QObject::connect(units.Receiver(), &SimFrameServer::requestReceived, &c,
                         [this](quint32 command) { journal(QStringLiteral("R%1").arg(command)); });
        c.Start();
    }

    bool in(const char* state) const { return c.isActive(QString::fromLatin1(state)); }
    bool waitFor(const char* state, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return in(state); }, ms);
    }
    bool waitForWire(const QString& request, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return wire.contains(request); }, ms);
    }
    QString text() const { return c.property("StatusConnect").toString(); }
    ZOLVA_Collector::ZOLVASampleStatus status() const
    {
        return c.property("SampleStatus").value<ZOLVA_Collector::ZOLVASampleStatus>();
    }
    ZOLVA_Data upload(int i) const { return uploads.at(i).at(0).value<ZOLVA_Data>(); }

    bool online()
    {
        if (!listening || !waitFor("DeviceWaitSet"))
            return false;
        emit c.onBtnConnect();
        return waitFor("SampleWaitParam");
    }

private:
    void journal(const QString& request)
    {
        wire << request;
        wireMs << clock.elapsed();
    }

    QElapsedTimer clock;
};
