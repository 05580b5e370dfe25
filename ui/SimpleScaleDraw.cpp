#include "ui/SimpleScaleDraw.h"

#include "ui/PlotFont.h"

QwtText SimpleScaleDraw::label(double value) const
{
    QwtText label(QString::number(value, 'g', 6));
    label.setFont(PlotFont::font());
    return label;
}
