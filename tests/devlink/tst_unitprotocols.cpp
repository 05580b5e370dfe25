#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/PayloadFields.h"
#include "devlink/RecvPayloads.h"
#include "devlink/SendPayloads.h"
#include "devlink/iLibSend.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>

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
        st_RecvParam param{fs, 0, 0, sampleMode, 0, rateCode};
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

class SendProbe : public iLibSend
{
public:
    QSignalSpy records{this, &iLibSend::TEM_NewSendData};
    QSignalSpy monitors{this, &iLibSend::TEM_SendMonitor};

    using iLibSend::OnResponse;
    void Respond(quint32 command, QByteArray payload) { OnResponse(command, true, &payload); }
    st_TEMSendData Record(int i) const { return records.at(i).at(0).value<st_TEMSendData>(); }
    std::array<float, 3> Monitor(int i) const
    {
        const auto m = monitors.at(i).at(0).value<st_TEMSendMonitor>();
        return {m.SendV, m.DeviceV, m.DeviceTemp};
    }
};

// A full report 6 whose samples count up from 1 (current) and down from -1
// (turn-off), with monitor values 48 V, 24.5 V and 36 degrees.
QByteArray WaveReport(qint32 sendCount, qint32 offCount)
{
    PayloadWriter report;
    report.Field(sendCount);
    report.Field(offCount);
    for (int i = 0; i < 500; ++i)
        report.Field(1.0f + i);
    for (int i = 0; i < 500; ++i)
        report.Field(-1.0f - i);
    for (float v : {48.0f, 24.5f, 36.0f, 0.0f})
        report.Field(v);
    return report.Payload();
}

} // namespace

// The payloads of both units, byte for byte, and what their links make of
// the replies and reports, short ones included.
class TestUnitProtocols : public QObject
{
    Q_OBJECT

private slots:
    // Against bytes written out by hand from the layout tables.
    void commandsByteForByte()
    {
        st_RecvParam param{25.0f, 16, 1, 2, 1700000000123, 3};
        QCOMPARE(WriteRecvParam(param),
                 QByteArray::fromHex("0000c841100000000100000002000000") + QByteArray(56, '\0')
                     + QByteArray::fromHex("7b68e5cf8b0100000300000000000000"));
        QCOMPARE(WriteAutoTimeChannel({25.0f, 1250}), QByteArray::fromHex("0000c841e2040000"));
        QCOMPARE(WriteRecvTimeSync(1.5), QByteArray::fromHex("000000000000f83f"));
        QCOMPARE(WriteTEMSendInfo({100.0f, 8, {{1, 1}}, 1, 0}),
                 QByteArray::fromHex("0000c842080000000101000000000000"
                                     "0100000000000000"));
    }

    // A gated upload needs a gate per sample; a refused table (status 0)
    // leaves the last one in place: 656 samples fit only the 25 Hz table
    // (the 100 Hz one has 525 gates).
    void gatedUploadTakesTimesFromGates()
    {
        RecvProbe probe(25.0f, 0);
        // Before any table only an upload without samples makes a record.
        QCOMPARE(probe.Upload(0).TYPE, 1);
        QCOMPARE(probe.Upload(1).TYPE, 0);
        QSignalSpy replies(&probe, &ILibRecv_VRX2208::onRecvAutoChannel);
        probe.BuildGates(25.0f, 1250);
        probe.BuildGates(100.0f, 1250, 0);
        QCOMPARE(replies, (QList<QVariantList>{{true}, {false}}));
        QCOMPARE(probe.Upload(657).TYPE, 0);
        const st_RecvData_VRX2208 record = probe.Upload(656);
        QVERIFY(record.TYPE == 1 && record.SendFs == 25.0 && record.RecvFs == 625000.0 && record.StartTime == kNow);
        QCOMPARE(record.widths.size(), 656);
        // The first gate starts and ends at 1.6 µs: zero width becomes one sample.
        QVERIFY(record.times[0] == 1.6 && record.widths[0] == 1.6);
        QVERIFY(std::fabs(record.times[655] + record.widths[655] * 0.5 - 10000.0) < 1e-6);
        QCOMPARE(record.values[655], 656.0);

        // Fewer samples than gates use the first gates; a remainder of the
        // payload and a payload shorter than the trailer carry no samples.
        QCOMPARE(probe.Upload(10).times, record.times.mid(0, 10));
        probe.Respond(3, UploadPayload({2.5f}) + "xyz");
        probe.Respond(3, QByteArray(7, '\0'));
        QCOMPARE(probe.records.size(), 5);
        QCOMPARE(probe.records.at(3).at(0).value<st_RecvData_VRX2208>().values, QVector<double>{2.5});
        QVERIFY(probe.records.at(4).at(0).value<st_RecvData_VRX2208>().values.isEmpty());
    }

