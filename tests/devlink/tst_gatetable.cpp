#include "devlink/GateTable.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {

constexpr double kDt = 1.6;

bool Near(double a, double b)
{
    return std::fabs(a - b) < 1e-6;
}

} // namespace

class tst_GateTable : public QObject
{
    Q_OBJECT

private slots:
    void knownTables_data();
    void knownTables();
    void unusableInputsGiveNoGates_data();
    void unusableInputsGiveNoGates();
};

void tst_GateTable::knownTables_data()
{
    QTest::addColumn<double>("fs");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("lastEnd");
    QTest::addColumn<double>("firstEnd");
    QTest::addColumn<int>("linear"); // leading ends on the plain 1.6 µs grid
    // Pairs of gate index and gate end in samples of 1.6 µs, worked out
    // apart from this code. Each lies past a narrower width that the
    // reordering pass moved forward, so a table built without it differs.
    QTest::addColumn<QVector<int>>("pinned");

    // 25 Hz: k = 730, m = 136, so 136 linear gates and 1250 - 730 more.
    QTest::newRow("25 Hz") << 25.0 << 656 << 10000.0 << 1.6 << 136
                           << QVector<int>{153, 154, 200, 213, 300, 454, 500, 1994, 624, 4973};
    QTest::newRow("100 Hz") << 100.0 << 525 << 2499.2 << 1.6 << 1
                            << QVector<int>{182, 183, 300, 378, 400, 715, 519, 1512};
    // No logarithmic step exceeds 1.6 µs: k = 1, m = 0, one grid from 0.
    QTest::newRow("1000 Hz") << 1000.0 << 1249 << 1996.8 << 0.0 << 1249 << QVector<int>();
}

// Besides the numbers the units use, the invariants of every table: ends on
// the 1.6 µs grid, at least one sample apart, the last equal to the sum of
// the widths (the reordering pass moves widths but never changes them).
void tst_GateTable::knownTables()
{
    QFETCH(double, fs);
    QFETCH(int, count);
    QFETCH(double, lastEnd);
    QFETCH(double, firstEnd);
    QFETCH(int, linear);
    QFETCH(QVector<int>, pinned);

    const QVector<double> ends = MakeGateEnds(fs, 625000.0, 1250);
    QCOMPARE(ends.size(), count);
    QVERIFY(Near(ends.last(), lastEnd));
    for (int i = 0; i < pinned.size(); i += 2)
        QVERIFY2(Near(ends[pinned[i]], pinned[i + 1] * kDt), qPrintable(QString::number(pinned[i])));
    double widthSum = ends[0];
    for (int j = 0; j < ends.size(); ++j) {
        QVERIFY2(Near(ends[j] / kDt, std::round(ends[j] / kDt)), qPrintable(QString::number(j)));
        QVERIFY2(j >= linear || Near(ends[j], firstEnd + j * kDt), qPrintable(QString::number(j)));
        if (j > 0) {
            QVERIFY2(ends[j] - ends[j - 1] > kDt - 1e-6, qPrintable(QString::number(j)));
            widthSum += ends[j] - ends[j - 1];
        }
    }
    QVERIFY(Near(widthSum, ends.last()));

    // Each gate starts one sample after the previous one ends.
    const QVector<st_TimeGate> gates = MakeGateTable(float(fs), 625000.0f, 1250);
    QCOMPARE(gates.size(), count);
    for (int i = 0; i < gates.size(); ++i) {
        QCOMPARE(gates[i].end, ends[i]);
        QCOMPARE(gates[i].start, i == 0 ? ends[0] : gates[i - 1].end + kDt);
    }
}

void tst_GateTable::unusableInputsGiveNoGates_data()
{
    QTest::addColumn<double>("fs");
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("n");

    QTest::newRow("zero frequency") << 0.0 << 625000.0 << 1250;
    QTest::newRow("NaN frequency") << std::numeric_limits<double>::quiet_NaN() << 625000.0 << 1250;
    QTest::newRow("zero rate") << 25.0 << 0.0 << 1250;
    QTest::newRow("one point") << 25.0 << 625000.0 << 1;
    // Too few points: the linear part would outgrow the change-over index
    // (and, for the tiny frequency, the range of int).
    QTest::newRow("linear part past change-over") << 25.0 << 625000.0 << 3;
    QTest::newRow("linear part beyond int") << 1e-30 << 625000.0 << 2;
}

void tst_GateTable::unusableInputsGiveNoGates()
{
    QFETCH(double, fs);
    QFETCH(double, rate);
    QFETCH(int, n);

    QVERIFY(MakeGateEnds(fs, rate, n).isEmpty());
    QVERIFY(MakeGateTable(float(fs), float(rate), quint32(n)).isEmpty());
}

QTEST_APPLESS_MAIN(tst_GateTable)
#include "tst_gatetable.moc"
