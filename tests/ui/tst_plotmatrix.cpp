#include "ui/PlotMatrix.h"
#include "ui/QwtCompat.h"

#include <QPointer>
#include <QTest>

#include <qwt_plot.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>

namespace {

bool showsLabels(const QwtPlot *plot, int axis)
{
    return plot->axisScaleDraw(axis)->hasComponent(QwtAbstractScaleDraw::Labels);
}

} // namespace

class tst_PlotMatrix : public QObject
{
    Q_OBJECT

private slots:
    void gridAndAxisFlags();
    void outerPlotsCarryLabels();
    void xLabelsMoveToLastVisibleRow();
    void xScaleIsSharedInColumn();
    void hiddenPlotDrivesNothing();
    void setPlotReplacesOnlyValidCells();
};

void tst_PlotMatrix::gridAndAxisFlags()
{
    PlotMatrix matrix(2, 3);
    QCOMPARE(matrix.numRows(), 2);
    QCOMPARE(matrix.numColumns(), 3);
    QVERIFY(matrix.plotAt(1, 2));
    QVERIFY(!matrix.plotAt(2, 0));

    QVERIFY(matrix.axisEnabled(QwtCompat::YLeft));
    QVERIFY(!matrix.axisEnabled(QwtCompat::YRight));
    QVERIFY(matrix.axisEnabled(QwtCompat::XBottom));
    QVERIFY(!matrix.axisEnabled(QwtCompat::XTop));
    QVERIFY(!matrix.axisEnabled(4));
    matrix.enableAxis(4, true);
    QVERIFY(!matrix.axisEnabled(4));

    matrix.enableAxis(QwtCompat::YRight, true);
    QVERIFY(showsLabels(matrix.plotAt(0, 2), QwtCompat::YRight));
    QVERIFY(!showsLabels(matrix.plotAt(0, 1), QwtCompat::YRight));
}

void tst_PlotMatrix::outerPlotsCarryLabels()
{
    PlotMatrix matrix(2, 1);
    for (int row = 0; row < 2; ++row) {
        QwtPlot *plot = matrix.plotAt(row, 0);
        QVERIFY(showsLabels(plot, QwtCompat::YLeft));
        QVERIFY(!showsLabels(plot, QwtCompat::YRight));
        QVERIFY(!showsLabels(plot, QwtCompat::XTop));
        for (int axis = 0; axis < QwtCompat::AxisCount; ++axis)
            QVERIFY(QwtCompat::isAxisVisible(plot, axis));
    }
    QVERIFY(!showsLabels(matrix.plotAt(0, 0), QwtCompat::XBottom));
    QVERIFY(showsLabels(matrix.plotAt(1, 0), QwtCompat::XBottom));
}

void tst_PlotMatrix::xLabelsMoveToLastVisibleRow()
{
    PlotMatrix matrix(2, 1);
    matrix.plotAt(1, 0)->hide();
    matrix.show();
    QVERIFY(QTest::qWaitForWindowExposed(&matrix));

    matrix.setAxisScale(QwtCompat::XBottom, 0, 0, 50);
    QTRY_VERIFY_WITH_TIMEOUT(showsLabels(matrix.plotAt(0, 0), QwtCompat::XBottom), 2000);
    QVERIFY(!showsLabels(matrix.plotAt(1, 0), QwtCompat::XBottom));

    matrix.plotAt(1, 0)->show();
    matrix.setAxisScale(QwtCompat::XBottom, 0, 0, 60);
    QTRY_VERIFY_WITH_TIMEOUT(showsLabels(matrix.plotAt(1, 0), QwtCompat::XBottom), 2000);
    QVERIFY(!showsLabels(matrix.plotAt(0, 0), QwtCompat::XBottom));
}

void tst_PlotMatrix::xScaleIsSharedInColumn()
{
    PlotMatrix matrix(2, 2);
    matrix.show();
    QVERIFY(QTest::qWaitForWindowExposed(&matrix));

    matrix.setAxisScale(QwtCompat::XBottom, 1, 10, 20, 5);
    QTRY_COMPARE_WITH_TIMEOUT(matrix.plotAt(1, 1)->axisScaleDiv(QwtCompat::XBottom).upperBound(), 20.0, 2000);
    QCOMPARE(matrix.plotAt(1, 1)->axisScaleDiv(QwtCompat::XBottom).lowerBound(), 10.0);
    QVERIFY(matrix.plotAt(1, 0)->axisScaleDiv(QwtCompat::XBottom).upperBound() != 20.0);

    matrix.setAxisScale(QwtCompat::YLeft, 1, -3, 3, 1);
    QTRY_COMPARE_WITH_TIMEOUT(matrix.plotAt(1, 1)->axisScaleDiv(QwtCompat::YLeft).lowerBound(), -3.0, 2000);
    QVERIFY(matrix.plotAt(0, 1)->axisScaleDiv(QwtCompat::YLeft).lowerBound() != -3.0);
}

void tst_PlotMatrix::hiddenPlotDrivesNothing()
{
    PlotMatrix matrix(2, 1);
    matrix.plotAt(1, 0)->hide();
    matrix.show();
    QVERIFY(QTest::qWaitForWindowExposed(&matrix));
    const QwtScaleDiv before = matrix.plotAt(0, 0)->axisScaleDiv(QwtCompat::XBottom);

    QwtPlot *hidden = matrix.plotAt(1, 0);
    hidden->setAxisScale(QwtCompat::XBottom, 0, 999);
    hidden->updateAxes();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(matrix.plotAt(0, 0)->axisScaleDiv(QwtCompat::XBottom), before);

    matrix.setAxisScale(QwtCompat::XBottom, 0, 0, 30);
    QTRY_COMPARE_WITH_TIMEOUT(hidden->axisScaleDiv(QwtCompat::XBottom).upperBound(), 30.0, 2000);
}

void tst_PlotMatrix::setPlotReplacesOnlyValidCells()
{
    PlotMatrix matrix(2, 1);
    QPointer<QwtPlot> original = matrix.plotAt(0, 0);
    matrix.setPlot(original, 0, 0);
    QVERIFY(original);

    auto *replacement = new QwtPlot;
    matrix.setPlot(replacement, 2, 0);
    matrix.setPlot(replacement, 0, 1);
    QCOMPARE(matrix.plotAt(0, 0), original.data());

    matrix.setPlot(replacement, 0, 0);
    QVERIFY(!original);
    QCOMPARE(matrix.plotAt(0, 0), replacement);
    QCOMPARE(replacement->parentWidget(), &matrix);

    QWidget elsewhere;
    replacement->setParent(&elsewhere);
    QPointer<QwtPlot> released = replacement;
    matrix.setPlot(new QwtPlot, 0, 0);
    QVERIFY(released);
    QCOMPARE(released->parentWidget(), &elsewhere);

    // The new plot's scale changes reach the others in its column.
    matrix.show();
    QVERIFY(QTest::qWaitForWindowExposed(&matrix));
    matrix.setAxisScale(QwtCompat::XBottom, 0, 0, 70);
    QTRY_COMPARE_WITH_TIMEOUT(matrix.plotAt(1, 0)->axisScaleDiv(QwtCompat::XBottom).upperBound(), 70.0, 2000);
}

QTEST_MAIN(tst_PlotMatrix)
#include "tst_plotmatrix.moc"
