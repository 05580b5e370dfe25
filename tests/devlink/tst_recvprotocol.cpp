#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/RecvPayloads.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

constexpr qint64 kNow = 1700000000123;

// Feeds replies and uploads straight into the protocol, as the link would.
class RecvProbe : public ILibRecv_VRX2208
{
public:
    RecvProbe() { SetClock([] { return kNow; }); }
    using ILibRecv_VRX2208::OnResponse;

    void Respond(quint32 command, QByteArray payload) { OnResponse(command, true, &payload); }

    // The link is down in these tests, so the commands only set the state
    // the parser reads.
    void Configure(float fs, qint32 sampleMode, qint32 rateCode = 0)
    {
        st_RecvParam param;
        param.ParamFs = fs;
        param.ParamPeriod = 16;
        param.SampleMode = sampleMode;
        param.RateCode = rateCode;
        RecvConfig(&param);
    }
    void BuildGates(float fs, quint32 points, quint32 status = 1)
    {
        st_ConfigAutoTimeChannel_VRX2208 request;
        request.ParamFs = fs;
        request.ChannelCount = points;
        RecvConfig_AutoChannel(&request);
        Respond(1001, StatusPayload(status));
    }
    static QByteArray StatusPayload(quint32 status)
    {
        QByteArray bytes(4, '\0');
        bytes[0] = char(status & 0xff);
        return bytes;
    }
};

QByteArray Upload(const QVector<float>& samples)
{
    QByteArray payload;
    for (float v : samples) {
        char bytes[4];
        qToLittleEndian(v, bytes);
        payload.append(bytes, 4);
    }
    return payload + QByteArray(8, '\x7f');
}

QVector<float> Ramp(int count)
{
    QVector<float> samples(count);
    for (int i = 0; i < count; ++i)
        samples[i] = 1.0f + i;
    return samples;
}

st_RecvData_VRX2208 OnlyRecord(const QSignalSpy& spy)
{
    return spy.size() == 1 ? spy.at(0).at(0).value<st_RecvData_VRX2208>() : st_RecvData_VRX2208();
}

} // namespace

class tst_RecvProtocol : public QObject
{
    Q_OBJECT

private slots:
    void gatedUploadNeedsAGatePerSample();
    void gatedUploadTakesTimesFromGates();
    void statusZeroKeepsOldGateTable();
    void waveformAtNativeRate();
    void waveformAtRateCode_data();
    void waveformAtRateCode();
    void valuesKeptAwayFromZero();
    void trailerOnlyUploadGivesEmptyRecord();
    void replyStatusFlags();
    void failedAndNullInputsAreIgnored();
};

void tst_RecvProtocol::gatedUploadNeedsAGatePerSample()
{
    RecvProbe probe;
    QSignalSpy spy(&probe, &ILibRecv_VRX2208::onRecvData);
    probe.Configure(25.0f, 0);

    // 2145 points give 1000 gates at 25 Hz, 2144 give 999.
    probe.BuildGates(25.0f, 2145);
    probe.Respond(3, Upload(Ramp(1000)));
    QCOMPARE(Upload(Ramp(1000)).size(), 4008);
    QCOMPARE(OnlyRecord(spy).values.size(), 1000);

    probe.BuildGates(25.0f, 2144);
    probe.Respond(3, Upload(Ramp(1000)));
    QCOMPARE(spy.size(), 1);

    // Fewer samples than gates: the first gates are used.
    probe.Respond(3, Upload(Ramp(10)));
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.at(1).at(0).value<st_RecvData_VRX2208>().times.size(), 10);
}

void tst_RecvProtocol::gatedUploadTakesTimesFromGates()
{
    RecvProbe probe;
    QSignalSpy spy(&probe, &ILibRecv_VRX2208::onRecvData);
    probe.Configure(25.0f, 0);
    probe.BuildGates(25.0f, 1250);
    probe.Respond(3, Upload(Ramp(656)));

    const st_RecvData_VRX2208 record = OnlyRecord(spy);
    QCOMPARE(record.TYPE, 1);
    QCOMPARE(record.SendFs, 25.0);
    QCOMPARE(record.RecvFs, 625000.0);
    QCOMPARE(record.StartTime, kNow);
    QCOMPARE(record.times.size(), 656);
    QCOMPARE(record.widths.size(), 656);
    // The first gate starts and ends at 1.6 µs: zero width becomes one sample.
    QCOMPARE(record.times[0], 1.6);
    QCOMPARE(record.widths[0], 1.6);
    QVERIFY(std::fabs(record.times[655] + record.widths[655] * 0.5 - 10000.0) < 1e-6);
    QCOMPARE(record.values[655], 656.0);
}

void tst_RecvProtocol::statusZeroKeepsOldGateTable()
{
    RecvProbe probe;
    QSignalSpy data(&probe, &ILibRecv_VRX2208::onRecvData);
    QSignalSpy autoChannel(&probe, &ILibRecv_VRX2208::onRecvAutoChannel);
    probe.Configure(25.0f, 0);
    probe.BuildGates(25.0f, 1250);
    probe.BuildGates(100.0f, 1250, 0);
    QCOMPARE(autoChannel.size(), 2);
    QCOMPARE(autoChannel.at(0).at(0).toBool(), true);
    QCOMPARE(autoChannel.at(1).at(0).toBool(), false);

    // 656 samples fit only the 25 Hz table (the 100 Hz one has 525 gates).
    probe.Respond(3, Upload(Ramp(656)));
    const st_RecvData_VRX2208 record = OnlyRecord(data);
    QVERIFY(std::fabs(record.times[655] + record.widths[655] * 0.5 - 10000.0) < 1e-6);
}

