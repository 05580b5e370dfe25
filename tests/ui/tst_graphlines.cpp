#include "ui/Graph_Lines.h"
#include "ui/QwtCompat.h"
#include "ui/SciScaleDraw.h"
#include "ui/SimpleScaleDraw.h"
#include "ui/TimeScaleDraw.h"

#include <QTest>

#include <qwt_legend.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_symbol.h>

namespace {

QList<QwtPlotCurve *> curves(const Graph_Lines &graph)
{
    QList<QwtPlotCurve *> result;
    for (QwtPlotItem *item : graph.itemList(QwtPlotItem::Rtti_PlotCurve))
        result.append(static_cast<QwtPlotCurve *>(item));
    return result;
}

QVector<double> yValues(const QwtPlotCurve *curve)
{
    QVector<double> values;
    for (size_t i = 0; i < curve->dataSize(); ++i)
        values.append(curve->sample(static_cast<int>(i)).y());
    return values;
}

Graph_Lines *decayGraph()
{
    auto *graph = new Graph_Lines;
    graph->setAxisX(true, false, 10, 100000);
    graph->setAxisY(true, false, 1e-8, 0.001);
    graph->setLogClamp(true, 1e-9, 10.0);
    return graph;
}

} // namespace

class tst_GraphLines : public QObject
{
    Q_OBJECT

private slots:
    void shortCurveIsIgnored();
    void logAxisClampsZeroNegativeAndLarge();
    void logAxisStyleFollowsAlpha();
    void linearAxisDrawsSolidBlueLines();
    void mismatchedLengthsStayInBounds();
    void axisScaleTypes();
    void matrixSwitchesToTimeAxisAndBack();
    void sameSizeMatrixReusesCurves();
    void inconsistentMatrixIsIgnored();
    void cursorFollowsPositionAndStaysInBounds();
    void canvasLabelsAndGrid();
    void legendCanBeRemovedAndShownAgain();
    void titleShowsAndClears();
    void sciScaleLabels();
    void timeAndSimpleScaleLabels();
};

void tst_GraphLines::shortCurveIsIgnored()
{
    Graph_Lines graph;
    graph.newLine(QStringLiteral("a"), {1.0}, {2.0});
    graph.newLine(QStringLiteral("a"), {1.0, 2.0}, {});
    QVERIFY(curves(graph).isEmpty());
}

void tst_GraphLines::logAxisClampsZeroNegativeAndLarge()
{
    std::unique_ptr<Graph_Lines> graph(decayGraph());
    graph->newLine(QStringLiteral("a"), {10.0, -20.0, 30.0, 40.0}, {0.0, -5e-3, 20.0, 1e-4});

    const QList<QwtPlotCurve *> drawn = curves(*graph);
    QCOMPARE(drawn.size(), 1);
    QCOMPARE(yValues(drawn.first()), (QVector<double>{1e-9, 5e-3, 10.0, 1e-4}));
    QCOMPARE(drawn.first()->sample(1).x(), 20.0);
}

void tst_GraphLines::logAxisStyleFollowsAlpha()
{
    std::unique_ptr<Graph_Lines> graph(decayGraph());
    graph->newLine(QStringLiteral("faded"), {10.0, 20.0}, {1e-3, 1e-4}, 0.5);
    graph->newLine(QStringLiteral("full"), {10.0, 20.0}, {1e-3, 1e-4}, 1.0);

    const QList<QwtPlotCurve *> drawn = curves(*graph);
    QCOMPARE(drawn.size(), 2);
    const QwtPlotCurve *faded = drawn.at(0)->title().text() == QLatin1String("faded") ? drawn.at(0) : drawn.at(1);
    const QwtPlotCurve *full = faded == drawn.at(0) ? drawn.at(1) : drawn.at(0);

    QCOMPARE(faded->style(), QwtPlotCurve::Lines);
    QCOMPARE(faded->pen().color(), QColor(Qt::darkGray));
    QCOMPARE(faded->pen().style(), Qt::DashDotLine);
    QVERIFY(!faded->symbol());

    QCOMPARE(full->style(), QwtPlotCurve::NoCurve);
    QVERIFY(full->symbol());
    QCOMPARE(full->symbol()->style(), QwtSymbol::Diamond);
    QCOMPARE(full->symbol()->size(), QSize(8, 8));
    QCOMPARE(full->symbol()->pen().color(), QColor(Qt::blue));
    QCOMPARE(full->symbol()->brush().color(), QColor(Qt::transparent));
}

void tst_GraphLines::linearAxisDrawsSolidBlueLines()
{
    Graph_Lines graph;
    graph.newLine(QStringLiteral("half"), {0.0, 1.0}, {0.0, -1.0}, 0.5);

    const QList<QwtPlotCurve *> drawn = curves(graph);
    QCOMPARE(drawn.size(), 1);
    QCOMPARE(drawn.first()->style(), QwtPlotCurve::Lines);
    QCOMPARE(drawn.first()->pen().style(), Qt::SolidLine);
    QCOMPARE(drawn.first()->pen().color().rgb(), QColor(Qt::blue).rgb());
    QVERIFY(qAbs(drawn.first()->pen().color().alphaF() - 0.5) < 0.01);
    QCOMPARE(yValues(drawn.first()), (QVector<double>{0.0, -1.0}));
}

