#include "ui/ScaleLabelRoom.h"

#include "ui/QwtCompat.h"

#include <QtMath>

#include <qwt_plot.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

ScaleLabelRoom::ScaleLabelRoom(QwtPlot* plot)
    : QObject(plot)
    , m_plot(plot)
{
    // The plot measures its borders right after a new division reaches the
    // scale, so the room is in place before it does.
    for (int axis = 0; axis < QwtCompat::AxisCount; ++axis) {
        connect(plot->axisWidget(axis), &QwtScaleWidget::scaleDivChanged, this, [this, axis] { fit(axis); });
        fit(axis);
    }
}

// Half the longest label along the scale, whichever tick ends up outermost;
// the label components may be switched on later (a plot matrix does), so
// the room does not ask whether they are on now.
void ScaleLabelRoom::fit(int axis)
{
    QwtScaleWidget* scale = m_plot->axisWidget(axis);
    const QwtScaleDraw* draw = scale->scaleDraw();
    const QwtScaleDiv& division = draw->scaleDiv();
    double half = 0.0;
    for (double tick : division.ticks(QwtScaleDiv::MajorTick)) {
        if (!division.contains(tick))
            continue;
        const QSizeF size = draw->labelSize(scale->font(), tick);
        half = qMax(half, (QwtCompat::isXAxis(axis) ? size.width() : size.height()) / 2.0);
    }
    // A pixel more: antialiased ink reaches past the measured box.
    const int room = half > 0.0 ? qCeil(half) + 1 : 0;
    scale->setMinBorderDist(room, room);
}
