#include "acquisition/StatusTexts.h"
#include "tests/support/AcqUnitsRig.h"

#include <QSemaphore>
#include <QState>
#include <QThreadPool>
#include <QtTest>

using namespace CollectorState;

// Connecting, retrying, reconnecting and the link status texts.
class TestCollectorConnection : public QObject
{
    Q_OBJECT

private slots:
    // The panel's texts, exact: colours, Chinese and the Wi-Fi steps at 80 and 90.
    void statusTextsAreExact()
    {
        const QString red = QStringLiteral("<p style='color:red;'>%1</p>");
        const QString bars = QStringLiteral("<span style='color:green;'>已连接 📶%1</span>");
        const QString links = QStringLiteral("%1 <span style='color:%2;'>发 </span><span style='color:%3;'>收</span>");
        QCOMPARE((QStringList{StatusTexts::disconnected(), StatusTexts::initialising(), StatusTexts::invalidAddress(),
                              StatusTexts::retrying(), StatusTexts::online(), StatusTexts::wifi(-1)}),
                 (QStringList{red.arg("未连接"), red.arg("初始化连接"), red.arg("IP不合规"), red.arg("重试"),
                              "<p style='color:green;'>已连接</p>", "已连接"}));
        QCOMPARE(
            (QStringList{StatusTexts::wifi(79), StatusTexts::wifi(80), StatusTexts::wifi(89), StatusTexts::wifi(90)}),
            (QStringList{bars.arg("弱 79"), bars.arg("中 80"), bars.arg("中 89"), bars.arg("强 90")}));
        QCOMPARE(StatusTexts::connecting(false, true), links.arg("正在连接", "red", "green"));
        QCOMPARE(StatusTexts::linkUpdate(true, false), links.arg("状态更新", "green", "red"));
    }

    void connectAndDisconnect()
    {
        AcqUnitsRig r(TestLoopback::CollectorConnectionTests, 1);
        QSignalSpy transmitterConnections(r.units.Transmitter(), &SimFrameServer::clientConnected);
        QSignalSpy closed(r.units.Receiver(), &SimFrameServer::clientDisconnected);
        r.c.setProperty("DeviceIP_Recv", QStringLiteral("127.0.0.300"));
        QVERIFY(r.waitFor(DeviceWaitSet));
        emit r.c.onBtnConnect();
        QVERIFY(r.in(DeviceInit));
        QCOMPARE(r.text(), StatusTexts::invalidAddress());
        emit r.c.onBtnDisconn();
        r.c.setProperty("DeviceIP_Recv", TestLoopback::Address(TestLoopback::CollectorConnectionTests, 2));
        QVERIFY(r.online());
        QVERIFY(transmitterConnections.count() == 1 && r.prop("SampleStatus") == ZOLVA_Collector::IDLE);
        QCOMPARE(r.text(), StatusTexts::online());

        emit r.c.onBtnDisconn();
        QVERIFY(r.text() == StatusTexts::disconnected() && r.prop("SampleStatus") == ZOLVA_Collector::DISCONN);
        QVERIFY(closed.wait(TestTimeoutMs()));
        // Attempts that complete after the operator disconnected are closed.
        emit r.c.onBtnConnect();
        emit r.c.onBtnDisconn();
        QVERIFY(closed.wait(TestTimeoutMs()));
        QTRY_VERIFY_WITH_TIMEOUT(!r.units.Transmitter()->IsClientConnected(), TestTimeoutMs());
        QCOMPARE(r.text(), StatusTexts::disconnected());
        for (int i = 0; i < 3; ++i) {
            emit r.c.onBtnConnect();
            emit r.c.onBtnDisconn();
        }
        QVERIFY(r.online());
        QTRY_VERIFY_WITH_TIMEOUT(r.units.Receiver()->IsClientConnected(), TestTimeoutMs());
        QCOMPARE(r.text(), StatusTexts::online());
    }

    void missingUnitIsRetriedEveryTenSeconds()
    {
        AcqUnitsRig r(TestLoopback::CollectorConnectionTests, 3);
        r.units.Receiver()->SetListening(false);
        QSignalSpy transmitterConnections(r.units.Transmitter(), &SimFrameServer::clientConnected);
        QSignalSpy texts(&r.c, &ZOLVA_Collector::statusConnectChanged);
        QVERIFY(r.waitFor(DeviceWaitSet));
        QElapsedTimer clock;
        clock.start();
        emit r.c.onBtnConnect();
        QTRY_COMPARE_WITH_TIMEOUT(r.text(), StatusTexts::linkUpdate(true, false), TestTimeoutMs());
        QVERIFY(r.in(DeviceConnecting));

        r.units.Receiver()->SetListening(true);
        QVERIFY(r.waitFor(SampleWaitParam, ZOLVA_Collector::ConnectTimeoutMs + TestTimeoutMs()));
        QVERIFY(clock.elapsed() >= 10000);
        QVERIFY(texts.contains(QVariantList{StatusTexts::retrying()}));
        QCOMPARE(transmitterConnections.count(), 1);
    }

    // A finished acquisition waits out a lost link, and a Wi-Fi answer from
    // before the loss does not hide the new link; one being taken is ended,
    // its loss shown over the reconnect.
    void lostLinksAreMadeAgain()
    {
        AcqUnitsRig r(TestLoopback::CollectorConnectionTests, 5);
        QSemaphore answer;
        r.c.SetWifiQuery([&answer] { return answer.tryAcquire(1, TestTimeoutMs()) ? 85 : 95; });
        r.c.SetParamRepeat(1);
        QVERIFY(r.online());
        QSignalSpy receiverConnections(r.units.Receiver(), &SimFrameServer::clientConnected);
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor(SampleWaitSave));
        r.units.Receiver()->CloseConnection();
        QTRY_COMPARE_WITH_TIMEOUT(r.text(), StatusTexts::linkUpdate(true, false), TestTimeoutMs());
        QVERIFY(r.in(SampleWaitSave));
        emit r.c.onBtnSaveCancel();
        QTRY_COMPARE_WITH_TIMEOUT(r.text(), StatusTexts::online(), TestTimeoutMs());
        answer.release();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(TestTimeoutMs()));
        QCoreApplication::processEvents();
        QCOMPARE(r.text(), StatusTexts::online());
        QCOMPARE(receiverConnections.count(), 1);

        r.units.SetTimeScale(AcqUnitsRig::Quiet);
        QVERIFY(r.started());
        QSignalSpy reinit(r.state(DeviceInit), &QState::entered);
        QTest::ignoreMessage(QtWarningMsg, "Transmitter link lost; acquisition stopped");
        r.units.Transmitter()->CloseConnection();
        QVERIFY(reinit.wait(TestTimeoutMs()));
        // The panel offers no start until both links are back.
        QCOMPARE(r.prop("SampleStatus"), int(ZOLVA_Collector::DISCONN));
        QVERIFY(r.waitFor(SampleWaitParam));
        QVERIFY(QThreadPool::globalInstance()->waitForDone(TestTimeoutMs()));
        // Once the units took their stops, the loss is shown.
        QTRY_COMPARE_WITH_TIMEOUT(r.text(), StatusTexts::sendLost(), TestTimeoutMs());
        QCOMPARE(r.prop("SampleStatus"), int(ZOLVA_Collector::IDLE));
        QVERIFY(receiverConnections.count() == 1 && r.uploads.count() == 1);
    }
};

QTEST_MAIN(TestCollectorConnection)
#include "tst_collectorconnection.moc"