void tst_GraphLines::mismatchedLengthsStayInBounds()
{
    std::unique_ptr<Graph_Lines> graph(decayGraph());
    graph->newLine(QStringLiteral("a"), {10.0, 20.0}, {1e-3, 1e-4, 1e-5, 1e-6});
    graph->newLine(QStringLiteral("b"), {10.0, 20.0, 30.0}, {1e-3, 1e-4});

    for (const QwtPlotCurve *curve : curves(*graph))
        QCOMPARE(curve->dataSize(), size_t(2));
}

void tst_GraphLines::axisScaleTypes()
{
    Graph_Lines graph;
    QCOMPARE(graph.GetAxisXScale(), Graph_Lines::Linear);
    QVERIFY(dynamic_cast<const SimpleScaleDraw *>(graph.axisScaleDraw(QwtCompat::XBottom)));

    graph.setAxisXScale(Graph_Lines::Time);
    QVERIFY(dynamic_cast<const TimeScaleDraw *>(graph.axisScaleDraw(QwtCompat::XBottom)));
    graph.onSetAxisScale(false, true);
    QCOMPARE(graph.GetAxisXScale(), Graph_Lines::Linear);
    QCOMPARE(graph.GetAxisYScale(), Graph_Lines::Log10);
    QVERIFY(dynamic_cast<const SciScaleDraw *>(graph.axisScaleDraw(QwtCompat::YLeft)));

    // A time y axis has no time labels; it is drawn linear.
    graph.setProperty("AxisYScale", Graph_Lines::Time);
    QVERIFY(dynamic_cast<const SimpleScaleDraw *>(graph.axisScaleDraw(QwtCompat::YLeft)));
}

void tst_GraphLines::matrixSwitchesToTimeAxisAndBack()
{
    Graph_Lines graph;
    graph.newGraph_Lines({{1e-3, 2e-3}}, {1.6e12, 1.6e12 + 60000}, {1.0});
    QCOMPARE(graph.GetAxisXScale(), Graph_Lines::Time);
    QVERIFY(dynamic_cast<const TimeScaleDraw *>(graph.axisScaleDraw(QwtCompat::XBottom)));
    QCOMPARE(graph.axisInterval(QwtCompat::XBottom).minValue(), 1.6e12);

    graph.newGraph_Lines({{1e-3, 2e-3}}, {1.0, 2.0}, {1.0});
    QCOMPARE(graph.GetAxisXScale(), Graph_Lines::Linear);
    QCOMPARE(graph.axisInterval(QwtCompat::XBottom).maxValue(), 2.0);
}

void tst_GraphLines::sameSizeMatrixReusesCurves()
{
    Graph_Lines graph;
    graph.newGraph_Lines({{1.0, 2.0}, {3.0, 4.0}, {5.0, 6.0}}, {1.0, 2.0}, {10.0, 20.0, 30.0});
    const QList<QwtPlotCurve *> first = curves(graph);
    QCOMPARE(first.size(), 3);
    QCOMPARE(first.first()->title().text(), QStringLiteral("10"));
    QList<QColor> colors;
    for (const QwtPlotCurve *curve : first)
        colors.append(curve->pen().color());
    QVERIFY(colors.at(0) != colors.at(2));

    graph.newGraph_Lines({{7.0, 8.0}, {9.0, 10.0}, {11.0, 12.0}}, {1.0, 2.0}, {10.0, 20.0, 30.0});
    const QList<QwtPlotCurve *> second = curves(graph);
    QCOMPARE(second, first);
    for (int i = 0; i < second.size(); ++i)
        QCOMPARE(second.at(i)->pen().color(), colors.at(i));
    QCOMPARE(yValues(second.at(2)), (QVector<double>{11.0, 12.0}));

    graph.newGraph_Lines({{1.0, 2.0}}, {1.0, 2.0}, {10.0});
    QCOMPARE(curves(graph).size(), 1);
}

void tst_GraphLines::inconsistentMatrixIsIgnored()
{
    Graph_Lines graph;
    graph.newGraph_Lines({{1.0, 2.0}}, {1.0, 2.0}, {10.0});
    graph.newGraph_Lines({{1.0, 2.0}, {3.0}}, {1.0, 2.0}, {10.0, 20.0});
    graph.newGraph_Lines({{1.0, 2.0}}, {1.0, 2.0}, {10.0, 20.0});
    graph.newGraph_Lines({}, {1.0, 2.0}, {});
    QCOMPARE(curves(graph).size(), 1);
    QCOMPARE(yValues(curves(graph).first()), (QVector<double>{1.0, 2.0}));
}

