#pragma once

#include "TowedPlan.h"

#include <QtGlobal>

// The towed pairing alone (PeriodPairing), fed the read stamps the plan
// gives its links, hours of records in seconds: what it pairs and drops,
// and its CPU time per record over the first and the last simulated minute.
struct PairingAlone
{
    qint64 records = 0;
    qint64 pairs = 0;
    qint64 mispaired = 0;
    qint64 dropped = 0;
    // Periods that only one unit sent a record of.
    qint64 oneSided = 0;
    double firstMinuteNs = 0.0;
    double lastMinuteNs = 0.0;
    double wholeRunNs = 0.0;

    static PairingAlone Run(const TowedPlan& plan);
};
