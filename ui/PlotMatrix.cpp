#include "ui/PlotMatrix.h"

#include "ui/QwtCompat.h"

#include <QGridLayout>

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

namespace {

// The default cell plot: a plain boxed canvas that asks for no more room than needed.
class Plot : public QwtPlot
{
public:
    explicit Plot(QWidget* parent)
        : QwtPlot(parent)
    {
        auto* canvas = new QwtPlotCanvas;
        canvas->setLineWidth(1);
        canvas->setFrameStyle(QFrame::Box | QFrame::Plain);
        setCanvas(canvas);
    }

    QSize sizeHint() const override { return minimumSizeHint(); }
};

} // namespace

PlotMatrix::PlotMatrix(int numRows, int numColumns, QWidget* parent)
    : QFrame(parent)
{
    m_plots.resize(numRows * numColumns);

    m_layout = new QGridLayout(this);
    m_layout->setSpacing(0);
    m_layout->setContentsMargins(0, 0, 0, 0);

    for (int row = 0; row < numRows; ++row) {
        for (int column = 0; column < numColumns; ++column) {
            auto* plot = new Plot(this);
            m_layout->addWidget(plot, row, column);
            connectAxes(plot);
            m_plots[row * numColumns + column] = plot;
        }
    }
    updateLayout();
}

int PlotMatrix::numRows() const
{
    return m_layout ? m_layout->rowCount() : 0;
}

int PlotMatrix::numColumns() const
{
    return m_layout ? m_layout->columnCount() : 0;
}

bool PlotMatrix::axisEnabled(int axis) const
{
    return QwtCompat::isValidAxis(axis) && m_axisEnabled[axis];
}

void PlotMatrix::enableAxis(int axis, bool on)
{
    if (!QwtCompat::isValidAxis(axis) || m_axisEnabled[axis] == on)
        return;
    m_axisEnabled[axis] = on;
    updateLayout();
}

void PlotMatrix::setRowStretch(int row, int stretch)
{
    m_layout->setRowStretch(row, stretch);
}

void PlotMatrix::setColumnStretch(int column, int stretch)
{
    m_layout->setColumnStretch(column, stretch);
}

QwtPlot* PlotMatrix::plotAt(int row, int column) const
{
    const int index = row * numColumns() + column;
    return index < m_plots.size() ? m_plots.at(index) : nullptr;
}

void PlotMatrix::setPlot(QwtPlot* plot, int row, int column)
{
    if (row < 0 || row >= numRows() || column < 0 || column >= numColumns())
        return;
    const int index = row * numColumns() + column;
    if (index >= m_plots.size() || m_plots.at(index) == plot)
        return;

    if (QwtPlot* old = m_plots.at(index)) {
        m_layout->removeWidget(old);
        disconnectAxes(old);
        if (old->parent() == this)
            delete old;
    }

    m_layout->addWidget(plot, row, column);
    m_plots[index] = plot;
    connectAxes(plot);
    plot->replot();
}

void PlotMatrix::setAxisScale(int axis, int rowOrColumn, double min, double max, double step)
{
    QwtPlot* plot = QwtCompat::isXAxis(axis) ? plotAt(0, rowOrColumn) : plotAt(rowOrColumn, 0);
    if (!plot)
        return;
    plot->setAxisScale(axis, min, max, step);
    plot->updateAxes();
}

int PlotMatrix::lastVisibleRow() const
{
    int last = numRows() - 1;
    for (int row = 0; row < numRows(); ++row) {
        QwtPlot* plot = plotAt(row, 0);
        if (plot && plot->isVisible())
            last = row;
    }
    return last;
}

void PlotMatrix::updateLayout()
{
    const int rows = numRows();
    const int columns = numColumns();

    // The x scale belongs under the lowest row that is actually shown.
    const int labelledRow = lastVisibleRow();

    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            QwtPlot* plot = plotAt(row, column);
            if (!plot)
                continue;
            for (int axis = 0; axis < QwtCompat::AxisCount; ++axis) {
                bool show = false;
                if (axis == QwtCompat::YLeft)
                    show = column == 0;
                else if (axis == QwtCompat::YRight)
                    show = column == columns - 1;
                else if (axis == QwtCompat::XBottom)
                    show = row == labelledRow;
                else
                    show = row == 0;
                show = show && m_axisEnabled[axis];

                QwtCompat::setAxisVisible(plot, axis, true);
                QwtScaleDraw* scaleDraw = plot->axisScaleDraw(axis);
                scaleDraw->enableComponent(QwtAbstractScaleDraw::Backbone, show);
                scaleDraw->enableComponent(QwtAbstractScaleDraw::Ticks, show);
                scaleDraw->enableComponent(QwtAbstractScaleDraw::Labels, show);
                QwtScaleWidget* scaleWidget = plot->axisWidget(axis);
                scaleWidget->setMargin(0);
                scaleWidget->setSpacing(0);
            }
        }
    }

    for (int row = 0; row < rows; ++row) {
        alignAxes(row, QwtCompat::XTop);
        alignAxes(row, QwtCompat::XBottom);
        alignScaleBorder(row, QwtCompat::YLeft);
        alignScaleBorder(row, QwtCompat::YRight);
    }
    for (int column = 0; column < columns; ++column) {
        alignAxes(column, QwtCompat::YLeft);
        alignAxes(column, QwtCompat::YRight);
        alignScaleBorder(column, QwtCompat::XBottom);
        alignScaleBorder(column, QwtCompat::XTop);
    }

    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (QwtPlot* plot = plotAt(row, column))
                plot->replot();
        }
    }
}

