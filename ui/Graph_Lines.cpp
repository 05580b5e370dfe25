#include "ui/Graph_Lines.h"

#include "platform/DialogHook.h"
#include "ui/QwtCompat.h"
#include "ui/ScaleLabelRoom.h"
#include "ui/SciScaleDraw.h"
#include "ui/SimpleScaleDraw.h"
#include "ui/TimeScaleDraw.h"
#include "ui/TimeScaleEngine.h"

#include <QDebug>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QSaveFile>
#include <QTextStream>

#include <qwt_color_map.h>
#include <qwt_legend.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_renderer.h>
#include <qwt_plot_textlabel.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>

#include <algorithm>
#include <cmath>

namespace {

// Later x values in milliseconds since the epoch (1999-12-31 16:00:01 UTC)
// mean a profile over acquisition times rather than point numbers.
constexpr double TimeAxisThreshold = 946656001000.0;

// Snapshot size and resolution of the picture export.
constexpr double PictureWidthMm = 320.0;
constexpr double PictureHeightMm = 180.0;
constexpr double PictureDpi = 300.0;

} // namespace

Graph_Lines::Graph_Lines(QWidget* parent)
    : QwtPlot(parent)
{
    m_grid = new QwtPlotGrid;
    m_grid->enableXMin(true);
    m_grid->enableYMin(true);
    m_grid->setMajorPen(Qt::black, 1.0, Qt::DotLine);
    m_grid->setMinorPen(QPen(QBrush(Qt::lightGray), 1.0, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin));
    m_grid->attach(this);

    setAutoReplot(false);
    setAutoFillBackground(true);
    plotLayout()->setAlignCanvasToScales(true);
    for (int axis : {QwtCompat::XBottom, QwtCompat::YLeft, QwtCompat::XTop, QwtCompat::YRight})
        axisWidget(axis)->setMargin(0);

    new ScaleLabelRoom(this);
    applyAxisScale();

    setAxisMaxMajor(QwtCompat::YLeft, 5);
    setAxisMaxMajor(QwtCompat::XBottom, 5);
    setAxisMaxMinor(QwtCompat::YLeft, 0);
    setAxisMaxMinor(QwtCompat::XBottom, 0);
    replot();

    setContextMenuPolicy(Qt::CustomContextMenu);
    createContextMenu();
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_contextMenu->exec(mapToGlobal(pos)); });
}

Graph_Lines::~Graph_Lines()
{
    qDeleteAll(m_lines);
    if (m_cursor && !m_cursor->plot())
        delete m_cursor;
}

void Graph_Lines::SetTitleShow(bool show)
{
    m_titleShow = show;
    showTitle();
}

void Graph_Lines::setAxisXScale(e_AxisScaleType type)
{
    if (type == m_axisXScale)
        return;
    m_axisXScale = type;
    applyAxisScale();
}

void Graph_Lines::setAxisYScale(e_AxisScaleType type)
{
    if (type == m_axisYScale)
        return;
    m_axisYScale = type;
    applyAxisScale();
}

void Graph_Lines::setLegendShow(bool show)
{
    if (show == m_legendShow)
        return;
    if (show) {
        m_legend = new QwtLegend(this);
        m_legend->setDefaultItemMode(QwtLegendData::Checkable);
        insertLegend(m_legend, QwtPlot::RightLegend, -1.0);
        m_legend->setLineWidth(5);
    } else {
        // The plot deletes the legend it replaces.
        insertLegend(nullptr, QwtPlot::RightLegend, -1.0);
        m_legend = nullptr;
    }
    m_legendShow = show;
    replot();
}

void Graph_Lines::setAxisTitle(int axisId, const QString& title)
{
    QwtText text(title);
    text.setFont(PlotFont::font());
    if (axisId != QwtCompat::XBottom) {
        QwtPlot::setAxisTitle(axisId, text);
        return;
    }
    // The x title sits inside the canvas so the bottom scale stays compact.
    text.setRenderFlags(Qt::AlignRight | Qt::AlignBottom);
    delete m_xAxisTitle;
    m_xAxisTitle = new QwtPlotTextLabel;
    m_xAxisTitle->setText(text);
    m_xAxisTitle->attach(this);
}

void Graph_Lines::setLogClamp(bool enable, double low, double high)
{
    m_clampEnabled = enable;
    m_clampLow = low;
    m_clampHigh = high;
}

