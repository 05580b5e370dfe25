#include "ui/Graph_Lines.h"
#include "ui/QwtCompat.h"
#include "ui/SciScaleDraw.h"
#include "ui/SimpleScaleDraw.h"
#include "ui/TimeScaleDraw.h"

#include <QMetaEnum>
#include <QRegularExpression>
#include <QTest>

#include <qwt_legend.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_engine.h>
#include <qwt_symbol.h>

#include <limits>
#include <typeinfo>

namespace {

QList<QwtPlotCurve*> curves(const Graph_Lines& graph)
{
    QList<QwtPlotCurve*> result;
    for (QwtPlotItem* item : graph.itemList(QwtPlotItem::Rtti_PlotCurve))
        result.append(static_cast<QwtPlotCurve*>(item));
    return result;
}

QVector<double> yValues(const QwtPlotCurve* curve)
{
    QVector<double> values;
    for (size_t i = 0; i < curve->dataSize(); ++i)
        values.append(curve->sample(static_cast<int>(i)).y());
    return values;
}

// The decay-curve set-up of the main window.
void setUpDecay(Graph_Lines& graph)
{
    graph.setAxisX(true, false, 10, 100000);
    graph.setAxisY(true, false, 1e-8, 0.001);
    graph.setLogClamp(true, 1e-9, 10.0);
}

QString className(const std::type_info& type)
{
    return QString::fromLatin1(type.name()).remove(QRegularExpression(QStringLiteral("^(class )?[0-9]*")));
}

QString scaleOf(const Graph_Lines& graph, int axis)
{
    const QwtScaleDraw* draw = graph.axisScaleDraw(axis);
    const QwtScaleEngine* engine = graph.axisScaleEngine(axis);
    return QStringLiteral("%1 %2 %3/%4")
        .arg(className(typeid(*draw)), className(typeid(*engine)))
        .arg(graph.axisMaxMajor(axis))
        .arg(graph.axisMaxMinor(axis));
}

} // namespace

class tst_GraphLines : public QObject
{
    Q_OBJECT

private slots:
    void logDrawingClampsAndKeepsInBounds();
    void curveStyleFollowsAxisAndAlpha_data();
    void curveStyleFollowsAxisAndAlpha();
    void axisScaleTypes_data();
    void axisScaleTypes();
    void profileMatrix();
    void cursorStaysInsideStoredAxis();
    void canvasLabelsLegendAndTitle();
    void scaleLabels_data();
    void scaleLabels();
};

void tst_GraphLines::logDrawingClampsAndKeepsInBounds()
{
    Graph_Lines graph;
    setUpDecay(graph);
    graph.newLine(QStringLiteral("one point"), {1.0}, {2.0});
    QVERIFY(curves(graph).isEmpty());
    graph.newLine(QStringLiteral("a"), {10.0, -20.0, 30.0, 40.0}, {0.0, -5e-3, 20.0, 1e-4});
    QCOMPARE(yValues(curves(graph).first()), (QVector<double>{1e-9, 5e-3, 10.0, 1e-4}));
    QCOMPARE(curves(graph).first()->sample(1).x(), 20.0);

    // Mismatched lengths draw the common part only.
    graph.clearLines();
    graph.newLine(QStringLiteral("b"), {10.0, 20.0}, {1e-3, 1e-4, 1e-5, 1e-6});
    graph.newLine(QStringLiteral("c"), {10.0, 20.0, 30.0}, {1e-3, 1e-4});
    graph.setAxisY(false, true);
    graph.newLine(QStringLiteral("d"), {10.0, 20.0, 30.0}, {1e-3, 1e-4});
    QCOMPARE(curves(graph).size(), 3);
    for (const QwtPlotCurve* curve : curves(graph))
        QCOMPARE(curve->dataSize(), size_t(2));
}

void tst_GraphLines::curveStyleFollowsAxisAndAlpha_data()
{
    QTest::addColumn<bool>("logY");
    QTest::addColumn<double>("alpha");
    QTest::addColumn<QString>("style");
    QTest::newRow("log faded") << true << 0.5 << "line #ff808080 DashDotLine";
    QTest::newRow("log full") << true << 1.0 << "no line #ff0000ff SolidLine, diamond 8 #ff0000ff on #00000000";
    QTest::newRow("linear faded") << false << 0.5 << "line #800000ff SolidLine";
}

