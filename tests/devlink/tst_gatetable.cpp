#include "devlink/GateTable.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {

constexpr double kDt = 1.6;

bool IsMultipleOfDt(double v)
{
    const double q = v / kDt;
    return std::fabs(q - std::round(q)) < 1e-6;
}

} // namespace

class tst_GateTable : public QObject
{
    Q_OBJECT

private slots:
    void knownTables_data();
    void knownTables();
    void linearStartAt25Hz();
    void shortQuarterPeriodIsOneLinearGrid();
    void gateTableStartsOneSampleAfterPreviousEnd();
    void unusableInputsGiveNoGates_data();
    void unusableInputsGiveNoGates();
};

void tst_GateTable::knownTables_data()
{
    QTest::addColumn<double>("fs");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("lastEnd");

    QTest::newRow("25 Hz") << 25.0 << 656 << 10000.0;
    QTest::newRow("100 Hz") << 100.0 << 525 << 2499.2;
    QTest::newRow("1000 Hz") << 1000.0 << 1249 << 1996.8;
}

// Invariants that hold for every table: increasing ends on the 1.6 µs grid,
// gaps of at least one sample, and the last end equal to the sum of widths
// (the reordering pass moves widths but never changes them).
void tst_GateTable::knownTables()
{
    QFETCH(double, fs);
    QFETCH(int, count);
    QFETCH(double, lastEnd);

    const QVector<double> ends = MakeGateEnds(fs, 625000.0, 1250);
    QCOMPARE(ends.size(), count);
    QVERIFY(std::fabs(ends.last() - lastEnd) < 1e-6);

    double widthSum = 0.0;
    for (int j = 0; j < ends.size(); ++j) {
        QVERIFY2(IsMultipleOfDt(ends[j]), qPrintable(QString::number(j)));
        const double width = j == 0 ? ends[0] : ends[j] - ends[j - 1];
        if (j > 0)
            QVERIFY2(width > kDt - 1e-6, qPrintable(QString::number(j)));
        widthSum += width;
    }
    QVERIFY(std::fabs(widthSum - ends.last()) < 1e-6);
}

// k = 730 and m = 136: 136 linear gates, then 1250 - 730 logarithmic ones.
void tst_GateTable::linearStartAt25Hz()
{
    const QVector<double> ends = MakeGateEnds(25.0, 625000.0, 1250);
    QCOMPARE(ends.size(), 136 + (1250 - 730));
    for (int j = 0; j < 136; ++j)
        QVERIFY2(std::fabs(ends[j] - (j + 1) * kDt) < 1e-6, qPrintable(QString::number(j)));
    QVERIFY(std::fabs(ends[135] - 217.6) < 1e-6);
}

void tst_GateTable::shortQuarterPeriodIsOneLinearGrid()
{
    const QVector<double> ends = MakeGateEnds(1000.0, 625000.0, 1250);
    QCOMPARE(ends.size(), 1249);
    for (int j = 0; j < ends.size(); ++j)
        QVERIFY2(std::fabs(ends[j] - j * kDt) < 1e-6, qPrintable(QString::number(j)));
}

void tst_GateTable::gateTableStartsOneSampleAfterPreviousEnd()
{
    const QVector<double> ends = MakeGateEnds(25.0, 625000.0, 1250);
    const QVector<st_TimeGate> gates = MakeGateTable(25.0f, 625000.0f, 1250);
    QCOMPARE(gates.size(), ends.size());
    QCOMPARE(gates[0].start, ends[0]);
    QCOMPARE(gates[0].end, ends[0]);
    for (int i = 1; i < gates.size(); ++i) {
        QCOMPARE(gates[i].end, ends[i]);
        QCOMPARE(gates[i].start, gates[i - 1].end + kDt);
    }
    // Consecutive ends one sample apart give gates of zero width.
    QCOMPARE(gates[1].start, gates[1].end);
}

void tst_GateTable::unusableInputsGiveNoGates_data()
{
    QTest::addColumn<double>("fs");
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("n");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("zero frequency") << 0.0 << 625000.0 << 1250;
    QTest::newRow("negative frequency") << -25.0 << 625000.0 << 1250;
    QTest::newRow("NaN frequency") << nan << 625000.0 << 1250;
    QTest::newRow("infinite frequency") << inf << 625000.0 << 1250;
    QTest::newRow("zero rate") << 25.0 << 0.0 << 1250;
    QTest::newRow("one point") << 25.0 << 625000.0 << 1;
    QTest::newRow("no points") << 25.0 << 625000.0 << 0;
    QTest::newRow("negative points") << 25.0 << 625000.0 << -5;
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
    if (n >= 0)
        QVERIFY(MakeGateTable(float(fs), float(rate), quint32(n)).isEmpty());
}

QTEST_APPLESS_MAIN(tst_GateTable)
#include "tst_gatetable.moc"
