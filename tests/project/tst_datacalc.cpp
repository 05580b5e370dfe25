#include "project/CurveProcessing.h"
#include "project/Data_Calc.h"
#include "project/VectorBlob.h"

#include <QtTest>

using Curve = QVector<double>;
using Matrix = QVector<QVector<double>>;

// Gate centre times: a sounding curve on them is only divided by 11.
static const Curve kGates{82.54042, 90.85176, 100};

static st_RecvData_VRX2208 record(const Curve& values, const Curve& times = kGates, qint64 received = 0)
{
    st_RecvData_VRX2208 rec;
    rec.values = values;
    rec.times = times;
    rec.StartTime = received;
    return rec;
}

// Every plot command of one processor in order; a curve is named by its
// name and opacity.
struct Plots : QList<QVariantList>
{
    QStringList names;

    explicit Plots(Data_Calc& calc)
    {
        const auto log = [this](const char* name) {
            return [this, name](auto... args) {
                append(QVariantList{QVariant::fromValue(args)...});
                names.append(QString::fromUtf8(name));
            };
        };
        QObject::connect(&calc, &Data_Calc::graphClear, log("clear"));
        QObject::connect(&calc, &Data_Calc::graphAxisScale_Log, log("axis"));
        QObject::connect(&calc, &Data_Calc::newGraphData, [this](QString name, Curve x, Curve y, double alpha) {
            append(QVariantList{name, QVariant::fromValue(x), QVariant::fromValue(y), alpha});
            names.append(name + QLatin1Char('@') + QString::number(alpha));
        });
        QObject::connect(&calc, &Data_Calc::setGraphTitle, log("title"));
        QObject::connect(&calc, &Data_Calc::newGraph_Send, log("send"));
        QObject::connect(&calc, &Data_Calc::newGraph_Off, log("off"));
        QObject::connect(&calc, &Data_Calc::newGraph_Line, log("line"));
        QObject::connect(&calc, &Data_Calc::newGraph_Error, log("error"));
    }
    Curve curve(int command, int i) const { return at(command).at(i).value<Curve>(); }
};

class tst_DataCalc : public QObject
{
    Q_OBJECT

private slots:
    void storedRecordsAreDrawnInOrder_data();
    void storedRecordsAreDrawnInOrder();
    void freshAcquisitionDrawsTheLastRecord();
    void continuousHistoryKeepsTheLatestThirty();
    void transmitWaveformsAreAveraged();
};

void tst_DataCalc::storedRecordsAreDrawnInOrder_data()
{
    QTest::addColumn<QList<Curve>>("records");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<Curve>("mean");
    QTest::addColumn<Curve>("error");
    QTest::newRow("one") << QList<Curve>{{11, 22, 33}} << QStringList{"clear", "axis", "7点@1", "title", "error"}
                         << Curve{1, 2, 3} << Curve{0, 0, 0};
    // The spread of the processed curves: log10 of {1, 3, 5}, {2, 4, 6} and
    // {3, 5, 7}.
    QTest::newRow("three") << QList<Curve>{{11, 22, 33}, {33, 44, 55}, {55, 66, 77}}
                           << QStringList{"clear",     "axis",  "采样1@0.3", "采样2@0.3",
                                          "采样3@0.3", "7点@1", "title",     "error"}
                           << Curve{3, 4, 5} << Curve{91.107617, 43.052404, 27.500982};
}

void tst_DataCalc::storedRecordsAreDrawnInOrder()
{
    QFETCH(QList<Curve>, records);
    QFETCH(Curve, error);
    CurveProcessing::startTime = 500;
    Data_Calc calc; // sets the one start time back to 80 µs
    Plots plots(calc);
    QList<st_RecvData_VRX2208> list;
    for (const Curve& values : records)
        list.append(record(values));
    calc.onShowData_Recvs(QStringLiteral("7点"), list, 0.0, 0);
    calc.onShowData_Recvs(QStringLiteral("none"), {}, 0.0, 0);
    QTEST(plots.names, "order");
    QCOMPARE(plots.at(1), (QVariantList{true, true}));
    const int m = plots.size() - 3;
    QCOMPARE(plots.curve(m, 1), kGates);
    QTEST(plots.curve(m, 2), "mean");
    QCOMPARE(plots.at(m + 1), (QVariantList{QStringLiteral("7点"), true}));
    QCOMPARE(plots.curve(m + 2, 0), kGates);
    for (int k = 0; k < 3; ++k)
        QVERIFY(qAbs(plots.curve(m + 2, 1).at(k) - error.at(k)) < 1e-6);
    QCOMPARE(plots.at(m + 2).at(2).toBool(), records.size() > 1);
}

