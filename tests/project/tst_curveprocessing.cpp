#include "project/CurveProcessing.h"
#include "project/TimeChannel.h"

#include <QtTest>

#include <cmath>

static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

using namespace CurveProcessing;

// The steps of the decay-curve pipeline with hand-computed numbers.
class tst_CurveProcessing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void alignmentRebasesOnTheGrid();
    void alignmentLeavesCurveOnBadInput();
    void smoothingWindows_data();
    void smoothingWindows();
    void clampKeepsSignAndNaN();
    void pipelineSounding();
    void pipelineSelfCheck();
    void startTimeCut();
    void mismatchedInputStaysInBounds();
    void spreadOfRecords();

private:
    static QVector<double> grid(int n, double valueStep);
    static void compareFuzzy(const QVector<double>& actual, const QVector<double>& expected);
};

void tst_CurveProcessing::initTestCase()
{
    initResources();
    TimeChannel::load(QStringLiteral(":/etc/time.ini"));
    QCOMPARE(TimeChannel::table().size(), 72);
}

void tst_CurveProcessing::init()
{
    startTime = 80;
    smoothingEnabled = true;
    curveDivisor = 11.0;
}

QVector<double> tst_CurveProcessing::grid(int n, double step)
{
    QVector<double> v;
    for (int k = 0; k < n; ++k)
        v.append(k * step);
    return v;
}

void tst_CurveProcessing::compareFuzzy(const QVector<double>& actual, const QVector<double>& expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < actual.size(); ++i) {
        if (std::abs(actual.at(i) - expected.at(i)) > 1e-9 * qMax(1.0, std::abs(expected.at(i))))
            QFAIL(qPrintable(QStringLiteral("element %1: %2, expected %3")
                                 .arg(i)
                                 .arg(actual.at(i), 0, 'g', 17)
                                 .arg(expected.at(i), 0, 'g', 17)));
    }
}

void tst_CurveProcessing::alignmentRebasesOnTheGrid()
{
    QVector<double> times = grid(10, 1.6);
    QVector<double> values = grid(10, 1.0);
    alignTimes(times, values, 5.0);
    // 6.4 -> ceil(1.4) = 2 -> 1.6; 8.0 -> 3 -> 1.6, too close, so 3.2.
    compareFuzzy(times, {1.6, 3.2, 4.8, 6.4, 8.0, 9.6});
    compareFuzzy(values, {4, 5, 6, 7, 8, 9});
}

void tst_CurveProcessing::alignmentLeavesCurveOnBadInput()
{
    const QVector<double> t = grid(10, 1.6);
    const QVector<double> v = grid(10, 1.0);
    for (double off : {0.0, 14.4, 20.0, -1.0, double(NAN), double(INFINITY)}) {
        QVector<double> times = t;
        QVector<double> values = v;
        alignTimes(times, values, off);
        QCOMPARE(times, t);
        QCOMPARE(values, v);
    }
    QVector<double> times = t;
    QVector<double> shorter = v.mid(0, 5);
    alignTimes(times, shorter, 5.0);
    QCOMPARE(times, t);
}

void tst_CurveProcessing::smoothingWindows_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QVector<int>>("changed");
    QTest::addColumn<QVector<double>>("expected");
    // y = k * k; a 3-point mean of it adds 2/3, a 5-point mean adds 2.
    QTest::newRow("11") << 11 << QVector<int>{9} << QVector<double>{245.0 / 3};
    QTest::newRow("13") << 13 << QVector<int>{11}
                        << QVector<double>{(100 + 365.0 / 3 + 144) / 3};
    QVector<int> changed;
    QVector<double> expected;
    for (int i = 11; i <= 100; ++i) {
        changed.append(i);
        expected.append(i * i + 2.0 / 3);
    }
    changed << 101 << 102;
    expected << 101 * 101 + 2.0 << 102 * 102 + 2.0 / 3;
    QTest::newRow("104") << 104 << changed << expected;
}

void tst_CurveProcessing::smoothingWindows()
{
    QFETCH(int, n);
    QFETCH(QVector<int>, changed);
    QFETCH(QVector<double>, expected);
    QVector<double> y;
    for (int k = 0; k < n; ++k)
        y.append(double(k) * k);
    QVector<double> want = y;
    for (int i = 0; i < changed.size(); ++i)
        want[changed.at(i)] = expected.at(i);
    compareFuzzy(smoothCurve(y), want);
    QCOMPARE(smoothCurve(y.mid(0, 10)), y.mid(0, 10));
}

void tst_CurveProcessing::clampKeepsSignAndNaN()
{
    QVector<double> v{0.0, 20.0, -20.0, 5e-10, -5e-10, 3.0, INFINITY, std::nan("")};
    clampMagnitude(v, 10.0, 1.1e-9);
    compareFuzzy(v.mid(0, 7), {-1.1e-9, 10.0, -10.0, 1.1e-9, -1.1e-9, 3.0, 10.0});
    QVERIFY(std::isnan(v.at(7)));
}

