#pragma once

#include "orm/Status.h"

#include <QDateTime>
#include <QVector>

class Data_Point;

// What a sounding file takes of one point: the values that GetSendI,
// GetOffTime, GetSendFs, GetStartTime, GetRecvData and GetRSD give. The
// used samples are read in one statement, all of them or none, into copies
// dropped at once, so that an export of a whole project neither reads a
// sample twice nor keeps its curves in memory, and writes nothing of a
// point whose samples were left out. The point's sample objects are left
// as they are; an unknown TYPE is reset to 0 as by GetRecvData.
class PointSounding
{
public:
    // On failure `sounding` holds nothing of the point.
    static orm::Status read(Data_Point& point, bool divideByCurrent, PointSounding* sounding);

    double sendI = 0.0;   // A, mean of the used samples
    double offTime = 0.0; // µs, mean of the used samples
    double sendFs = 0.0;  // Hz, of the first sample
    QDateTime start;      // of the first sample; null without one
    QVector<double> values;
    QVector<double> times;  // µs
    QVector<double> spread; // percent, one entry per channel of values
};
