#pragma once

#include <qwt_scale_draw.h>

// Decade labels as 10 with a superscript exponent, plain numbers between 1 and 99.
class SciScaleDraw : public QwtScaleDraw
{
public:
    QwtText label(double value) const override;
};
