#include "ProjectFile.h"

#include "project/CurveProcessing.h"
#include "project/TimeChannel.h"
#include "project/VectorBlob.h"

#include <QtTest>

#include <cmath>

static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

// A point's values combined from its used samples, read from the file.
class tst_PointAveraging : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void sumsAndMeansTakeUsedSamples();
    void averagedCurveOfSelfCheckPoint();
    void unknownTypeIsAveragedAsSounding();
    void curvesOfDifferentLengths();
    void pointWithoutUsedSamples();

private:
    std::shared_ptr<Data_Sample> addSample(int use, const QVector<double>& values,
                                           const QVector<double>& times);

    std::unique_ptr<ProjectFile> m_file;
    std::shared_ptr<Data_Point> m_point;
};

void tst_PointAveraging::initTestCase()
{
    initResources();
    TimeChannel::load(QStringLiteral(":/etc/time.ini"));
    CurveProcessing::startTime = 80;
    CurveProcessing::smoothingEnabled = true;
    CurveProcessing::curveDivisor = 11.0;
}

void tst_PointAveraging::init()
{
    m_file.reset(new ProjectFile);
    QVERIFY(m_file->createTables());
    m_point = std::make_shared<Data_Point>();
    m_point->NAME = 10.0;
    m_point->USE = 1;
    QVERIFY(orm::insert(*m_point).isOk());
}

void tst_PointAveraging::cleanup()
{
    m_point.reset();
    m_file.reset();
}

std::shared_ptr<Data_Sample> tst_PointAveraging::addSample(int use, const QVector<double>& values,
                                                           const QVector<double>& times)
{
    auto sample = std::make_shared<Data_Sample>();
    sample->USE = use;
    sample->TYPE = 1;
    sample->PERIOD = 500;
    sample->SendFs = 25.0;
    sample->StartTime = Q_INT64_C(1700000000000) + m_point->list_Data_Sample.size();
    sample->DATA_RECV = vectorToBlob(values);
    sample->DATA_RECV_POS = vectorToBlob(times);
    sample->Data_PointID = m_point;
    orm::insert(*sample);
    // In memory a loaded sample holds only its light columns.
    auto light = std::make_shared<Data_Sample>(sample->ID);
    light->USE = use;
    light->PERIOD = sample->PERIOD;
    light->SendFs = sample->SendFs;
    m_point->list_Data_Sample.append(light);
    return sample;
}

void tst_PointAveraging::sumsAndMeansTakeUsedSamples()
{
    const QVector<double> t{82.54042, 90.85176};
    addSample(0, {1, 1}, t);
    for (double amplitude : {2.0, 4.0}) {
        const std::shared_ptr<Data_Sample> sample = addSample(1, {1, 1}, t);
        Data_Sample& s = *sample;
        QVector<double> send(8, amplitude);
        send += QVector<double>(8, -amplitude);
        s.DATA_SEND = vectorToBlob(send);
        s.SampleOffFs = amplitude == 2.0 ? 2e6 : 1e5;
        QVector<double> off(1, 1.0);
        off.resize(100);
        s.DATA_SOFF = vectorToBlob(off);
        QVERIFY(orm::update(s).isOk());
    }
    QCOMPARE(m_point->GetSampleSize(), 3);
    QCOMPARE(m_point->GetPeriod(), 1000);
    QCOMPARE(m_point->GetSendI(), 3.0);
    QCOMPARE(m_point->GetOffTime(), (64.5 + 110.0) / 2);
    QCOMPARE(m_point->GetSendFs(), 25.0);
    QCOMPARE(m_point->GetStartTime(), QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1700000000000)));
    QCOMPARE(m_point->GetSendData().size(), 2);
    QCOMPARE(m_point->GetRecvData_Vrx2208_RAW(false).size(), 2);
}

