#include "orm/Dao.h"
#include "orm/Database.h"
#include "project/Data_Line.h"
#include "project/Data_Point.h"
#include "project/Data_Sample.h"
#include "project/LineSnapshot.h"
#include "project/TimeChannel.h"
#include "project/VectorBlob.h"
#include "tests/support/TestEnvironment.h"

#include <QThread>
#include <QtTest>

using Curve = QVector<double>;
using Curves = QList<Curve>;
using Matrix = QVector<QVector<double>>;

// Gate centre times: a sounding curve on them is only divided by 11.
static const Curve kGates{82.54042, 90.85176, 100};

// A line of points whose samples are held as a loaded project holds them:
// whole in a fresh file, in memory with their ID and USE only.
class PointFile
{
public:
    PointFile()
    {
        orm::ConnectionSettings settings;
        settings.databaseName = dir.filePath(QStringLiteral("test.ZOLVA"));
        orm::Database::setSettings(settings);
        ok = orm::createTable<Data_Line>().isOk() && orm::createTable<Data_Point>().isOk()
            && orm::createTable<Data_Sample>().isOk();
    }
    ~PointFile() { orm::Database::dropAll(); }

    // A new point NAME 10, 20, ... in order; samples go to the newest.
    PointFile& addPoint(int use = 1, int type = 0)
    {
        point = std::make_shared<Data_Point>();
        point->NAME = 10.0 * (line.list_Data_Point.size() + 1);
        point->USE = use;
        point->TYPE = type;
        ok = orm::insert(*point).isOk() && ok;
        line.list_Data_Point.append(point);
        return *this;
    }

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

    // Points 0 ... 7, NAME 10 ... 70; only 2 (three gates) and 5 (two gates)
    // contribute to a profile: 0 is unused, 1 has no sample, 3 and 4 are
    // self-check and type 2, 6 has no used sample, 7 is null.
    bool fillLine()
    {
        const Curve ones{11, 11, 11};
        addPoint(0, 7).add(1, ones);
        addPoint(1, 0);
        addPoint(1, 5).add(1, {33, 66, 99});
        addPoint(1, 1).add(1, ones);
        addPoint(1, 2).add(1, ones);
        addPoint(1, -1).add(1, {11, 22});
        add(0, ones);
        addPoint(1, 0).add(0, ones);
        line.list_Data_Point.append(nullptr);
        return ok;
    }

    QTemporaryDir dir;
    bool ok = false; // the file and every row above were written
    Data_Line line;
    std::shared_ptr<Data_Point> point;
    Data_Sample stored;
};

