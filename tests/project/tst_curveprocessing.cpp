#include "project/CurveProcessing.h"
#include "project/TimeChannel.h"

#include <QtTest>

#include <cmath>

using namespace CurveProcessing;
using Curve = QVector<double>;

static Curve grid(int n, double step, double from = 0.0)
{
    Curve v;
    for (int k = 0; k < n; ++k)
        v.append(from + k * step);
    return v;
}

static st_RecvData_VRX2208 record(int type, const Curve& times, const Curve& values)
{
    st_RecvData_VRX2208 r;
    r.TYPE = type;
    r.times = times;
    r.values = values;
    return r;
}

static void compareFuzzy(const Curve& actual, const Curve& expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < actual.size(); ++i)
        QVERIFY2(std::abs(actual.at(i) - expected.at(i)) <= 1e-9 * qMax(1.0, std::abs(expected.at(i))),
                 qPrintable(QStringLiteral("element %1: %2").arg(i).arg(actual.at(i), 0, 'g', 17)));
}

// The time-channel table and the steps of the decay-curve pipeline, with
// hand-computed numbers.
class tst_CurveProcessing : public QObject
{
    Q_OBJECT

private slots:
    // Nothing here registers the compiled-in files: the table must load
    // anyway, and a file that cannot be opened leaves it as it was.
    void initTestCase()
    {
        TimeChannel::load(QStringLiteral(":/etc/time.ini"));
        TimeChannel::load(QStringLiteral(":/etc/missing.ini"));
    }

    void init()
    {
        startTime = 80;
        smoothingEnabled = true;
        curveDivisor = 11.0;
    }

    void gating_data()
    {
        QTest::addColumn<Curve>("times");
        QTest::addColumn<Curve>("values");
        QTest::addColumn<Curve>("gates");
        QTest::addColumn<Curve>("means");
        // 1.6 ... 94.4 µs and 95: gates 10 ... 90.85176; samples below 10 µs are
        // ignored. Each mean is the middle of its gate's run of samples: gate 10
        // takes 11.2 (up to 11.294625), the last takes 88.0 ... 95 (from 86.69609).
        const Curve curve = grid(59, 1.6, 1.6) + Curve{95.0};
        QTest::newRow("1.6 to 95 us") << curve << curve << TimeChannel::table().mid(0, 11)
                                      << Curve{11.2, 12.8, 16.0, 20.8, 25.6, 32.0, 40.8, 51.2, 64.8, 80.0, 551.0 / 6};
        // A midpoint belongs to the later gate; gates without samples are left out.
        QTest::newRow("midpoint") << Curve{10.0, (12.58925 + 15.84893) / 2, 40.0} << Curve{1, 2, 3}
                                  << Curve{10.0, 15.84893, 39.81072} << Curve{1, 2, 3};
        // A time that is no number drops its own sample only, the first as well.
        QTest::newRow("time not a number")
            << Curve{NAN, 10, NAN, 11, 12} << Curve{100, 1, 100, 2, 3} << Curve{10} << Curve{2};
        QTest::newRow("below 10 us") << Curve{1.6, 3.2, 9.6} << Curve{1, 2, 3} << Curve{} << Curve{};
        QTest::newRow("values shorter") << Curve{10, 11, 12} << Curve{4} << Curve{10} << Curve{4};
    }

    void gating()
    {
        QFETCH(Curve, times);
        QFETCH(Curve, values);
        QFETCH(Curve, means);
        TimeChannel::toTimeChannels(times, values);
        QTEST(times, "gates");
        compareFuzzy(values, means);
    }

    void alignment_data()
    {
        QTest::addColumn<double>("offTime");
        QTest::addColumn<int>("valueCount");
        QTest::addColumn<Curve>("wantTimes");
        QTest::addColumn<Curve>("wantValues");
        // 6.4 -> ceil(1.4) = 2 -> 1.6; 8.0 -> 3 -> 1.6, too close, so 3.2.
        QTest::newRow("5.0") << 5.0 << 10 << Curve{1.6, 3.2, 4.8, 6.4, 8.0, 9.6} << Curve{4, 5, 6, 7, 8, 9};
        for (double off : {0.0, 14.4, -1.0, double(NAN), double(INFINITY)})
            QTest::newRow(qPrintable(QString::number(off))) << off << 10 << grid(10, 1.6) << grid(10, 1.0);
        QTest::newRow("values shorter") << 5.0 << 5 << grid(10, 1.6) << grid(5, 1.0);
    }

    void alignment()
    {
        QFETCH(double, offTime);
        QFETCH(int, valueCount);
        QFETCH(Curve, wantTimes);
        QFETCH(Curve, wantValues);
        Curve times = grid(10, 1.6);
        Curve values = grid(valueCount, 1.0);
        alignTimes(times, values, offTime);
        compareFuzzy(times, wantTimes);
        compareFuzzy(values, wantValues);
    }