void tst_GraphLines::curveStyleFollowsAxisAndAlpha()
{
    QFETCH(bool, logY);
    QFETCH(double, alpha);
    Graph_Lines graph;
    setUpDecay(graph);
    graph.setAxisY(logY, true);
    graph.newLine(QStringLiteral("a"), {10.0, 20.0}, {1e-3, 1e-4}, alpha);

    const QwtPlotCurve* curve = curves(graph).value(0);
    QVERIFY(curve);
    QString style = QStringLiteral("%1 %2 %3")
                        .arg(QLatin1String(curve->style() == QwtPlotCurve::NoCurve ? "no line" : "line"),
                             curve->pen().color().name(QColor::HexArgb),
                             QMetaEnum::fromType<Qt::PenStyle>().valueToKey(curve->pen().style()));
    if (const QwtSymbol* symbol = curve->symbol()) {
        style += QStringLiteral(", %1 %2 %3 on %4")
                     .arg(QLatin1String(symbol->style() == QwtSymbol::Diamond ? "diamond" : "other"))
                     .arg(symbol->size().width())
                     .arg(symbol->pen().color().name(QColor::HexArgb), symbol->brush().color().name(QColor::HexArgb));
    }
    QTEST(style, "style");
}

void tst_GraphLines::axisScaleTypes_data()
{
    QTest::addColumn<int>("axis");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("scale");
    QTest::newRow("x log") << QwtCompat::XBottom << int(Graph_Lines::Log10) << "SciScaleDraw QwtLogScaleEngine 10/10";
    QTest::newRow("x time") << QwtCompat::XBottom << int(Graph_Lines::Time) << "TimeScaleDraw QwtDateScaleEngine 7/0";
    QTest::newRow("y log") << QwtCompat::YLeft << int(Graph_Lines::Log10) << "SciScaleDraw QwtLogScaleEngine 10/10";
    QTest::newRow("y time is linear") << QwtCompat::YLeft << int(Graph_Lines::Time)
                                      << "SimpleScaleDraw QwtLinearScaleEngine 4/0";
}

void tst_GraphLines::axisScaleTypes()
{
    QFETCH(int, axis);
    QFETCH(int, type);
    const char* property = axis == QwtCompat::XBottom ? "AxisXScale" : "AxisYScale";
    Graph_Lines graph;
    QCOMPARE(scaleOf(graph, axis), QStringLiteral("SimpleScaleDraw QwtLinearScaleEngine 5/0"));
    QVERIFY(graph.setProperty(property, type));
    QCOMPARE(graph.property(property).toInt(), type);
    QTEST(scaleOf(graph, axis), "scale");

    graph.onSetAxisScale(false, false);
    QCOMPARE(graph.property(property).toInt(), int(Graph_Lines::Linear));
    QCOMPARE(scaleOf(graph, axis), QStringLiteral("SimpleScaleDraw QwtLinearScaleEngine 4/0"));
}

void tst_GraphLines::profileMatrix()
{
    Graph_Lines graph;
    graph.newGraph_Lines({{1.0, 2.0}, {3.0, 4.0}, {5.0, 6.0}}, {1.6e12, 1.6e12 + 60000}, {10.0, 20.0, 30.5}, 1.7);
    QCOMPARE(graph.GetAxisXScale(), Graph_Lines::Time);
    QCOMPARE(graph.axisInterval(QwtCompat::XBottom).minValue(), 1.6e12);
    const QList<QwtPlotCurve*> first = curves(graph);
    QCOMPARE(first.size(), 3);
    QCOMPARE(first.at(2)->title().text(), QStringLiteral("30.5"));
    const QColor lastColor = first.at(2)->pen().color();
    QVERIFY(first.at(0)->pen().color() != lastColor);

    // Same row count: the curves and their colours stay, the values change.
    graph.newGraph_Lines({{7.0, 8.0}, {9.0, 10.0}, {11.0, 12.0}}, {946656001000.0, 1.6e12}, {1.0, 2.0, 3.0});
    QCOMPARE(graph.GetAxisXScale(), Graph_Lines::Linear);
    QCOMPARE(graph.axisInterval(QwtCompat::XBottom).maxValue(), 1.6e12);
    QCOMPARE(curves(graph), first);
    QCOMPARE(first.at(2)->pen().color(), lastColor);
    QCOMPARE(yValues(first.at(2)), (QVector<double>{11.0, 12.0}));

    // Inconsistent matrices change nothing, not even the cursor.
    graph.newGraph_Lines({{1.0, 2.0}}, {1.0, 2.0}, {10.0}, 0.0);
    graph.newGraph_Lines({{1.0, 2.0}, {3.0}}, {1.0, 2.0}, {10.0, 20.0}, -1.0);
    graph.newGraph_Lines({{1.0, 2.0}}, {1.0, 2.0}, {10.0, 20.0}, -1.0);
    graph.newGraph_Lines({}, {1.0, 2.0}, {}, -1.0);
    QCOMPARE(curves(graph).size(), 1);
    QCOMPARE(yValues(curves(graph).first()), (QVector<double>{1.0, 2.0}));
    QCOMPARE(graph.itemList(QwtPlotItem::Rtti_PlotMarker).size(), 1);
}

