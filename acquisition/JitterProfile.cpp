#include "acquisition/JitterProfile.h"

#include <algorithm>
#include <cmath>

namespace {

// About the last 500 reads count.
constexpr double Keep = 1.0 - 1.0 / 512.0;
constexpr double BinsPerPeriod = 8.0;
constexpr double PriorLate = 0.7;
constexpr double PriorReads = 32.0;
// A tenth of a period before the line costs as much as a rare lateness.
constexpr double BeforeLine = 40.0;
// Weights below this count for nothing beside a bin's half read, and would
// sink into subnormal numbers within hours, each decay then many times
// slower.
constexpr double Forgotten = 1e-30;

double decayed(double weight)
{
    weight *= Keep;
    return weight < Forgotten ? 0.0 : weight;
}

}

int JitterProfile::bin(double late)
{
    // Also for NaN.
    if (!(late > 0.0))
        return 0;
    return late >= Bins / BinsPerPeriod ? Bins - 1 : int(late * BinsPerPeriod);
}

void JitterProfile::Add(double late, int records)
{
    for (double& weight : bins)
        weight = decayed(weight);
    bins[bin(late)] += 1.0;
    total = total * Keep + 1.0;
    offLine = decayed(offLine) + (late >= OnLine ? 1.0 : 0.0);
    spread = decayed(spread) + double(std::max(records, 1) - 1);
}

int JitterProfile::ReadsToConclude() const
{
    // Until reads are known, as late as two records of jitter make them;
    // runs of late reads are taken as independent, which in-order delivery
    // strains: hence the small odds.
    const double late = (offLine + PriorLate * PriorReads) / (total + PriorReads);
    return std::clamp(int(std::ceil(std::log(1e-9) / std::log(late))), 6, 64);
}

double JitterProfile::Cost(double late) const
{
    const double lineCost = -std::log((bins[bin(late)] + 0.5) / (total + 0.5 * Bins));
    return late < 0.0 ? lineCost - late * BeforeLine : lineCost;
}

double JitterProfile::High() const
{
    double above = 0.0;
    for (int i = Bins - 1; i > 0; --i) {
        above += bins[i];
        if (above > total / 200.0)
            return (i + 1) / BinsPerPeriod;
    }
    return 1.0 / BinsPerPeriod;
}

double JitterProfile::Spread() const
{
    return total > 0.0 ? spread / total : 0.0;
}
