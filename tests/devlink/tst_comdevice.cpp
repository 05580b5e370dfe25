#include "devlink/ComBuffer_Array.h"
#include "devlink/ComDevice.h"
#include "devlink/ComStatus.h"
#include "devlink/FrameCodec.h"
#include "tools/simunits/SimFrameServer.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

const QHostAddress UnitAddress(QStringLiteral("127.0.0.2"));

QByteArray Frame(quint32 command, int payloadSize, quint16 type = 0)
{
    QByteArray payload(payloadSize, '\0');
    for (int i = 0; i < payloadSize; ++i)
        payload[i] = char(i * 31 + int(command));
    const std::unique_ptr<QByteArray> frame(BuildFrame(command, payload, type));
    return *frame;
}

// Cuts frames from the device's buffer the way the request layer does.
struct FrameCutter
{
    explicit FrameCutter(ComDevice& device)
    {
        QObject::connect(&device, &ComDevice::handleReceived, [this](QByteArray* buffer, uint32_t* consumed) {
            QByteArray frame;
            if (ParseFrame(*buffer, frame, *consumed))
                frames.append(frame);
            consumedCounts.append(*consumed);
            bufferSizes.append(buffer->size());
        });
    }
    QList<QByteArray> frames;
    QList<quint32> consumedCounts;
    QList<int> bufferSizes;
};

} // namespace

class TestComDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void statusFlags();
    void receiveBufferTakesOverHolderCuts();
    void connectNeedsAnAddress();
    void threeFramesAndAPartialFourthInOneRead();
    void sendWritesOneFrameAndHandsItOver();
    void failedWriteLeavesNoBacklog();
    void newConnectionStartsWithEmptyBuffer();
    void framesSurviveGarbageAndOneByteWrites();
    void badCheckDropsOnlyThatFrame();

private:
    void ConnectDevice();

    std::unique_ptr<SimFrameServer> unit;
    std::unique_ptr<ComDevice> device;
};

void TestComDevice::init()
{
    unit.reset(new SimFrameServer);
    QVERIFY(unit->Listen(UnitAddress));
    device.reset(new ComDevice);
}

void TestComDevice::cleanup()
{
    device.reset();
    unit.reset();
}

void TestComDevice::ConnectDevice()
{
    QSignalSpy connected(device.get(), &ComDevice::handleConnected);
    QSignalSpy accepted(unit.get(), &SimFrameServer::clientConnected);
    device->SetAddress({UnitAddress.toString(), SimFrameServer::DefaultPort});
    QVERIFY(device->Connect());
    QVERIFY(connected.wait(5000));
    QVERIFY(accepted.count() > 0 || accepted.wait(5000));
}

void TestComDevice::statusFlags()
{
    ComStatus status;
    QVERIFY(status.Test(0));
    QVERIFY(!status.Acquire(COM_SENDING));
    status.Set(COM_ADDRESS | COM_CONNECTED);
    QVERIFY(!status.Test(0));
    QVERIFY(status.Acquire(COM_SENDING));
    // Re-entry on the holding thread must not deadlock; it is refused.
    QVERIFY(!status.Acquire(COM_SENDING));
    QVERIFY(status.Acquire(COM_RECEIVING));
    status.Clear(COM_CONNECTED);
    QCOMPARE(status.GetStatus(), quint8(COM_ADDRESS));
    status.Set(0);
    QVERIFY(status.Test(0));
}

void TestComDevice::receiveBufferTakesOverHolderCuts()
{
    ComBuffer_Array buffer;
    const QByteArray first = Frame(1, 10);
    const QByteArray second = Frame(2, 3);
    buffer.Append(QByteArray("junk") + first + second.left(5));

    QByteArray frame;
    quint32 consumed = 0;
    QVERIFY(ParseFrame(*buffer.Data(), frame, consumed));
    QCOMPARE(frame, first);
    buffer.Remove(int(consumed));
    QCOMPARE(*buffer.Data(), second.left(5));

    buffer.Append(second.mid(5));
    QVERIFY(ParseFrame(*buffer.Data(), frame, consumed));
    QCOMPARE(frame, second);
    buffer.Remove(int(consumed) + 100);
    QCOMPARE(buffer.Size(), 0);

    // A frame copied out stays intact when the buffer moves on.
    buffer.Append(first + first);
    QVERIFY(ParseFrame(*buffer.Data(), frame, consumed));
    buffer.Remove(int(consumed));
    buffer.Append(QByteArray(4096, 'x'));
    QCOMPARE(frame, first);
}

void TestComDevice::connectNeedsAnAddress()
{
    QSignalSpy accepted(unit.get(), &SimFrameServer::clientConnected);
    QVERIFY(!device->Connect());
    ConnectDevice();
    QCOMPARE(accepted.count(), 1);
}

