#include "project/TreeLabels.h"

#include <QDateTime>

#include <cmath>

namespace TreeLabels {

namespace {

QString selfCheckSuffix(bool selfCheck)
{
    return selfCheck ? QStringLiteral("(自检)") : QString();
}

} // namespace

QString line(double name, int points)
{
    return QStringLiteral("%1 (%2点)").arg(QString::number(name, 'g')).arg(points);
}

QString loadedPoint(double name, bool selfCheck)
{
    // Printed from the double: a name read from a damaged file may not fit
    // an integer. Adding 0 turns -0 into 0.
    const double whole = std::trunc(name) + 0.0;
    const QString text = std::abs(name - whole) < 0.09 ? QString::number(whole, 'f', 0) : QString::number(name, 'f', 1);
    return text + selfCheckSuffix(selfCheck);
}

QString storedPoint(double name, bool selfCheck)
{
    return QString::number(name, 'g', 6) + selfCheckSuffix(selfCheck);
}

QString timedPoint(qint64 msecsSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch).toString(QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz"));
}

QString startTime(qint64 msecsSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch).toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"));
}

} // namespace TreeLabels
