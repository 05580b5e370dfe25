#include "WorkingDirectory.h"
#include "tests/support/DialogAnswers.h"
#include "ui/Graph_Lines.h"
#include "ui/QwtCompat.h"
#include "ui/SciScaleDraw.h"
#include "ui/SimpleScaleDraw.h"
#include "ui/TimeScaleDraw.h"

#include <QFile>
#include <QImage>
#include <QTest>

#include <qwt_legend.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>

#include <cmath>
#include <limits>
#include <memory>

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

QString readAll(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString shown(const DialogHook::Message& message)
{
    return QStringLiteral("%1 %2: %3").arg(message.kind).arg(message.title, message.text);
}

QString success(const QString& title, const QString& name)
{
    return QStringLiteral("0 %1: 导出成功\r\n保存至%2/%3").arg(title, QDir::currentPath(), name);
}

} // namespace

// Every case runs in a fresh working directory, where the exports land.
class tst_GraphLines : public QObject
{
    Q_OBJECT

    std::unique_ptr<WorkingDirectory> m_dir;
    QStringList m_shown;

private slots:
    void init()
    {
        m_dir = std::make_unique<WorkingDirectory>();
        QVERIFY(m_dir->entered);
        m_shown.clear();
        DialogHook::setMessageAnswer([this](const DialogHook::Message& message) { m_shown.append(shown(message)); });
    }

    void cleanup()
    {
        resetDialogAnswers();
        m_dir.reset();
    }

    void logDrawingClampsAndKeepsInBounds()
    {
        Graph_Lines graph;
        graph.setAxisY(true, false, 1e-8, 0.001);
        graph.setLogClamp(true, 1e-9, 10.0);
        graph.newLine(QStringLiteral("one point"), {1.0}, {2.0});
        QVERIFY(curves(graph).isEmpty());
        // A value that is no number is left out, not pinned to an end.
        graph.newLine(QStringLiteral("a"), {10.0, -20.0, 25.0, 30.0, 40.0}, {0.0, -5e-3, std::nan(""), 20.0, 1e-4});
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

    void profileMatrix()
    {
        Graph_Lines graph;
        graph.newGraph_Lines({{1.0, 2.0}, {3.0, 4.0}, {5.0, 6.0}}, {1.6e12, 1.6e12 + 60000}, {10.0, 20.0, 30.5}, 1.7);
        QCOMPARE(graph.GetAxisXScale(), Graph_Lines::Time);
        QCOMPARE(graph.axisInterval(QwtCompat::XBottom).minValue(), 1.6e12);
        const QList<QwtPlotCurve*> first = curves(graph);
        QCOMPARE(first.size(), 3);
        QCOMPARE(first.at(2)->title().text(), QStringLiteral("30.5"));

        // Same row count: the curves stay, the values change.
        graph.newGraph_Lines({{7.0, 8.0}, {9.0, 10.0}, {11.0, 12.0}}, {946656001000.0, 1.6e12}, {1.0, 2.0, 3.0});
        QCOMPARE(graph.GetAxisXScale(), Graph_Lines::Linear);
        QCOMPARE(graph.axisInterval(QwtCompat::XBottom).maxValue(), 1.6e12);
        QCOMPARE(curves(graph), first);
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

    // The time labels show whole seconds, so ticks between them would repeat one.
    void timeTicksOnWholeSeconds_data()
    {
        QTest::addColumn<int>("records");
        QTest::newRow("4 records") << 4;
        QTest::newRow("40 records") << 40;
    }

    void timeTicksOnWholeSeconds()
    {
        QFETCH(int, records);
        QVector<double> times;
        for (int i = 0; i < records; ++i)
            times.append(1.6e12 + 250.0 + 1000.0 * i);
        Graph_Lines graph;
        graph.newGraph_Lines({QVector<double>(records, 1e-6)}, times, {10.0});
        QStringList labels;
        for (double tick : graph.axisScaleDiv(QwtCompat::XBottom).ticks(QwtScaleDiv::MajorTick)) {
            QCOMPARE(std::fmod(tick, 1000.0), 0.0);
            labels.append(graph.axisScaleDraw(QwtCompat::XBottom)->label(tick).text());
        }
        QVERIFY2(labels.size() >= 2, qPrintable(labels.join(' ')));
        QCOMPARE(labels.removeDuplicates(), 0);
    }

    void cursorStaysInsideStoredAxis()
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

    void canvasLabelsAndLegend()
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
    }

    void scaleLabels_data()
    {
        QTest::addColumn<int>("draw");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("label");
        enum { Sci, Time, Simple };
        QTest::newRow("sci 1") << int(Sci) << 1.0 << "1";
        QTest::newRow("sci 1e-5") << int(Sci) << 1e-5 << "<p>10<sup>-5</sup></p>";
        QTest::newRow("sci 100") << int(Sci) << 100.0 << "<p>10<sup>2</sup></p>";
        QTest::newRow("sci 2e-5") << int(Sci) << 2e-5 << "2.0e-05";
        QTest::newRow("time epoch") << int(Time) << 0.0 << "08:00:00";
        QTest::newRow("time not a number") << int(Time) << std::nan("") << "";
        QTest::newRow("time beyond range") << int(Time) << 1e300 << "";
        QTest::newRow("simple") << int(Simple) << 1234567.0 << "1.23457e+06";
    }

    void scaleLabels()
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

    void fileNamesAndMessages_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("png");
        QTest::addColumn<QString>("csv");

        QTest::newRow("colons removed") << QString("Point 12:3") << QString("Point 123.png")
                                        << QString("Point 123.csv");
        QTest::newRow("empty title") << QString() << QString("grabImg.png") << QString("grabData.csv");
    }

