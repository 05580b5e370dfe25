#pragma once

#include <QList>

// What befalls the two links of a towed run at 100 records/s, by period:
// shared by the run against the simulated units and by the simulation of
// the pairing alone. Link 0 is the transmitter's, 1 the receiver's.
struct TowedPlan
{
    static constexpr int RecordsPerSecond = 100;

    int periods = 0;
    int lagMs[2] = {0, 0};
    // Each record up to this much later still, in order.
    int jitterMs[2] = {0, 0};
    QList<int> skipped[2];
    // The receiver sends nothing for silentCount periods from silentFrom on.
    int silentFrom = 0;
    int silentCount = 0;
    // The link passes nothing for holdMs from the record of each of these
    // periods on, then hands its backlog over `piece` records a write,
    // pieceMs apart (piece 0: at once).
    QList<int> holds[2];
    int holdMs = 0;
    int piece = 0;
    int pieceMs = 0;

    // seconds of towing; skips spread over the run and away from the
    // holds, never the same on both; holds every holdEvery seconds on the
    // two links by turns, the transmitter's first (0: one hold, halfway,
    // on the transmitter's link); the receiver silent for silenceSeconds
    // from a third of the run on.
    static TowedPlan Make(double seconds, int skips, int silenceSeconds, int holdMs, int holdEvery);
};
