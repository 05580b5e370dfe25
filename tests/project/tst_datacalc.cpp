#include "project/CurveProcessing.h"
#include "project/Data_Calc.h"
#include "project/TimeChannel.h"
#include "project/VectorBlob.h"

#include <QtTest>

using Curve = QVector<double>;
using Matrix = QVector<QVector<double>>;

// Gate centre times: a sounding curve on them is only divided by 11.
static const Curve kGates{82.54042, 90.85176, 100};

static st_RecvData_VRX2208 record(const Curve& values, const Curve& times = kGates, qint64 received = 0)
{
    st_RecvData_VRX2208 rec;
    rec.TYPE = 1;
    rec.values = values;
    rec.times = times;
    rec.StartTime = received;
    return rec;
}

// Every plot command of one processor, in the order it was sent.
struct Plots
{
    explicit Plots(Data_Calc& calc)
    {
        const auto log = [this](const char* name) {
            return [this, name](auto... args) {
                events.append({QString::fromLatin1(name), {QVariant::fromValue(args)...}});
            };
        };
        QObject::connect(&calc, &Data_Calc::graphClear, log("clear"));
        QObject::connect(&calc, &Data_Calc::graphAxisScale_Log, log("axis"));
        QObject::connect(&calc, &Data_Calc::newGraphData, log("curve"));
        QObject::connect(&calc, &Data_Calc::setGraphTitle, log("title"));
        QObject::connect(&calc, &Data_Calc::newGraph_Send, log("send"));
        QObject::connect(&calc, &Data_Calc::newGraph_Off, log("off"));
        QObject::connect(&calc, &Data_Calc::newGraph_Line, log("line"));
        QObject::connect(&calc, &Data_Calc::newGraph_Error, log("error"));
    }

    QStringList names() const
    {
        QStringList out;
        for (const auto& e : events)
            out.append(e.first);
        return out;
    }
    QVariantList last(const QString& name) const
    {
        for (int i = events.size() - 1; i >= 0; --i) {
            if (events.at(i).first == name)
                return events.at(i).second;
        }
        return {};
    }

    QList<QPair<QString, QVariantList>> events;
};

static void compareClose(const Curve& actual, const Curve& expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QVERIFY2(qAbs(actual.at(i) - expected.at(i)) < 1e-6, qPrintable(QString::number(actual.at(i))));
}

// Rate or frequency and samples of a waveform command.
static QPair<double, Curve> wave(const QVariantList& args)
{
    return {args.value(0).toDouble(), args.value(1).value<Curve>()};
}

class tst_DataCalc : public QObject
{
    Q_OBJECT

private slots:
    void constructorSetsTheSharedSettings();
    void storedRecordsAreDrawnInOrder_data();
    void storedRecordsAreDrawnInOrder();
    void freshAcquisitionDrawsTheLastRecord_data();
    void freshAcquisitionDrawsTheLastRecord();
    void continuousHistoryKeepsTheLatestThirty();
    void historyMatrixBoundsMagnitudes_data();
    void historyMatrixBoundsMagnitudes();
    void transmitWaveformsAreAveraged();
};

void tst_DataCalc::constructorSetsTheSharedSettings()
{
    CurveProcessing::startTime = 500;
    CurveProcessing::smoothingEnabled = false;
    Data_Calc calc;
    QCOMPARE(CurveProcessing::startTime.load(), 80);
    QVERIFY(CurveProcessing::smoothingEnabled.load());
    QCOMPARE(TimeChannel::table().size(), 72);
}

void tst_DataCalc::storedRecordsAreDrawnInOrder_data()
{
    QTest::addColumn<QList<Curve>>("records");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<Curve>("mean");
    QTest::addColumn<Curve>("error");
    QTest::addColumn<bool>("several");
    QTest::newRow("one") << QList<Curve>{{11, 22, 33}} << QStringList{"clear", "axis", "curve", "title", "error"}
                         << Curve{1, 2, 3} << Curve{0, 0, 0} << false;
    // The spread is that of the processed curves: log10 of {1, 3, 5},
    // {2, 4, 6} and {3, 5, 7}.
    QTest::newRow("three") << QList<Curve>{{11, 22, 33}, {33, 44, 55}, {55, 66, 77}}
                           << QStringList{"clear", "axis", "curve", "curve", "curve", "curve", "title", "error"}
                           << Curve{3, 4, 5} << Curve{91.10761711, 43.05240406, 27.50098179} << true;
}

