#pragma once

#include "ui/QwtCompat.h"

#include <QFrame>
#include <QVector>

class QGridLayout;
class QwtPlot;

// A grid of plots without spacing whose axes are kept in step: equal scale
// extents and borders along rows and columns, tick labels only on the outer
// plots, and a scale change on one plot copied to its row or column.
class PlotMatrix : public QFrame
{
    Q_OBJECT

public:
    PlotMatrix(int numRows, int numColumns, QWidget* parent = nullptr);

    int numRows() const;
    int numColumns() const;

    bool axisEnabled(int axis) const;
    void enableAxis(int axis, bool on);

    void setRowStretch(int row, int stretch);
    void setColumnStretch(int column, int stretch);

    QwtPlot* plotAt(int row, int column) const;
    void setPlot(QwtPlot* plot, int row, int column);

    void setAxisScale(int axis, int rowOrColumn, double min, double max, double step = 0);

    void updateLayout();
    void alignAxes(int rowOrColumn, int axis);
    void alignScaleBorder(int rowOrColumn, int axis);

private slots:
    void scaleDivChanged();

private:
    int lastVisibleRow() const;
    void connectAxes(QwtPlot* plot);
    void disconnectAxes(QwtPlot* plot);

    bool m_axisEnabled[QwtCompat::AxisCount] = {true, false, true, false};
    QVector<QwtPlot*> m_plots;
    bool m_inScaleSync = false;
    QGridLayout* m_layout = nullptr;
};