void PlotMatrix::alignAxes(int rowOrColumn, int axis)
{
    QVector<QwtPlot*> plots;
    if (QwtCompat::isXAxis(axis)) {
        for (int column = 0; column < numColumns(); ++column)
            plots.append(plotAt(rowOrColumn, column));
    } else {
        for (int row = 0; row < numRows(); ++row)
            plots.append(plotAt(row, rowOrColumn));
    }

    double maxExtent = 0;
    for (QwtPlot* plot : qAsConst(plots)) {
        if (!plot)
            continue;
        QwtScaleWidget* scaleWidget = plot->axisWidget(axis);
        QwtScaleDraw* scaleDraw = scaleWidget->scaleDraw();
        scaleDraw->setMinimumExtent(0);
        maxExtent = qMax(maxExtent, scaleDraw->extent(scaleWidget->font()));
    }
    for (QwtPlot* plot : qAsConst(plots)) {
        if (plot)
            plot->axisWidget(axis)->scaleDraw()->setMinimumExtent(maxExtent);
    }
}

void PlotMatrix::alignScaleBorder(int rowOrColumn, int axis)
{
    QwtPlot* source = nullptr;
    QVector<QwtPlot*> targets;
    if (axis == QwtCompat::YLeft) {
        source = plotAt(rowOrColumn, 0);
        for (int column = 1; column < numColumns(); ++column)
            targets.append(plotAt(rowOrColumn, column));
    } else if (axis == QwtCompat::YRight) {
        source = plotAt(rowOrColumn, numColumns() - 1);
        for (int column = 0; column < numColumns() - 1; ++column)
            targets.append(plotAt(rowOrColumn, column));
    } else if (axis == QwtCompat::XTop) {
        source = plotAt(0, rowOrColumn);
        for (int row = 1; row < numRows(); ++row)
            targets.append(plotAt(row, rowOrColumn));
    } else if (axis == QwtCompat::XBottom) {
        // The row that draws the x scale sets its borders: a hidden row
        // below it has no labels and would leave none of their room.
        const int shown = lastVisibleRow();
        source = plotAt(shown, rowOrColumn);
        for (int row = 0; row < numRows(); ++row) {
            if (row != shown)
                targets.append(plotAt(row, rowOrColumn));
        }
    } else {
        return;
    }

    int startDist = 0;
    int endDist = 0;
    if (source)
        source->axisWidget(axis)->getBorderDistHint(startDist, endDist);
    for (QwtPlot* plot : qAsConst(targets)) {
        if (plot)
            plot->axisWidget(axis)->setMinBorderDist(startDist, endDist);
    }
}

void PlotMatrix::scaleDivChanged()
{
    if (m_inScaleSync)
        return;
    m_inScaleSync = true;

    QwtPlot* plot = nullptr;
    int axis = -1;
    int rowOrColumn = -1;
    for (int row = 0; row < numRows() && !plot; ++row) {
        for (int column = 0; column < numColumns() && !plot; ++column) {
            QwtPlot* candidate = plotAt(row, column);
            if (!candidate)
                continue;
            for (int a = 0; a < QwtCompat::AxisCount; ++a) {
                if (candidate->axisWidget(a) == sender()) {
                    plot = candidate;
                    axis = a;
                    rowOrColumn = QwtCompat::isXAxis(a) ? column : row;
                    break;
                }
            }
        }
    }

    // Hidden plots never drive the others.
    if (!plot || !plot->isVisible()) {
        m_inScaleSync = false;
        return;
    }

    const QwtScaleDiv scaleDiv = plot->axisScaleDiv(axis);
    if (QwtCompat::isXAxis(axis)) {
        for (int row = 0; row < numRows(); ++row) {
            QwtPlot* other = plotAt(row, rowOrColumn);
            if (other && other != plot)
                other->setAxisScaleDiv(axis, scaleDiv);
        }
    } else {
        for (int column = 0; column < numColumns(); ++column) {
            QwtPlot* other = plotAt(rowOrColumn, column);
            if (other && other != plot)
                other->setAxisScaleDiv(axis, scaleDiv);
        }
    }

    updateLayout();
    m_inScaleSync = false;
}

void PlotMatrix::connectAxes(QwtPlot* plot)
{
    for (int axis = 0; axis < QwtCompat::AxisCount; ++axis)
        connect(plot->axisWidget(axis), &QwtScaleWidget::scaleDivChanged, this, &PlotMatrix::scaleDivChanged,
                Qt::QueuedConnection);
}

void PlotMatrix::disconnectAxes(QwtPlot* plot)
{
    for (int axis = 0; axis < QwtCompat::AxisCount; ++axis)
        disconnect(plot->axisWidget(axis), &QwtScaleWidget::scaleDivChanged, this, &PlotMatrix::scaleDivChanged);
}
