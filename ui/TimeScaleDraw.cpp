#include "ui/TimeScaleDraw.h"

#include "ui/PlotFont.h"

#include <QDateTime>

TimeScaleDraw::TimeScaleDraw()
    : QwtDateScaleDraw(Qt::LocalTime)
{
}

QwtText TimeScaleDraw::label(double value) const
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(value), Qt::LocalTime);
    QwtText label(time.toString(QStringLiteral("hh:mm:ss")));
    label.setFont(PlotFont::font());
    return label;
}
