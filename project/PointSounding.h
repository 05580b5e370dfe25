#pragma once

#include <QDateTime>
#include <QVector>

class Data_Point;

// What a sounding file takes of one point: the values that GetSendI,
// GetOffTime, GetSendFs, GetStartTime, GetRecvData and GetRSD give, read
// with one fetch per used sample into a copy that is dropped at once, so
// that an export of a whole project neither reads a sample three times nor
// keeps its curves in memory. The point's sample objects are left as they
// are; an unknown TYPE is reset to 0 as by GetRecvData.
class PointSounding
{
public:
    static PointSounding read(Data_Point& point, bool divideByCurrent);

    double sendI = 0.0;   // A, mean of the used samples
    double offTime = 0.0; // µs, mean of the used samples
    double sendFs = 0.0;  // Hz, of the first sample
    QDateTime start;      // of the first sample; null without one
    QVector<double> values;
    QVector<double> times;  // µs
    QVector<double> spread; // percent, one entry per channel of values
};
