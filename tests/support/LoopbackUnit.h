#pragma once

#include "devlink/ComDevice.h"
#include "devlink/Communication.h"
#include "tests/support/TestEnvironment.h"
#include "tools/simunits/SimFrameServer.h"

#include <QSignalSpy>

#include <type_traits>

// A unit link (a ComDevice or a Communication) and the simulated unit it
// talks to, on the given host of the test file's block, port 12345.
template <typename Link>
struct LoopbackUnit
{
    LoopbackUnit(TestLoopback::Block block, int host)
        : address(TestLoopback::Address(block, host))
        , listening(unit.Listen(address))
    {
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
        return up.wait(TestTimeoutMs()) && (accepted.count() > 0 || accepted.wait(TestTimeoutMs()));
    }

    static auto ConnectedSignal()
    {
        if constexpr (std::is_base_of<Communication, Link>::value)
            return &Communication::ComConnected;
        else
            return &ComDevice::handleConnected;
    }

    QHostAddress address;
    SimFrameServer unit;
    bool listening = false;
    Link link;
};
