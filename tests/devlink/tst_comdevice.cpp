#include "tests/support/LoopbackUnit.h"

#include "devlink/FrameCodec.h"
#include "tools/simunits/SimUnitAddress.h"
#include "tools/simunits/SimUnitPair.h"

#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

// Sends a fresh frame: exactly it must be written and handed over.
void SendOneFrame(LoopbackUnit<ComDevice>& r)
{
    QList<QByteArray*> sended;
    QObject context;
    QObject::connect(&r.link, &ComDevice::handleSended, &context, [&sended](QByteArray* data) { sended << data; });
    QSignalSpy received(&r.unit, &SimFrameServer::requestReceived);
    r.unit.ClearReceived();
    std::unique_ptr<QByteArray> frame(BuildFrame(2, QByteArray("abc"), 0));
    QVERIFY(r.link.Send(frame.get()));
    QCOMPARE(sended, QList<QByteArray*>{frame.get()});
    QVERIFY(received.wait(TestTimeoutMs()));
    QCOMPARE(r.unit.ReceivedBytes(), *frame);
}

} // namespace

class TestComDevice : public QObject
{
    Q_OBJECT

private slots:
    // A re-entrant take on the holding thread must not deadlock, and a lost
    // connection must not leave a busy bit that blocks the next one.
    void busyBitsNeitherDeadlockNorOutliveTheConnection()
    {
        ComStatus status;
        status.Set(COM_ADDRESS | COM_CONNECTED);
        QVERIFY(status.Acquire(COM_SENDING) && !status.Acquire(COM_SENDING) && status.Acquire(COM_RECEIVING));
        status.Clear(COM_CONNECTED);
        QCOMPARE(status.GetStatus(), quint8(COM_ADDRESS));
    }

    // Nothing is queued while the link is down, and a write that fails leaves
    // no frame behind to go out in place of a later one.
    void sendWritesOnlyItsOwnFrame()
    {
        LoopbackUnit<ComDevice> r(TestLoopback::ComDeviceTests, 2);
        QVERIFY(!r.link.Connect());
        std::unique_ptr<QByteArray> early(BuildFrame(1, QByteArray("x"), 0));
        QVERIFY(!r.link.Send(early.get()));
        QVERIFY(r.Connect());
        SendOneFrame(r);

        // The socket goes away underneath while the link still counts as up.
        auto* socket = r.link.findChild<QTcpSocket*>();
        socket->blockSignals(true);
        socket->abort();
        socket->blockSignals(false);
        std::unique_ptr<QByteArray> stale(BuildFrame(20, QByteArray("stale"), 0));
        QVERIFY(!r.link.Send(stale.get()));
        QSignalSpy accepted(&r.unit, &SimFrameServer::clientConnected);
        QVERIFY(r.link.Connect());
        QVERIFY(accepted.wait(TestTimeoutMs()));
        QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QAbstractSocket::ConnectedState, TestTimeoutMs());
        SendOneFrame(r);
    }

    // A link is pointed only at an address its simulated unit listens on, so
    // the units' refusal keeps every test on this machine.
    void unitsServeOnlyThisMachine()
    {
        QHostAddress address;
        QVERIFY(ParseLoopbackAddress("127.255.1.2", &address) && address == QHostAddress("127.255.1.2"));
        for (const char* refused : {"128.0.0.1", "0.0.0.0", "::1", "localhost", ""})
            QVERIFY2(!ParseLoopbackAddress(refused, &address), refused);
        SimUnitPair units;
        const QHostAddress own(TestLoopback::Address(TestLoopback::ComDeviceTests, 3));
        for (const char* refused : {"0.0.0.0", "::ffff:127.0.0.1"})
            QVERIFY2(!units.Listen(QHostAddress(refused), own), refused);
    }
};

QTEST_GUILESS_MAIN(TestComDevice)
#include "tst_comdevice.moc"