void TestComDevice::threeFramesAndAPartialFourthInOneRead()
{
    FrameCutter cutter(*device);
    ConnectDevice();
    const QByteArray a = Frame(3, 0), b = Frame(3, 17), c = Frame(6, 400), d = Frame(240, 50);
    unit->SendRaw(a + b + c + d.left(40));
    QTRY_COMPARE_WITH_TIMEOUT(cutter.consumedCounts.size(), 4, 5000);
    QCOMPARE(cutter.consumedCounts, (QList<quint32>{quint32(a.size()), quint32(b.size()), quint32(c.size()), 0}));
    QCOMPARE(cutter.bufferSizes.last(), 40);

    unit->SendRaw(d.mid(40));
    QTRY_COMPARE_WITH_TIMEOUT(cutter.frames.size(), 4, 5000);
    QCOMPARE(cutter.frames, (QList<QByteArray>{a, b, c, d}));
    QCOMPARE(cutter.consumedCounts.last(), quint32(d.size()));
}

void TestComDevice::sendWritesOneFrameAndHandsItOver()
{
    QByteArray* early = BuildFrame(1, QByteArray("x"), 0);
    QVERIFY(!device->Send(early));
    delete early;

    ConnectDevice();
    QList<QByteArray*> sended;
    connect(device.get(), &ComDevice::handleSended, [&sended](QByteArray* data) { sended.append(data); });
    QSignalSpy received(unit.get(), &SimFrameServer::requestReceived);
    QByteArray* frame = BuildFrame(2, QByteArray("abc"), 0);
    const QByteArray bytes = *frame;
    QVERIFY(device->Send(frame));
    QCOMPARE(sended, QList<QByteArray*>{frame});
    delete frame;
    QVERIFY(received.wait(5000));
    QCOMPARE(unit->ReceivedBytes(), bytes);
}

void TestComDevice::failedWriteLeavesNoBacklog()
{
    ConnectDevice();
    // The socket goes away underneath while the link still counts as up.
    auto* socket = device->findChild<QTcpSocket*>();
    QVERIFY(socket);
    socket->blockSignals(true);
    socket->abort();
    socket->blockSignals(false);
    QByteArray* stale = BuildFrame(20, QByteArray("stale"), 0);
    QVERIFY(!device->Send(stale));
    delete stale;

    QSignalSpy accepted(unit.get(), &SimFrameServer::clientConnected);
    QVERIFY(device->Connect());
    QVERIFY(accepted.wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QAbstractSocket::ConnectedState, 5000);
    unit->ClearReceived();
    QList<QByteArray*> sended;
    connect(device.get(), &ComDevice::handleSended, [&sended](QByteArray* data) { sended.append(data); });
    QSignalSpy received(unit.get(), &SimFrameServer::requestReceived);
    QByteArray* fresh = BuildFrame(21, QByteArray("fresh"), 0);
    const QByteArray freshBytes = *fresh;
    QVERIFY(device->Send(fresh));
    QCOMPARE(sended, QList<QByteArray*>{fresh});
    delete fresh;
    QVERIFY(received.wait(5000));
    QCOMPARE(unit->ReceivedBytes(), freshBytes);
}

void TestComDevice::newConnectionStartsWithEmptyBuffer()
{
    FrameCutter cutter(*device);
    ConnectDevice();
    // The header of a long frame whose payload never comes.
    QSignalSpy closed(device.get(), &ComDevice::handleClosed);
    unit->SendRaw(Frame(3, 1000).left(28));
    QTRY_COMPARE_WITH_TIMEOUT(cutter.consumedCounts.size(), 1, 5000);
    unit->CloseConnection();
    QVERIFY(closed.wait(5000));

    ConnectDevice();
    const QByteArray reply = Frame(1, 4, 1);
    unit->SendRaw(reply);
    QTRY_COMPARE_WITH_TIMEOUT(cutter.frames.size(), 1, 5000);
    QCOMPARE(cutter.frames.first(), reply);
}

void TestComDevice::framesSurviveGarbageAndOneByteWrites()
{
    FrameCutter cutter(*device);
    ConnectDevice();
    unit->SetGarbageBetweenFrames(true);
    unit->SetOneByteWrites(true);
    unit->SendReport(3, QByteArray(60, '\x11'));
    unit->SendReport(240, QByteArray());
    unit->SendReport(6, QByteArray("\xAA\x55\xAA", 3));
    QTRY_COMPARE_WITH_TIMEOUT(cutter.frames.size(), 3, 10000);
    QCOMPARE(GetFrameCommand(cutter.frames[0]), quint16(3));
    QCOMPARE(GetFrameCommand(cutter.frames[1]), quint16(240));
    QCOMPARE(GetFrameCommand(cutter.frames[2]), quint16(6));
    QCOMPARE(cutter.frames[2].mid(28), QByteArray("\xAA\x55\xAA", 3));
}

void TestComDevice::badCheckDropsOnlyThatFrame()
{
    FrameCutter cutter(*device);
    ConnectDevice();
    unit->SetBadCheck(true);
    unit->SendReport(3, QByteArray(12, '\x22'));
    unit->SetBadCheck(false);
    unit->SendReport(4, QByteArray(12, '\x33'));
    QTRY_COMPARE_WITH_TIMEOUT(cutter.frames.size(), 1, 5000);
    QCOMPARE(GetFrameCommand(cutter.frames.first()), quint16(4));
}

QTEST_GUILESS_MAIN(TestComDevice)
#include "tst_comdevice.moc"
