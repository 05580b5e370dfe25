#include "acquisition/ZOLVA_Collector.h"
#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/iLibSend.h"

#include <QMetaProperty>
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

    Rig()
    {
        c.setProperty("DeviceIP_Send", QStringLiteral("127.0.0.78"));
        c.setProperty("DeviceIP_Recv", QStringLiteral("127.0.0.79"));
        c.SetWifiQuery([] { return -1; });
        c.Start();
    }

    bool in(const char* state) const { return c.isActive(QString::fromLatin1(state)); }
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
    void propertiesNotifyAsTheBindingsExpect()
    {
        ZOLVA_Collector c;
        QSignalSpy ip(&c, &ZOLVA_Collector::sendIPChanged);
        QSignalSpy fs(&c, &ZOLVA_Collector::onParamFsChanged);
        QSignalSpy repeat(&c, &ZOLVA_Collector::onParamRepeatChanged);
        QSignalSpy mode(&c, &ZOLVA_Collector::onContinueModeChanged);
        c.setProperty("DeviceIP_Send", QStringLiteral("192.168.0.9"));
        c.setProperty("ParamRepeat", 2);
        QCOMPARE(ip.count() + repeat.count(), 0);
        c.setProperty("ParamFs", 25.0);
        c.onLoad_Param(25.0, 25);
        QCOMPARE(fs.count(), 2);
        QCOMPARE(mode.count(), 1);
        QCOMPARE(c.property("ContinueMode").value<ZOLVA_Collector::ZOLVAContinueMode>(), ZOLVA_Collector::Single);
        const QMetaProperty status = c.metaObject()->property(c.metaObject()->indexOfProperty("SampleStatus"));
        QCOMPARE(QString::fromLatin1(status.enumerator().valueToKey(c.property("SampleStatus").toInt())),
                 QStringLiteral("DISCONN"));
    }

    void unevenListsKeepTheNewestRecords()
    {
        Rig r;
        r.c.setProperty("ParamRepeat", 1);
        QVERIFY(r.online());
        QVERIFY(r.started());
        r.sendRecord(1);
        r.sendRecord(2);
        r.recvRecord(2);
        QCOMPARE(r.uploads.count(), 1);
        QCOMPARE(tags(r.upload(0).sends), QList<double>{2});
        QTRY_VERIFY_WITH_TIMEOUT(r.in("SampleWaitSave"), 2000);
    }

    void continuousMakesEveryPairAnAcquisition()
    {
        Rig r;
        r.c.SetParamRepeat(3);
        r.c.onLoad_Param(25.0, 25, 1);
        QVERIFY(r.online());
        QVERIFY(r.started());
        QSignalSpy repeat(&r.c, &ZOLVA_Collector::onParamRepeatChanged);
        // From the very first record on, not only once three have come.
        r.sendRecord(1);
        r.sendRecord(2);
        r.recvRecord(2);
        QCOMPARE(r.uploads.count(), 1);
        QCOMPARE(tags(r.upload(0).sends), QList<double>{2});
        QCOMPARE(r.upload(0).ParamRepeat, 1);
        QCOMPARE(repeat.count(), 1);
        QCOMPARE(r.c.property("ParamRepeat").toInt(), 1);
        QCOMPARE(r.progress(), 0);
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
