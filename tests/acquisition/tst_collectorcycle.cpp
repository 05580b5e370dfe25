#include "acquisition/ZOLVA_Collector.h"
#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/iLibSend.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QThreadPool>
#include <QtTest>

#include <climits>

namespace {

// Drives the collector by the signals its unit links would give; nothing
// listens at these addresses, so the links themselves never come up.
struct Rig
{
    ZOLVA_Collector c;
    ILibRecv_VRX2208* recv = c.findChild<ILibRecv_VRX2208*>();
    iLibSend* send = c.findChild<iLibSend*>();
    QSignalSpy uploads{&c, &ZOLVA_Collector::dataUpload};
    QSignalSpy saves{&c, &ZOLVA_Collector::dataSave};

    Rig()
    {
        c.setProperty("DeviceIP_Send", QStringLiteral("127.0.0.78"));
        c.setProperty("DeviceIP_Recv", QStringLiteral("127.0.0.79"));
        c.SetWifiQuery([] { return -1; });
        c.Start();
    }

    bool in(const char* state) const { return c.isActive(QString::fromLatin1(state)); }
    ZOLVA_Collector::ZOLVASampleStatus status() const
    {
        return c.property("SampleStatus").value<ZOLVA_Collector::ZOLVASampleStatus>();
    }
    QString text() const { return c.property("StatusConnect").toString(); }
    int progress() const { return c.property("Progress").toInt(); }
    int progressMax() const { return c.property("ProgressMax").toInt(); }
    ZOLVA_Data upload(int i) const { return uploads.at(i).at(0).value<ZOLVA_Data>(); }

    bool online()
    {
        if (!QTest::qWaitFor([this] { return in("DeviceWaitSet"); }, 2000))
            return false;
        emit c.onBtnConnect();
        emit send->ComConnected();
        emit recv->ComConnected();
        return in("SampleWaitParam");
    }

    // Start and answer every configuration step; the time-channel step only
    // waits for its answer when it really asked.
    bool started()
    {
        emit c.onBtnSampleStart();
        if (in("SetParam_ConfigChannel"))
            emit recv->onRecvAutoChannel(true);
        emit recv->onRecvConfiged(true);
        emit send->TEM_Configed(1);
        emit send->TEM_Strated(true);
        return in("SampleDataUpload");
    }

    void sendRecord(double tag)
    {
        st_TEMSendData d;
        d.SendFs = tag;
        emit send->TEM_NewSendData(d);
    }
    void recvRecord(double tag)
    {
        st_RecvData_VRX2208 d;
        d.SendFs = tag;
        emit recv->onRecvData(d);
    }
    void pair(double tag)
    {
        sendRecord(tag);
        recvRecord(tag);
    }
};

QList<double> tags(const QList<st_TEMSendData>& list)
{
    QList<double> out;
    for (const auto& d : list)
        out << d.SendFs;
    return out;
}

}

class TestCollectorCycle : public QObject
{
    Q_OBJECT

private slots:
    void singleRepeatsGrowTheRecordSet()
    {
        Rig r;
        QVERIFY(r.online());
        QVERIFY(r.started());
        QCOMPARE(r.progressMax(), 2000);
        r.pair(1);
        QCOMPARE(r.uploads.count(), 1);
        QCOMPARE(r.progress(), 1000);
        // The second record skips the time-channel request.
        QTRY_VERIFY_WITH_TIMEOUT(r.in("SetParam_ConfigRecv"), 2000);
        QVERIFY(r.started());
        r.pair(2);
        QCOMPARE(r.uploads.count(), 2);
        QCOMPARE(tags(r.upload(1).sends), (QList<double>{1, 2}));
        QCOMPARE(r.upload(1).recvs.size(), 2);
        QCOMPARE(r.upload(1).ParamRepeat, 2);
        QTRY_VERIFY_WITH_TIMEOUT(r.in("SampleWaitSave"), 2000);
        QCOMPARE(r.status(), ZOLVA_Collector::UPLOAD);
        QCOMPARE(r.progress(), 2000);

        // Records after the set is complete are not part of it and do not
        // count as the next acquisition's first.
        r.pair(3);
        QCOMPARE(r.uploads.count(), 2);
        emit r.c.onBtnSaveCancel();
        QVERIFY(r.in("SampleWaitParam"));
        QCOMPARE(r.saves.last().at(0).toBool(), false);
        r.pair(4);
        emit r.c.onBtnSampleStart();
        QVERIFY(r.in("SetParam_ConfigChannel"));
        QCOMPARE(r.uploads.count(), 2);
    }

