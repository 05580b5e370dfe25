#pragma once

#include <QString>
#include <QtGlobal>

// Texts of the project tree and of the plotted selection.
namespace TreeLabels {

// "3 (2点)": the line number and its point count.
QString line(double name, int points);
// A point of an ordinary line as loaded: whole numbers within 0.09 show
// without decimals, others with one.
QString loadedPoint(double name, bool selfCheck);
// A point as just stored or renamed: six significant digits.
QString storedPoint(double name, bool selfCheck);
// Local time of a record, to the millisecond (points of a towed line).
QString timedPoint(qint64 msecsSinceEpoch);
// Local time of a record, to the second (tool tips).
QString startTime(qint64 msecsSinceEpoch);

} // namespace TreeLabels