void tst_DataCalc::storedRecordsAreDrawnInOrder()
{
    QFETCH(QList<Curve>, records);
    QFETCH(bool, several);
    Data_Calc calc;
    Plots plots(calc);
    QList<st_RecvData_VRX2208> list;
    for (const Curve& values : records)
        list.append(record(values));
    calc.onShowData_Recvs(QStringLiteral("3线 7点"), list, 0.0, 0);
    QTEST(plots.names(), "order");
    QCOMPARE(plots.events.at(1).second, (QVariantList{true, true}));

    for (int i = 0; several && i < records.size(); ++i) {
        const QVariantList curve = plots.events.at(2 + i).second;
        QCOMPARE(curve.at(0).toString(), QStringLiteral("采样%1").arg(i + 1));
        QCOMPARE(curve.at(1).value<Curve>(), kGates);
        Curve divided = records.at(i);
        for (double& x : divided)
            x /= 11;
        compareClose(curve.at(2).value<Curve>(), divided);
        QCOMPARE(curve.at(3).toDouble(), 0.3);
    }
    QFETCH(Curve, mean);
    const QVariantList meanCurve = plots.last(QStringLiteral("curve"));
    QCOMPARE(meanCurve.at(0).toString(), QStringLiteral("3线 7点"));
    QCOMPARE(meanCurve.at(1).value<Curve>(), kGates);
    compareClose(meanCurve.at(2).value<Curve>(), mean);
    QCOMPARE(meanCurve.at(3).toDouble(), 1.0);
    QCOMPARE(plots.last(QStringLiteral("title")), (QVariantList{QStringLiteral("3线 7点"), true}));
    QFETCH(Curve, error);
    const QVariantList spread = plots.last(QStringLiteral("error"));
    QCOMPARE(spread.at(0).value<Curve>(), kGates);
    compareClose(spread.at(1).value<Curve>(), error);
    QCOMPARE(spread.at(2).toBool(), several);

    plots.events.clear();
    calc.onShowData_Recvs(QStringLiteral("x"), {}, 0.0, 0);
    QVERIFY(plots.events.isEmpty());
}

void tst_DataCalc::freshAcquisitionDrawsTheLastRecord_data()
{
    QTest::addColumn<int>("continueMode");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("single") << 0 << QStringLiteral("当前采集") << QStringList{"clear", "axis", "curve", "title"};
    // Local time of the first record (the zone is fixed for the tests).
    QTest::newRow("continuous") << 1 << QStringLiteral("2023.11.15 06:13:20.123")
                                << QStringList{"clear", "axis", "curve", "title", "line"};
}

void tst_DataCalc::freshAcquisitionDrawsTheLastRecord()
{
    QFETCH(int, continueMode);
    Data_Calc calc;
    Plots plots(calc);
    QList<st_RecvData_VRX2208> list;
    for (int i = 1; i <= 5; ++i)
        list.append(record({1.0 * i, 2.0 * i, 3.0 * i}, kGates, Q_INT64_C(1700000000123) + 1000 * i - 1000));
    calc.onData_Recvs(list, 0.0, 1, continueMode);
    QTEST(plots.names(), "order");
    QCOMPARE(plots.events.at(1).second, (QVariantList{false, false}));
    // Self-check: aligned, smoothed and clamped only.
    const QVariantList curve = plots.last(QStringLiteral("curve"));
    QCOMPARE(curve.at(0).toString(), QStringLiteral("0"));
    QCOMPARE(curve.at(2).value<Curve>(), (Curve{5, 10, 10}));
    QCOMPARE(curve.at(3).toDouble(), 1.0);
    QTEST(plots.last(QStringLiteral("title")).at(0).toString(), "title");
    QVERIFY(plots.last(QStringLiteral("title")).at(1).toBool());
}

