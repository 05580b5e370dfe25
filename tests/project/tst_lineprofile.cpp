#include "ProjectFile.h"

#include "project/LineSnapshot.h"
#include "project/TimeChannel.h"
#include "project/VectorBlob.h"

#include <QThread>
#include <QtTest>

using Curve = QVector<double>;
using Matrix = QVector<QVector<double>>;

// Gate centre times: a sounding curve on them is only divided by 11.
static const Curve kGates{82.54042, 90.85176, 100};

// A line loaded as the project tree holds it: samples with ID and USE only.
struct LineFile : ProjectFile
{
    Data_Line line;

    // A sample of use 0 holds a curve that must not count.
    bool add(int use, int type, const QList<QPair<int, Curve>>& samples = {})
    {
        auto point = std::make_shared<Data_Point>();
        point->NAME = 10.0 * (line.list_Data_Point.size() + 1);
        point->USE = use;
        point->TYPE = type;
        bool ok = orm::insert(*point).isOk();
        for (const auto& sample : samples) {
            Data_Sample s;
            s.USE = sample.first;
            s.DATA_RECV = vectorToBlob(sample.second);
            s.DATA_RECV_POS = vectorToBlob(kGates);
            s.Data_PointID = point;
            ok = ok && orm::insert(s).isOk();
            point->list_Data_Sample.append(std::make_shared<Data_Sample>(s.ID));
            point->list_Data_Sample.last()->USE = s.USE;
        }
        line.list_Data_Point.append(point);
        return ok;
    }

    // Points 0 ... 7, NAME 10 ... 70; only 2 (three gates) and 5 (two gates)
    // contribute.
    bool fill()
    {
        const Curve ones{11, 11, 11};
        const bool ok = created() && add(0, 7, {{1, ones}}) && add(1, 0) && add(1, 5, {{1, {33, 66, 99}}})
            && add(1, 1, {{1, ones}}) && add(1, 2, {{1, ones}}) && add(1, -1, {{1, {11, 22}}, {0, ones}})
            && add(1, 0, {{0, ones}});
        line.list_Data_Point.append(nullptr);
        return ok;
    }
};

class tst_LineProfile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TimeChannel::load(QStringLiteral(":/etc/time.ini")); }

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
        LineFile f;
        QVERIFY(f.fill());
        Matrix datas{{-1}};
        Curve times{-1};
        Curve names{-1};
        f.line.GetRecvData(&datas, &times, &names, transpose, from, to, false);
        QTEST(datas, "matrix");
        QTEST(times, "times");
        QTEST(names, "names");

        // Unknown types in the range become soundings; the others stay.
        QVector<int> types;
        for (int i = 0; i < 5; ++i)
            types.append(f.line.list_Data_Point.at(i)->TYPE);
        QCOMPARE(types, (QVector<int>{7, 0, from <= 2 && to >= 2 ? 0 : 5, 1, 2}));
    }

    void snapshotIsReadOnAnotherThread()
    {
        LineFile f;
        QVERIFY(f.fill());
        const LineSnapshot snapshot(f.line, 0, 1000);
        f.line.list_Data_Point.clear(); // the tree reloads the line meanwhile
        Matrix matrix;
        Curve times;
        Curve names;
        QScopedPointer<QThread> pool(
            QThread::create([&] { snapshot.GetRecvData(&matrix, &times, &names, true, false); }));
        pool->start();
        QVERIFY(pool->wait(10000));
        QCOMPARE(matrix, (Matrix{{3, 1}, {6, 2}}));
        QCOMPARE(times, kGates.mid(0, 2));
        QCOMPARE(names, (Curve{30, 60}));
    }
};

QTEST_GUILESS_MAIN(tst_LineProfile)
#include "tst_lineprofile.moc"
