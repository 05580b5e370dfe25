#include "ProjectFile.h"

#include "project/TimeChannel.h"
#include "project/VectorBlob.h"

#include <QtTest>

using Curve = QVector<double>;
using Curves = QList<Curve>;

// Gate centre times pass the sounding pipeline unchanged but for the
// divisor of 11.
static const Curve kGates{82.54042, 90.85176};

// A project file with one point whose samples are held as a loaded project
// holds them: whole in the file, in memory with their USE only.
class PointFile : public ProjectFile
{
public:
    PointFile() { ok = created() && orm::insert(*point).isOk(); }

    Data_Sample& add(int use, const Curve& values, const Curve& times = kGates)
    {
        stored = Data_Sample();
        stored.USE = use;
        stored.PERIOD = 500;
        stored.SendFs = 25.0;
        stored.StartTime = Q_INT64_C(1700000000000) + point->list_Data_Sample.size();
        stored.DATA_RECV = vectorToBlob(values);
        stored.DATA_RECV_POS = vectorToBlob(times);
        stored.Data_PointID = point;
        ok = orm::insert(stored).isOk() && ok;
        point->list_Data_Sample.append(std::make_shared<Data_Sample>(stored.ID));
        point->list_Data_Sample.last()->USE = use;
        return stored;
    }

    std::shared_ptr<Data_Point> point = std::make_shared<Data_Point>();
    Data_Sample stored;
    bool ok = false; // every row above was written
};

// A point's values combined from its used samples, read from the file.
class tst_PointAveraging : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sumsAndMeansTakeUsedSamples();
    void averagedCurveAndSpread_data();
    void averagedCurveAndSpread();
    void pointWithoutUsedSamples();
    void samplesThatCannotBeReadAreLeftOut();
};

void tst_PointAveraging::initTestCase()
{
    TimeChannel::load(QStringLiteral(":/etc/time.ini"));
}

void tst_PointAveraging::sumsAndMeansTakeUsedSamples()
{
    PointFile f;
    f.add(0, {1, 1});
    for (double amplitude : {2.0, 4.0}) {
        Data_Sample& s = f.add(1, {1, 1});
        s.DATA_SEND = vectorToBlob(Curve(8, amplitude) + Curve(8, -amplitude));
        s.SampleOffFs = amplitude == 2.0 ? 2e6 : 1e5;
        s.DATA_SOFF = vectorToBlob(Curve{1.0} + Curve(100, 0.0));
        QVERIFY(
            orm::update(s, {QStringLiteral("DATA_SEND"), QStringLiteral("SampleOffFs"), QStringLiteral("DATA_SOFF")})
                .isOk());
    }
    QVERIFY(f.ok);
    QCOMPARE(f.point->GetSampleSize(), 3);
    QCOMPARE(f.point->GetPeriod(), 1000);
    QCOMPARE(f.point->GetSendI(), 3.0);
    QCOMPARE(f.point->GetOffTime(), (64.5 + 110.0) / 2);
    QCOMPARE(f.point->GetSendFs(), 25.0);
    QCOMPARE(f.point->GetStartTime(), QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1700000000000)));
    QCOMPARE(f.point->GetSendData().size(), 2);
    QCOMPARE(f.point->GetRecvData_Vrx2208_RAW(false).size(), 2);
}

void tst_PointAveraging::averagedCurveAndSpread_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<Curves>("curves");
    QTest::addColumn<QVector<int>>("use");
    QTest::addColumn<Curve>("values");
    QTest::addColumn<Curve>("times");
    QTest::addColumn<int>("typeAfter");
    QTest::addColumn<Curve>("rsd");
    // The spread is taken of the curves processed as a sounding (divided by
    // 11) whatever the type: log10 of {1, 3, 5} / 11 and {2, 4, 6} / 11.
    QTest::newRow("self-check") << 1 << Curves{{1, 2}, {3, 4}, {9, 9}, {5, 6}} << QVector<int>{1, 1, 0, 1}
                                << Curve{3, 4} << kGates << 1 << Curve{55.00313041, 50.16261014};
    // log10 of {1, 3} and {2, 4}: 141 (capped at 100) and 47.14045.
    QTest::newRow("unknown type as sounding") << 7 << Curves{{11, 22}, {33, 44}} << QVector<int>{1, 1} << Curve{2, 3}
                                              << kGates << 0 << Curve{100, 47.14045208};
    // An empty curve takes no part and the times are those of the first
    // other one; the mean runs to the shortest curve, never leaving an
    // undivided sum. No gate: no spread.
    QTest::newRow("different lengths") << 1 << Curves{{}, {1, 2, 3}, {3, 4}} << QVector<int>{1, 1, 1} << Curve{2, 3}
                                       << Curve{1, 2} << 1 << Curve{0, 0};
}

