// zolva-simunits: the simulated transmitter and receiver units on two
// loopback addresses, so that the field program can be run against them on
// one machine. A test and demonstration aid, not part of the field program.

#include "tools/simunits/SimReceiverUnit.h"
#include "tools/simunits/SimTransmitterUnit.h"
#include "tools/simunits/SimUnitAddress.h"
#include "tools/simunits/SimUnitPair.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

QTextStream& Out()
{
    static QTextStream out(stdout);
    return out;
}

QTextStream& Err()
{
    static QTextStream err(stderr);
    return err;
}

void LogRequests(SimFrameServer* unit, const QString& name)
{
    QObject::connect(unit, &SimFrameServer::clientConnected,
                     [name] { Out() << name << ": field program connected" << Qt::endl; });
    QObject::connect(unit, &SimFrameServer::clientDisconnected,
                     [name] { Out() << name << ": field program disconnected" << Qt::endl; });
    QObject::connect(unit, &SimFrameServer::requestReceived, [name](quint32 command, const QByteArray& payload) {
        Out() << name << ": command " << command << " (" << payload.size() << " payload bytes)" << Qt::endl;
    });
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 2) {
        Err() << "usage: zolva-simunits TRANSMITTER-ADDRESS RECEIVER-ADDRESS" << Qt::endl
              << "  both addresses in 127.0.0.0/8, e.g. zolva-simunits 127.0.0.200 127.0.0.201" << Qt::endl;
        return 2;
    }

    QHostAddress transmitterAddress;
    QHostAddress receiverAddress;
    for (int i = 0; i < 2; ++i) {
        if (!ParseLoopbackAddress(args[i], i == 0 ? &transmitterAddress : &receiverAddress)) {
            Err() << "refused: " << args[i] << " is not an IPv4 address in 127.0.0.0/8" << Qt::endl;
            return 2;
        }
    }
    if (transmitterAddress == receiverAddress) {
        Err() << "refused: the two units need two different addresses" << Qt::endl;
        return 2;
    }

    SimUnitPair units;
    if (!units.Listen(transmitterAddress, receiverAddress)) {
        Err() << "cannot listen on port 12345 of " << args[0] << " and " << args[1] << Qt::endl;
        return 1;
    }
    LogRequests(units.Transmitter(), QStringLiteral("transmitter"));
    LogRequests(units.Receiver(), QStringLiteral("receiver"));
    QObject::connect(&units, &SimUnitPair::started, [&units] {
        Out() << "started: one record every " << units.RecordDurationMs() << " ms" << Qt::endl;
    });
    QObject::connect(&units, &SimUnitPair::recordSent,
                     [](int index) { Out() << "record " << index + 1 << " uploaded" << Qt::endl; });
    QObject::connect(&units, &SimUnitPair::stopped, [] { Out() << "stopped" << Qt::endl; });

    Out() << "transmitter unit on " << transmitterAddress.toString() << ":12345, receiver unit on "
          << receiverAddress.toString() << ":12345" << Qt::endl;
    return app.exec();
}
