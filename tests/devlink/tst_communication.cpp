#include "tests/support/LoopbackUnit.h"

#include "devlink/FrameCodec.h"

#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Notes each callback as "command ok payload-in-hex" or "command failed".
class RecordingLink : public Communication
{
public:
    using Communication::Send;

    QStringList responses;
    std::function<void()> onFailure;

protected:
    void OnResponse(quint32 command, bool ok, QByteArray* payload) override
    {
        responses << QString::number(command) + (ok ? " ok " + QString::fromLatin1(payload->toHex()) : " failed");
        if (!ok && onFailure)
            onFailure();
    }
};

using Rig = LoopbackUnit<RecordingLink>;

// A rig whose unit answers nothing and whose requests age after 20 ms.
std::unique_ptr<Rig> SilentRig()
{
    auto r = std::make_unique<Rig>("127.0.0.3");
    r->link.SetTimeout(20);
    r->unit.SetNoReply(true);
    return r;
}

bool WaitTicks(Rig& r, int count)
{
    QSignalSpy ticks(r.link.findChild<QTimer*>(), &QTimer::timeout);
    return QTest::qWaitFor([&] { return ticks.count() >= count; }, 3000 * count);
}

QByteArray Reply(quint32 command)
{
    return *std::unique_ptr<QByteArray>(BuildFrame(command, QByteArray("\x01\x00\x00\x00", 4), 1));
}

} // namespace

class TestCommunication : public QObject
{
    Q_OBJECT

private slots:
    void repliesAndReports();
    void repliesMatchByCommandOldestFirst();
    void resends_data();
    void resends();
    void requestOutstandingAtCloseFailsAndStaysDead();
    void failureCallbackMayChangeTheAddress();
};

// Through a stream with a frame failing its check, garbage between frames,
// one-byte writes and a late reply.
void TestCommunication::repliesAndReports()
{
    Rig r("127.0.0.3");
    r.link.Send(7);
    QVERIFY(r.Connect());
    r.unit.SetBadCheck(true);
    r.unit.SendReport(240, QByteArray(12, '\x22'));
    r.unit.SetBadCheck(false);
    r.unit.SetGarbageBetweenFrames(true);
    r.unit.SetOneByteWrites(true);
    r.unit.SetReplyDelay(150);
    r.unit.SendReport(3, QByteArray("\x0a\x0b", 2));
    r.link.Send(1001, QByteArray("\x05\x06", 2));
    QTRY_COMPARE_WITH_TIMEOUT(r.link.responses, QStringList({"3 ok 0a0b", "1001 ok 01000000"}), 5000);
    // Nothing sent while the link was down.
    QCOMPARE(r.unit.ReceivedCommands(), QList<quint32>{1001});
    QCOMPARE(r.unit.ReceivedPayloads(), QList<QByteArray>{QByteArray("\x05\x06", 2)});
}

// Three requests in the same millisecond are all tracked; a reply ends the
// oldest request with its command and a stray reply ends nothing.
void TestCommunication::repliesMatchByCommandOldestFirst()
{
    auto r = SilentRig();
    r->link.SetRetry(1);
    QVERIFY(r->Connect());
    r->link.Send(8, "a");
    r->link.Send(9, "b");
    r->link.Send(8, "c");
    QTRY_COMPARE_WITH_TIMEOUT(r->unit.ReceivedCommands().size(), 3, 5000);
    r->unit.SendRaw(Reply(77) + Reply(8));
    QTRY_COMPARE_WITH_TIMEOUT(r->link.responses, QStringList({"8 ok 01000000", "9 failed", "8 failed"}), 8000);
    QCOMPARE(r->unit.ReceivedPayloads(), (QList<QByteArray>{"a", "b", "c", "b", "c"}));
}

void TestCommunication::resends_data()
{
    QTest::addColumn<int>("answeredFrame"); // 0: never
    QTest::addColumn<bool>("ok");
    QTest::newRow("never answered: three resends, then failure") << 0 << false;
    QTest::newRow("second resend answered") << 3 << true;
}

void TestCommunication::resends()
{
    QFETCH(int, answeredFrame);
    QFETCH(bool, ok);

    auto r = SilentRig();
    QVERIFY(r->Connect());
    r->link.Send(2, QByteArray("cfg"));
    if (answeredFrame > 0) {
        QTRY_COMPARE_WITH_TIMEOUT(r->unit.ReceivedFrames().size(), answeredFrame - 1, 5000);
        r->unit.SetNoReply(false);
    }
    QTRY_COMPARE_WITH_TIMEOUT(r->link.responses, QStringList(ok ? "2 ok 01000000" : "2 failed"), 8000);
    // Later ticks neither resend nor report the request again.
    QVERIFY(WaitTicks(*r, 2));
    QCOMPARE(r->link.responses.size(), 1);
    // A resend is the same frame, sequence number included.
    const QList<QByteArray> frames = r->unit.ReceivedFrames();
    QCOMPARE(frames, QVector<QByteArray>(ok ? answeredFrame : 4, frames.first()).toList());
}

void TestCommunication::requestOutstandingAtCloseFailsAndStaysDead()
{
    Rig r("127.0.0.3");
    r.link.SetTimeout(20);
    r.unit.SetCloseAfterRequests(2);
    QVERIFY(r.Connect());
    QSignalSpy closed(&r.link, &Communication::ComClosed);
    r.link.Send(1);
    r.link.Send(5);
    QVERIFY(closed.wait(5000));
    QVERIFY(!r.link.IsConnected());
    QCOMPARE(r.link.responses, QStringList({"1 ok 01000000", "5 failed"}));

    // A stale start command must not reach the unit on the next connection.
    r.unit.SetCloseAfterRequests(0);
    QVERIFY(r.Connect());
    QVERIFY(WaitTicks(r, 2));
    QCOMPARE(r.unit.ReceivedCommands(), (QList<quint32>{1, 5}));
    QCOMPARE(r.link.responses.size(), 2);
}

// A new address gives up what was meant for the old one at once, and a frame
// still waiting in the socket is dropped rather than delivered to a unit
// whose request was reported failed; this holds even from inside the tick
// that is walking those requests.
void TestCommunication::failureCallbackMayChangeTheAddress()
{
    auto r = SilentRig();
    r->link.SetRetry(0);
    QVERIFY(r->Connect());
    QSignalSpy dropped(&r->unit, &SimFrameServer::clientDisconnected);
    r->link.Send(9);
    r->link.SetAddress({QStringLiteral("127.0.0.4"), SimFrameServer::DefaultPort});
    QCOMPARE(r->link.responses, QStringList("9 failed"));
    QVERIFY(dropped.wait(5000));
    QVERIFY(r->unit.ReceivedCommands().isEmpty());
    r->link.responses.clear();
    QVERIFY(r->Connect());
    r->link.onFailure = [&r] { r->link.SetAddress({QStringLiteral("127.0.0.4"), SimFrameServer::DefaultPort}); };
    r->link.Send(1);
    r->link.Send(2);
    r->link.Send(3);
    QTRY_COMPARE_WITH_TIMEOUT(r->link.responses.size(), 3, 5000);
    QVERIFY(WaitTicks(*r, 1));
    QCOMPARE(r->link.responses, QStringList({"1 failed", "2 failed", "3 failed"}));
    QVERIFY(!r->link.IsConnected());
}

QTEST_GUILESS_MAIN(TestCommunication)
#include "tst_communication.moc"
