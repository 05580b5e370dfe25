#pragma once

#include <qwt_date_scale_draw.h>

// Milliseconds since the epoch as local wall-clock time.
class TimeScaleDraw : public QwtDateScaleDraw
{
public:
    TimeScaleDraw();

    QwtText label(double value) const override;
};