void tst_CurveProcessing::pipelineSounding()
{
    // 70 samples 1.6 µs apart, values 11 * t / 100: after the divisor each
    // value is t / 100, so every gate mean is the mean time of its window
    // over 100. Gates 82.54042 (samples 46..54), 90.85176 (55..59) and 100
    // (60..69, the last) lie above startTime; linear data pass smoothing.
    QVector<double> times = grid(70, 1.6);
    QVector<double> values = grid(70, 0.11 * 1.6);
    processCurve(values, times, 0.0, 0);
    compareFuzzy(times, {82.54042, 90.85176, 100});
    compareFuzzy(values, {0.8, 0.912, 1.032});

    curveDivisor = 0.0; // no division
    times = grid(70, 1.6);
    values = grid(70, 0.016);
    processCurve(values, times, 0.0, 0);
    compareFuzzy(values, {0.8, 0.912, 1.032});
}

void tst_CurveProcessing::pipelineSelfCheck()
{
    QVector<double> times = grid(70, 1.6);
    QVector<double> values = grid(70, 0.176);
    processCurve(values, times, 0.0, 1);
    QCOMPARE(times, grid(70, 1.6));
    QCOMPARE(values.size(), 70);
    QCOMPARE(values.at(0), -1.1e-9);
    QVERIFY(qFuzzyCompare(values.at(10), 1.76));
    QCOMPARE(values.at(57), 10.0);
}

void tst_CurveProcessing::startTimeCut()
{
    for (int cut : {0, 800}) {
        startTime = cut;
        QVector<double> times = grid(700, 1.6);
        QVector<double> values(700, 1.1);
        processCurve(values, times, 0.0, 0);
        QVERIFY(!times.isEmpty());
        QCOMPARE(times.first(), cut == 0 ? 10.0 : 885.8668);
        QCOMPARE(values.size(), times.size());
    }
    startTime = 800;
    QVector<double> times = grid(100, 1.6);
    QVector<double> values(100, 1.1);
    processCurve(values, times, 0.0, 0);
    QVERIFY(times.isEmpty());
    QVERIFY(values.isEmpty());
}

void tst_CurveProcessing::mismatchedInputStaysInBounds()
{
    QVector<double> times = grid(70, 1.6);
    QVector<double> values = grid(30, 0.176);
    processCurve(values, times, 5.0, 0);
    QVERIFY(values.size() <= times.size() || times.isEmpty());

    QVector<double> none;
    QVector<double> noTimes;
    processCurve(none, noTimes, 5.0, 0);
    QVERIFY(none.isEmpty() && noTimes.isEmpty());
}

void tst_CurveProcessing::spreadOfRecords()
{
    QVector<double> four{1, 2, 3, 4};
    QVERIFY(std::abs(relativeStdDev(four) - 51.63978) < 1e-5);
    QVector<double> one{5};
    QVERIFY(std::isnan(relativeStdDev(one)));
    QVector<double> none;
    QCOMPARE(relativeStdDevOrZero(none), 0.0);

    st_RecvData_VRX2208 a;
    a.TYPE = 1;
    a.times = {1, 2, 3, 4};
    a.values = {10, 100, 1, 10};
    st_RecvData_VRX2208 b = a;
    b.values = {100, 100, 0, 0.1};
    // log10 values {1, 2}: mean 1.5, s = sqrt(0.5) -> 47.14045; {2, 2}: 0;
    // log10(0) is -inf and a mean of 0 divides by zero: both 100.
    compareFuzzy(errorCurve({a, b}).mid(0, 2), {100 * std::sqrt(0.5) / 1.5, 0.0});
    QCOMPARE(errorCurve({a, b}).mid(2), (QVector<double>{100, 100}));
    QCOMPARE(errorCurve({a}), QVector<double>(4, 0.0));
    QVERIFY(errorCurve({}).isEmpty());
    b.values = {100, 100};
    QCOMPARE(errorCurve({a, b}).size(), 4);

    st_RecvData_VRX2208 r1;
    r1.TYPE = 1;
    r1.times = {1, 2};
    r1.values = {1, 2};
    st_RecvData_VRX2208 r2 = r1;
    r2.values = {3, 4};
    st_RecvData_VRX2208 r3 = r1;
    r3.TYPE = 2;
    r3.values = {5, 6};
    QCOMPARE(meanReceiverCurve({r1, r2, r3}), (QVector<double>{2, 3}));
    QCOMPARE(meanReceiverCurve({r3, r1}), (QVector<double>{5, 6}));
    r1.times = {1};
    QVERIFY(meanReceiverCurve({r1, r2}).isEmpty());
    QVERIFY(meanReceiverCurve({}).isEmpty());
}

QTEST_GUILESS_MAIN(tst_CurveProcessing)
#include "tst_curveprocessing.moc"
