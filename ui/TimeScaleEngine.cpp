#include "ui/TimeScaleEngine.h"

TimeScaleEngine::TimeScaleEngine()
    : QwtDateScaleEngine(Qt::LocalTime)
{
}

QwtDate::IntervalType TimeScaleEngine::intervalType(const QDateTime& minDate, const QDateTime& maxDate,
                                                    int maxSteps) const
{
    return qMax(QwtDateScaleEngine::intervalType(minDate, maxDate, maxSteps), QwtDate::Second);
}
