#include "ProjectFile.h"

#include "project/VectorBlob.h"

#include <QtTest>

// The vector BLOB format and what a stored sample gives back.
class tst_StoredSample : public QObject
{
    Q_OBJECT

private slots:
    void blobBytesAreBigEndianDoubles();
    void partialTrailingGroupIsDropped();
    void currentFromSendWaveform_data();
    void currentFromSendWaveform();
    void rawCurveAndDivisionByCurrent();
    void storedSampleRoundTrip();
};

void tst_StoredSample::blobBytesAreBigEndianDoubles()
{
    QCOMPARE(vectorToBlob({1.0}), QByteArray::fromHex("3FF0000000000000"));
    const QByteArray two = QByteArray::fromHex("C004000000000000" "3FB999999999999A");
    QCOMPARE(vectorToBlob({-2.5, 0.1}), two);
    QCOMPARE(bytesToVector(two), (QVector<double>{-2.5, 0.1}));
    QCOMPARE(bytesToVector(QByteArray::fromHex("3FF0000000000000")), QVector<double>{1.0});
    QVERIFY(vectorToBlob({}).isEmpty());
    QVERIFY(bytesToVector(QByteArray()).isEmpty());
}

void tst_StoredSample::partialTrailingGroupIsDropped()
{
    QByteArray twenty = vectorToBlob({1.0, 2.0});
    twenty.append("\x40\x08\x00\x00", 4);
    QCOMPARE(bytesToVector(twenty), (QVector<double>{1.0, 2.0}));
    QVERIFY(bytesToVector(QByteArray(7, '\x40')).isEmpty());
}

void tst_StoredSample::currentFromSendWaveform_data()
{
    QTest::addColumn<QVector<double>>("wave");
    QTest::addColumn<double>("current");
    QVector<double> blocks(8, 10.0);
    blocks += QVector<double>(8, -10.0);
    // Terms i = 2 and 3, each |10 - (-10)| * 0.5 = 10, sum 20, over 16 / 8.
    QTest::newRow("blocks") << blocks << 10.0;
    QTest::newRow("three values") << QVector<double>{5, 5, -5} << 1e-5;
    QTest::newRow("empty") << QVector<double>{} << 1e-5;
    QTest::newRow("five values, some difference") << QVector<double>{1, 2, 3, 4, 5} << 9999.0;
    QTest::newRow("five equal values") << QVector<double>(5, 3.0) << 1e-5;
    QVector<double> huge(8, 1e6);
    huge += QVector<double>(8, -1e6);
    QTest::newRow("above 9999") << huge << 9999.0;
    QTest::newRow("flat") << QVector<double>(16, 4.0) << 1e-5;
}

void tst_StoredSample::currentFromSendWaveform()
{
    QFETCH(QVector<double>, wave);
    QFETCH(double, current);
    Data_Sample sample;
    sample.DATA_SEND = vectorToBlob(wave);
    QCOMPARE(sample.GetSendI(), current);
}

void tst_StoredSample::rawCurveAndDivisionByCurrent()
{
    Data_Sample sample;
    sample.TYPE = 1;
    sample.SendFs = 25.0;
    sample.RecvFs = 625000.0;
    sample.StartTime = Q_INT64_C(1700000000000);
    sample.DATA_RECV = vectorToBlob({2.0, 4.0, 6.0});
    sample.DATA_RECV_POS = vectorToBlob({10.0, 20.0, 30.0});
    sample.DATA_RECV_LEN = vectorToBlob({1.0, 1.0, 1.0});

    QVector<double> values{99};
    QVector<double> times{99};
    sample.GetRecvData_RAW(&values, &times, false);
    QCOMPARE(values, (QVector<double>{2.0, 4.0, 6.0}));
    QCOMPARE(times, (QVector<double>{10.0, 20.0, 30.0}));

    // No current waveform: divided by the floor of 1e-5.
    sample.GetRecvData_RAW(&values, &times, true);
    QCOMPARE(values.size(), 3);
    QCOMPARE(values.at(0), 200000.0);
    QCOMPARE(values.at(2), 600000.0);

    QVector<double> blocks(8, 2.0);
    blocks += QVector<double>(8, -2.0);
    sample.DATA_SEND = vectorToBlob(blocks);
    const st_RecvData_VRX2208 rec = sample.GetRecvData_Vrx2208_RAW(true);
    QCOMPARE(rec.values, (QVector<double>{1.0, 2.0, 3.0}));
    QCOMPARE(rec.times, (QVector<double>{10.0, 20.0, 30.0}));
    QVERIFY(rec.widths.isEmpty());
    QCOMPARE(rec.TYPE, 1);
    QCOMPARE(rec.SendFs, 25.0);
    QCOMPARE(rec.RecvFs, 625000.0);
    QCOMPARE(rec.StartTime, Q_INT64_C(1700000000000));

    // Values and times of different lengths are cut to the shorter.
    sample.DATA_RECV_POS = vectorToBlob({10.0, 20.0});
    sample.GetRecvData_RAW(&values, &times, false);
    QCOMPARE(values, (QVector<double>{2.0, 4.0}));
    QCOMPARE(times.size(), 2);
}

void tst_StoredSample::storedSampleRoundTrip()
{
    ProjectFile file;
    QVERIFY(file.createTables());
    Data_Sample stored;
    stored.USE = 1;
    stored.SampleOffFs = 2e6;
    QVector<double> off(1, 1.0);
    off.resize(200);
    stored.DATA_SOFF = vectorToBlob(off);
    QVector<double> send(8, 3.0);
    send += QVector<double>(8, -3.0);
    stored.DATA_SEND = vectorToBlob(send);
    stored.SendFs = 25.0;
    stored.SampleSendFs = 2e6;
    stored.DATA_RECV = vectorToBlob({0.5, 0.25, 0.125});
    stored.DATA_RECV_POS = vectorToBlob({1.6, 3.2, 4.8});
    QVERIFY(orm::insert(stored).isOk());

    Data_Sample sample(stored.ID);
    QVERIFY(orm::fetchById(sample, {QStringLiteral("SampleOffFs"), QStringLiteral("DATA_SOFF")}).isOk());
    // The turn-off settles 5.5 µs in, reported as 64.5 µs.
    QCOMPARE(sample.GetOffTime(), 64.5);
    QCOMPARE(sample.GetSendI(), 1e-5);
    QVERIFY(orm::fetchById(sample).isOk());
    QCOMPARE(sample.GetSendI(), 3.0);

    // Self-check processing: the turn-off (64.5 µs) lies beyond the last
    // time, so the curve keeps its times and values.
    QVector<double> values;
    QVector<double> times;
    sample.GetRecvData(&values, &times, 1, false);
    QCOMPARE(values, (QVector<double>{0.5, 0.25, 0.125}));
    QCOMPARE(times, (QVector<double>{1.6, 3.2, 4.8}));
}

QTEST_GUILESS_MAIN(tst_StoredSample)
#include "tst_storedsample.moc"
