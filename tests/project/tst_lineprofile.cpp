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

// A loaded line as the project tree holds it: points with their samples'
// ID and USE, the curves only in the file.
class LineFile : public ProjectFile
{
public:
    bool addPoint(double name, int use, int type, const QList<QPair<int, Curve>>& samples)
    {
        auto point = std::make_shared<Data_Point>();
        point->NAME = name;
        point->USE = use;
        point->TYPE = type;
        if (!orm::insert(*point).isOk())
            return false;
        for (const auto& s : samples) {
            Data_Sample stored;
            stored.USE = s.first;
            stored.DATA_RECV = vectorToBlob(s.second);
            stored.DATA_RECV_POS = vectorToBlob(kGates.mid(0, s.second.size()));
            stored.Data_PointID = point;
            if (!orm::insert(stored).isOk())
                return false;
            point->list_Data_Sample.append(std::make_shared<Data_Sample>(stored.ID));
            point->list_Data_Sample.last()->USE = s.first;
        }
        line.list_Data_Point.append(point);
        return true;
    }

    // Points 0 ... 7: only 2 (TYPE 5) and 5 (TYPE -1) contribute, 2 with
    // three gates and 5 with two.
    bool fill()
    {
        return addPoint(10, 0, 7, {{1, {11, 11, 11}}}) && addPoint(20, 1, 0, {})
            && addPoint(30, 1, 5, {{1, {33, 66, 99}}}) && addPoint(40, 1, 1, {{1, {11, 11, 11}}})
            && addPoint(50, 1, 2, {{1, {11, 11, 11}}}) && addPoint(60, 1, -1, {{1, {11, 22}}, {0, {99, 99}}})
            && addPoint(70, 1, 0, {{0, {11, 11, 11}}}) && (line.list_Data_Point.append(nullptr), true);
    }

    Data_Line line;
};

class tst_LineProfile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void profileOfARange_data();
    void profileOfARange();
    void snapshotIsBuiltOnAnotherThread();
};

void tst_LineProfile::initTestCase()
{
    TimeChannel::load(QStringLiteral(":/etc/time.ini"));
}

void tst_LineProfile::profileOfARange_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("transpose");
    QTest::addColumn<Matrix>("matrix");
    QTest::addColumn<Curve>("times");
    QTest::addColumn<Curve>("names");
    const Matrix untouched{{-1}};
    // Rows are cut to the shortest curve, and so is the time axis.
    QTest::newRow("whole line, transposed")
        << -5 << 1000 << true << Matrix{{3, 1}, {6, 2}} << kGates.mid(0, 2) << Curve{30, 60};
    QTest::newRow("whole line, per point")
        << 0 << 7 << false << Matrix{{3, 6}, {1, 2}} << kGates.mid(0, 2) << Curve{30, 60};
    QTest::newRow("from an unused point") << 0 << 2 << true << Matrix{{3}, {6}, {9}} << kGates << Curve{30};
    QTest::newRow("to below from") << 5 << 3 << true << Matrix{{1}, {2}} << kGates.mid(0, 2) << Curve{60};
    QTest::newRow("self-check and type 2") << 3 << 4 << true << untouched << Curve{-1} << Curve{-1};
    QTest::newRow("no used sample, no point") << 6 << 9 << true << untouched << Curve{-1} << Curve{-1};
}

void tst_LineProfile::profileOfARange()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, transpose);
    LineFile f;
    QVERIFY(f.created() && f.fill());
    Matrix matrix{{-1}};
    Curve times{-1};
    Curve names{-1};
    f.line.GetRecvData(&matrix, &times, &names, transpose, from, to, false);
    QTEST(matrix, "matrix");
    QTEST(times, "times");
    QTEST(names, "names");

    // Unknown types in the range become soundings; the others stay.
    const auto type = [&](int i) { return f.line.list_Data_Point.at(i)->TYPE; };
    QCOMPARE(type(0), 7);
    QCOMPARE(type(2), from <= 2 && to >= 2 ? 0 : 5);
    QCOMPARE(type(3), 1);
    QCOMPARE(type(4), 2);
}

void tst_LineProfile::snapshotIsBuiltOnAnotherThread()
{
    LineFile f;
    QVERIFY(f.created() && f.fill());
    const LineSnapshot snapshot(f.line, 0, 1000);
    // The tree reloads the line meanwhile.
    f.line.list_Data_Point.clear();

    Matrix matrix;
    Curve times;
    Curve names;
    QScopedPointer<QThread> pool(QThread::create([&] { snapshot.GetRecvData(&matrix, &times, &names, true, false); }));
    pool->start();
    QVERIFY(pool->wait(10000));
    QCOMPARE(matrix, (Matrix{{3, 1}, {6, 2}}));
    QCOMPARE(times, kGates.mid(0, 2));
    QCOMPARE(names, (Curve{30, 60}));
}

QTEST_GUILESS_MAIN(tst_LineProfile)
#include "tst_lineprofile.moc"
