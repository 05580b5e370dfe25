#pragma once

#include <qwt_date_scale_engine.h>

// Ticks of a local-time axis on whole seconds at the finest: its labels show
// seconds, so ticks between them would repeat a label.
class TimeScaleEngine : public QwtDateScaleEngine
{
public:
    TimeScaleEngine();

    QwtDate::IntervalType intervalType(const QDateTime& minDate, const QDateTime& maxDate, int maxSteps) const override;
};