void Graph_Lines::setAxisInverted(int axisId, bool on)
{
    if (QwtScaleEngine* engine = axisScaleEngine(axisId))
        engine->setAttribute(QwtScaleEngine::Inverted, on);
}

void Graph_Lines::applyAxisScale()
{
    switch (m_axisXScale) {
    case Log10:
        installScale(QwtCompat::XBottom, new SciScaleDraw, new QwtLogScaleEngine(10), 10, 10);
        break;
    case Time:
        installScale(QwtCompat::XBottom, new TimeScaleDraw, new TimeScaleEngine, 7, 0);
        break;
    case Linear:
        installScale(QwtCompat::XBottom, new SimpleScaleDraw, new QwtLinearScaleEngine(10), 4, 0);
        break;
    }
    // Time labels only make sense along x; a time y axis is drawn linear.
    if (m_axisYScale == Log10)
        installScale(QwtCompat::YLeft, new SciScaleDraw, new QwtLogScaleEngine(10), 10, 10);
    else
        installScale(QwtCompat::YLeft, new SimpleScaleDraw, new QwtLinearScaleEngine(10), 4, 0);
    replot();
}

void Graph_Lines::installScale(int axisId, QwtScaleDraw* draw, QwtScaleEngine* engine, int maxMajor, int maxMinor)
{
    setAxisScaleDraw(axisId, draw);
    setAxisScaleEngine(axisId, engine);
    setAxisMaxMajor(axisId, maxMajor);
    setAxisMaxMinor(axisId, maxMinor);
}

void Graph_Lines::onSetAxisScale(bool xType_log, bool yType_log)
{
    setAxisXScale(xType_log ? Log10 : Linear);
    setAxisYScale(yType_log ? Log10 : Linear);
}

void Graph_Lines::clearLines()
{
    for (GraphLine* line : qAsConst(m_lines)) {
        removeCurve(line);
        delete line;
    }
    m_lines.clear();

    setAxisAutoScale(QwtCompat::XBottom, true);
    setAxisAutoScale(QwtCompat::YLeft, true);

    for (QwtPlotCurve* curve : qAsConst(m_matrixCurves)) {
        curve->detach();
        delete curve;
    }
    m_matrixCurves.clear();

    detachItems(QwtPlotItem::Rtti_PlotCurve, true);
    replot();
}

void Graph_Lines::setGraphTitle(QString name, bool isShow)
{
    m_title = name;
    m_titleShow = isShow;
    showTitle();
}

void Graph_Lines::newLine(QString name, QVector<double> x, QVector<double> y, double alphaF)
{
    if (x.size() < 2 || y.size() < 2)
        return;

    auto* line = new GraphLine{name, x, y, nullptr};
    if (m_axisYScale == Log10)
        drawLog(line, alphaF);
    else
        drawLinear(line, alphaF);
    replot();
    m_lines.append(line);
}

void Graph_Lines::createContextMenu()
{
    m_contextMenu = new QMenu(this);
    connect(m_contextMenu->addAction(QStringLiteral("截图")), &QAction::triggered, this, &Graph_Lines::exportToPng);
    connect(m_contextMenu->addAction(QStringLiteral("导出数据")), &QAction::triggered, this, &Graph_Lines::exportToTxt);
}

void Graph_Lines::exportToPng()
{
    const QString name = exportFileName(QStringLiteral(".png"), QStringLiteral("grabImg.png"));

    // The renderer's own document rendering, done here so the save result is known.
    const double mmToInch = 1.0 / 25.4;
    const QSizeF size = QSizeF(PictureWidthMm, PictureHeightMm) * mmToInch * PictureDpi;
    const QRect imageRect = QRectF(QPointF(0.0, 0.0), size).toRect();
    const int dotsPerMeter = qRound(PictureDpi * mmToInch * 1000.0);

    QImage image(imageRect.size(), QImage::Format_ARGB32);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(QColor(Qt::white).rgb());

    QwtPlotRenderer renderer;
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardBackground, true);
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardCanvasBackground, true);
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardCanvasFrame, true);
    QPainter painter(&image);
    renderer.render(this, &painter, imageRect);
    painter.end();

    if (!image.save(name, "PNG")) {
        DialogHook::critical(this, QStringLiteral("截图"), QStringLiteral("导出文件不能打开"));
        return;
    }
    DialogHook::information(this, QStringLiteral("截图"),
                            tr("导出成功\r\n保存至%1").arg(QDir::currentPath() + QLatin1Char('/') + name));
}

