#include "tests/support/AcqUnitsRig.h"

#include <QSemaphore>
#include <QState>
#include <QThreadPool>
#include <QtTest>

namespace {

const QString Online = QStringLiteral("<p style='color:green;'>已连接</p>");
const QString Offline = QStringLiteral("<p style='color:red;'>未连接</p>");
const QString ReceiverLost =
    QStringLiteral("状态更新 <span style='color:green;'>发 </span><span style='color:red;'>收</span>");

}

// Connecting, retrying, reconnecting and the link status text.
class TestCollectorConnection : public QObject
{
    Q_OBJECT

private slots:
    void connectAndDisconnect()
    {
        AcqUnitsRig r(TestLoopback::CollectorConnectionTests, 1);
        QSignalSpy transmitterConnections(r.units.Transmitter(), &SimFrameServer::clientConnected);
        QSignalSpy closed(r.units.Receiver(), &SimFrameServer::clientDisconnected);
        r.c.setProperty("DeviceIP_Recv", QStringLiteral("127.0.0.300"));
        QVERIFY(r.waitFor("DeviceWaitSet"));
        emit r.c.onBtnConnect();
        QVERIFY(r.in("DeviceInit"));
        QCOMPARE(r.text(), QStringLiteral("<p style='color:red;'>IP不合规</p>"));
        emit r.c.onBtnDisconn();
        r.c.setProperty("DeviceIP_Recv", TestLoopback::Address(TestLoopback::CollectorConnectionTests, 2));
        QVERIFY(r.online());
        QVERIFY(transmitterConnections.count() == 1 && r.prop("SampleStatus") == ZOLVA_Collector::IDLE);
        QCOMPARE(r.text(), Online);

        emit r.c.onBtnDisconn();
        QVERIFY(r.text() == Offline && r.prop("SampleStatus") == ZOLVA_Collector::DISCONN);
        QVERIFY(closed.wait(TestTimeoutMs()));
        // Attempts that complete after the operator disconnected are closed.
        emit r.c.onBtnConnect();
        emit r.c.onBtnDisconn();
        QVERIFY(closed.wait(TestTimeoutMs()));
        QTRY_VERIFY_WITH_TIMEOUT(!r.units.Transmitter()->IsClientConnected(), TestTimeoutMs());
        QCOMPARE(r.text(), Offline);
        for (int i = 0; i < 3; ++i) {
            emit r.c.onBtnConnect();
            emit r.c.onBtnDisconn();
        }
        QVERIFY(r.online());
        QTRY_VERIFY_WITH_TIMEOUT(r.units.Receiver()->IsClientConnected(), TestTimeoutMs());
        QCOMPARE(r.text(), Online);
    }

    void missingUnitIsRetriedEveryTenSeconds()
    {
        AcqUnitsRig r(TestLoopback::CollectorConnectionTests, 3);
        r.units.Receiver()->SetListening(false);
        QSignalSpy transmitterConnections(r.units.Transmitter(), &SimFrameServer::clientConnected);
        QSignalSpy texts(&r.c, &ZOLVA_Collector::statusConnectChanged);
        QVERIFY(r.waitFor("DeviceWaitSet"));
        QElapsedTimer clock;
        clock.start();
        emit r.c.onBtnConnect();
        QTRY_COMPARE_WITH_TIMEOUT(r.text(), ReceiverLost, TestTimeoutMs());
        QVERIFY(r.in("DeviceConnecting"));

        r.units.Receiver()->SetListening(true);
        QVERIFY(r.waitFor("SampleWaitParam", ZOLVA_Collector::ConnectTimeoutMs + TestTimeoutMs()));
        QVERIFY(clock.elapsed() >= 10000);
        QVERIFY(texts.contains(QVariantList{QStringLiteral("<p style='color:red;'>重试</p>")}));
        QCOMPARE(transmitterConnections.count(), 1);
    }

    // A finished acquisition waits out a lost link; one being taken is dropped,
    // and a Wi-Fi answer from before the loss does not hide the new link.
    void lostLinksAreMadeAgain()
    {
        AcqUnitsRig r(TestLoopback::CollectorConnectionTests, 5);
        QSemaphore answer;
        r.c.SetWifiQuery([&answer] { return answer.tryAcquire(1, TestTimeoutMs()) ? 85 : 95; });
        r.c.SetParamRepeat(1);
        QVERIFY(r.online());
        QSignalSpy receiverConnections(r.units.Receiver(), &SimFrameServer::clientConnected);
        answer.release();
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor("SampleWaitSave"));
        QTRY_COMPARE_WITH_TIMEOUT(r.text(), QStringLiteral("<span style='color:green;'>已连接 📶中 85</span>"),
                                  TestTimeoutMs());
        r.units.Receiver()->CloseConnection();
        QTRY_COMPARE_WITH_TIMEOUT(r.text(), ReceiverLost, TestTimeoutMs());
        QVERIFY(r.in("SampleWaitSave"));
        r.saves.clear();
        emit r.c.onBtnSaveOK();
        QCOMPARE(r.saves.takeFirst(), QVariantList{true});
        emit r.c.cmdSaveOver();
        QTRY_COMPARE_WITH_TIMEOUT(r.text(), Online, TestTimeoutMs());
        QCOMPARE(receiverConnections.count(), 1);

        r.units.SetTimeScale(AcqUnitsRig::Quiet);
        QVERIFY(r.started());
        QSignalSpy reinit(r.c.state(QStringLiteral("DeviceInit")), &QState::entered);
        r.units.Transmitter()->CloseConnection();
        QVERIFY(reinit.wait(TestTimeoutMs()));
        QVERIFY(r.waitFor("SampleWaitParam"));
        answer.release();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(TestTimeoutMs()));
        QCoreApplication::processEvents();
        QVERIFY(r.text() == Online && r.prop("SampleStatus") == ZOLVA_Collector::IDLE);
        QVERIFY(receiverConnections.count() == 1 && r.uploads.count() == 1);
    }
};

QTEST_MAIN(TestCollectorConnection)
#include "tst_collectorconnection.moc"