    void fullWaveform_data()
    {
        QTest::addColumn<int>("sampleMode");
        QTest::addColumn<int>("rateCode");
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("width");
        // Mode 1: a hundredth of the 10 ms quarter period, in seconds, with the
        // width of a whole quarter period, whatever the rate code.
        QTest::newRow("mode 1") << 1 << 3 << 625000.0 << 1e-4 << 0.01;
        QTest::newRow("code 1") << 2 << 1 << 78125.0 << 1.28 << 1.28;
        QTest::newRow("code 2") << 2 << 2 << 9765.0 << 100000.0 / 9765 << 100000.0 / 9765;
        QTest::newRow("code 3") << 2 << 3 << 1220.0 << 100000.0 / 1220 << 100000.0 / 1220;
        QTest::newRow("unknown code") << 2 << 9 << 625000.0 << 0.16 << 0.16;
    }

    void fullWaveform()
    {
        QFETCH(int, sampleMode);
        QFETCH(int, rateCode);
        QFETCH(double, step);
        QFETCH(double, width);
        RecvProbe probe(25.0f, sampleMode, rateCode);
        const st_RecvData_VRX2208 record = probe.Upload(3);
        QVERIFY(record.TYPE == 2 && record.SendFs == 25.0);
        QTEST(record.RecvFs, "rate");
        QCOMPARE(record.values, (QVector<double>{1.0, 2.0, 3.0}));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(std::fabs(record.times[i] - (i + 0.5) * step) < step * 1e-12);
            QVERIFY(std::fabs(record.widths[i] - width) < width * 1e-12);
        }
    }

    void valuesKeptAwayFromZero()
    {
        RecvProbe probe(25.0f, 1);
        const QVector<double> values = probe.Upload(0, {0.0f, -5e-10f, 2.5f, 5e-10f, -2.0f, NAN}).values;
        QCOMPARE(values.mid(0, 5), (QVector<double>{1e-9, -1e-9, 2.5, 1e-9, -2.0}));
        QVERIFY(std::isnan(values[5]));
    }

    // Failed requests are told as such and change nothing else, nor do null
    // parameters and unknown commands; a reply's status is its first four
    // bytes, missing ones zero. A stop refused is told apart from one taken.
    void receiverReplies()
    {
        RecvProbe probe(25.0f, 2, 1);
        QSignalSpy configed(&probe, &ILibRecv_VRX2208::onRecvConfiged);
        QSignalSpy stopped(&probe, &ILibRecv_VRX2208::onRecvStop);
        QSignalSpy noReply(&probe, &ILibRecv_VRX2208::onRecvNoReply);
        for (const char* hex : {"01000000", "00000000", "", "00000001"})
            probe.Respond(2, QByteArray::fromHex(hex));
        QCOMPARE(stopped, (QList<QVariantList>{{true}, {false}, {false}, {true}}));
        probe.RecvConfig(nullptr);
        probe.RecvConfig_AutoChannel(nullptr);
        probe.OnResponse(1, false, nullptr);
        probe.OnResponse(3, false, nullptr);
        for (const char* hex : {"00000001", "000000"})
            probe.Respond(1, QByteArray::fromHex(hex));
        probe.Respond(77, QByteArray::fromHex("01000000"));
        QCOMPARE(configed, (QList<QVariantList>{{true}, {false}}));
        QCOMPARE(noReply, (QList<QVariantList>{{1u}, {3u}}));
        QCOMPARE(probe.records.size(), 0);
        QCOMPARE(probe.Upload(0).RecvFs, 78125.0);
    }

    void waveformReport_data()
    {
        QTest::addColumn<int>("sendCount");
        QTest::addColumn<int>("offCount");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("sendKept");
        QTest::addColumn<int>("offKept");
        QTest::addColumn<bool>("monitor");

        QTest::newRow("120/80") << 120 << 80 << 4024 << 120 << 80 << true;
        QTest::newRow("600/80") << 600 << 80 << 4024 << 500 << 500 << true;
        QTest::newRow("120/-1") << 120 << -1 << 4024 << 500 << 500 << true;
        // Missing samples must not become zeros of a stored turn-off waveform,
        // and missing monitor bytes must not be shown as readings.
        QTest::newRow("cut in turn-off") << 120 << 80 << 2008 + 4 * 30 << 120 << 30 << false;
        QTest::newRow("cut in monitor") << 120 << 80 << 4023 << 120 << 80 << false;
    }

    void waveformReport()
    {
        QFETCH(int, sendCount);
        QFETCH(int, offCount);
        QFETCH(int, size);
        QFETCH(int, sendKept);
        QFETCH(int, offKept);
        QFETCH(bool, monitor);
        SendProbe probe;
        probe.Respond(6, WaveReport(sendCount, offCount).left(size));
        QCOMPARE(probe.records.size(), 1);
        const st_TEMSendData record = probe.Record(0);
        QCOMPARE(record.SendWave.size(), sendKept);
        QCOMPARE(record.OffWave.size(), offKept);
        QVERIFY(sendKept == 0 || record.SendWave.last() == double(sendKept));
        QVERIFY(offKept == 0 || record.OffWave.last() == -double(offKept));

        QCOMPARE(probe.monitors.size(), monitor ? 1 : 0);
        QVERIFY(!monitor || probe.Monitor(0) == (std::array<float, 3>{48.0f, 24.5f, 36.0f}));
    }

    void transmitterReplies()
    {
        SendProbe probe;
        QSignalSpy configed(&probe, &iLibSend::TEM_Configed);
        QSignalSpy started(&probe, &iLibSend::TEM_Strated);
        QSignalSpy stopped(&probe, &iLibSend::TEM_Stoped);
        QSignalSpy info(&probe, &iLibSend::TEM_SendDeviceInfo);
        QSignalSpy noReply(&probe, &iLibSend::TEM_NoReply);
        probe.OnResponse(1, false, nullptr);
        probe.OnResponse(6, false, nullptr);
        probe.TEM_Config(nullptr);
        // Waveforms carry the frequency of the last configuration, 200 Hz before
        // any; with the link down only that frequency is kept.
        probe.Respond(6, WaveReport(10, 10));
        st_TEMSendInfo config{6.25f, 16, {{1, 1}}, 0, 0};
        probe.TEM_Config(&config);
        probe.Respond(6, WaveReport(10, 10));
        probe.Respond(6, QByteArray());
        probe.Respond(1, QByteArray::fromHex("07010000"));
        probe.Respond(1, QByteArray::fromHex("05"));
        for (const char* hex : {"00ffffff", "01", ""})
            probe.Respond(2, QByteArray::fromHex(hex));
        for (const char* hex : {"", "00000000", "01000000", "00010000"})
            probe.Respond(5, QByteArray::fromHex(hex));
        for (int size : {23, 24, 25})
            probe.Respond(0, QByteArray(size, 'i'));
        // Monitor reports need their 16 bytes; more are ignored.
        const QByteArray monitor = WaveReport(0, 0).mid(4008);
        probe.Respond(240, monitor.left(15));
        probe.Respond(240, monitor + "extra");

        QCOMPARE(configed, (QList<QVariantList>{{0x107u}, {5u}}));
        QCOMPARE(started, (QList<QVariantList>{{false}, {true}, {false}}));
        QCOMPARE(noReply, (QList<QVariantList>{{1u}, {6u}}));
        QCOMPARE(stopped, (QList<QVariantList>{{false}, {false}, {true}, {true}}));
        QCOMPARE(info.size(), 1);
        QCOMPARE(info.at(0).at(0).value<st_DeviceInfo>().Info2[7], quint8('i'));
        QCOMPARE(probe.records.size(), 2);
        QVERIFY(probe.Record(0).SendFs == 200.0 && probe.Record(1).SendFs == 6.25);
        QCOMPARE(probe.monitors.size(), 3);
        QVERIFY(probe.Monitor(2) == (std::array<float, 3>{48.0f, 24.5f, 36.0f}));
    }
};

QTEST_MAIN(TestUnitProtocols)
#include "tst_unitprotocols.moc"