void Graph_Lines::exportToTxt()
{
    const QString name = exportFileName(QStringLiteral(".csv"), QStringLiteral("grabData.csv"));

    const auto found =
        std::find_if(m_lines.cbegin(), m_lines.cend(), [this](const GraphLine* line) { return line->name == m_title; });
    if (found == m_lines.cend()) {
        DialogHook::information(this, QStringLiteral("导出数据"), tr("导出失败，无数据或非点数据"));
        return;
    }
    const GraphLine* line = *found;
    if (line->x.size() < 2) {
        qWarning() << "Graph_Lines"
                   << "exportToTxt"
                   << "缺少数据";
        return;
    }

    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qWarning() << "Error: Could not open file for writing:" << name << "Error:" << file.errorString();
        DialogHook::critical(this, QStringLiteral("导出数据"), QStringLiteral("导出文件不能打开"));
        return;
    }
    QTextStream out(&file);
    out << "Time/us,Data/v\n";
    const int count = std::min(line->x.size(), line->y.size());
    for (int i = 0; i < count; ++i)
        out << QString::number(line->x.at(i), 'g', 9) << ',' << QString::number(line->y.at(i), 'g', 9) << '\n';
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit()) {
        qWarning() << "Error: Could not write file:" << name << "Error:" << file.errorString();
        DialogHook::critical(this, QStringLiteral("导出数据"), QStringLiteral("导出文件不能打开"));
        return;
    }
    DialogHook::information(this, QStringLiteral("导出数据"),
                            tr("导出成功\r\n保存至%1").arg(QDir::currentPath() + QLatin1Char('/') + name));
}

void Graph_Lines::setAxisX(bool x_log, bool x_auto, double x_min, double x_max)
{
    if (x_auto)
        setAxisAutoScale(QwtCompat::XBottom, true);
    else
        setAxisScale(QwtCompat::XBottom, x_min, x_max, 0);
    setAxisXScale(x_log ? Log10 : Linear);
    replot();
}

void Graph_Lines::setAxisY(bool y_log, bool y_auto, double y_min, double y_max)
{
    setAxisYScale(y_log ? Log10 : Linear);
    if (y_auto)
        setAxisAutoScale(QwtCompat::YLeft, true);
    else
        setAxisScale(QwtCompat::YLeft, y_min, y_max, 0);
}

void Graph_Lines::newGraph_Lines(QVector<QVector<double>> dataMatrix, QVector<double> xList, QVector<double> yList,
                                 double curPos)
{
    if (dataMatrix.isEmpty() || xList.isEmpty() || dataMatrix.size() != yList.size())
        return;
    for (const QVector<double>& row : qAsConst(dataMatrix)) {
        if (row.size() != xList.size())
            return;
    }

    m_xList = xList;
    m_matrix = dataMatrix;

    if (m_matrixCurves.size() != yList.size()) {
        clearLines();
        QwtLinearColorMap colorMap(Qt::darkBlue, Qt::darkRed);
        colorMap.addColorStop(0.25, Qt::blue);
        colorMap.addColorStop(0.5, Qt::green);
        colorMap.addColorStop(0.75, Qt::red);
        const QwtInterval interval(0.0, yList.size());
        for (int i = 0; i < yList.size(); ++i) {
            auto* curve = new QwtPlotCurve(QString::number(yList.at(i), 'g', 6));
            curve->setPen(colorMap.color(interval, i), 1.0, Qt::SolidLine);
            curve->attach(this);
            m_matrixCurves.append(curve);
        }
    }

    // The curves read the stored copies in place; only const access touches
    // them afterwards, so they never detach and the pointers stay valid.
    const QVector<double>& xs = m_xList;
    const QVector<QVector<double>>& rows = m_matrix;
    for (int i = 0; i < m_matrixCurves.size(); ++i)
        m_matrixCurves.at(i)->setRawSamples(xs.constData(), rows.at(i).constData(), xs.size());

    setAxisXScale(xs.first() > TimeAxisThreshold ? Time : Linear);

    const QRectF bounds = m_matrixCurves.first()->boundingRect();
    setAxisScale(QwtCompat::XBottom, bounds.left(), bounds.right(), 0);
    replot();
    setCurPos(curPos);
}