    void fileNamesAndMessages()
    {
        QFETCH(QString, title);
        QFETCH(QString, png);
        QFETCH(QString, csv);
        Graph_Lines graph;
        graph.setGraphTitle(title);
        graph.newLine(title, {10.0, 0.5, 123456.0}, {0.000012345678912, -3.0, 1e-12});
        graph.exportToPng();
        graph.exportToTxt();

        QCOMPARE(readAll(csv), QStringLiteral("Time/us,Data/v\n10,1.23456789e-05\n0.5,-3\n123456,1e-12\n"));
        QCOMPARE(m_shown,
                 (QStringList{success(QStringLiteral("截图"), png), success(QStringLiteral("导出数据"), csv)}));

        const QImage image(png, "PNG");
        QCOMPARE(image.size(), QSize(3780, 2126));
        QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 300);
        QCOMPARE(qRound(image.dotsPerMeterY() * 0.0254), 300);
        // Grid, scales, title and the blue curve leave marks on the white page.
        int inked = 0;
        int blue = 0;
        for (int y = 0; y < image.height(); y += 4) {
            for (int x = 0; x < image.width(); x += 4) {
                const QRgb pixel = image.pixel(x, y);
                inked += pixel != QColor(Qt::white).rgb();
                blue += qBlue(pixel) > 150 && qRed(pixel) < 100 && qGreen(pixel) < 100;
            }
        }
        QVERIFY(inked > 1000 && inked < image.width() * image.height() / 32);
        QVERIFY(blue > 10);
    }

    void refusedAndFailedExports()
    {
        Graph_Lines graph;
        graph.setGraphTitle(QStringLiteral("p"));
        graph.newGraph_Lines({{1.0, 2.0}}, {1.0, 2.0}, {10.0});
        graph.exportToTxt();
        QVERIFY(!QFile::exists(QStringLiteral("p.csv")));

        // The data are those of the first curve named like the title.
        graph.newLine(QStringLiteral("other"), {1.0, 2.0}, {3.0, 4.0});
        graph.newLine(QStringLiteral("p"), {1.0, 2.0, 3.0, 4.0}, {5.0, 6.0});
        graph.newLine(QStringLiteral("p"), {7.0, 8.0}, {9.0, 10.0});
        graph.exportToTxt();
        QCOMPARE(readAll(QStringLiteral("p.csv")), QStringLiteral("Time/us,Data/v\n1,5\n2,6\n"));

        QVERIFY(QFile::remove(QStringLiteral("p.csv")) && QDir().mkdir(QStringLiteral("p.csv")));
        QVERIFY(QDir().mkdir(QStringLiteral("p.png")));
        graph.exportToPng();
        graph.exportToTxt();
        QCOMPARE(
            m_shown,
            (QStringList{QStringLiteral("0 导出数据: 导出失败，无数据或非点数据"),
                         success(QStringLiteral("导出数据"), QStringLiteral("p.csv")),
                         QStringLiteral("2 截图: 导出文件不能打开"), QStringLiteral("2 导出数据: 导出文件不能打开")}));
    }
};

QTEST_MAIN(tst_GraphLines)
#include "tst_graphlines.moc"
