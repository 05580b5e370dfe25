#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/PayloadFields.h"
#include "devlink/RecvPayloads.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

constexpr qint64 kNow = 1700000000123;

QByteArray UploadPayload(const QVector<float>& samples)
{
    PayloadWriter upload;
    for (float v : samples)
        upload.Field(v);
    upload.Skip(8);
    return upload.Payload();
}

// Feeds replies and uploads straight into the protocol, as the link would.
// The link is down, so the commands only set the state the parser reads.
class RecvProbe : public ILibRecv_VRX2208
{
public:
    QSignalSpy records{this, &ILibRecv_VRX2208::onRecvData};

    RecvProbe(float fs, qint32 sampleMode, qint32 rateCode = 0)
    {
        SetClock([] { return kNow; });
        st_RecvParam param;
        param.ParamFs = fs;
        param.SampleMode = sampleMode;
        param.RateCode = rateCode;
        RecvConfig(&param);
    }
    using ILibRecv_VRX2208::OnResponse;
    void Respond(quint32 command, QByteArray payload) { OnResponse(command, true, &payload); }
    void BuildGates(float fs, quint32 points, char status = 1)
    {
        st_ConfigAutoTimeChannel_VRX2208 request{fs, points};
        RecvConfig_AutoChannel(&request);
        Respond(1001, QByteArray(1, status) + QByteArray(3, '\0'));
    }
    // Uploads the samples (count samples 1, 2, 3 ... by default); the record, if any.
    st_RecvData_VRX2208 Upload(int count, QVector<float> samples = {})
    {
        for (int i = 0; i < count; ++i)
            samples << 1.0f + i;
        const int before = records.size();
        Respond(3, UploadPayload(samples));
        return records.size() > before ? records.last().at(0).value<st_RecvData_VRX2208>() : st_RecvData_VRX2208();
    }
};

} // namespace

class tst_RecvProtocol : public QObject
{
    Q_OBJECT

private slots:
    void commandsByteForByte();
    void gatedUploadNeedsAGatePerSample();
    void gatedUploadTakesTimesFromGates();
    void fullWaveform_data();
    void fullWaveform();
    void valuesKeptAwayFromZero();
    void replies();
};

// Against bytes written out by hand from the layout tables.
void tst_RecvProtocol::commandsByteForByte()
{
    st_RecvParam param{25.0f, 16, 1, 2, 1700000000123, 3};
    QCOMPARE(WriteRecvParam(param),
             QByteArray::fromHex("0000c841"
                                 "10000000"
                                 "01000000"
                                 "02000000")
                 + QByteArray(56, '\0')
                 + QByteArray::fromHex("7b68e5cf8b010000"
                                       "03000000"
                                       "00000000"));
    QCOMPARE(WriteAutoTimeChannel({25.0f, 1250}),
             QByteArray::fromHex("0000c841"
                                 "e2040000"));
    QCOMPARE(WriteRecvTimeSync(1.5), QByteArray::fromHex("000000000000f83f"));
}

void tst_RecvProtocol::gatedUploadNeedsAGatePerSample()
{
    RecvProbe probe(25.0f, 0);
    // Before any table only an upload without samples makes a record.
    QCOMPARE(probe.Upload(0).TYPE, 1);
    QCOMPARE(probe.Upload(1).TYPE, 0);
    // 2145 points give 1000 gates at 25 Hz, 2144 give 999: a 4008-byte upload
    // fits only the first.
    probe.BuildGates(25.0f, 2145);
    QCOMPARE(probe.Upload(1000).values.size(), 1000);
    probe.BuildGates(25.0f, 2144);
    QCOMPARE(probe.Upload(1000).TYPE, 0);
    // Fewer samples than gates use the first gates; a remainder of the
    // payload and a payload shorter than the trailer carry no samples.
    QCOMPARE(probe.Upload(10).times.size(), 10);
    probe.Respond(3, UploadPayload({2.5f}) + "xyz");
    probe.Respond(3, QByteArray(7, '\0'));
    QCOMPARE(probe.records.size(), 5);
    QCOMPARE(probe.records.at(3).at(0).value<st_RecvData_VRX2208>().values, QVector<double>{2.5});
    QVERIFY(probe.records.at(4).at(0).value<st_RecvData_VRX2208>().values.isEmpty());
}

