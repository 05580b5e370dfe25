#include "devlink/RecvPayloads.h"
#include "devlink/SendPayloads.h"

#include <QtTest>

// Payload layouts against bytes written out by hand from the unit manuals'
// tables, so a change in field order or width shows up as a byte difference.
class tst_Payloads : public QObject
{
    Q_OBJECT

private slots:
    void receiverConfiguration();
    void receiverAutoTimeChannel();
    void receiverTimeSync();
    void transmitterConfiguration();
    void replyStatusPadsShortPayloads();
    void uploadSampleCount_data();
    void uploadSampleCount();
    void rateCodes();
    void waveformReportCounts_data();
    void waveformReportCounts();
    void monitorNeedsItsSixteenBytes();
    void deviceInfoOnlyWithTwentyFourBytes();
};

void tst_Payloads::receiverConfiguration()
{
    st_RecvParam param;
    param.ParamFs = 25.0f;
    param.ParamPeriod = 16;
    param.ContinueMode = 1;
    param.SampleMode = 2;
    param.SendTime = 1700000000123;
    param.RateCode = 3;

    const QByteArray expected = QByteArray::fromHex("0000c841" "10000000" "01000000" "02000000")
        + QByteArray(56, '\0') + QByteArray::fromHex("7b68e5cf8b010000" "03000000" "00000000");
    QCOMPARE(expected.size(), 88);
    QCOMPARE(WriteRecvParam(param), expected);
}

void tst_Payloads::receiverAutoTimeChannel()
{
    st_ConfigAutoTimeChannel_VRX2208 request;
    request.ParamFs = 25.0f;
    request.ChannelCount = 1250;
    QCOMPARE(WriteAutoTimeChannel(request), QByteArray::fromHex("0000c841" "e2040000"));
}

void tst_Payloads::receiverTimeSync()
{
    QCOMPARE(WriteRecvTimeSync(1.5), QByteArray::fromHex("000000000000f83f"));
}

void tst_Payloads::transmitterConfiguration()
{
    st_TEMSendInfo info;
    info.ParamFs = 100.0f;
    info.ParamPeriod = 8;
    info.ContinueMode = 1;
    QCOMPARE(WriteTEMSendInfo(info),
             QByteArray::fromHex("0000c842" "08000000" "0101000000000000" "01000000" "00000000"));
}

void tst_Payloads::replyStatusPadsShortPayloads()
{
    QCOMPARE(ReadReplyStatus(QByteArray()), 0u);
    QCOMPARE(ReadReplyStatus(QByteArray::fromHex("0201")), 0x0102u);
    QCOMPARE(ReadReplyStatus(QByteArray::fromHex("01000000ff")), 1u);
}

void tst_Payloads::uploadSampleCount_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("count");
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("shorter than trailer") << 7 << 0;
    QTest::newRow("trailer only") << 8 << 0;
    QTest::newRow("remainder dropped") << 4011 << 1000;
    QTest::newRow("1000 samples") << 4008 << 1000;
}

void tst_Payloads::uploadSampleCount()
{
    QFETCH(int, size);
    QFETCH(int, count);
    QByteArray payload(size, '\0');
    if (size >= 8)
        payload.replace(0, 4, QByteArray::fromHex("00002040"));
    const QVector<float> samples = ReadUploadSamples(payload);
    QCOMPARE(samples.size(), count);
    if (count > 0)
        QCOMPARE(samples[0], 2.5f);
}

void tst_Payloads::rateCodes()
{
    QCOMPARE(RecvRateFromCode(0), 625000.0);
    QCOMPARE(RecvRateFromCode(1), 78125.0);
    QCOMPARE(RecvRateFromCode(2), 9765.0);
    QCOMPARE(RecvRateFromCode(3), 1220.0);
    QCOMPARE(RecvRateFromCode(4), 625000.0);
    QCOMPARE(RecvRateFromCode(-1), 625000.0);
}

void tst_Payloads::waveformReportCounts_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("counts");
    QTest::addColumn<int>("sendKept");
    QTest::addColumn<int>("offKept");

    QTest::newRow("120 and 80") << 4024 << QByteArray::fromHex("78000000" "50000000") << 120 << 80;
    QTest::newRow("send 600") << 4024 << QByteArray::fromHex("58020000" "50000000") << 500 << 500;
    QTest::newRow("off -1") << 4024 << QByteArray::fromHex("78000000" "ffffffff") << 500 << 500;
    QTest::newRow("none") << 4024 << QByteArray::fromHex("00000000" "00000000") << 0 << 0;
    // Cut short inside the first waveform: only the samples present survive.
    QTest::newRow("short in first") << 8 + 4 * 50 << QByteArray::fromHex("78000000" "50000000") << 50 << 0;
    QTest::newRow("short in second") << 2008 + 4 * 30 + 2 << QByteArray::fromHex("78000000" "50000000") << 120 << 30;
    QTest::newRow("counts only") << 6 << QByteArray::fromHex("78000000" "5000") << 0 << 0;
}

void tst_Payloads::waveformReportCounts()
{
    QFETCH(int, size);
    QFETCH(QByteArray, counts);
    QFETCH(int, sendKept);
    QFETCH(int, offKept);

    QByteArray payload(size, '\0');
    payload.replace(0, counts.size(), counts);
    if (size >= 12)
        payload.replace(8, 4, QByteArray::fromHex("00002040"));
    if (size >= 2012)
        payload.replace(2008, 4, QByteArray::fromHex("0000a0bf"));

    QVector<double> sendWave;
    QVector<double> offWave;
    ReadSendWaves(payload, &sendWave, &offWave);
    QCOMPARE(sendWave.size(), sendKept);
    QCOMPARE(offWave.size(), offKept);
    if (sendKept > 0)
        QCOMPARE(sendWave[0], 2.5);
    if (offKept > 0)
        QCOMPARE(offWave[0], -1.25);
}

void tst_Payloads::monitorNeedsItsSixteenBytes()
{
    const QByteArray monitorBytes = QByteArray::fromHex("00002040" "00001242" "00004041" "01020304");
    st_TEMSendMonitor monitor;
    QVERIFY(ReadTEMSendMonitor(monitorBytes, 0, &monitor));
    QCOMPARE(monitor.SendV, 2.5f);
    QCOMPARE(monitor.DeviceV, 36.5f);
    QCOMPARE(monitor.DeviceTemp, 12.0f);
    QCOMPARE(monitor.Reserved[3], quint8(4));

    QVERIFY(!ReadTEMSendMonitor(monitorBytes.left(15), 0, &monitor));
    QByteArray report(4023, '\0');
    QVERIFY(!ReadTEMSendMonitor(report, kSendWaveMonitorOffset, &monitor));
    report.append('\0');
    QVERIFY(ReadTEMSendMonitor(report, kSendWaveMonitorOffset, &monitor));
}

void tst_Payloads::deviceInfoOnlyWithTwentyFourBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 24; ++i)
        bytes.append(char(i));
    st_DeviceInfo info;
    QVERIFY(ReadDeviceInfo(bytes, &info));
    QCOMPARE(info.Info0[0], quint8(0));
    QCOMPARE(info.Info1[0], quint8(8));
    QCOMPARE(info.Info2[7], quint8(23));
    QVERIFY(!ReadDeviceInfo(bytes.left(23), &info));
    QVERIFY(!ReadDeviceInfo(bytes + '\0', &info));
}

QTEST_APPLESS_MAIN(tst_Payloads)
#include "tst_payloads.moc"
