#pragma once

#include <QObject>

class QwtPlot;

// Keeps room at both ends of each scale of a plot for its outermost tick
// labels. Qwt measures that room with the scale map of the plot's last
// layout: a plot laid out while hidden, at a size it is never shown at, or
// whose end tick has moved since, clipped its end labels. The room here
// depends on the labels alone.
class ScaleLabelRoom : public QObject
{
public:
    // Lives as a child of the plot.
    explicit ScaleLabelRoom(QwtPlot* plot);

private:
    void fit(int axis);

    QwtPlot* m_plot;
};