void tst_GraphLines::cursorStaysInsideStoredAxis()
{
    Graph_Lines graph;
    graph.newGraph_Lines({{1.0, 2.0, 3.0}}, {5.0, 6.0, 7.0}, {10.0}, 1.7);
    const auto cursorX = [&graph]() -> double {
        const QwtPlotItemList markers = graph.itemList(QwtPlotItem::Rtti_PlotMarker);
        return markers.isEmpty() ? -1.0 : static_cast<QwtPlotMarker*>(markers.first())->xValue();
    };
    QCOMPARE(cursorX(), 6.0);
    for (double beyond : {-1.0, 3.0, 1e10, std::numeric_limits<double>::quiet_NaN()}) {
        graph.setCurPos(2.0);
        QCOMPARE(cursorX(), 7.0);
        graph.setCurPos(beyond);
        QCOMPARE(cursorX(), -1.0);
    }
}

void tst_GraphLines::canvasLabelsLegendAndTitle()
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

    // A removed legend leaves nothing behind to be used again.
    graph.newLine(QStringLiteral("a"), {1.0, 2.0}, {1.0, 2.0});
    for (bool show : {true, false, true, true, false}) {
        QVERIFY(graph.setProperty("LegendShow", show));
        QCOMPARE(qobject_cast<QwtLegend*>(graph.legend()) != nullptr, show);
        graph.replot();
    }

    QVERIFY(graph.setProperty("Title", QStringLiteral("当前采集")));
    QCOMPARE(graph.title().text(), QStringLiteral("当前采集"));
    QCOMPARE(graph.title().font().family(), QStringLiteral("SIMSUN"));
    QCOMPARE(graph.title().font().pixelSize(), PlotFont::font().pixelSize() + 4);
    QVERIFY(graph.setProperty("TitleShow", false));
    QVERIFY(graph.title().isEmpty());
}

void tst_GraphLines::scaleLabels_data()
{
    QTest::addColumn<int>("draw");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("label");
    enum { Sci, Time, Simple };
    QTest::newRow("sci 50") << int(Sci) << 50.0 << "50";
    QTest::newRow("sci 1") << int(Sci) << 1.0 << "1";
    QTest::newRow("sci 1e-5") << int(Sci) << 1e-5 << "<p>10<sup>-5</sup></p>";
    QTest::newRow("sci 100") << int(Sci) << 100.0 << "<p>10<sup>2</sup></p>";
    QTest::newRow("sci 2e-5") << int(Sci) << 2e-5 << "2.0e-05";
    QTest::newRow("sci 0.5") << int(Sci) << 0.5 << "5.0e-01";
    QTest::newRow("time epoch") << int(Time) << 0.0 << "08:00:00";
    QTest::newRow("simple") << int(Simple) << 1234567.0 << "1.23457e+06";
}

void tst_GraphLines::scaleLabels()
{
    const SciScaleDraw sci;
    const TimeScaleDraw time;
    const SimpleScaleDraw simple;
    const QwtScaleDraw* draws[] = {&sci, &time, &simple};
    QFETCH(int, draw);
    QFETCH(double, value);
    const QwtText label = draws[draw]->label(value);
    QTEST(label.text(), "label");
    QCOMPARE(label.font(), PlotFont::font());
}

QTEST_MAIN(tst_GraphLines)
#include "tst_graphlines.moc"