void tst_PointAveraging::averagedCurveAndSpread()
{
    QFETCH(int, type);
    QFETCH(Curves, curves);
    QFETCH(QVector<int>, use);
    QFETCH(Curve, rsd);
    PointFile f;
    for (int k = 0; k < curves.size(); ++k)
        f.add(use.at(k), curves.at(k), curves.at(k).size() == 3 ? Curve{1, 2, 3} : kGates);
    QVERIFY(f.ok);
    f.point->TYPE = type;
    const auto before = f.point->list_Data_Sample;
    Curve values;
    Curve times;
    f.point->GetRecvData(&values, &times, false);
    QTEST(values, "values");
    QTEST(times, "times");
    QTEST(f.point->TYPE, "typeAfter");
    // The samples are reloaded as new objects without their curves.
    const auto& after = f.point->list_Data_Sample;
    QCOMPARE(after.size(), before.size());
    QVERIFY(after.first() != before.first());
    QCOMPARE(after.first()->ID, before.first()->ID);
    QCOMPARE(after.first()->PERIOD, 500);
    QVERIFY(after.first()->DATA_RECV.isEmpty());

    const Curve spread = f.point->GetRSD();
    QCOMPARE(spread.size(), rsd.size());
    for (int i = 0; i < rsd.size(); ++i)
        QVERIFY(qAbs(spread.at(i) - rsd.at(i)) < 1e-6);
}

void tst_PointAveraging::pointWithoutUsedSamples()
{
    PointFile f;
    f.add(0, {1, 2});
    QVERIFY(f.ok);
    QCOMPARE(f.point->GetSendI(), 0.0);
    QCOMPARE(f.point->GetOffTime(), 0.0);
    QCOMPARE(f.point->GetPeriod(), 0);
    QVERIFY(f.point->GetSendData().isEmpty());
    QVERIFY(f.point->GetRSD().isEmpty());
    Curve values{1};
    Curve times{1};
    f.point->GetRecvData(&values, &times, false);
    QVERIFY(values.isEmpty() && times.isEmpty());
    QCOMPARE(f.point->GetSendFs(), 25.0);
    QVERIFY(f.point->GetStartTime().isValid());
    Data_Point empty;
    QCOMPARE(empty.GetSendFs(), 0.0);
    QVERIFY(empty.GetStartTime().isNull());
}

void tst_PointAveraging::samplesThatCannotBeReadAreLeftOut()
{
    // Both samples once fetched whole, then the first row is gone: what its
    // object still holds must not count.
    PointFile f;
    for (double amplitude : {2.0, 4.0}) {
        Data_Sample& s = f.add(1, {11, 11});
        s.DATA_SEND = vectorToBlob(Curve(8, amplitude) + Curve(8, -amplitude));
        QVERIFY(orm::update(s, {QStringLiteral("DATA_SEND")}).isOk());
    }
    QVERIFY(f.ok);
    QCOMPARE(f.point->GetSendData().size(), 2);
    const int gone = f.point->list_Data_Sample.first()->ID;
    QVERIFY(orm::execute(QStringLiteral("DELETE FROM Data_Sample WHERE ID = ?"), {gone}).isOk());
    QCOMPARE(f.point->GetSendI(), 4.0);
    QCOMPARE(f.point->GetPeriod(), 500);
    QCOMPARE(f.point->GetSendData().size(), 1);
    QCOMPARE(f.point->GetSendFs(), 0.0);
    QVERIFY(f.point->GetStartTime().isNull());
    QList<Curve> values;
    QList<Curve> times;
    f.point->p_getRecvData(&values, &times, false);
    QCOMPARE(values.size(), 1);

    // A file that cannot be read at all keeps the samples in the tree.
    f.add(1, {1, 2});
    QVERIFY(f.ok);
    QVERIFY(orm::execute(QStringLiteral("ALTER TABLE Data_Sample RENAME TO Gone")).isOk());
    Curve mean;
    Curve meanTimes;
    f.point->GetRecvData(&mean, &meanTimes, false);
    QVERIFY(mean.isEmpty());
    QCOMPARE(f.point->GetSampleSize(), 2);
}

QTEST_GUILESS_MAIN(tst_PointAveraging)
#include "tst_pointaveraging.moc"