// A point's values combined from its used samples, and a line's profile of
// its points, read from the file.
class tst_PointAveraging : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TimeChannel::load(QStringLiteral(":/etc/time.ini")); }

    // Sums and means over the used samples; samples whose rows cannot be
    // read are left out, whatever their objects still hold.
    void sumsAndMeansTakeReadableUsedSamples()
    {
        PointFile f;
        f.addPoint().add(0, {1, 1});
        // Means over no used sample are 0, not 0 / 0.
        QVERIFY(f.point->GetSendI() == 0.0 && f.point->GetOffTime() == 0.0 && f.point->GetPeriod() == 0);
        QVERIFY(f.point->GetSendData().isEmpty() && f.point->GetRSD().isEmpty());
        Curve mean{1};
        Curve meanTimes{1};
        f.point->GetRecvData(&mean, &meanTimes, false);
        QVERIFY(mean.isEmpty() && meanTimes.isEmpty());

        for (double amplitude : {2.0, 4.0}) {
            Data_Sample& s = f.add(1, {1, 1});
            s.DATA_SEND = vectorToBlob(Curve(8, amplitude) + Curve(8, -amplitude));
            s.SampleOffFs = amplitude == 2.0 ? 2e6 : 1e5;
            s.DATA_SOFF = vectorToBlob(Curve{1.0} + Curve(100, 0.0));
            QVERIFY(orm::update(
                        s, {QStringLiteral("DATA_SEND"), QStringLiteral("SampleOffFs"), QStringLiteral("DATA_SOFF")})
                        .isOk());
        }
        QVERIFY(f.ok);
        const std::shared_ptr<Data_Point> p = f.point;
        QVERIFY(p->GetSampleSize() == 3 && p->GetPeriod() == 1000);
        QCOMPARE(p->GetSendI(), 3.0);
        QCOMPARE(p->GetOffTime(), (64.5 + 110.0) / 2);
        QCOMPARE(p->GetSendFs(), 25.0);
        QCOMPARE(p->GetStartTime(), QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1700000000000)));
        QVERIFY(p->GetSendData().size() == 2 && p->GetRecvData_Vrx2208_RAW(false).size() == 2);

        // The unused first sample and the first used one are gone.
        QVERIFY(orm::execute(QStringLiteral("DELETE FROM Data_Sample WHERE ID < 3")).isOk());
        QVERIFY(p->GetSendI() == 4.0 && p->GetPeriod() == 500);
        QCOMPARE(p->GetSendData().size(), 1);
        QCOMPARE(p->GetSendFs(), 0.0);
        QVERIFY(p->GetStartTime().isNull());
        QList<Curve> values;
        QList<Curve> times;
        p->p_getRecvData(&values, &times, false);
        QCOMPARE(values.size(), 1);

        // A file that cannot be read at all keeps the samples in the tree.
        f.add(1, {1, 2});
        QVERIFY(f.ok);
        QVERIFY(orm::execute(QStringLiteral("ALTER TABLE Data_Sample RENAME TO Gone")).isOk());
        p->GetRecvData(&mean, &meanTimes, false);
        QVERIFY(mean.isEmpty());
        QCOMPARE(p->GetSampleSize(), 2);
    }

    void averagedCurveAndSpread_data()
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
        const Curve two = kGates.mid(0, 2);
        QTest::newRow("self-check") << 1 << Curves{{1, 2}, {3, 4}, {9, 9}, {5, 6}} << QVector<int>{1, 1, 0, 1}
                                    << Curve{3, 4} << two << 1 << Curve{55.00313041, 50.16261014};
        // log10 of {1, 3} and {2, 4}: 141 (capped at 100) and 47.14045.
        QTest::newRow("unknown type as sounding") << 7 << Curves{{11, 22}, {33, 44}} << QVector<int>{1, 1}
                                                  << Curve{2, 3} << two << 0 << Curve{100, 47.14045208};
        // An empty curve takes no part and the times are those of the first
        // other one; the mean runs to the shortest curve, never leaving an
        // undivided sum. No gate: no spread.
        QTest::newRow("different lengths") << 1 << Curves{{}, {1, 2, 3}, {3, 4}} << QVector<int>{1, 1, 1} << Curve{2, 3}
                                           << Curve{1, 2} << 1 << Curve{0, 0};
    }

    void averagedCurveAndSpread()
    {
        QFETCH(int, type);
        QFETCH(Curves, curves);
        QFETCH(QVector<int>, use);
        QFETCH(Curve, rsd);
        PointFile f;
        f.addPoint(1, type);
        for (int k = 0; k < curves.size(); ++k)
            f.add(use.at(k), curves.at(k), curves.at(k).size() == 3 ? Curve{1, 2, 3} : kGates);
        QVERIFY(f.ok);
        const auto before = f.point->list_Data_Sample;
        Curve values;
        Curve times;
        f.point->GetRecvData(&values, &times, false);
        QTEST(values, "values");
        QTEST(times, "times");
        QTEST(f.point->TYPE, "typeAfter");
        // The samples are reloaded as new objects without their curves, but
        // with what the tree loads.
        const auto& after = f.point->list_Data_Sample;
        QVERIFY(after.size() == before.size() && after.first() != before.first());
        QCOMPARE((QVector<qint64>{after.first()->ID, after.first()->PERIOD, after.first()->StartTime}),
                 (QVector<qint64>{before.first()->ID, 500, Q_INT64_C(1700000000000)}));
        QVERIFY(after.first()->DATA_RECV.isEmpty());

        const Curve spread = f.point->GetRSD();
        QCOMPARE(spread.size(), rsd.size());
        for (int i = 0; i < rsd.size(); ++i)
            QVERIFY(qAbs(spread.at(i) - rsd.at(i)) < 1e-6);
    }

    void profileOfARange_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("transpose");
        QTest::addColumn<Matrix>("matrix");
        QTest::addColumn<Curve>("times");
        QTest::addColumn<Curve>("names");
        // Rows are cut to the shortest curve, and so is the time axis.
        const Curve two = kGates.mid(0, 2);
        QTest::newRow("whole line") << -5 << 1000 << true << Matrix{{3, 1}, {6, 2}} << two << Curve{30, 60};
        QTest::newRow("per point") << 0 << 7 << false << Matrix{{3, 6}, {1, 2}} << two << Curve{30, 60};
        QTest::newRow("from an unused point") << 0 << 2 << true << Matrix{{3}, {6}, {9}} << kGates << Curve{30};
        QTest::newRow("to below from") << 5 << 3 << true << Matrix{{1}, {2}} << two << Curve{60};
        QTest::newRow("self-check and type 2") << 3 << 4 << true << Matrix{{-1}} << Curve{-1} << Curve{-1};
        QTest::newRow("no used sample, no point") << 6 << 9 << true << Matrix{{-1}} << Curve{-1} << Curve{-1};
    }

    void profileOfARange()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, transpose);
        PointFile f;
        QVERIFY(f.fillLine());
        const LineSnapshot snapshot(f.line, from, to);

        // Unknown types in the range become soundings; the others stay.
        QVector<int> types;
        for (int i = 0; i < 5; ++i)
            types.append(f.line.list_Data_Point.at(i)->TYPE);
        QCOMPARE(types, (QVector<int>{7, 0, from <= 2 && to >= 2 ? 0 : 5, 1, 2}));

        // Computed on the pool, the tree reloading the line meanwhile: the
        // snapshot holds nothing of it.
        f.line.list_Data_Point.clear();
        f.point.reset();
        Matrix datas{{-1}};
        Curve times{-1};
        Curve names{-1};
        QScopedPointer<QThread> pool(
            QThread::create([&] { snapshot.GetRecvData(&datas, &times, &names, transpose, false); }));
        pool->start();
        QVERIFY(pool->wait(TestTimeoutMs()));
        QTEST(datas, "matrix");
        QTEST(times, "times");
        QTEST(names, "names");
    }
};

QTEST_GUILESS_MAIN(tst_PointAveraging)
#include "tst_pointaveraging.moc"
