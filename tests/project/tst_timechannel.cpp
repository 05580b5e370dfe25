#include "project/TimeChannel.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

// The compiled-in time-channel table and the gating of curves onto it.
class tst_TimeChannel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void resourceIsByteExact();
    void selectBoundsAreInclusive();
    void gatingOfKnownCurves();
    void emptyOrEarlyCurvesGiveNoGates();
    void loadOfOtherFiles();

private:
    static QVector<double> grid(double from, double to, double step);
};

void tst_TimeChannel::initTestCase()
{
    initResources();
}

QVector<double> tst_TimeChannel::grid(double from, double to, double step)
{
    QVector<double> v;
    for (int k = 0; from + k * step <= to + 1e-9; ++k)
        v.append(from + k * step);
    return v;
}

void tst_TimeChannel::resourceIsByteExact()
{
    QFile file(QStringLiteral(":/etc/time.ini"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), 690);
    QVERIFY(bytes.startsWith("10.00\r\n12.58925\r\n15.84893\r\n"));
    QVERIFY(bytes.contains("\r\n82.54042\r\n90.85176\r\n100\r\n112.8838\r\n"));
    QVERIFY(bytes.endsWith("\r\n3162278\r\n3981072\r\n"));
    QCOMPARE(bytes.count('\n'), 72);
    QCOMPARE(bytes.count('\r'), 72);

    TimeChannel::load(QStringLiteral(":/etc/time.ini"));
    const QVector<double>& t = TimeChannel::table();
    QCOMPARE(t.size(), 72);
    QCOMPARE(t.first(), 10.0);
    QCOMPARE(t.at(9), 82.54042);
    QCOMPARE(t.at(30), 1000.0);
    QCOMPARE(t.at(45), 10000.0);
    QCOMPARE(t.last(), 3981072.0);
    QVERIFY(std::is_sorted(t.cbegin(), t.cend()));
}

void tst_TimeChannel::selectBoundsAreInclusive()
{
    QVector<double> t = TimeChannel::table();
    QCOMPARE(TimeChannel::select(10, 10, t), QVector<double>{10});
    QVERIFY(TimeChannel::select(11, 10, t).isEmpty());
    QCOMPARE(TimeChannel::select(90, 112.8838, t), (QVector<double>{90.85176, 100, 112.8838}));
}

void tst_TimeChannel::gatingOfKnownCurves()
{
    // 1.6 ... 95 µs: gates 10 ... 90.85176 (11 of them); samples below 10 µs
    // are ignored and the last gate takes everything from 86.69609 µs.
    QVector<double> times = grid(1.6, 94.4, 1.6);
    QVector<double> values = times;
    times.append(95.0);
    values.append(95.0);
    TimeChannel::toTimeChannels(times, values);
    QCOMPARE(times, TimeChannel::table().mid(0, 11));
    // Gate 10 takes 11.2 (10 <= t < 11.294625); gate 12.58925 takes 12.8
    // (up to 14.21909); gate 15.84893 takes 14.4, 16.0 and 17.6; the last
    // takes 88.0 ... 94.4 and 95.0.
    QCOMPARE(values.at(0), 11.2);
    QCOMPARE(values.at(1), 12.8);
    QVERIFY(qFuzzyCompare(values.at(2), 16.0));
    QVERIFY(qFuzzyCompare(values.at(10), (88.0 + 89.6 + 91.2 + 92.8 + 94.4 + 95.0) / 6));

    // A sample exactly on a midpoint belongs to the later gate; gates
    // without samples are left out.
    const double mid = (12.58925 + 15.84893) / 2;
    times = {10.0, mid, 40.0};
    values = {1.0, 2.0, 3.0};
    TimeChannel::toTimeChannels(times, values);
    QCOMPARE(times, (QVector<double>{10.0, 15.84893, 39.81072}));
    QCOMPARE(values, (QVector<double>{1.0, 2.0, 3.0}));

    // Largest time below the second gate: the single gate 10 takes all.
    times = {5.0, 10.0, 11.0, 12.0};
    values = {100.0, 1.0, 2.0, 3.0};
    TimeChannel::toTimeChannels(times, values);
    QCOMPARE(times, QVector<double>{10.0});
    QCOMPARE(values, QVector<double>{2.0});
}

void tst_TimeChannel::emptyOrEarlyCurvesGiveNoGates()
{
    QVector<double> times;
    QVector<double> values;
    TimeChannel::toTimeChannels(times, values);
    QVERIFY(times.isEmpty() && values.isEmpty());

    times = {1.6, 3.2, 9.6};
    values = {1, 2, 3};
    TimeChannel::toTimeChannels(times, values);
    QVERIFY(times.isEmpty() && values.isEmpty());

    // Values shorter than times: only paired samples count.
    times = {10.0, 11.0, 12.0};
    values = {4.0};
    TimeChannel::toTimeChannels(times, values);
    QCOMPARE(times, QVector<double>{10.0});
    QCOMPARE(values, QVector<double>{4.0});
}

void tst_TimeChannel::loadOfOtherFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("10\r\nabc\r\n20\r\n\r\n");
    file.close();
    TimeChannel::load(path);
    QCOMPARE(TimeChannel::table(), (QVector<double>{10, 0, 20, 0}));

    TimeChannel::load(dir.filePath(QStringLiteral("missing.ini")));
    QCOMPARE(TimeChannel::table().size(), 4);
    TimeChannel::load(QStringLiteral(":/etc/time.ini"));
    QCOMPARE(TimeChannel::table().size(), 72);
}

QTEST_GUILESS_MAIN(tst_TimeChannel)
#include "tst_timechannel.moc"