void tst_GraphLines::cursorFollowsPositionAndStaysInBounds()
{
    Graph_Lines graph;
    graph.newGraph_Lines({{1.0, 2.0, 3.0}}, {5.0, 6.0, 7.0}, {10.0}, 1.7);
    QList<QwtPlotItem *> markers = graph.itemList(QwtPlotItem::Rtti_PlotMarker);
    QCOMPARE(markers.size(), 1);
    QCOMPARE(static_cast<QwtPlotMarker *>(markers.first())->xValue(), 6.0);

    graph.setCurPos(3.0);
    QVERIFY(graph.itemList(QwtPlotItem::Rtti_PlotMarker).isEmpty());
    graph.setCurPos(2.0);
    QCOMPARE(graph.itemList(QwtPlotItem::Rtti_PlotMarker).size(), 1);
    graph.setCurPos(-1.0);
    QVERIFY(graph.itemList(QwtPlotItem::Rtti_PlotMarker).isEmpty());
}

void tst_GraphLines::canvasLabelsAndGrid()
{
    Graph_Lines graph;
    graph.setAxisTitle(QwtCompat::XBottom, QStringLiteral("衰减时间 / us"));
    graph.setAxisTitle(QwtCompat::XBottom, QStringLiteral("衰减时间 / us"));
    QCOMPARE(graph.itemList(QwtPlotItem::Rtti_PlotTextLabel).size(), 1);
    QVERIFY(graph.axisTitle(QwtCompat::XBottom).isEmpty());

    graph.addWaterMarker(QStringLiteral("数据 / V"), Qt::AlignLeft | Qt::AlignTop);
    graph.newLine(QStringLiteral("a"), {1.0, 2.0}, {1.0, 2.0});
    graph.clearLines();
    QCOMPARE(graph.itemList(QwtPlotItem::Rtti_PlotTextLabel).size(), 2);
    QVERIFY(curves(graph).isEmpty());

    auto *grid = static_cast<QwtPlotGrid *>(graph.itemList(QwtPlotItem::Rtti_PlotGrid).first());
    graph.setGridMinShow(QwtCompat::XBottom, false);
    QVERIFY(grid->yMinEnabled());
    graph.setGridMinShow(QwtCompat::YLeft, false);
    QVERIFY(!grid->yMinEnabled());
}

void tst_GraphLines::legendCanBeRemovedAndShownAgain()
{
    Graph_Lines graph;
    graph.newLine(QStringLiteral("a"), {1.0, 2.0}, {1.0, 2.0});
    graph.setLegendShow(true);
    QVERIFY(qobject_cast<QwtLegend *>(graph.legend()));
    graph.setLegendShow(false);
    QVERIFY(!graph.legend());
    graph.setLegendShow(true);
    graph.setLegendShow(true);
    QVERIFY(graph.legend());
    graph.setProperty("LegendShow", false);
    QVERIFY(!graph.legend());
}

void tst_GraphLines::titleShowsAndClears()
{
    Graph_Lines graph;
    graph.setGraphTitle(QStringLiteral("当前采集"));
    QCOMPARE(graph.title().text(), QStringLiteral("当前采集"));
    QCOMPARE(graph.title().font().family(), QStringLiteral("SIMSUN"));
    QCOMPARE(graph.title().font().pixelSize(), PlotFont::font().pixelSize() + 4);

    graph.setProperty("TitleShow", false);
    QVERIFY(graph.title().isEmpty());
    QCOMPARE(graph.property("Title").toString(), QStringLiteral("当前采集"));
}

void tst_GraphLines::sciScaleLabels()
{
    SciScaleDraw draw;
    QCOMPARE(draw.label(50).text(), QStringLiteral("50"));
    QCOMPARE(draw.label(1.0).text(), QStringLiteral("1"));
    QCOMPARE(draw.label(1e-5).text(), QStringLiteral("<p>10<sup>-5</sup></p>"));
    QCOMPARE(draw.label(100).text(), QStringLiteral("<p>10<sup>2</sup></p>"));
    QCOMPARE(draw.label(2e-5).text(), QStringLiteral("2.0e-05"));
    QCOMPARE(draw.label(0.5).text(), QStringLiteral("5.0e-01"));
    QCOMPARE(draw.label(50).font(), PlotFont::font());
}

void tst_GraphLines::timeAndSimpleScaleLabels()
{
    TimeScaleDraw time;
    QCOMPARE(time.label(0).text(), QStringLiteral("08:00:00"));
    QCOMPARE(time.label(1.6e12).text(), QStringLiteral("20:26:40"));

    SimpleScaleDraw simple;
    QCOMPARE(simple.label(0.000123).text(), QStringLiteral("0.000123"));
    QCOMPARE(simple.label(1234567).text(), QStringLiteral("1.23457e+06"));
    QCOMPARE(simple.label(-2.5).text(), QStringLiteral("-2.5"));
}

QTEST_MAIN(tst_GraphLines)
#include "tst_graphlines.moc"
