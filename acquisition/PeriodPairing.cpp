#include "acquisition/PeriodPairing.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double SilenceFloorMs = 2000.0;
// TCP may hold a link back this long and then hand everything over: a
// Wi-Fi link retransmitting, backing off twice at each try.
constexpr double BacklogMs = 8000.0;
// The other link's reads that tell a link is silent: after a stall of this
// thread the first of them may be read before the silent link's own.
constexpr int QuietReads = 2;
// Periods apart two links may fall behind when this thread is held: each
// with its next record due, late by jitter.
constexpr double HeldTogether = 2.0;
// Drop times are told in ms of the read stamps, which fit well within.
constexpr double LatestMs = 4e18;

}

PeriodPairing::PeriodPairing(QObject* parent)
    : QObject(parent)
{
}

void PeriodPairing::Start(double periodMs)
{
    period = periodMs;
    Clear();
    dropCount = 0;
}

void PeriodPairing::Clear()
{
    sends.clear();
    recvs.clear();
    for (Link* link : {&send, &recv}) {
        const bool wasSilent = link->silent;
        *link = Link{link->transmitter, {}};
        link->rhythm.Start(period);
        if (wasSilent)
            emit silenceChanged(link->transmitter, false);
    }
    started = false;
}

void PeriodPairing::Add(const st_TEMSendData& record)
{
    sends.push_back(record);
    arrive(send, recv, record.ArrivalMs);
}

void PeriodPairing::Add(const st_RecvData_VRX2208& record)
{
    recvs.push_back(record);
    arrive(recv, send, record.ArrivalMs);
}

void PeriodPairing::Finish()
{
    // Both links late from about the same moment to the end: this thread
    // was held, far likelier than both units skipping then.
    const bool skips = !(std::abs(send.rhythm.BehindSince() - recv.rhythm.BehindSince()) <= HeldTogether * period);
    send.rhythm.Resolve(skips);
    recv.rhythm.Resolve(skips);
    pair();
    while (!sends.empty())
        drop(send);
    while (!recvs.empty())
        drop(recv);
    Clear();
}

int PeriodPairing::Dropped() const
{
    return dropCount;
}

bool PeriodPairing::Silent(bool transmitter) const
{
    return transmitter ? send.silent : recv.silent;
}

double PeriodPairing::PartnerWaitMs(bool transmitter) const
{
    return partnerWaitMs(transmitter ? send : recv);
}

double PeriodPairing::silenceMs(const Link& link) const
{
    if (!LinkRhythm::Judges(period))
        return std::numeric_limits<double>::infinity();
    return std::max(SilenceFloorMs, link.rhythm.QuietPeriods() * period);
}

double PeriodPairing::partnerWaitMs(const Link& link) const
{
    return std::max(silenceMs(link), BacklogMs);
}

void PeriodPairing::arrive(Link& link, Link& other, qint64 stamp)
{
    if (!started) {
        started = true;
        firstStamp = stamp;
    }
    const bool newRead = !link.rhythm.Delivered() || stamp > link.rhythm.LastStamp();
    const bool resumed = link.silent;
    if (resumed && link.rhythm.Delivered())
        link.rhythm.SetBase(other.rhythm.Base() + link.offset);
    link.silent = false;
    link.quietReads = 0;
    other.rhythm.Settle(stamp);
    link.rhythm.Add(stamp);

    bool fell = false;
    if (newRead && !other.silent) {
        const qint64 quietSince = other.rhythm.Delivered() ? other.rhythm.LastStamp() : firstStamp;
        if (double(stamp) >= double(quietSince) + silenceMs(other) && ++other.quietReads >= QuietReads) {
            fallSilent(other, link);
            fell = true;
        }
    }
    if (resumed)
        emit silenceChanged(link.transmitter, false);
    if (fell)
        emit silenceChanged(other.transmitter, true);
    pair();
}

void PeriodPairing::fallSilent(Link& quiet, Link& live)
{
    quiet.rhythm.Resolve(true);
    quiet.offset = quiet.rhythm.Delivered() ? quiet.rhythm.Base() - live.rhythm.Base() : 0.0;
    quiet.silent = true;
}

// Each pair leaves the queues before it is handed on: a receiver that adds
// records meanwhile (a dialog spinning the event loop) pairs the next ones
// in their order.
void PeriodPairing::pair()
{
    for (;;) {
        if (!sends.empty() && !recvs.empty()) {
            LinkRhythm& s = send.rhythm;
            LinkRhythm& r = recv.rhythm;
            if (s.HeadConfirmed() && r.HeadConfirmed() && s.HeadIndex() == r.HeadIndex()) {
                const st_TEMSendData sendRecord = std::move(sends.front());
                const st_RecvData_VRX2208 recvRecord = std::move(recvs.front());
                sends.pop_front();
                recvs.pop_front();
                s.TakeHead();
                r.TakeHead();
                emit paired(sendRecord, recvRecord);
            } else if (s.HeadConfirmed() && s.HeadIndex() < r.LowestIndex()) {
                drop(send);
            } else if (r.HeadConfirmed() && r.HeadIndex() < s.LowestIndex()) {
                drop(recv);
            } else {
                return;
            }
        } else if (!(sends.empty() ? !recvs.empty() && dropDue(recv, send) : dropDue(send, recv))) {
            return;
        }
    }
}

// The head of the only side waiting, against a link with nothing waiting.
bool PeriodPairing::dropDue(Link& live, Link& quiet)
{
    if (!live.rhythm.HeadConfirmed())
        return false;
    const qint64 index = live.rhythm.HeadIndex();
    const bool passed = index < quiet.rhythm.LowestIndex();
    const bool due = quiet.silent
        && live.rhythm.LineMs(index) + quiet.offset + partnerWaitMs(quiet) <= double(live.rhythm.LastStamp());
    if (!passed && !due)
        return false;
    drop(live);
    return true;
}

void PeriodPairing::drop(Link& link)
{
    const qint64 at = qRound64(std::clamp(link.rhythm.LineMs(link.rhythm.HeadIndex()), -LatestMs, LatestMs));
    link.rhythm.TakeHead();
    if (link.transmitter)
        sends.pop_front();
    else
        recvs.pop_front();
    emit dropped(link.transmitter, ++dropCount, at);
}
