#include "acquisition/PeriodPairing.h"

#include <QMetaObject>

#include <algorithm>
#include <cstdlib>

namespace {

// Records of one link read by `time`; a link's stamps never decrease.
template <class Record>
int readBy(const QList<Record>& records, qint64 time)
{
    return int(std::find_if(records.begin(), records.end(), [time](const Record& r) { return r.ArrivalMs > time; })
               - records.begin());
}

}

PeriodPairing::PeriodPairing(QObject* parent)
    : QObject(parent)
{
}

void PeriodPairing::Rhythm::Note(qint64 stamp)
{
    previous = last;
    last = stamp;
}

void PeriodPairing::Start(int ms)
{
    Clear();
    sendRhythm = {};
    recvRhythm = {};
    recordMs = ms;
    tolerance = (recordMs + 1) / 2;
    dropCount = 0;
}

void PeriodPairing::Clear()
{
    sends.clear();
    recvs.clear();
}

void PeriodPairing::Add(const st_TEMSendData& send)
{
    sends.append(send);
    sendRhythm.Note(send.ArrivalMs);
    Pair(false);
}

void PeriodPairing::Add(const st_RecvData_VRX2208& recv)
{
    recvs.append(recv);
    recvRhythm.Note(recv.ArrivalMs);
    Pair(false);
}

int PeriodPairing::Dropped() const
{
    return dropCount;
}

// Each pair leaves the queues before it is handed on: a receiver that adds
// records meanwhile (a dialog spinning the event loop) pairs the next ones
// in their order.
void PeriodPairing::Pair(bool settle)
{
    while (!sends.isEmpty() && !recvs.isEmpty()) {
        const qint64 send = sends.first().ArrivalMs;
        const qint64 recv = recvs.first().ArrivalMs;
        if (std::abs(send - recv) > tolerance) {
            if (!settle) {
                PostSettle();
                return;
            }
            const bool transmitterOlder = send < recv;
            const Verdict verdict = transmitterOlder ? Judge(sends, recvs) : Judge(recvs, sends);
            if (verdict == Verdict::Wait)
                return;
            if (verdict == Verdict::Drop) {
                if (transmitterOlder)
                    sends.removeFirst();
                else
                    recvs.removeFirst();
                emit dropped(transmitterOlder, ++dropCount);
                continue;
            }
        }
        const st_TEMSendData s = sends.takeFirst();
        const st_RecvData_VRX2208 r = recvs.takeFirst();
        emit paired(s, r);
    }
}

// Records of one read reach us one by one; judged before the last of them,
// a burst would count short.
void PeriodPairing::PostSettle()
{
    if (settlePosted)
        return;
    settlePosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            settlePosted = false;
            Pair(true);
        },
        Qt::QueuedConnection);
}

bool PeriodPairing::Steady(const Rhythm& rhythm) const
{
    return rhythm.last - rhythm.previous >= recordMs - tolerance;
}

template <class Older, class Younger>
PeriodPairing::Verdict PeriodPairing::Judge(const QList<Older>& older, const QList<Younger>& younger) const
{
    if (!Steady(sendRhythm) || !Steady(recvRhythm))
        return Verdict::Keep;
    // Until the older head's link is read again, its partner may still be
    // on its way.
    if (older.last().ArrivalMs < younger.first().ArrivalMs - tolerance)
        return Verdict::Wait;
    const qint64 bothRead = std::min(older.last().ArrivalMs, younger.last().ArrivalMs) + tolerance;
    return readBy(older, bothRead) > readBy(younger, bothRead) ? Verdict::Drop : Verdict::Keep;
}
