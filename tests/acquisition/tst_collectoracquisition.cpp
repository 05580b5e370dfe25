#include "UnitsRig.h"
#include "tools/simunits/SimPayloads.h"

#include <QtTest>

// Whole acquisitions against simulated units: what goes on the wire, what
// reaches the data model, and what the status panel reads.
class TestCollectorAcquisition : public QObject
{
    Q_OBJECT

private slots:
    void configurationFollowsEachReplyInOrder()
    {
        UnitsRig r("127.0.0.50", "127.0.0.51");
        r.units.Transmitter()->SetReplyDelay(100);
        r.units.Receiver()->SetReplyDelay(100);
        r.c.SetParamRepeat(3);
        r.c.onLoad_Param(12.5, 10);
        QVERIFY(r.online());
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor("SampleWaitSave"));

        const QStringList run{"R1", "T1", "T2"};
        QCOMPARE(r.wire, QStringList{"R1001"} + run + run + run);
        // Every request waited for the reply to the one before it.
        for (int i : {1, 2, 3, 5, 6, 8, 9})
            QVERIFY2(r.wireMs.at(i) - r.wireMs.at(i - 1) >= 95, qPrintable(r.wire.at(i)));

        const auto channel = ReadAutoTimeChannelPayload(r.units.Receiver()->ReceivedPayloads().first());
        QCOMPARE(channel.ParamFs, 12.5f);
        QCOMPARE(channel.ChannelCount, 1250u);
        const st_RecvParam param = r.units.Receiver()->Param();
        QCOMPARE(param.ParamFs, 12.5f);
        QCOMPARE(param.ParamPeriod, 10);
        QCOMPARE(param.SampleMode, 0);
        const st_TEMSendInfo info = r.units.Transmitter()->Config();
        QCOMPARE(info.ParamFs, 12.5f);
        QCOMPARE(info.ParamPeriod, 10);
        QCOMPARE(info.Options, (std::array<quint8, 8>{{1, 1, 0, 0, 0, 0, 0, 0}}));
    }

    void selfCheckAsksForNoTimeChannels()
    {
        UnitsRig r("127.0.0.50", "127.0.0.51");
        r.c.setProperty("SampleMode", QVariant::fromValue(ZOLVA_Collector::SelfCheck));
        r.c.SetParamRepeat(1);
        QVERIFY(r.online());
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor("SampleWaitSave"));
        QCOMPARE(r.wire, (QStringList{"R1", "T1", "T2"}));
        QCOMPARE(r.units.Receiver()->Param().SampleMode, 1);
        QCOMPARE(r.upload(0).SampleMode, quint8(1));
        QCOMPARE(r.upload(0).recvs.first().TYPE, 2);
    }

    void singleRepeatsThenSaveOrCancel()
    {
        UnitsRig r("127.0.0.50", "127.0.0.51");
        QSignalSpy temperature(&r.c, &ZOLVA_Collector::onDeviceTempChanged);
        r.c.SetParamRepeat(3);
        QVERIFY(r.online());
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor("SampleWaitSave"));
        QCOMPARE(r.uploads.count(), 3);
        for (int i = 0; i < 3; ++i) {
            const ZOLVA_Data data = r.upload(i);
            QCOMPARE(data.sends.size(), i + 1);
            QCOMPARE(data.recvs.size(), i + 1);
            QCOMPARE(data.ParamRepeat, 3);
            QCOMPARE(data.ParamFs, 25.0f);
        }
        const ZOLVA_Data last = r.upload(2);
        QCOMPARE(last.sends.first().SendWave.size(), 500);
        QVERIFY(last.recvs.first().TYPE == 1 && !last.recvs.first().values.isEmpty());
        QCOMPARE(r.status(), ZOLVA_Collector::UPLOAD);
        QCOMPARE(r.c.property("SendV").toDouble(), 48.0);
        QCOMPARE(r.c.property("DeviceV").toDouble(), 24.5);
        QCOMPARE(r.c.property("DeviceTemp").toDouble(), 36.0);
        // The same monitor values after every record notify once.
        QCOMPARE(temperature.count(), 1);
        QCOMPARE(r.c.property("ProgressMax").toInt(), 3000);
        QCOMPARE(r.c.property("Progress").toInt(), 3000);

        r.saves.clear();
        emit r.c.onBtnSaveOK();
        QCOMPARE(r.status(), ZOLVA_Collector::SAVING);
        QCOMPARE(r.saves.count(), 1);
        QCOMPARE(r.saves.first().first().toBool(), true);
        emit r.c.cmdSaveOver();
        QVERIFY(r.in("SampleWaitParam"));
        QCOMPARE(r.status(), ZOLVA_Collector::IDLE);

        r.c.SetParamRepeat(1);
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor("SampleWaitSave"));
        QCOMPARE(r.uploads.count(), 4);
        QCOMPARE(r.upload(3).sends.size(), 1);
        r.saves.clear();
        emit r.c.onBtnSaveCancel();
        QCOMPARE(r.saves.count(), 1);
        QCOMPARE(r.saves.first().first().toBool(), false);
        QCOMPARE(r.status(), ZOLVA_Collector::IDLE);
        QCOMPARE(r.c.property("Progress").toInt(), 0);
    }

    void continuousGoesOnUntilStop()
    {
        UnitsRig r("127.0.0.50", "127.0.0.51");
        r.c.onLoad_Param(25.0, 25, 1);
        QVERIFY(r.online());
        r.saves.clear();
        emit r.c.onBtnSampleStart();
        QTRY_VERIFY_WITH_TIMEOUT(r.uploads.count() >= 3, 5000);
        QVERIFY(r.in("SampleDataUpload"));
        QCOMPARE(r.units.Transmitter()->Config().ContinueMode, 1);
        QCOMPARE(r.units.Receiver()->Param().ContinueMode, 1);
        // Each record is stored as it comes.
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(r.upload(i).sends.size(), 1);
            QCOMPARE(r.upload(i).ContinueMode, quint8(1));
            QCOMPARE(r.saves.at(i).first().toBool(), true);
        }
        QCOMPARE(r.c.property("ProgressMax").toInt(), 1000);

        r.c.onBtnSampleStop();
        QVERIFY(r.in("SampleWaitParam"));
        QVERIFY(r.waitForWire(QStringLiteral("R2")));
        QVERIFY(r.waitForWire(QStringLiteral("T5")));
        QTRY_VERIFY_WITH_TIMEOUT(!r.units.IsRunning(), 5000);
    }
};

QTEST_MAIN(TestCollectorAcquisition)
#include "tst_collectoracquisition.moc"
