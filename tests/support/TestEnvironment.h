#pragma once

#include <QString>

// Each test file that listens or connects owns one block of loopback
// addresses, 127.<net>.<block>.1 to .254, so files running side by side under
// `ctest -j` never meet. Within its block a file hands out hosts itself: a
// transmitter and receiver pair takes two consecutive ones, and an address
// where nothing may listen is a host no case of the file uses. A new file
// takes the next free number of its folder's range; numbers never change.
namespace TestLoopback {

enum Block : int {
    // tests/devlink: 10 to 29
    ComDeviceTests = 10,
    CommunicationTests = 11,
    // tests/acquisition: 30 to 49
    CollectorConnectionTests = 30,
    CollectorAcquisitionTests = 31,
    // tests/project: 50 to 69
    // tests/ui: 70 to 89
    MainWindowTests = 70,
    WindowAcquisitionTests = 71,
    StatusUseTests = 72,
    WindowBacklogTests = 74,
    // end-to-end tests: 90 to 109
    WorkflowTests = 90,
    // tests/faults: 110 to 129
    StoringFaultTests = 110,
    HeldFileTests = 111,
};

// "127.<net>.<block>.<host>"; host 1 to 254. <net> is ZOLVA_TEST_LOOPBACK_NET
// (1 to 254, default 0), so that checkouts testing side by side on one
// machine can keep apart as well.
QString Address(Block block, int host);

}

// The bound of every wait: 5000 ms times ZOLVA_TEST_TIMEOUT_FACTOR when that
// is set (e.g. 3 on a slow machine). Tests wait for an event with this bound
// and fail when it runs out, never a fixed time.
int TestTimeoutMs();
