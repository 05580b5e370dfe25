#include "project/TransmitWaveform.h"
#include "project/VectorBlob.h"

#include <QtTest>

#include <cmath>

using namespace TransmitWaveform;

// Transmit current and turn-off time of the transmitter's waveforms.
class tst_TransmitWaveform : public QObject
{
    Q_OBJECT

private slots:
    void currentOfSquareWave();
    void turnOffTimeOfStep_data();
    void turnOffTimeOfStep();
    void emptyInputGivesZero();
    void meanTurnOffWaveSkipsOtherLengths();

private:
    static QVector<double> step(int ones, int zeros = 200)
    {
        QVector<double> w(ones, 1.0);
        w.resize(ones + zeros);
        return w;
    }
};

void tst_TransmitWaveform::currentOfSquareWave()
{
    QVector<double> wave(8, 2.0);
    wave += QVector<double>(8, -2.0);
    // Terms i = 2 and 3: |2 - (-2)| * 0.5 each, sum 4, divided by 16 / 8.
    QCOMPARE(halfPeriodAmplitude(wave), 2.0);
}

void tst_TransmitWaveform::turnOffTimeOfStep_data()
{
    QTest::addColumn<QVector<double>>("wave");
    QTest::addColumn<double>("fs");
    QTest::addColumn<double>("expected");
    // One sample of 1.0: smoothed 1, .5, .5, .5, .5, .4, .38, .356, .3272,
    // .29264, ... first settles at j = 9: (9 + 2) µs * 1e6 / fs.
    QTest::newRow("step 2e6, 5.5 us -> 64.5") << step(1) << 2e6 << 64.5;
    QTest::newRow("step 1e5, 110 us") << step(1) << 1e5 << 110.0;
    QTest::newRow("settled at once, 1.0 us") << step(0) << 2e6 << 1.0;
    QTest::newRow("j = 57, 29.5 us -> 64.5") << step(45) << 2e6 << 64.5;
    QTest::newRow("j = 58, 30.0 us") << step(46) << 2e6 << 30.0;
    QTest::newRow("never settles") << QVector<double>(100, 1.0) << 2e6 << 0.0;
    QTest::newRow("five samples") << QVector<double>(5, 0.0) << 2e6 << 0.0;
    QTest::newRow("no sample rate") << step(1) << 0.0 << 0.0;
    QTest::newRow("negative rate") << step(1) << -2e6 << 0.0;
    QTest::newRow("rate not finite") << step(1) << double(NAN) << 0.0;
}

void tst_TransmitWaveform::turnOffTimeOfStep()
{
    QFETCH(QVector<double>, wave);
    QFETCH(double, fs);
    QFETCH(double, expected);
    QCOMPARE(turnOffTime(fs, wave), expected);
}

void tst_TransmitWaveform::emptyInputGivesZero()
{
    QList<st_TEMSendData> none;
    QCOMPARE(meanSendCurrent(none), 0.0);
    QCOMPARE(meanTurnOffTime(none), 0.0);
    QVector<double> seven(7, 3.0);
    QCOMPARE(halfPeriodAmplitude(seven), 0.0);

    st_TEMSendData rec;
    rec.SampleOffFs = 2e6;
    rec.OffWave = step(1);
    QList<st_TEMSendData> records{rec, rec};
    records[1].SampleOffFs = 1e5;
    QCOMPARE(meanTurnOffTime(records), (64.5 + 110.0) / 2);
}

void tst_TransmitWaveform::meanTurnOffWaveSkipsOtherLengths()
{
    QList<st_SampleData_Send> records;
    for (int len : {400, 400, 300}) {
        st_SampleData_Send s;
        s.DATA_SOFF = vectorToBlob(QVector<double>(len, double(records.size() + 1)));
        records << s;
    }
    QCOMPARE(meanTurnOffWave(records), QVector<double>(400, 1.5));
    records.removeFirst();
    records.swapItemsAt(0, 1);
    QCOMPARE(meanTurnOffWave(records), QVector<double>(300, 3.0));
    QList<st_SampleData_Send> none;
    QVERIFY(meanTurnOffWave(none).isEmpty());
}

QTEST_GUILESS_MAIN(tst_TransmitWaveform)
#include "tst_transmitwaveform.moc"