// A refused table (status 0) leaves the last one in place: 656 samples fit
// only the 25 Hz table (the 100 Hz one has 525 gates).
void tst_RecvProtocol::gatedUploadTakesTimesFromGates()
{
    RecvProbe probe(25.0f, 0);
    QSignalSpy replies(&probe, &ILibRecv_VRX2208::onRecvAutoChannel);
    probe.BuildGates(25.0f, 1250);
    probe.BuildGates(100.0f, 1250, 0);
    QCOMPARE(replies, (QList<QVariantList>{{true}, {false}}));
    const st_RecvData_VRX2208 record = probe.Upload(656);
    QCOMPARE(record.TYPE, 1);
    QCOMPARE(record.SendFs, 25.0);
    QCOMPARE(record.RecvFs, 625000.0);
    QCOMPARE(record.StartTime, kNow);
    QCOMPARE(record.widths.size(), 656);
    // The first gate starts and ends at 1.6 µs: zero width becomes one sample.
    QCOMPARE(record.times[0], 1.6);
    QCOMPARE(record.widths[0], 1.6);
    QVERIFY(std::fabs(record.times[655] + record.widths[655] * 0.5 - 10000.0) < 1e-6);
    QCOMPARE(record.values[655], 656.0);
}

void tst_RecvProtocol::fullWaveform_data()
{
    QTest::addColumn<int>("sampleMode");
    QTest::addColumn<int>("rateCode");
    QTest::addColumn<double>("rate");
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("width");

    // Mode 1: a hundredth of the 10 ms quarter period, in seconds, with the
    // width of a whole quarter period, whatever the rate code.
    QTest::newRow("mode 1") << 1 << 3 << 625000.0 << 1e-4 << 0.01;
    QTest::newRow("code 0") << 2 << 0 << 625000.0 << 0.16 << 0.16;
    QTest::newRow("code 1") << 2 << 1 << 78125.0 << 1.28 << 1.28;
    QTest::newRow("code 2") << 2 << 2 << 9765.0 << 100000.0 / 9765 << 100000.0 / 9765;
    QTest::newRow("code 3") << 2 << 3 << 1220.0 << 100000.0 / 1220 << 100000.0 / 1220;
    QTest::newRow("unknown code") << 2 << 9 << 625000.0 << 0.16 << 0.16;
}

void tst_RecvProtocol::fullWaveform()
{
    QFETCH(int, sampleMode);
    QFETCH(int, rateCode);
    QFETCH(double, rate);
    QFETCH(double, step);
    QFETCH(double, width);

    RecvProbe probe(25.0f, sampleMode, rateCode);
    const st_RecvData_VRX2208 record = probe.Upload(3);
    QCOMPARE(record.TYPE, 2);
    QCOMPARE(record.SendFs, 25.0);
    QCOMPARE(record.RecvFs, rate);
    QCOMPARE(record.values, (QVector<double>{1.0, 2.0, 3.0}));
    for (int i = 0; i < 3; ++i) {
        QVERIFY(std::fabs(record.times[i] - (i + 0.5) * step) < step * 1e-12);
        QVERIFY(std::fabs(record.widths[i] - width) < width * 1e-12);
    }
}

void tst_RecvProtocol::valuesKeptAwayFromZero()
{
    RecvProbe probe(25.0f, 1);
    const QVector<double> values = probe.Upload(0, {0.0f, -5e-10f, 2.5f, 5e-10f, -2.0f, NAN}).values;
    QCOMPARE(values.mid(0, 5), (QVector<double>{1e-9, -1e-9, 2.5, 1e-9, -2.0}));
    QVERIFY(std::isnan(values[5]));
}

// Failed requests, null parameters and unknown commands change nothing; a
// reply's status is its first four bytes, missing ones zero.
void tst_RecvProtocol::replies()
{
    RecvProbe probe(25.0f, 2, 1);
    QSignalSpy configed(&probe, &ILibRecv_VRX2208::onRecvConfiged);
    probe.RecvConfig(nullptr);
    probe.RecvConfig_AutoChannel(nullptr);
    probe.OnResponse(1, false, nullptr);
    probe.OnResponse(3, false, nullptr);
    for (const char* hex : {"00000001", "000000"})
        probe.Respond(1, QByteArray::fromHex(hex));
    probe.Respond(77, QByteArray::fromHex("01000000"));
    QCOMPARE(configed, (QList<QVariantList>{{true}, {false}}));
    QCOMPARE(probe.records.size(), 0);
    QCOMPARE(probe.Upload(0).RecvFs, 78125.0);
}

QTEST_MAIN(tst_RecvProtocol)
#include "tst_recvprotocol.moc"