    void unevenListsKeepTheNewestRecords()
    {
        Rig r;
        r.c.setProperty("ParamRepeat", 1);
        QVERIFY(r.online());
        // A receiver record may come before the start reply.
        emit r.c.onBtnSampleStart();
        emit r.recv->onRecvAutoChannel(true);
        r.recvRecord(9);
        emit r.recv->onRecvConfiged(true);
        emit r.send->TEM_Configed(0);
        emit r.send->TEM_Strated(false);
        QVERIFY(r.in("SampleDataUpload"));
        r.sendRecord(1);
        QCOMPARE(r.uploads.count(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(r.in("SampleWaitSave"), 2000);

        // Both records before the start reply: the set moves on once it comes.
        emit r.c.onBtnSaveCancel();
        emit r.c.onBtnSampleStart();
        emit r.recv->onRecvAutoChannel(true);
        emit r.recv->onRecvConfiged(true);
        emit r.send->TEM_Configed(0);
        r.pair(5);
        QCOMPARE(r.uploads.count(), 2);
        QCOMPARE(r.progress(), 1000);
        emit r.send->TEM_Strated(true);
        QTRY_VERIFY_WITH_TIMEOUT(r.in("SampleWaitSave"), 2000);
        QCOMPARE(r.progress(), 1000);

        emit r.c.onBtnSaveCancel();
        QVERIFY(r.started());
        r.sendRecord(2);
        r.sendRecord(3);
        r.recvRecord(3);
        QCOMPARE(tags(r.upload(2).sends), QList<double>{3});
    }

    void continuousStoresEveryPairAtOnce()
    {
        Rig r;
        r.c.SetParamRepeat(3);
        r.c.onLoad_Param(25.0, 25, 1);
        QVERIFY(r.online());
        QVERIFY(r.started());
        QSignalSpy repeat(&r.c, &ZOLVA_Collector::onParamRepeatChanged);
        // One pair is one acquisition from the very first record on.
        r.sendRecord(1);
        r.sendRecord(2);
        r.recvRecord(2);
        QCOMPARE(r.uploads.count(), 1);
        QCOMPARE(tags(r.upload(0).sends), QList<double>{2});
        QCOMPARE(r.upload(0).ParamRepeat, 1);
        QCOMPARE(r.upload(0).ContinueMode, quint8(1));
        QCOMPARE(repeat.count(), 1);
        QCOMPARE(r.c.property("ParamRepeat").toInt(), 1);
        QCOMPARE(r.saves.last().at(0).toBool(), true);
        QCOMPARE(r.progressMax(), 1000);
        QCOMPARE(r.progress(), 0);
        r.pair(3);
        QCOMPARE(r.uploads.count(), 2);
        QCOMPARE(tags(r.upload(1).sends), QList<double>{3});
        QVERIFY(r.in("SampleDataUpload"));
        r.c.onBtnSampleStop();
        QVERIFY(r.in("SampleWaitParam"));
    }

    void progressStopsShortOfAnOverdueRecord()
    {
        Rig r;
        r.c.onLoad_Param(2.5, 25);
        QVERIFY(r.online());
        QVERIFY(r.started());
        QCOMPARE(r.progressMax(), 20000);
        for (int tick = 0; tick < 49; ++tick)
            r.c.ProgressAdd();
        QCOMPARE(r.progress(), 9800);
        r.c.ProgressAdd();
        QCOMPARE(r.progress(), 9999);
        r.c.ProgressAdd();
        QCOMPARE(r.progress(), 9999);
    }

    void progressOfLongAcquisitionsStaysInRange()
    {
        Rig r;
        r.c.onLoad_Param(0.1, 99999);
        r.c.SetParamRepeat(3);
        QVERIFY(r.online());
        QVERIFY(r.started());
        QCOMPARE(r.progressMax(), INT_MAX);
        for (int record = 1; record <= 2; ++record) {
            r.pair(record);
            QCOMPARE(r.progress(), record * 999990000);
            QTRY_VERIFY_WITH_TIMEOUT(r.in("SetParam_ConfigRecv"), 2000);
            QVERIFY(r.started());
        }
        r.c.ProgressAdd();
        QCOMPARE(r.progress(), 1999980200);
        r.pair(3);
        QCOMPARE(r.progress(), INT_MAX);
    }

    void unusableParametersStartNothing_data()
    {
        QTest::addColumn<double>("fs");
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("repeat");
        QTest::newRow("zero frequency") << 0.0 << 25 << 2;
        QTest::newRow("negative frequency") << -25.0 << 25 << 2;
        QTest::newRow("nan frequency") << qQNaN() << 25 << 2;
        QTest::newRow("infinite frequency") << qInf() << 25 << 2;
        QTest::newRow("no periods") << 25.0 << 0 << 2;
        QTest::newRow("no repeats") << 25.0 << 25 << 0;
    }

    void unusableParametersStartNothing()
    {
        QFETCH(double, fs);
        QFETCH(int, period);
        QFETCH(int, repeat);
        Rig r;
        QVERIFY(r.online());
        r.c.onLoad_Param(fs, period);
        r.c.SetParamRepeat(repeat);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Acquisition not started")));
        emit r.c.onBtnSampleStart();
        QVERIFY(r.in("SampleWaitParam"));
        QCOMPARE(r.status(), ZOLVA_Collector::IDLE);
    }

    void refusedTimeChannelsEndTheAttempt()
    {
        Rig r;
        QVERIFY(r.online());
        emit r.c.onBtnSampleStart();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("refused the time channels")));
        emit r.recv->onRecvAutoChannel(false);
        QVERIFY(r.in("SampleWaitParam"));
        QCOMPARE(r.status(), ZOLVA_Collector::IDLE);
        // A late refusal has nothing to end.
        QVERIFY(r.started());
        emit r.recv->onRecvAutoChannel(false);
        QVERIFY(r.in("SampleDataUpload"));
    }