void tst_RecvProtocol::waveformAtNativeRate()
{
    RecvProbe probe;
    QSignalSpy spy(&probe, &ILibRecv_VRX2208::onRecvData);
    probe.Configure(25.0f, 1, 3);
    probe.Respond(3, Upload(Ramp(4)));

    // A hundredth of the 10 ms quarter period, in seconds.
    const double d = 1e-4;
    const st_RecvData_VRX2208 record = OnlyRecord(spy);
    QCOMPARE(record.TYPE, 2);
    QCOMPARE(record.SendFs, 25.0);
    QCOMPARE(record.RecvFs, 625000.0);
    QCOMPARE(record.times.size(), 4);
    for (int i = 0; i < 4; ++i) {
        QVERIFY(std::fabs(record.times[i] - (i + 0.5) * d) < 1e-15);
        QVERIFY(std::fabs(record.widths[i] - 0.01) < 1e-15);
        QCOMPARE(record.values[i], 1.0 + i);
    }
}

void tst_RecvProtocol::waveformAtRateCode_data()
{
    QTest::addColumn<int>("rateCode");
    QTest::addColumn<double>("rate");
    QTest::newRow("0") << 0 << 625000.0;
    QTest::newRow("1") << 1 << 78125.0;
    QTest::newRow("2") << 2 << 9765.0;
    QTest::newRow("3") << 3 << 1220.0;
    QTest::newRow("unknown") << 9 << 625000.0;
}

void tst_RecvProtocol::waveformAtRateCode()
{
    QFETCH(int, rateCode);
    QFETCH(double, rate);

    RecvProbe probe;
    QSignalSpy spy(&probe, &ILibRecv_VRX2208::onRecvData);
    probe.Configure(25.0f, 2, rateCode);
    probe.Respond(3, Upload(Ramp(3)));

    const st_RecvData_VRX2208 record = OnlyRecord(spy);
    const double d = 100000.0 / rate;
    QCOMPARE(record.TYPE, 2);
    QCOMPARE(record.RecvFs, rate);
    QCOMPARE(record.times.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(record.times[i], (i + 0.5) * d);
        QCOMPARE(record.widths[i], d);
    }
}

void tst_RecvProtocol::valuesKeptAwayFromZero()
{
    RecvProbe probe;
    QSignalSpy spy(&probe, &ILibRecv_VRX2208::onRecvData);
    probe.Configure(25.0f, 1);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    probe.Respond(3, Upload({0.0f, -5e-10f, 2.5f, 5e-10f, -2.0f, -1e-9f, nan}));

    const QVector<double> values = OnlyRecord(spy).values;
    QCOMPARE(values.size(), 7);
    QCOMPARE(values[0], 1e-9);
    QCOMPARE(values[1], -1e-9);
    QCOMPARE(values[2], 2.5);
    QCOMPARE(values[3], 1e-9);
    QCOMPARE(values[4], -2.0);
    QCOMPARE(values[5], -1e-9); // -1e-9f widens to just above -1e-9
    QVERIFY(std::isnan(values[6]));
}

void tst_RecvProtocol::trailerOnlyUploadGivesEmptyRecord()
{
    RecvProbe probe;
    QSignalSpy spy(&probe, &ILibRecv_VRX2208::onRecvData);
    probe.Configure(25.0f, 0);
    probe.Respond(3, QByteArray(8, '\0'));
    const st_RecvData_VRX2208 record = OnlyRecord(spy);
    QCOMPARE(record.TYPE, 1);
    QVERIFY(record.times.isEmpty() && record.widths.isEmpty() && record.values.isEmpty());
}

void tst_RecvProtocol::replyStatusFlags()
{
    RecvProbe probe;
    QSignalSpy configed(&probe, &ILibRecv_VRX2208::onRecvConfiged);
    QSignalSpy stopped(&probe, &ILibRecv_VRX2208::onRecvStop);
    QSignalSpy timeChannel(&probe, &ILibRecv_VRX2208::onRecvConfigTimeChannel);
    QSignalSpy timeSync(&probe, &ILibRecv_VRX2208::onRecvTimeSync);

    probe.Respond(1, QByteArray::fromHex("00000001"));
    probe.Respond(1, QByteArray::fromHex("000000"));
    probe.Respond(2, QByteArray());
    probe.Respond(1000, QByteArray::fromHex("02"));
    probe.Respond(2000, QByteArray());
    probe.Respond(77, QByteArray::fromHex("01000000"));

    QCOMPARE(configed.size(), 2);
    QCOMPARE(configed.at(0).at(0).toBool(), true);
    QCOMPARE(configed.at(1).at(0).toBool(), false);
    QCOMPARE(stopped.size(), 1);
    QCOMPARE(timeChannel.size(), 1);
    QCOMPARE(timeChannel.at(0).at(0).toBool(), true);
    QCOMPARE(timeSync.size(), 1);
    QCOMPARE(timeSync.at(0).at(0).toBool(), false);
}

void tst_RecvProtocol::failedAndNullInputsAreIgnored()
{
    RecvProbe probe;
    QSignalSpy data(&probe, &ILibRecv_VRX2208::onRecvData);
    QSignalSpy configed(&probe, &ILibRecv_VRX2208::onRecvConfiged);
    probe.Configure(25.0f, 2, 1);

    probe.RecvConfig(nullptr);
    probe.RecvConfig_AutoChannel(nullptr);
    probe.OnResponse(1, false, nullptr);
    probe.OnResponse(3, false, nullptr);
    probe.OnResponse(3, true, nullptr);
    QCOMPARE(configed.size(), 0);

    // The null configuration left the full-waveform mode in place.
    QCOMPARE(OnlyRecord(data).TYPE, 2);
    QCOMPARE(OnlyRecord(data).RecvFs, 78125.0);
}

QTEST_MAIN(tst_RecvProtocol)
#include "tst_recvprotocol.moc"
