#pragma once

#include <QString>

// One environment for every test that talks over loopback or waits.
//
// Addresses. Each test file that listens or connects owns one block of
// loopback addresses, 127.0.<block>.1 to 127.0.<block>.254, named in the
// table below, so files running side by side under `ctest -j` never meet.
// Within its block a file hands out host numbers itself: each test case (or
// data row that runs a unit) takes hosts of its own, a transmitter and
// receiver pair two consecutive ones, and an address where nothing may
// listen is a host no case of the file uses.
//
// To add a test file: give it a name here with the next free number of its
// folder's range. Numbers never change once given.
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
    // end-to-end tests: 90 to 109
    WorkflowTests = 90,
    // tests/faults: 110 to 129
    StoringFaultTests = 110,
};

// "127.0.<block>.<host>"; host 1 to 254.
QString Address(Block block, int host);

}

// The bound of every wait for the network, a unit or a state: 5000 ms,
// multiplied by the number in the environment variable
// ZOLVA_TEST_TIMEOUT_FACTOR when it is set (for example 3 on a slow CI
// machine). A test never waits a fixed time; it waits for an event with
// this bound and fails when it runs out.
int TestTimeoutMs();