    void decisionSurvivesALostLink()
    {
        Rig r;
        r.c.setProperty("ParamRepeat", 1);
        QVERIFY(r.online());
        QVERIFY(r.started());
        r.pair(1);
        QTRY_VERIFY_WITH_TIMEOUT(r.in("SampleWaitSave"), 2000);
        emit r.send->ComClosed();
        QVERIFY(r.in("SampleWaitSave"));
        QCOMPARE(r.text(),
                 QStringLiteral("状态更新 <span style='color:red;'>发 </span><span style='color:green;'>收</span>"));
        r.c.onBtnSampleStop();
        QVERIFY(r.in("SampleWaitSave"));

        emit r.c.onBtnSaveOK();
        QCOMPARE(r.saves.last().at(0).toBool(), true);
        QVERIFY(r.in("SampleDataSave"));
        emit r.c.cmdSaveOver();
        QTRY_VERIFY_WITH_TIMEOUT(r.in("DeviceConnecting"), 2000);
    }

    void disconnectThenConnectComesOnline()
    {
        Rig r;
        QVERIFY(r.online());
        emit r.c.onBtnDisconn();
        QVERIFY(r.in("DeviceWaitSet"));
        // An attempt from before the disconnect completing now changes nothing.
        emit r.send->ComConnected();
        QCOMPARE(r.text(), QStringLiteral("<p style='color:red;'>未连接</p>"));
        QVERIFY(r.online());
        QCOMPARE(r.text(), QStringLiteral("<p style='color:green;'>已连接</p>"));
    }

    void wifiQualityJoinsTheOnlineText()
    {
        Rig r;
        r.c.SetWifiQuery([] { return 85; });
        QVERIFY(r.online());
        QVERIFY(r.started());
        QTRY_COMPARE_WITH_TIMEOUT(r.text(), QStringLiteral("<span style='color:green;'>已连接 📶中 85</span>"), 2000);
    }

    void lateWifiAnswerLeavesALostLinkShown()
    {
        Rig r;
        QSemaphore answer;
        r.c.SetWifiQuery([&answer] {
            answer.acquire();
            return 95;
        });
        QVERIFY(r.online());
        QVERIFY(r.started());
        emit r.recv->ComClosed();
        QVERIFY(r.in("DeviceConnecting"));
        const QString shown = r.text();
        answer.release();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(2000));
        QCoreApplication::processEvents();
        QCOMPARE(r.text(), shown);
    }
};

QTEST_MAIN(TestCollectorCycle)
#include "tst_collectorcycle.moc"