void tst_PointAveraging::averagedCurveOfSelfCheckPoint()
{
    // Gate centre times pass the sounding pipeline unchanged but for the
    // divisor; self-check curves are only clamped.
    const QVector<double> t{82.54042, 90.85176};
    addSample(1, {1, 2}, t);
    addSample(1, {3, 4}, t);
    addSample(0, {9, 9}, t);
    addSample(1, {5, 6}, t);
    m_point->TYPE = 1;
    const auto before = m_point->list_Data_Sample;

    QVector<double> values;
    QVector<double> times;
    m_point->GetRecvData(&values, &times, false);
    QCOMPARE(values, (QVector<double>{3, 4}));
    QCOMPARE(times, t);
    QCOMPARE(m_point->TYPE, 1);

    // The samples are reloaded as new objects without their curves.
    QCOMPARE(m_point->list_Data_Sample.size(), 4);
    QVERIFY(m_point->list_Data_Sample.first() != before.first());
    QCOMPARE(m_point->list_Data_Sample.first()->ID, before.first()->ID);
    QCOMPARE(m_point->list_Data_Sample.at(2)->USE, 0);
    QCOMPARE(m_point->list_Data_Sample.first()->PERIOD, 500);
    QVERIFY(m_point->list_Data_Sample.first()->DATA_RECV.isEmpty());
    QCOMPARE(m_point->list_Data_Sample.first()->Data_PointID->ID, m_point->ID);

    // The spread is always taken of the curves processed as a sounding
    // (divided by 11): log10 of {1, 3, 5} / 11 and {2, 4, 6} / 11.
    const QVector<double> rsd = m_point->GetRSD();
    QCOMPARE(rsd.size(), 2);
    QVERIFY(std::abs(rsd.at(0) - 55.00313041) < 1e-6);
    QVERIFY(std::abs(rsd.at(1) - 50.16261014) < 1e-6);
}

void tst_PointAveraging::unknownTypeIsAveragedAsSounding()
{
    const QVector<double> t{82.54042, 90.85176};
    addSample(1, {11, 22}, t);
    addSample(1, {33, 44}, t);
    m_point->TYPE = 7;
    QVector<double> values;
    QVector<double> times;
    m_point->GetRecvData(&values, &times, false);
    QCOMPARE(values, (QVector<double>{2, 3}));
    QCOMPARE(m_point->TYPE, 0);
}

void tst_PointAveraging::curvesOfDifferentLengths()
{
    m_point->TYPE = 1;
    addSample(1, {1, 2, 3}, {1, 2, 3});
    addSample(1, {}, {});
    addSample(1, {3, 4}, {1, 2});
    QVector<double> values;
    QVector<double> times;
    m_point->GetRecvData(&values, &times, false);
    QCOMPARE(values, (QVector<double>{2, 3}));
    QCOMPARE(times, (QVector<double>{1, 2}));
    QCOMPARE(m_point->GetRSD().size(), 2);
}

void tst_PointAveraging::pointWithoutUsedSamples()
{
    addSample(0, {1, 2}, {82.54042, 90.85176});
    QCOMPARE(m_point->GetSendI(), 0.0);
    QCOMPARE(m_point->GetOffTime(), 0.0);
    QCOMPARE(m_point->GetPeriod(), 0);
    QVERIFY(m_point->GetSendData().isEmpty());
    QVERIFY(m_point->GetRSD().isEmpty());
    QVector<double> values{1};
    QVector<double> times{1};
    m_point->GetRecvData(&values, &times, false);
    QVERIFY(values.isEmpty() && times.isEmpty());
    QCOMPARE(m_point->GetSendFs(), 25.0);
    QVERIFY(m_point->GetStartTime().isValid());

    Data_Point empty;
    QCOMPARE(empty.GetSendFs(), 0.0);
    QVERIFY(empty.GetStartTime().isNull());
}

QTEST_GUILESS_MAIN(tst_PointAveraging)
#include "tst_pointaveraging.moc"
