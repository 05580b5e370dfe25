#include "UnitsRig.h"

#include <QState>
#include <QtTest>

// Connecting, retrying and reconnecting against simulated units.
class TestCollectorConnection : public QObject
{
    Q_OBJECT

private slots:
    void bothUnitsUpGoOnline()
    {
        UnitsRig r("127.0.0.40", "127.0.0.41");
        QVERIFY(r.online());
        QCOMPARE(r.status(), ZOLVA_Collector::IDLE);
        QCOMPARE(r.text(), QStringLiteral("<p style='color:green;'>已连接</p>"));
        QVERIFY(r.units.Transmitter()->IsClientConnected());
        QVERIFY(r.units.Receiver()->IsClientConnected());
    }

    void invalidAddressTouchesNoLink()
    {
        UnitsRig r("127.0.0.40", "127.0.0.41");
        QSignalSpy transmitterConnections(r.units.Transmitter(), &SimFrameServer::clientConnected);
        r.c.setProperty("DeviceIP_Recv", QStringLiteral("127.0.0.300"));
        QVERIFY(r.waitFor("DeviceWaitSet"));
        emit r.c.onBtnConnect();
        QVERIFY(r.in("DeviceInit"));
        QCOMPARE(r.text(), QStringLiteral("<p style='color:red;'>IP不合规</p>"));

        emit r.c.onBtnDisconn();
        QVERIFY(r.in("DeviceWaitSet"));
        r.c.setProperty("DeviceIP_Recv", QStringLiteral("127.0.0.41"));
        QVERIFY(r.online());
        // Only the second, valid attempt reached the transmitter.
        QCOMPARE(transmitterConnections.count(), 1);
    }

    void missingUnitIsRetriedEveryTenSeconds()
    {
        UnitsRig r("127.0.0.42", "127.0.0.43");
        QVERIFY(r.listening);
        r.units.Receiver()->SetListening(false);
        QSignalSpy transmitterConnections(r.units.Transmitter(), &SimFrameServer::clientConnected);
        QVERIFY(r.waitFor("DeviceWaitSet"));
        QElapsedTimer clock;
        clock.start();
        emit r.c.onBtnConnect();
        const QString half =
            QStringLiteral("状态更新 <span style='color:green;'>发 </span><span style='color:red;'>收</span>");
        QTRY_COMPARE_WITH_TIMEOUT(r.text(), half, 5000);
        QVERIFY(r.in("DeviceConnecting"));

        r.units.Receiver()->SetListening(true);
        QVERIFY(r.waitFor("SampleWaitParam", 15000));
        QVERIFY(clock.elapsed() >= 10000);
        QVERIFY(r.texts.contains(QVariantList{QStringLiteral("<p style='color:red;'>重试</p>")}));
        QCOMPARE(transmitterConnections.count(), 1);
    }

    void disconnectThenConnectComesOnline()
    {
        UnitsRig r("127.0.0.44", "127.0.0.45");
        QVERIFY(r.online());
        QSignalSpy closed(r.units.Receiver(), &SimFrameServer::clientDisconnected);
        emit r.c.onBtnDisconn();
        QCOMPARE(r.text(), QStringLiteral("<p style='color:red;'>未连接</p>"));
        QCOMPARE(r.status(), ZOLVA_Collector::DISCONN);
        QVERIFY(closed.wait(5000));
        QVERIFY(r.online());

        // Again without giving the first attempt time to finish.
        emit r.c.onBtnDisconn();
        emit r.c.onBtnConnect();
        emit r.c.onBtnDisconn();
        emit r.c.onBtnConnect();
        QVERIFY(r.waitFor("SampleWaitParam"));
        QTRY_VERIFY_WITH_TIMEOUT(r.units.Receiver()->IsClientConnected(), 5000);
        QCOMPARE(r.text(), QStringLiteral("<p style='color:green;'>已连接</p>"));
    }

    void unitClosingMidAcquisitionIsReconnected()
    {
        UnitsRig r("127.0.0.46", "127.0.0.47", 1.0);
        QVERIFY(r.online());
        QSignalSpy receiverConnections(r.units.Receiver(), &SimFrameServer::clientConnected);
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor("SampleDataUpload"));
        QSignalSpy reinit(r.c.state(QStringLiteral("DeviceInit")), &QState::entered);
        r.units.Transmitter()->CloseConnection();
        QVERIFY(reinit.wait(5000));
        QVERIFY(r.waitFor("SampleWaitParam"));
        QCOMPARE(r.status(), ZOLVA_Collector::IDLE);
        QCOMPARE(r.c.property("Progress").toInt(), 0);
        QCOMPARE(r.text(), QStringLiteral("<p style='color:green;'>已连接</p>"));
        // Only the lost link was made again.
        QCOMPARE(receiverConnections.count(), 0);
        QCOMPARE(r.uploads.count(), 0);
    }
};

QTEST_MAIN(TestCollectorConnection)
#include "tst_collectorconnection.moc"
