#include "ui/TransmitCurves.h"

#include <QTest>

#include <cmath>
#include <limits>

// The transmit-current and turn-off curves drawn beside the decay curves.
class tst_TransmitCurves : public QObject
{
    Q_OBJECT

private slots:
    void sendCurveSpansOnePeriod();
    void unusableRatesDrawNothing_data();
    void unusableRatesDrawNothing();
    void offCurveBaseline_data();
    void offCurveBaseline();
    void earlyDecayIsStraightened();
};

void tst_TransmitCurves::sendCurveSpansOnePeriod()
{
    QVector<double> data(500);
    for (int i = 0; i < data.size(); ++i)
        data[i] = i < 250 ? 12.0 : -8.0;

    TransmitCurves::Curve curve;
    QVERIFY(TransmitCurves::sendCurve(25.0, data, &curve));
    QCOMPARE(curve.x.size(), 500);
    QCOMPARE(curve.x.first(), 0.08);
    QCOMPARE(curve.x.last(), 40.0);
    QCOMPARE(curve.y.first(), 10.0);
    QCOMPARE(curve.y.last(), -10.0);
}

void tst_TransmitCurves::unusableRatesDrawNothing_data()
{
    QTest::addColumn<double>("fs");
    QTest::addColumn<bool>("send");
    QTest::addColumn<bool>("off");

    QTest::newRow("above 1e8") << 2e8 << false << true;
    QTest::newRow("zero") << 0.0 << false << false;
    QTest::newRow("negative") << -25.0 << false << false;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << false << false;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << false << false;
}

void tst_TransmitCurves::unusableRatesDrawNothing()
{
    QFETCH(double, fs);
    QFETCH(bool, send);
    QFETCH(bool, off);

    TransmitCurves::Curve curve;
    QCOMPARE(TransmitCurves::sendCurve(fs, {1, 2, 3}, &curve), send);
    QCOMPARE(TransmitCurves::offCurve(fs, {1, 2, 3}, &curve), off);
}

void tst_TransmitCurves::offCurveBaseline_data()
{
    QTest::addColumn<QVector<double>>("data");
    QTest::addColumn<QVector<double>>("y");
    QTest::addColumn<bool>("straightened");

    QTest::newRow("last five of seven") << QVector<double>{9, 7, 1, 2, 3, 4, 5}
                                        << QVector<double>{6, 4, -2, -1, 0, 1, 2} << true;
    // Fewer than five samples: the mean of those there are.
    QTest::newRow("three samples") << QVector<double>{6, 3, 0} << QVector<double>{3, 0, -3} << false;
    QTest::newRow("none") << QVector<double>{} << QVector<double>{} << false;
}

void tst_TransmitCurves::offCurveBaseline()
{
    QFETCH(QVector<double>, data);
    QFETCH(QVector<double>, y);
    QFETCH(bool, straightened);

    TransmitCurves::Curve curve;
    QVERIFY(TransmitCurves::offCurve(2000000.0, data, &curve));
    QCOMPARE(curve.y, y);
    for (int i = 0; i < curve.x.size(); ++i)
        QCOMPARE(curve.x[i], (i + 1) * 0.5);
    // Fewer than four samples are too short to straighten.
    QCOMPARE(TransmitCurves::fitEarlyDecay(curve.x, curve.y) != y, straightened);
}

void tst_TransmitCurves::earlyDecayIsStraightened()
{
    TransmitCurves::Curve curve;
    QVector<double> data(500);
    for (int i = 0; i < data.size(); ++i)
        data[i] = 100.0 * std::exp(-i / 40.0);
    QVERIFY(TransmitCurves::offCurve(2000000.0, data, &curve));

    const QVector<double> fitted = TransmitCurves::fitEarlyDecay(curve.x, curve.y);
    double slope = 0.0;
    for (int i = 60; i < 160; ++i)
        slope += (curve.y[i + 1] - curve.y[i]) / (curve.x[i + 1] - curve.x[i]);
    slope = slope / 100 * 0.91;
    for (int i : {0, 59, 159})
        QVERIFY(qFuzzyCompare(fitted[i], slope * (curve.x[i] - curve.x[160]) + curve.y[160]));
    for (int i : {160, 161, 499})
        QCOMPARE(fitted[i], curve.y[i]);
}

QTEST_APPLESS_MAIN(tst_TransmitCurves)
#include "tst_transmitcurves.moc"
