#pragma once

#include <qwt_scale_draw.h>

class SimpleScaleDraw : public QwtScaleDraw
{
public:
    QwtText label(double value) const override;
};
