#include "TowedPlan.h"

#include <algorithm>

TowedPlan TowedPlan::Make(double seconds, int skips, int silenceSeconds, int holdMs, int holdEvery)
{
    TowedPlan plan;
    plan.periods = int(seconds * RecordsPerSecond);
    plan.silentFrom = plan.periods / 3;
    plan.silentCount = std::clamp(silenceSeconds * RecordsPerSecond, 0,
                                  std::max(0, plan.periods - plan.silentFrom - 12 * RecordsPerSecond));
    plan.holdMs = holdMs;
    if (holdMs > 0 && holdEvery <= 0) {
        plan.holds[0] << plan.periods / 2;
    } else if (holdMs > 0) {
        for (int k = 1; k * holdEvery * RecordsPerSecond < plan.periods; ++k)
            plan.holds[(k - 1) % 2] << k * holdEvery * RecordsPerSecond;
    }
    // A skip keeps a second from a hold's start and two from its end: the
    // place of one inside a backlog cannot be told.
    const int holdPeriods = holdMs * RecordsPerSecond / 1000;
    const auto nearHold = [&](int period) {
        for (const QList<int>& holds : plan.holds) {
            for (int start : holds) {
                if (period >= start - RecordsPerSecond && period < start + holdPeriods + 2 * RecordsPerSecond)
                    return true;
            }
        }
        return false;
    };
    skips = std::clamp(skips, 0, plan.periods / 4);
    for (int k = 0; k < skips; ++k) {
        for (int link = 0; link < 2; ++link) {
            int period = int((k + (link == 0 ? 0.3 : 0.7)) * plan.periods / skips);
            while (nearHold(period))
                period += RecordsPerSecond;
            if (period < plan.periods)
                plan.skipped[link] << period;
        }
    }
    return plan;
}