    void smoothingWindows_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QVector<int>>("changed");
        QTest::addColumn<Curve>("expected");
        // y = k * k; a 3-point mean of it adds 2/3, a 5-point mean adds 2.
        QTest::newRow("10") << 10 << QVector<int>{} << Curve{};
        QTest::newRow("11") << 11 << QVector<int>{9} << Curve{245.0 / 3};
        QTest::newRow("13") << 13 << QVector<int>{11} << Curve{(100 + 365.0 / 3 + 144) / 3};
        QVector<int> changed;
        Curve expected;
        for (int i = 11; i <= 102; ++i) {
            changed.append(i);
            expected.append(i * i + (i == 101 ? 2.0 : 2.0 / 3));
        }
        QTest::newRow("104") << 104 << changed << expected;
    }

    void smoothingWindows()
    {
        QFETCH(int, n);
        QFETCH(QVector<int>, changed);
        QFETCH(Curve, expected);
        Curve y;
        for (int k = 0; k < n; ++k)
            y.append(double(k) * k);
        Curve want = y;
        for (int i = 0; i < changed.size(); ++i)
            want[changed.at(i)] = expected.at(i);
        compareFuzzy(smoothCurve(y), want);
    }

    void pipeline_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("divisor");
        QTest::addColumn<int>("cut");
        QTest::addColumn<Curve>("values");
        QTest::addColumn<Curve>("wantTimes");
        QTest::addColumn<Curve>("wantValues");
        // 70 samples 1.6 µs apart, values 11 * t / 100: after the divisor each
        // value is t / 100, so every gate mean is the mean time of its window
        // over 100. Gates 82.54042 (samples 46..54), 90.85176 (55..59) and 100
        // (60..69, the last) lie above startTime; linear data pass smoothing.
        const Curve gates{82.54042, 90.85176, 100};
        QTest::newRow("sounding") << 0 << 11.0 << 80 << grid(70, 0.176) << gates << Curve{0.8, 0.912, 1.032};
        QTest::newRow("no divisor") << 0 << 0.0 << 80 << grid(70, 0.016) << gates << Curve{0.8, 0.912, 1.032};
        QTest::newRow("start time 0, negative")
            << 0 << 11.0 << 0 << Curve(70, -11.0) << TimeChannel::table().mid(0, 12) << Curve(12, 1.0);
        QTest::newRow("all below start") << 0 << 11.0 << 800 << grid(70, 0.176) << Curve{} << Curve{};
        // Self-check: neither divided, gated nor cut; a zero leaves as -1.1e-9
        // and values above 10 as 10.
        Curve clamped = grid(70, 0.176);
        clamped[0] = -1.1e-9;
        for (int k = 57; k < 70; ++k)
            clamped[k] = 10.0;
        QTest::newRow("self-check") << 1 << 11.0 << 80 << grid(70, 0.176) << grid(70, 1.6) << clamped;
    }

    void pipeline()
    {
        QFETCH(int, mode);
        QFETCH(Curve, values);
        QFETCH(Curve, wantTimes);
        QFETCH(Curve, wantValues);
        QFETCH(double, divisor);
        QFETCH(int, cut);
        curveDivisor = divisor;
        startTime = cut;
        Curve times = grid(70, 1.6);
        processCurve(values, times, 0.0, mode);
        compareFuzzy(times, wantTimes);
        compareFuzzy(values, wantValues);

        // Mismatched input stays in bounds.
        times = grid(70, 1.6);
        values.resize(30);
        processCurve(values, times, 5.0, mode);
        QVERIFY(values.size() <= times.size());
        values.clear();
        times.clear();
        processCurve(values, times, 5.0, mode);
        QVERIFY(values.isEmpty() && times.isEmpty());
    }

    void spreadOfRecords()
    {
        Curve v{0.0, 20.0, -20.0, 5e-10, 3.0, INFINITY, std::nan("")};
        clampMagnitude(v, 10.0, 1.1e-9);
        compareFuzzy(v.mid(0, 6), {-1.1e-9, 10.0, -10.0, 1.1e-9, 3.0, 10.0});
        QVERIFY(std::isnan(v.at(6)));

        const st_RecvData_VRX2208 a = record(1, {1, 2, 3, 4}, {10, 100, 1, 10});
        const st_RecvData_VRX2208 b = record(1, {1, 2, 3, 4}, {100, 100, 0, 0.1});
        // log10 values {1, 2}: mean 1.5, s = sqrt(0.5) -> 47.14045; {2, 2}: 0;
        // log10(0) is -inf and a mean of 0 divides by zero: both 100.
        compareFuzzy(errorCurve({a, b}), {100 * std::sqrt(0.5) / 1.5, 0.0, 100, 100});
        QVERIFY(errorCurve({}).isEmpty());
        QCOMPARE(errorCurve({a, record(1, {}, {100, 100})}).size(), 4);

        // A mean runs over the leading records of the first one's kind and length.
        const st_RecvData_VRX2208 r1 = record(1, {1, 2}, {1, 2});
        const st_RecvData_VRX2208 r3 = record(2, {1, 2}, {5, 6});
        QCOMPARE(meanReceiverCurve({r1, record(1, {1, 2}, {3, 4}), r3}), (Curve{2, 3}));
        QVERIFY(meanReceiverCurve({record(1, {1}, {1, 2}), r1}).isEmpty());
        QVERIFY(meanReceiverCurve({}).isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_CurveProcessing)
#include "tst_curveprocessing.moc"
