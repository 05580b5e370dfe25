#include "ui/TimeScaleDraw.h"

#include "ui/PlotFont.h"

#include <QDateTime>

#include <cmath>

TimeScaleDraw::TimeScaleDraw()
    : QwtDateScaleDraw(Qt::LocalTime)
{
}

QwtText TimeScaleDraw::label(double value) const
{
    QString text;
    // Converting a value outside qint64, NaN included, is undefined.
    if (std::fabs(value) < 9e18)
        text = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(value), Qt::LocalTime)
                   .toString(QStringLiteral("hh:mm:ss"));
    QwtText label(text);
    label.setFont(PlotFont::font());
    return label;
}
