#include "tools/simunits/SimPeriodReads.h"

#include <QtMath>

#include <algorithm>
#include <limits>

int SimPeriodReads::Tag(const st_TEMSendData& record)
{
    return qRound(record.SendWave.value(0, -1.0));
}

int SimPeriodReads::Tag(const st_RecvData_VRX2208& record)
{
    return qRound(record.values.value(0, -1.0));
}

bool SimPeriodReads::Contains(int period) const
{
    return reads.contains(period);
}

qint64 SimPeriodReads::Stamp(int period) const
{
    return reads.value(period, -1);
}

int SimPeriodReads::Count() const
{
    return reads.size();
}

bool SimPeriodReads::HeldBack(int period) const
{
    const auto read = reads.constFind(period);
    if (read == reads.constEnd())
        return false;
    return (read != reads.constBegin() && *std::prev(read) == *read)
        || (std::next(read) != reads.constEnd() && *std::next(read) == *read);
}

double SimPeriodReads::Line(double periodMs) const
{
    double line = std::numeric_limits<double>::infinity();
    for (auto read = reads.cbegin(); read != reads.cend(); ++read)
        line = std::min(line, double(read.value()) - periodMs * read.key());
    return line;
}
