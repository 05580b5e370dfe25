#include "PairingAlone.h"

#include "acquisition/PeriodPairing.h"
#include "tools/simunits/SimBacklogPieces.h"

#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <vector>

namespace {

constexpr double PeriodMs = 1000.0 / TowedPlan::RecordsPerSecond;
constexpr double MinuteMs = 60000.0;

struct Read
{
    qint64 stamp;
    int period;
};

// One link's reads in their order: each record late by the link's lag and
// jitter, never before the one before it, held and handed over in pieces
// as the plan says.
class LinkReads
{
public:
    LinkReads(const TowedPlan& plan, int link)
        : plan(plan)
        , link(link)
        , skipped(plan.skipped[link].begin(), plan.skipped[link].end())
        , random(quint32(link + 1))
        , pieces(plan.piece, plan.pieceMs)
    {
    }

    bool Next(Read* read)
    {
        for (; n < plan.periods; ++n) {
            const double jitter = random.bounded(plan.jitterMs[link] + 1);
            const bool silent = link == 1 && n >= plan.silentFrom && n < plan.silentFrom + plan.silentCount;
            if (skipped.contains(n) || silent)
                continue;
            double at = previous = std::max(previous, (n + 1) * PeriodMs + plan.lagMs[link] + jitter);
            const QList<int>& holds = plan.holds[link];
            while (hold < holds.size() && at >= holdEnd(holds[hold]))
                ++hold;
            const bool held = hold < holds.size() && at >= (holds[hold] + 1) * PeriodMs;
            if (held)
                at = holdEnd(holds[hold]);
            *read = {qint64(std::floor(pieces.Read(at, held))), n++};
            return true;
        }
        return false;
    }

private:
    double holdEnd(int period) const { return (period + 1) * PeriodMs + plan.holdMs; }

    const TowedPlan& plan;
    const int link;
    const QSet<int> skipped;
    QRandomGenerator random;
    int n = 0;
    double previous = 0.0;
    int hold = 0;
    SimBacklogPieces pieces;
};

double threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

}

PairingAlone PairingAlone::Run(const TowedPlan& plan)
{
    PairingAlone figures;
    PeriodPairing pairing;
    QObject::connect(&pairing, &PeriodPairing::paired, [&](const st_TEMSendData& s, const st_RecvData_VRX2208& r) {
        ++figures.pairs;
        figures.mispaired += s.SendFs != r.SendFs ? 1 : 0;
    });
    pairing.Start(PeriodMs);

    LinkReads links[2] = {{plan, 0}, {plan, 1}};
    Read ahead[2];
    bool more[2] = {links[0].Next(&ahead[0]), links[1].Next(&ahead[1])};
    const qint64 minutes = qint64(std::ceil(plan.periods * PeriodMs / MinuteMs)) + 1;
    // A minute's reads in the order they come, made before its time is taken.
    std::vector<std::pair<int, Read>> minute;
    double totalNs = 0.0;
    for (qint64 m = 1; m <= minutes; ++m) {
        minute.clear();
        while (more[0] || more[1]) {
            const int link = !more[0] || (more[1] && ahead[1].stamp < ahead[0].stamp) ? 1 : 0;
            if (double(ahead[link].stamp) >= m * MinuteMs && m < minutes)
                break;
            minute.emplace_back(link, ahead[link]);
            more[link] = links[link].Next(&ahead[link]);
        }
        const double begin = threadCpuNs();
        for (const auto& [link, read] : minute) {
            if (link == 0) {
                st_TEMSendData record;
                record.SendFs = read.period;
                record.ArrivalMs = read.stamp;
                pairing.Add(record);
            } else {
                st_RecvData_VRX2208 record;
                record.SendFs = read.period;
                record.ArrivalMs = read.stamp;
                pairing.Add(record);
            }
        }
        const double ns = threadCpuNs() - begin;
        totalNs += ns;
        figures.records += qint64(minute.size());
        const double perRecord = minute.empty() ? 0.0 : ns / double(minute.size());
        if (m == 1)
            figures.firstMinuteNs = perRecord;
        if (m == minutes - 1)
            figures.lastMinuteNs = perRecord;
    }
    pairing.Finish();
    figures.dropped = pairing.Dropped();
    figures.wholeRunNs = figures.records > 0 ? totalNs / double(figures.records) : 0.0;
    const QSet<int> skipped[2] = {{plan.skipped[0].begin(), plan.skipped[0].end()},
                                  {plan.skipped[1].begin(), plan.skipped[1].end()}};
    for (int n = 0; n < plan.periods; ++n) {
        const bool silent = n >= plan.silentFrom && n < plan.silentFrom + plan.silentCount;
        figures.oneSided += skipped[0].contains(n) != (skipped[1].contains(n) || silent) ? 1 : 0;
    }
    return figures;
}