void tst_DataCalc::freshAcquisitionDrawsTheLastRecord()
{
    for (int continueMode : {0, 1}) {
        Data_Calc calc;
        Plots plots(calc);
        QList<st_RecvData_VRX2208> list;
        for (int i = 1; i <= 5; ++i)
            list.append(record({1.0 * i, 2.0 * i, 3.0 * i}, kGates, Q_INT64_C(1700000000123) + 1000 * i - 1000));
        calc.onData_Recvs(list, 0.0, 1, continueMode);
        // Self-check: neither divided nor gated; clamped at 10. In continuous
        // mode the title is the first record's local time (the tests' zone
        // is fixed).
        QCOMPARE(plots.names.mid(0, 4), (QStringList{"clear", "axis", "0@1", "title"}));
        QCOMPARE(plots.at(1), (QVariantList{false, false}));
        QCOMPARE(plots.curve(2, 2), (Curve{5, 10, 10}));
        QCOMPARE(plots.at(3),
                 (QVariantList{continueMode ? QStringLiteral("2023.11.15 06:13:20.123") : QStringLiteral("当前采集"),
                               true}));
        QCOMPARE(plots.names.contains(QStringLiteral("line")), continueMode == 1);
    }
}

void tst_DataCalc::continuousHistoryKeepsTheLatestThirty()
{
    Data_Calc calc;
    Plots plots(calc);
    Curve times;
    for (int k = 1; k <= 40; ++k)
        times.append(k);
    for (int i = 1; i <= 31; ++i)
        calc.onData_Recvs({record(Curve(40, 0.5), times, i)}, 0.0, 1, 1);
    QCOMPARE(plots.last().at(1).value<Curve>(), times.mid(1, 30));
    QCOMPARE(plots.last().at(3).toInt(), -1);

    // A shorter newest curve bounds the rows and gives the y axis.
    calc.onData_Recvs({record(Curve(38, -3.0), times.mid(0, 38), 32)}, 0.0, 1, 1);
    const Matrix matrix = plots.last().at(0).value<Matrix>();
    QCOMPARE(matrix.size(), 38);
    QCOMPARE(matrix.at(37), Curve(29, 0.5) << 2.6);
    QCOMPARE(plots.curve(plots.size() - 1, 2), times.mid(0, 38));

    // No curve, no entry.
    calc.onData_Recvs({record({}, {}, 33)}, 0.0, 1, 1);
    QCOMPARE(plots.names.last(), QStringLiteral("title"));

    // Magnitudes bounded for the colour scale; an exact 0 stays.
    QCOMPARE(Data_Calc::historyMatrix({{3.0, -1e-12, 0.0, -0.5, 2e-9}, {1, 1, 1, 1, 1, 1}}),
             (Matrix{{2.6, 1}, {1e-9, 1}, {0, 1}, {0.5, 1}, {2e-9, 1}}));
}

void tst_DataCalc::transmitWaveformsAreAveraged()
{
    Data_Calc calc;
    Plots plots(calc);
    const auto stored = [](const Curve& send, const Curve& off) {
        st_SampleData_Send s;
        s.SendFs = 25.0;
        s.SampleOffFs = 2e6;
        s.DATA_SEND = vectorToBlob(send);
        s.DATA_SOFF = vectorToBlob(off);
        return s;
    };
    // Waveforms of another length than the first are left out; no turn-off
    // samples, no turn-off plot.
    calc.onData_SendsByte({stored({1, 2}, {}), stored({3, 4, 5}, {}), stored({3, 6}, {})});
    calc.onData_SendsByte({stored({1}, {4, 4}), stored({3}, {2, 2})});
    st_TEMSendData fresh;
    fresh.SendFs = 12.5;
    fresh.SendWave = {2, 2};
    st_TEMSendData other = fresh;
    other.SendWave = {9};
    calc.onData_SendsVec({fresh, other});
    calc.onData_SendsVec({});
    QCOMPARE(plots.names, (QStringList{"send", "send", "off", "send", "off"}));
    QCOMPARE(plots.at(0).at(0).toDouble(), 25.0);
    QCOMPARE(plots.curve(0, 1), (Curve{2, 4}));
    QCOMPARE(plots.curve(2, 1), (Curve{3, 3}));
    QCOMPARE(plots.curve(3, 1), (Curve{2, 2}));
}

QTEST_GUILESS_MAIN(tst_DataCalc)
#include "tst_datacalc.moc"
