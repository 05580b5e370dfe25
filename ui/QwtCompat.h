#pragma once

// Qwt 6.1 names for the few things that Qwt 6.2 renamed. Moving to 6.2 means
// changing this file only: the ids become QwtAxis::YLeft ... QwtAxis::XTop,
// isXAxis()/isValidAxis() QwtAxis::isXAxis()/QwtAxis::isValid(), and
// setAxisVisible()/isAxisVisible() the QwtPlot functions of the same names.

#include <qwt_plot.h>

namespace QwtCompat {

using AxisId = int;

constexpr AxisId YLeft = QwtPlot::yLeft;
constexpr AxisId YRight = QwtPlot::yRight;
constexpr AxisId XBottom = QwtPlot::xBottom;
constexpr AxisId XTop = QwtPlot::xTop;
constexpr int AxisCount = QwtPlot::axisCnt;

inline bool isXAxis(AxisId axis)
{
    return axis == XBottom || axis == XTop;
}

inline bool isValidAxis(AxisId axis)
{
    return axis >= 0 && axis < AxisCount;
}

inline void setAxisVisible(QwtPlot* plot, AxisId axis, bool on)
{
    plot->enableAxis(axis, on);
}

inline bool isAxisVisible(const QwtPlot* plot, AxisId axis)
{
    return plot->axisEnabled(axis);
}

} // namespace QwtCompat
