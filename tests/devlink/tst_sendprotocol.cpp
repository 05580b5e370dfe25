#include "devlink/PayloadFields.h"
#include "devlink/SendPayloads.h"
#include "devlink/iLibSend.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

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

class tst_SendProtocol : public QObject
{
    Q_OBJECT

private slots:
    void configurationByteForByte()
    {
        QCOMPARE(WriteTEMSendInfo({100.0f, 8, {{1, 1}}, 1, 0}),
                 QByteArray::fromHex("0000c842080000000101000000000000"
                                     "0100000000000000"));
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

    void replies()
    {
        SendProbe probe;
        QSignalSpy configed(&probe, &iLibSend::TEM_Configed);
        QSignalSpy started(&probe, &iLibSend::TEM_Strated);
        QSignalSpy stopped(&probe, &iLibSend::TEM_Stoped);
        QSignalSpy info(&probe, &iLibSend::TEM_SendDeviceInfo);
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
        probe.Respond(5, QByteArray());
        for (int size : {23, 24, 25})
            probe.Respond(0, QByteArray(size, 'i'));
        // Monitor reports need their 16 bytes; more are ignored.
        const QByteArray monitor = WaveReport(0, 0).mid(4008);
        probe.Respond(240, monitor.left(15));
        probe.Respond(240, monitor + "extra");

        QCOMPARE(configed, (QList<QVariantList>{{0x107u}, {5u}}));
        QCOMPARE(started, (QList<QVariantList>{{false}, {true}, {false}}));
        QVERIFY(stopped.size() == 1 && info.size() == 1);
        QCOMPARE(info.at(0).at(0).value<st_DeviceInfo>().Info2[7], quint8('i'));
        QCOMPARE(probe.records.size(), 2);
        QVERIFY(probe.Record(0).SendFs == 200.0 && probe.Record(1).SendFs == 6.25);
        QCOMPARE(probe.monitors.size(), 3);
        QVERIFY(probe.Monitor(2) == (std::array<float, 3>{48.0f, 24.5f, 36.0f}));
    }
};

QTEST_MAIN(tst_SendProtocol)
#include "tst_sendprotocol.moc"
