#include "tests/support/TestEnvironment.h"
#include "ui/PlotMatrix.h"
#include "ui/QwtCompat.h"

#include <QPointer>
#include <QTest>

#include <qwt_plot.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

namespace {

// One digit per plot in row-major order: 1 where the axis shows tick labels.
QString labels(const PlotMatrix& matrix, int axis)
{
    QString result;
    for (int row = 0; row < matrix.numRows(); ++row) {
        for (int column = 0; column < matrix.numColumns(); ++column) {
            const QwtPlot* plot = matrix.plotAt(row, column);
            result += plot->axisScaleDraw(axis)->hasComponent(QwtAbstractScaleDraw::Labels) ? '1' : '0';
        }
    }
    return result;
}

double upper(const QwtPlot* plot, int axis)
{
    return plot->axisScaleDiv(axis).upperBound();
}

} // namespace

class tst_PlotMatrix : public QObject
{
    Q_OBJECT

private slots:
    void outerPlotsCarryLabelsAndScalesAreShared()
    {
        PlotMatrix matrix(2, 3);
        QVERIFY(!matrix.plotAt(2, 0));
        QCOMPARE(labels(matrix, QwtCompat::YLeft), QStringLiteral("100100"));
        QCOMPARE(labels(matrix, QwtCompat::XBottom), QStringLiteral("000111"));
        QCOMPARE(labels(matrix, QwtCompat::YRight), QStringLiteral("000000"));
        QCOMPARE(labels(matrix, QwtCompat::XTop), QStringLiteral("000000"));
        matrix.enableAxis(QwtCompat::AxisCount, true);
        matrix.enableAxis(QwtCompat::YRight, true);
        QCOMPARE(labels(matrix, QwtCompat::YRight), QStringLiteral("001001"));

        matrix.show();
        QVERIFY(QTest::qWaitForWindowExposed(&matrix, TestTimeoutMs()));
        matrix.setAxisScale(QwtCompat::XBottom, 1, 10, 20, 5);
        QTRY_COMPARE_WITH_TIMEOUT(upper(matrix.plotAt(1, 1), QwtCompat::XBottom), 20.0, TestTimeoutMs());
        QCOMPARE(matrix.plotAt(1, 1)->axisScaleDiv(QwtCompat::XBottom).lowerBound(), 10.0);
        QVERIFY(upper(matrix.plotAt(1, 0), QwtCompat::XBottom) != 20.0);
        matrix.setAxisScale(QwtCompat::YLeft, 1, -3, 3, 1);
        QTRY_COMPARE_WITH_TIMEOUT(upper(matrix.plotAt(1, 1), QwtCompat::YLeft), 3.0, TestTimeoutMs());
        QVERIFY(upper(matrix.plotAt(0, 1), QwtCompat::YLeft) != 3.0);
    }

    // Shaped as the window uses it: its own plot on top, the row below hidden.
    void replacedPlotAboveAHiddenRow()
    {
        PlotMatrix matrix(2, 1);
        QPointer<QwtPlot> original = matrix.plotAt(0, 0);
        QPointer<QwtPlot> replacement = new QwtPlot;
        matrix.setPlot(original, 0, 0);
        matrix.setPlot(replacement, 2, 0);
        matrix.setPlot(replacement, 0, 1);
        QVERIFY(original && matrix.plotAt(0, 0) == original);

        // The matrix deletes a plot it owns, and only releases one owned elsewhere.
        matrix.setPlot(replacement, 0, 0);
        QVERIFY(!original && replacement->parentWidget() == &matrix);
        QWidget elsewhere;
        replacement->setParent(&elsewhere);
        matrix.setPlot(new QwtPlot, 0, 0);
        QVERIFY(replacement);

        // The new plot's scale reaches the hidden one; the labels stay on the
        // last visible row.
        QwtPlot* hidden = matrix.plotAt(1, 0);
        hidden->hide();
        matrix.show();
        QVERIFY(QTest::qWaitForWindowExposed(&matrix, TestTimeoutMs()));
        matrix.setAxisScale(QwtCompat::XBottom, 0, 0, 50);
        QTRY_COMPARE_WITH_TIMEOUT(upper(hidden, QwtCompat::XBottom), 50.0, TestTimeoutMs());
        QCOMPARE(labels(matrix, QwtCompat::XBottom), QStringLiteral("10"));

        // A hidden plot never drives the others.
        hidden->setAxisScale(QwtCompat::XBottom, 0, 999);
        hidden->updateAxes();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(upper(matrix.plotAt(0, 0), QwtCompat::XBottom), 50.0);

        hidden->show();
        matrix.setAxisScale(QwtCompat::XBottom, 0, 0, 60);
        QTRY_COMPARE_WITH_TIMEOUT(labels(matrix, QwtCompat::XBottom), QStringLiteral("01"), TestTimeoutMs());
    }

    // With the last row hidden, the row above draws the x scale: the room it
    // keeps at the scale's ends holds, and the hidden row takes it over.
    void shownRowSetsXScaleBorders()
    {
        PlotMatrix matrix(2, 1);
        QwtPlot* shown = matrix.plotAt(0, 0);
        QwtPlot* hidden = matrix.plotAt(1, 0);
        hidden->hide();
        matrix.show();
        QVERIFY(QTest::qWaitForWindowExposed(&matrix, TestTimeoutMs()));
        shown->axisWidget(QwtCompat::XBottom)->setMinBorderDist(20, 30);
        matrix.updateLayout();

        int start = 0;
        int end = 0;
        shown->axisWidget(QwtCompat::XBottom)->getMinBorderDist(start, end);
        QCOMPARE(QPoint(start, end), QPoint(20, 30));
        hidden->axisWidget(QwtCompat::XBottom)->getMinBorderDist(start, end);
        QVERIFY(start >= 20 && end >= 30);
    }
};

QTEST_MAIN(tst_PlotMatrix)
#include "tst_plotmatrix.moc"