void Graph_Lines::setCurPos(double curPos)
{
    if (!m_cursor) {
        m_cursor = new QwtPlotMarker;
        m_cursor->setLineStyle(QwtPlotMarker::VLine);
        m_cursor->setLabelAlignment(Qt::AlignRight | Qt::AlignBottom);
        m_cursor->setLinePen(QColor(0, 255, 0, 153), 3.0, Qt::SolidLine);
    }
    // Checked before the cast: a position beyond the stored list, or not a
    // number, hides the cursor instead of reading past the list.
    if (!(curPos >= 0.0 && curPos < m_xList.size())) {
        m_cursor->detach();
        return;
    }
    m_cursor->attach(this);
    m_cursor->setXValue(m_xList.at(static_cast<int>(curPos)));
}

void Graph_Lines::setGridMinShow(int axisId, bool show)
{
    if (axisId == QwtCompat::YLeft || axisId == QwtCompat::YRight)
        m_grid->enableYMin(show);
}

void Graph_Lines::addWaterMarker(QString text, int flags, QFont font, QColor color)
{
    QwtText label(text);
    label.setRenderFlags(flags);
    label.setFont(font);
    label.setColor(color);
    auto* item = new QwtPlotTextLabel;
    item->setText(label);
    item->attach(this);
}

void Graph_Lines::showTitle()
{
    if (!m_titleShow) {
        setTitle(QwtText());
        return;
    }
    QFont font = PlotFont::font();
    font.setFamily(QStringLiteral("SIMSUN"));
    font.setPixelSize(PlotFont::font().pixelSize() + 4);
    QwtText text(m_title);
    text.setFont(font);
    setTitle(text);
}

void Graph_Lines::drawLinear(GraphLine* line, double alphaF)
{
    removeCurve(line);
    auto* curve = new QwtPlotCurve(line->name);
    curve->setSamples(line->x, line->y);
    QColor color(Qt::blue);
    color.setAlphaF(alphaF);
    curve->setPen(color);
    curve->attach(this);
    line->curve = curve;
}

void Graph_Lines::drawLog(GraphLine* line, double alphaF)
{
    // A value that is no number has no place on the axis: the clamp would
    // pin it to an end as if it were measured there.
    const int count = std::min(line->x.size(), line->y.size());
    QVector<double> xs;
    QVector<double> ys;
    xs.reserve(count);
    ys.reserve(count);
    for (int i = 0; i < count; ++i) {
        if (std::isnan(line->x.at(i)) || std::isnan(line->y.at(i)))
            continue;
        xs.append(std::fabs(line->x.at(i)));
        ys.append(std::fabs(line->y.at(i)));
    }

    removeCurve(line);

    // Zeros and outliers would vanish from a log axis; pin them to its ends.
    if (m_axisYScale == Log10 && m_clampEnabled) {
        for (double& y : ys)
            y = qBound(m_clampLow, y, m_clampHigh);
    }

    auto* curve = new QwtPlotCurve(line->name);
    curve->setSamples(xs, ys);
    if (alphaF < 0.99) {
        curve->setPen(Qt::darkGray, 1.0, Qt::DashDotLine);
        curve->setZ(0);
    } else {
        curve->setPen(QColor(Qt::blue));
        curve->setStyle(QwtPlotCurve::NoCurve);
        curve->setSymbol(new QwtSymbol(QwtSymbol::Diamond, QBrush(Qt::transparent), QPen(Qt::blue, 1.5, Qt::SolidLine),
                                       QSize(8, 8)));
    }
    curve->attach(this);
    line->curve = curve;
    setAxisScaleDiv(QwtCompat::XTop, axisScaleDiv(QwtCompat::XBottom));
}

void Graph_Lines::removeCurve(GraphLine* line)
{
    if (!line->curve)
        return;
    line->curve->detach();
    delete line->curve;
    line->curve = nullptr;
}

QString Graph_Lines::exportFileName(const QString& suffix, const QString& fallback) const
{
    QString name = m_title.isEmpty() ? fallback : m_title + suffix;
    return name.remove(QLatin1Char(':'));
}