void tst_DataCalc::continuousHistoryKeepsTheLatestThirty()
{
    Data_Calc calc;
    Plots plots(calc);
    CurveProcessing::smoothingEnabled = false;
    Curve times40;
    for (int k = 1; k <= 40; ++k)
        times40.append(k);
    for (int i = 1; i <= 31; ++i)
        calc.onData_Recvs({record(Curve(40, 0.5), times40, i)}, 0.0, 1, 1);
    Curve kept;
    for (int i = 2; i <= 31; ++i)
        kept.append(i);
    QVariantList line = plots.last(QStringLiteral("line"));
    QCOMPARE(line.at(0).value<Matrix>().size(), 40);
    QCOMPARE(line.at(0).value<Matrix>().first().size(), 30);
    QCOMPARE(line.at(1).value<Curve>(), kept);
    QCOMPARE(line.at(2).value<Curve>(), times40);
    QCOMPARE(line.at(3).toInt(), -1);

    // A shorter newest curve bounds the rows and gives the y axis; the
    // matrix holds magnitudes, at most 2.6.
    calc.onData_Recvs({record(Curve(38, -3.0), times40.mid(0, 38), 32)}, 0.0, 1, 1);
    line = plots.last(QStringLiteral("line"));
    const Matrix matrix = line.at(0).value<Matrix>();
    QCOMPARE(matrix.size(), 38);
    QCOMPARE(matrix.first().size(), 30);
    QCOMPARE(matrix.at(37).last(), 2.6);
    QCOMPARE(matrix.at(37).first(), 0.5);
    QCOMPARE(line.at(1).value<Curve>().first(), 3.0);
    QCOMPARE(line.at(2).value<Curve>(), times40.mid(0, 38));

    // An acquisition that leaves no curve is not kept.
    plots.events.clear();
    calc.onData_Recvs({record({}, {}, 33)}, 0.0, 1, 1);
    QVERIFY(!plots.names().contains(QStringLiteral("line")));
}

void tst_DataCalc::historyMatrixBoundsMagnitudes_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("entry");
    QTest::newRow("above 2.6") << 3.0 << 2.6;
    QTest::newRow("negative below 1e-9") << -1e-12 << 1e-9;
    QTest::newRow("exact zero") << 0.0 << 0.0;
    QTest::newRow("negative in range") << -0.5 << 0.5;
    QTest::newRow("just above 1e-9") << 2e-9 << 2e-9;
}

void tst_DataCalc::historyMatrixBoundsMagnitudes()
{
    QFETCH(double, value);
    const Matrix matrix = Data_Calc::historyMatrix({{1.0, 1.0, 1.0}, {value, value}});
    QCOMPARE(matrix.size(), 2);
    QTEST(matrix.at(1).at(1), "entry");
    QCOMPARE(matrix.at(1).at(0), 1.0);
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
    // A waveform of another length is left out of the mean.
    calc.onData_SendsByte({stored({1, 2}, {}), stored({3, 4, 5}, {}), stored({3, 6}, {})});
    QCOMPARE(plots.names(), QStringList{"send"});
    QCOMPARE(wave(plots.events.at(0).second), qMakePair(25.0, Curve{2, 4}));

    plots.events.clear();
    calc.onData_SendsByte({stored({1}, {4, 4}), stored({3}, {2, 2})});
    QCOMPARE(wave(plots.last(QStringLiteral("off"))), qMakePair(2e6, Curve{3, 3}));

    plots.events.clear();
    calc.onData_Send(stored({1, 2}, {}));
    QCOMPARE(plots.names(), (QStringList{"send", "off"}));
    QCOMPARE(wave(plots.events.at(1).second), qMakePair(2e6, Curve{}));

    plots.events.clear();
    st_TEMSendData a;
    a.SendFs = 12.5;
    a.SendWave = {2, 2};
    a.SampleOffFs = 1e6;
    a.OffWave = {};
    st_TEMSendData b = a;
    b.SendWave = {4, 6};
    st_TEMSendData c = a;
    c.SendWave = {9};
    calc.onData_SendsVec({a, b, c});
    QCOMPARE(plots.names(), (QStringList{"send", "off"}));
    QCOMPARE(wave(plots.events.at(0).second), qMakePair(12.5, Curve{3, 4}));
    QCOMPARE(wave(plots.events.at(1).second), qMakePair(1e6, Curve{}));

    plots.events.clear();
    calc.onData_SendsByte({});
    calc.onData_SendsVec({});
    calc.onData_Recvs({}, 0.0);
    QVERIFY(plots.events.isEmpty());
}

QTEST_GUILESS_MAIN(tst_DataCalc)
#include "tst_datacalc.moc"
