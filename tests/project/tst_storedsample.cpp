#include "project/Data_Sample.h"
#include "project/TransmitWaveform.h"
#include "project/VectorBlob.h"

#include <QtTest>

#include <cmath>

using namespace TransmitWaveform;
using Curve = QVector<double>;

static Curve blocks(double amplitude)
{
    return Curve(8, amplitude) + Curve(8, -amplitude);
}

static Curve step(int ones)
{
    Curve w(ones, 1.0);
    w.resize(ones + 200);
    return w;
}

// The vector BLOB format, the transmit current and turn-off time of the
// waveforms, and the curves a sample row gives back.
class tst_StoredSample : public QObject
{
    Q_OBJECT

private slots:
    void blobsAreBigEndianDoubles()
    {
        const QByteArray two = QByteArray::fromHex("C0040000000000003FB999999999999A");
        QCOMPARE(vectorToBlob({-2.5, 0.1}), two);
        QCOMPARE(bytesToVector(two), (Curve{-2.5, 0.1}));
        QVERIFY(vectorToBlob({}).isEmpty() && bytesToVector(QByteArray()).isEmpty());
        // A partial trailing group is dropped, never read past the end.
        QCOMPARE(bytesToVector(two + QByteArray(4, '\x40')), (Curve{-2.5, 0.1}));
        QVERIFY(bytesToVector(QByteArray(7, '\x40')).isEmpty());
    }

    void currentOfSendWaveform_data()
    {
        // The estimate of one record, and the stored sample's own rule for
        // short waveforms with its bounds of [1e-5, 9999].
        QTest::addColumn<Curve>("wave");
        QTest::addColumn<double>("amplitude");
        QTest::addColumn<double>("sampleCurrent");
        // Terms i = 2 and 3, each |2 - (-2)| * 0.5 = 2, sum 4, over 16 / 8.
        QTest::newRow("square") << blocks(2.0) << 2.0 << 2.0;
        QTest::newRow("flat") << Curve(16, 4.0) << 0.0 << 1e-5;
        QTest::newRow("above 9999") << blocks(1e6) << 1e6 << 9999.0;
        QTest::newRow("five values") << Curve{1, 2, 3, 4, 5} << 0.0 << 9999.0;
        QTest::newRow("five equal") << Curve(5, 3.0) << 0.0 << 1e-5;
    }

    void currentOfSendWaveform()
    {
        QFETCH(Curve, wave);
        QTEST(halfPeriodAmplitude(wave), "amplitude");
        Data_Sample sample;
        sample.DATA_SEND = vectorToBlob(wave);
        QTEST(sample.GetSendI(), "sampleCurrent");
    }

    void turnOffTimeOfStep_data()
    {
        QTest::addColumn<Curve>("wave");
        QTest::addColumn<double>("fs");
        QTest::addColumn<double>("expected");
        // One sample of 1.0: smoothed 1, .5, .5, .5, .5, .4, .38, .356, .3272,
        // .29264, ... first settles at j = 9: (9 + 2) * 1e6 / fs µs.
        QTest::newRow("step 1e5, 110 us") << step(1) << 1e5 << 110.0;
        QTest::newRow("settled at once, 1.0 us") << step(0) << 2e6 << 1.0;
        QTest::newRow("j = 57, 29.5 us -> 64.5") << step(45) << 2e6 << 64.5;
        QTest::newRow("j = 58, 30.0 us") << step(46) << 2e6 << 30.0;
        QTest::newRow("never settles") << Curve(100, 1.0) << 2e6 << 0.0;
        // Summed oldest first, d[2] is 0.05000000000000002: above the limit.
        QTest::newRow("sum order") << Curve{0.1, 0, 0.15, 0.3, 0.15, 0.15} << 2e6 << 0.0;
        QTest::newRow("no sample rate") << step(1) << 0.0 << 0.0;
        QTest::newRow("negative rate") << step(1) << -2e6 << 0.0;
        QTest::newRow("rate not finite") << step(1) << double(NAN) << 0.0;
    }

    void turnOffTimeOfStep()
    {
        QFETCH(Curve, wave);
        QFETCH(double, fs);
        QTEST(turnOffTime(fs, wave), "expected");
    }

    void meansOverRecords()
    {
        st_TEMSendData rec;
        rec.SendWave = blocks(2.0);
        rec.SampleOffFs = 2e6;
        rec.OffWave = step(1);
        QList<st_TEMSendData> records{rec, rec};
        records[1].SendWave = blocks(4.0);
        records[1].SampleOffFs = 1e5;
        QCOMPARE(meanSendCurrent(records), 3.0);
        QCOMPARE(meanTurnOffTime(records), (64.5 + 110.0) / 2);
        records.clear();
        QVERIFY(meanSendCurrent(records) == 0.0 && meanTurnOffTime(records) == 0.0);

        // Turn-off waveforms of another length than the first are left out.
        QList<st_SampleData_Send> stored;
        for (int len : {400, 400, 300}) {
            stored << st_SampleData_Send();
            stored.last().DATA_SOFF = vectorToBlob(Curve(len, double(stored.size())));
        }
        QCOMPARE(meanTurnOffWave(stored), Curve(400, 1.5));
        stored.removeFirst();
        stored.swapItemsAt(0, 1);
        QCOMPARE(meanTurnOffWave(stored), Curve(300, 3.0));
    }

    void curvesOfAStoredSample()
    {
        Data_Sample sample;
        sample.TYPE = 1;
        sample.SendFs = 25.0;
        sample.RecvFs = 625000.0;
        sample.StartTime = Q_INT64_C(1700000000000);
        sample.DATA_RECV = vectorToBlob({0.5, 0.25, 0.125});
        sample.DATA_RECV_POS = vectorToBlob({1.6, 3.2, 4.8});
        sample.DATA_SEND = vectorToBlob(blocks(0.5));
        const st_RecvData_VRX2208 rec = sample.GetRecvData_Vrx2208_RAW(true);
        QCOMPARE(rec.values, (Curve{1.0, 0.5, 0.25}));
        QCOMPARE((Curve{double(rec.TYPE), rec.SendFs, rec.RecvFs, double(rec.StartTime)}),
                 (Curve{1, 25.0, 625000.0, 1700000000000.0}));
        // Values and times of different lengths are cut to the shorter.
        sample.DATA_RECV_POS = vectorToBlob({10.0, 20.0});
        Curve values;
        Curve times;
        sample.GetRecvData_RAW(&values, &times, false);
        QCOMPARE(values, (Curve{0.5, 0.25}));
        QCOMPARE(times.size(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_StoredSample)
#include "tst_storedsample.moc"
