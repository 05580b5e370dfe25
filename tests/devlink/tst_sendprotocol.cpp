#include "devlink/iLibSend.h"
#include "devlink/SendPayloads.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

class SendProbe : public iLibSend
{
public:
    using iLibSend::OnResponse;
    void Respond(quint32 command, QByteArray payload) { OnResponse(command, true, &payload); }
};

void PutI32(QByteArray& bytes, int offset, qint32 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

void PutF32(QByteArray& bytes, int offset, float value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

// A full report 6 whose samples count up from 1 (current) and down from -1
// (turn-off), with monitor values 48 V, 24.5 V and 36 degrees.
QByteArray WaveReport(qint32 sendCount, qint32 offCount)
{
    QByteArray bytes(4024, '\0');
    PutI32(bytes, 0, sendCount);
    PutI32(bytes, 4, offCount);
    for (int i = 0; i < 500; ++i) {
        PutF32(bytes, 8 + 4 * i, 1.0f + i);
        PutF32(bytes, 2008 + 4 * i, -1.0f - i);
    }
    PutF32(bytes, 4008, 48.0f);
    PutF32(bytes, 4012, 24.5f);
    PutF32(bytes, 4016, 36.0f);
    return bytes;
}

} // namespace

class tst_SendProtocol : public QObject
{
    Q_OBJECT

private slots:
    void waveformReportCounts_data();
    void waveformReportCounts();
    void waveformReportCarriesLastConfiguredFrequency();
    void shortWaveformReportKeepsWhatItHolds();
    void monitorReport();
    void replies();
    void failedAndNullInputsAreIgnored();
};

void tst_SendProtocol::waveformReportCounts_data()
{
    QTest::addColumn<int>("sendCount");
    QTest::addColumn<int>("offCount");
    QTest::addColumn<int>("sendKept");
    QTest::addColumn<int>("offKept");
    QTest::newRow("120/80") << 120 << 80 << 120 << 80;
    QTest::newRow("600/80") << 600 << 80 << 500 << 500;
    QTest::newRow("120/-1") << 120 << -1 << 500 << 500;
    QTest::newRow("0/0") << 0 << 0 << 0 << 0;
}

void tst_SendProtocol::waveformReportCounts()
{
    QFETCH(int, sendCount);
    QFETCH(int, offCount);
    QFETCH(int, sendKept);
    QFETCH(int, offKept);

    SendProbe probe;
    QSignalSpy data(&probe, &iLibSend::TEM_NewSendData);
    QSignalSpy monitor(&probe, &iLibSend::TEM_SendMonitor);
    probe.Respond(6, WaveReport(sendCount, offCount));

    QCOMPARE(data.size(), 1);
    QCOMPARE(monitor.size(), 1);
    const auto record = data.at(0).at(0).value<st_TEMSendData>();
    QCOMPARE(record.SendWave.size(), sendKept);
    QCOMPARE(record.OffWave.size(), offKept);
    QCOMPARE(record.SampleSendFs, 2000000.0);
    QCOMPARE(record.SampleOffFs, 2000000.0);
    if (sendKept > 0)
        QCOMPARE(record.SendWave.last(), double(sendKept));
    if (offKept > 0)
        QCOMPARE(record.OffWave.last(), -double(offKept));

    const auto values = monitor.at(0).at(0).value<st_TEMSendMonitor>();
    QCOMPARE(values.SendV, 48.0f);
    QCOMPARE(values.DeviceV, 24.5f);
    QCOMPARE(values.DeviceTemp, 36.0f);
}

void tst_SendProtocol::waveformReportCarriesLastConfiguredFrequency()
{
    SendProbe probe;
    QSignalSpy data(&probe, &iLibSend::TEM_NewSendData);
    probe.Respond(6, WaveReport(10, 10));

    st_TEMSendInfo info;
    info.ParamFs = 6.25f;
    probe.TEM_Config(&info); // link down: only the frequency is kept
    probe.Respond(6, WaveReport(10, 10));

    QCOMPARE(data.size(), 2);
    QCOMPARE(data.at(0).at(0).value<st_TEMSendData>().SendFs, 200.0);
    QCOMPARE(data.at(1).at(0).value<st_TEMSendData>().SendFs, 6.25);
}

// Missing samples must not become zeros of a stored turn-off waveform, and
// missing monitor bytes must not be shown as readings.
void tst_SendProtocol::shortWaveformReportKeepsWhatItHolds()
{
    SendProbe probe;
    QSignalSpy data(&probe, &iLibSend::TEM_NewSendData);
    QSignalSpy monitor(&probe, &iLibSend::TEM_SendMonitor);

    probe.Respond(6, WaveReport(120, 80).left(2008 + 4 * 30));
    probe.Respond(6, WaveReport(120, 80).left(4023));
    probe.Respond(6, QByteArray());

    QCOMPARE(data.size(), 2);
    const auto cut = data.at(0).at(0).value<st_TEMSendData>();
    QCOMPARE(cut.SendWave.size(), 120);
    QCOMPARE(cut.OffWave.size(), 30);
    QCOMPARE(cut.OffWave.last(), -30.0);
    QCOMPARE(data.at(1).at(0).value<st_TEMSendData>().OffWave.size(), 80);
    QCOMPARE(monitor.size(), 0);
}

void tst_SendProtocol::monitorReport()
{
    SendProbe probe;
    QSignalSpy monitor(&probe, &iLibSend::TEM_SendMonitor);
    const QByteArray bytes = WaveReport(0, 0).mid(4008);
    probe.Respond(240, bytes.left(15));
    probe.Respond(240, bytes + "extra");
    QCOMPARE(monitor.size(), 1);
    QCOMPARE(monitor.at(0).at(0).value<st_TEMSendMonitor>().DeviceV, 24.5f);
}

void tst_SendProtocol::replies()
{
    SendProbe probe;
    QSignalSpy configed(&probe, &iLibSend::TEM_Configed);
    QSignalSpy started(&probe, &iLibSend::TEM_Strated);
    QSignalSpy stopped(&probe, &iLibSend::TEM_Stoped);
    QSignalSpy info(&probe, &iLibSend::TEM_SendDeviceInfo);

    probe.Respond(1, QByteArray::fromHex("07010000"));
    probe.Respond(1, QByteArray::fromHex("05"));
    probe.Respond(2, QByteArray::fromHex("00ffffff"));
    probe.Respond(2, QByteArray::fromHex("01"));
    probe.Respond(2, QByteArray());
    probe.Respond(5, QByteArray());
    probe.Respond(0, QByteArray(24, 'i'));
    probe.Respond(0, QByteArray(23, 'i'));
    probe.Respond(0, QByteArray(25, 'i'));

    QCOMPARE(configed.size(), 2);
    QCOMPARE(configed.at(0).at(0).toUInt(), 0x107u);
    QCOMPARE(configed.at(1).at(0).toUInt(), 5u);
    QCOMPARE(started.size(), 3);
    QCOMPARE(started.at(0).at(0).toBool(), false);
    QCOMPARE(started.at(1).at(0).toBool(), true);
    QCOMPARE(started.at(2).at(0).toBool(), false);
    QCOMPARE(stopped.size(), 1);
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.at(0).at(0).value<st_DeviceInfo>().Info2[7], quint8('i'));
}

void tst_SendProtocol::failedAndNullInputsAreIgnored()
{
    SendProbe probe;
    QSignalSpy data(&probe, &iLibSend::TEM_NewSendData);
    QSignalSpy configed(&probe, &iLibSend::TEM_Configed);

    probe.TEM_Config(nullptr);
    probe.OnResponse(1, false, nullptr);
    probe.OnResponse(6, false, nullptr);
    probe.OnResponse(6, true, nullptr);
    QCOMPARE(configed.size(), 0);
    QCOMPARE(data.size(), 0);

    probe.Respond(6, WaveReport(1, 1));
    QCOMPARE(data.at(0).at(0).value<st_TEMSendData>().SendFs, 200.0);
}

QTEST_MAIN(tst_SendProtocol)
#include "tst_sendprotocol.moc"
