#pragma once

#include "devlink/ComDevice.h"
#include "devlink/Communication.h"
#include "tools/simunits/SimFrameServer.h"

#include <QSignalSpy>

#include <type_traits>

// A unit link (a ComDevice or a Communication) and the simulated unit it
// talks to, on a loopback address of the calling test's own, port 12345.
template <typename Link>
struct LoopbackUnit
{
    explicit LoopbackUnit(const char* unitAddress)
        : address(QString::fromLatin1(unitAddress))
    {
        listening = unit.Listen(address);
    }

    // True once both ends have seen the connection. The link never goes to
    // an address its unit was refused, so a test cannot reach off this machine.
    bool Connect()
    {
        if (!listening)
            return false;
        QSignalSpy up(&link, ConnectedSignal());
        QSignalSpy accepted(&unit, &SimFrameServer::clientConnected);
        link.SetAddress({address.toString(), SimFrameServer::DefaultPort});
        link.Connect();
        return up.wait(5000) && (accepted.count() > 0 || accepted.wait(5000));
    }

    static auto ConnectedSignal()
    {
        if constexpr (std::is_base_of<Communication, Link>::value)
            return &Communication::ComConnected;
        else
            return &ComDevice::handleConnected;
    }

    QHostAddress address;
    bool listening = false;
    SimFrameServer unit;
    Link link;
};
