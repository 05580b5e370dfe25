// Towed pairing fed any period, any stamps and any grouping of records into
// reads, with stops between: nothing crashes, at every stop each record fed
// has come out once, paired or dropped (records = 2 x pairs + drops), each
// link's records pair in the order they came, and a silence is told on and
// off in turn.
//
// Input: f64 period in ms, then reads: u8 head (bit 0: the receiver's link;
// bits 1-5: the records of the read less one; bit 6: an i64 stamp follows,
// else an i16 step from the last stamp; bit 7: towing stops after the read).

#include "acquisition/PeriodPairing.h"

#include "FuzzReader.h"

#include <cstdint>
#include <limits>

namespace {

qint64 stepped(qint64 stamp, qint16 step)
{
    if (step > 0 && stamp > std::numeric_limits<qint64>::max() - step)
        return std::numeric_limits<qint64>::max();
    if (step < 0 && stamp < std::numeric_limits<qint64>::min() - step)
        return std::numeric_limits<qint64>::min();
    return stamp + step;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReader input(data, size);
    PeriodPairing pairing;
    pairing.Start(input.Take<double>());

    qint64 records = 0;
    qint64 pairs = 0;
    double lastPaired[2] = {-1.0, -1.0};
    bool silent[2] = {false, false};
    QObject::connect(&pairing, &PeriodPairing::paired,
                     [&](const st_TEMSendData& send, const st_RecvData_VRX2208& recv) {
                         Require(send.SendFs > lastPaired[0] && recv.SendFs > lastPaired[1]);
                         lastPaired[0] = send.SendFs;
                         lastPaired[1] = recv.SendFs;
                         ++pairs;
                     });
    QObject::connect(&pairing, &PeriodPairing::dropped,
                     [&](bool, int total, qint64) { Require(total == pairing.Dropped()); });
    QObject::connect(&pairing, &PeriodPairing::silenceChanged, [&](bool transmitter, bool on) {
        Require(silent[transmitter] != on && pairing.Silent(transmitter) == on);
        silent[transmitter] = on;
    });
    const auto stop = [&] {
        pairing.Finish();
        Require(records == 2 * pairs + pairing.Dropped());
        Require(!silent[0] && !silent[1]);
    };

    qint64 stamp = 0;
    // Records numbered in their order on each link.
    double next[2] = {0.0, 0.0};
    while (!input.AtEnd()) {
        const quint8 head = input.Take<quint8>();
        const bool receiver = head & 1;
        stamp = head & 0x40 ? input.Take<qint64>() : stepped(stamp, input.Take<qint16>());
        for (int k = 0; k <= (head >> 1 & 0x1f); ++k) {
            ++records;
            if (receiver) {
                st_RecvData_VRX2208 record;
                record.SendFs = next[1]++;
                record.ArrivalMs = stamp;
                pairing.Add(record);
            } else {
                st_TEMSendData record;
                record.SendFs = next[0]++;
                record.ArrivalMs = stamp;
                pairing.Add(record);
            }
        }
        if (head & 0x80)
            stop();
    }
    stop();
    return 0;
}
