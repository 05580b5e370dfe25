#include "devlink/GateTable.h"

#include <QtTest>

#include <cmath>
#include <tuple>

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
    void knownTables_data()
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

    // Besides the numbers the units use, the invariants of every table: ends
    // on the 1.6 µs grid, at least one sample apart; each gate starts one
    // sample after the previous one ends.
    void knownTables()
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
        const QVector<st_TimeGate> gates = MakeGateTable(float(fs), 625000.0f, 1250);
        QCOMPARE(gates.size(), count);
        for (int j = 0; j < ends.size(); ++j) {
            QVERIFY2(Near(ends[j] / kDt, std::round(ends[j] / kDt)), qPrintable(QString::number(j)));
            QVERIFY2(j >= linear || Near(ends[j], firstEnd + j * kDt), qPrintable(QString::number(j)));
            QVERIFY2(j == 0 || ends[j] - ends[j - 1] > kDt - 1e-6, qPrintable(QString::number(j)));
            QCOMPARE(gates[j].end, ends[j]);
            QCOMPARE(gates[j].start, j == 0 ? ends[0] : gates[j - 1].end + kDt);
        }
    }

    // Too few points make the linear part outgrow the change-over index (and,
    // for the tiny frequency, the range of int).
    void unusableInputsGiveNoGates()
    {
        using Input = std::tuple<double, double, int>; // frequency, sample rate, points
        for (const auto& [fs, rate, n] :
             {Input{0.0, 625000.0, 1250}, Input{-25.0, 625000.0, 1250}, Input{qQNaN(), 625000.0, 1250},
              Input{qInf(), 625000.0, 1250}, Input{25.0, 0.0, 1250}, Input{25.0, 625000.0, 1}, Input{25.0, 625000.0, 3},
              Input{1e-30, 625000.0, 2}}) {
            const QString input = QStringLiteral("%1 Hz, %2 Hz, %3 points").arg(fs).arg(rate).arg(n);
            QVERIFY2(MakeGateEnds(fs, rate, n).isEmpty(), qPrintable(input));
            QVERIFY2(MakeGateTable(float(fs), float(rate), quint32(n)).isEmpty(), qPrintable(input));
        }
    }
};

QTEST_APPLESS_MAIN(tst_GateTable)
#include "tst_gatetable.moc"
