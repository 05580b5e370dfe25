#include "devlink/RecvPayloads.h"
#include "devlink/SendPayloads.h"

#include <QtTest>

// Payload layouts against bytes written out by hand from the layout
// tables, so a change in field order or width shows up as a byte difference.
class tst_Payloads : public QObject
{
    Q_OBJECT

private slots:
    void receiverConfiguration();
    void receiverAutoTimeChannel();
    void receiverTimeSync();
    void transmitterConfiguration();
    void uploadSampleCount_data();
    void uploadSampleCount();
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

QTEST_APPLESS_MAIN(tst_Payloads)
#include "tst_payloads.moc"
