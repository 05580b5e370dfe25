#include "tests/support/LoopbackUnit.h"

#include "devlink/FrameCodec.h"
#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/iLibSend.h"
#include "tools/simunits/SimUnitAddress.h"
#include "tools/simunits/SimUnitPair.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Notes each callback as "command ok payload-in-hex" or "command failed".
class RecordingLink : public Communication
{
public:
    using Communication::OnRequestTimout;
    using Communication::Send;
    using Communication::SetInterchangeable;

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

// Hosts of this file's loopback block: each case runs its unit on its own.
enum Host {
    RepliesHost = 1,
    MatchHost,
    ResendHost,
    CloseHost,
    AddressHost,
    NobodyHost,
    SendStampHost,
    RecvStampHost,
    LateReplyHost
};

// A rig whose unit drops the next replies and whose requests age after 20 ms.
std::unique_ptr<Rig> SilentRig(Host host, int droppedReplies = 1000)
{
    auto r = std::make_unique<Rig>(TestLoopback::CommunicationTests, host);
    r->link.SetTimeout(20);
    r->unit.DropReplies(droppedReplies);
    return r;
}

// The link's one-second time-out check. A test stops it while a reply it
// waits for is on its way: on a busy machine a tick could otherwise resend or
// give up the request before the reply is read.
QTimer* Tick(Rig& r)
{
    return r.link.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
}

bool WaitTicks(Rig& r, int count)
{
    QSignalSpy ticks(r.link.findChild<QTimer*>(), &QTimer::timeout);
    return QTest::qWaitFor([&] { return ticks.count() >= count; }, TestTimeoutMs() * count);
}

const st_ComAddress Nobody{TestLoopback::Address(TestLoopback::CommunicationTests, NobodyHost),
                           SimFrameServer::DefaultPort};

QByteArray Reply(quint32 command)
{
    return *std::unique_ptr<QByteArray>(BuildFrame(command, QByteArray("\x01\x00\x00\x00", 4), 1));
}

qint64 MonotonicMs()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

// Three reports of `command`: two in one write together with the first
// bytes of the third, whose rest follows once the clock has moved on. Gives
// the clock before the first write, the three records' stamps, the clock
// before the second write and after the last record.
template <typename Record, typename Link, typename Signal>
QList<qint64> ReadStamps(LoopbackUnit<Link>& r, Signal record, quint32 command, const QByteArray& payload)
{
    const QByteArray frame = *std::unique_ptr<QByteArray>(BuildFrame(command, payload, 0));
    QSignalSpy records(&r.link, record);
    const qint64 first = MonotonicMs();
    r.unit.SendRaw(frame + frame + frame.left(frame.size() / 2));
    if (!QTest::qWaitFor([&] { return records.count() == 2; }, TestTimeoutMs()))
        return {};
    const qint64 read = records.at(0).at(0).template value<Record>().ArrivalMs;
    if (!QTest::qWaitFor([&] { return MonotonicMs() > read; }, TestTimeoutMs()))
        return {};
    const qint64 rest = MonotonicMs();
    r.unit.SendRaw(frame.mid(frame.size() / 2));
    if (!records.wait(TestTimeoutMs()))
        return {};
    QList<qint64> stamps{first};
    for (const QList<QVariant>& args : qAsConst(records))
        stamps << args.at(0).template value<Record>().ArrivalMs;
    return stamps << rest << MonotonicMs();
}

QByteArray Frame(quint32 command, int payloadSize, quint16 type = 0)
{
    return *std::unique_ptr<QByteArray>(BuildFrame(command, QByteArray(payloadSize, char(command)), type));
}

// A report that no script uses: the link handing it on shows that it has
// read everything the unit wrote before it.
constexpr quint32 Probe = 98;

// Until each end has read what the other wrote; written counts the frames
// the link wrote.
bool Settle(Rig& r, const int& written)
{
    const QString probe = QString::number(Probe) + " ok ";
    r.unit.SendReport(Probe, QByteArray());
    if (!QTest::qWaitFor([&] { return r.link.responses.contains(probe); }, TestTimeoutMs()))
        return false;
    r.link.responses.removeAll(probe);
    return QTest::qWaitFor([&] { return r.unit.ReceivedFrames().size() == written; }, TestTimeoutMs());
}

// Runs a script of steps (lateReplies below) against a unit that replies
// only when told, noting each reply in the journal. False when a step found
// no end.
bool RunScript(Rig& r, const QString& script, const int& written, QStringList& journal)
{
    for (const QString& step : script.split(' ')) {
        const int before = step == "t" ? r.link.responses.size() : written;
        if (step == "x") {
            r.link.GiveUpRequests();
        } else if (step.startsWith('-')) {
            r.link.GiveUpRequests(step.mid(1).toUInt());
        } else if (step == "+") {
            r.unit.SetNoReply(false);
        } else if (step == "t") {
            if (!QTest::qWaitFor(
                    [&] {
                        r.link.OnRequestTimout();
                        return r.link.responses.size() > before;
                    },
                    TestTimeoutMs()))
                return false;
        } else if (step == "~") {
            if (!QTest::qWaitFor([&] { return written > before; }, TestTimeoutMs()))
                return false;
        } else if (step == "a") {
            if (!Settle(r, written) || !r.Connect())
                return false;
            Tick(r)->stop();
        } else if (step.startsWith('<')) {
            if (!Settle(r, written))
                return false;
            r.unit.SendRaw(*std::unique_ptr<QByteArray>(
                BuildFrame(step.mid(1, 1).toUInt(), QByteArray::fromHex(step.mid(2).toLatin1()), FrameTypeReply)));
            journal << step;
        } else {
            r.link.Send(step.left(1).toUInt(), step.mid(1).toLatin1());
        }
    }
    return Settle(r, written);
}

} // namespace

// The transport (ComDevice) and the request layer on top of it.
class TestCommunication : public QObject
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

        QList<QByteArray*> sended;
        connect(&r.link, &ComDevice::handleSended, this, [&sended](QByteArray* data) { sended << data; });
        QSignalSpy received(&r.unit, &SimFrameServer::requestReceived);
        r.unit.ClearReceived();
        std::unique_ptr<QByteArray> frame(BuildFrame(2, QByteArray("abc"), 0));
        QVERIFY(r.link.Send(frame.get()));
        QCOMPARE(sended, QList<QByteArray*>{frame.get()});
        QVERIFY(received.wait(TestTimeoutMs()));
        QCOMPARE(r.unit.ReceivedBytes(), *frame);
    }

    // A partial frame waits for the next read, but not for a new connection;
    // stray bytes in front of a frame leave the buffer with it.
    void threeFramesAndAPartialFourthInOneRead()
    {
        LoopbackUnit<ComDevice> r(TestLoopback::ComDeviceTests, 1);
        QList<QByteArray> frames;
        QList<quint32> consumedCounts;
        connect(&r.link, &ComDevice::handleReceived, [&](QByteArray* buffer, uint32_t* consumed) {
            QByteArray frame;
            if (ParseFrame(*buffer, frame, *consumed))
                frames.append(frame);
            consumedCounts.append(*consumed);
        });
        QVERIFY(r.Connect());
        const QByteArray a = Frame(3, 0), b = Frame(3, 17), c = Frame(6, 400), d = Frame(240, 50);
        r.unit.SendRaw(a + "\x01" + b + "\xAA\x02\x03" + c + d.left(40));
        QTRY_COMPARE_WITH_TIMEOUT(consumedCounts.size(), 4, TestTimeoutMs());
        QCOMPARE(consumedCounts, (QList<quint32>{quint32(a.size()), quint32(b.size() + 1), quint32(c.size() + 3), 0}));
        QSignalSpy closed(&r.link, &ComDevice::handleClosed);
        r.unit.SendRaw(d.mid(40) + Frame(3, 1000).left(28));
        QTRY_COMPARE_WITH_TIMEOUT(frames.size(), 4, TestTimeoutMs());
        r.unit.CloseConnection();
        QVERIFY(closed.wait(TestTimeoutMs()));

        QVERIFY(r.Connect());
        const QByteArray reply = Frame(1, 4, 1);
        r.unit.SendRaw(reply);
        QTRY_COMPARE_WITH_TIMEOUT(frames, (QList<QByteArray>{a, b, c, d, reply}), TestTimeoutMs());
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

    // Through a stream with garbage between frames, one-byte writes and a
    // late reply.
    void repliesAndReports()
    {
        Rig r(TestLoopback::CommunicationTests, RepliesHost);
        r.link.Send(7);
        QVERIFY(r.Connect());
        r.unit.SetGarbageBetweenFrames(true);
        r.unit.SetOneByteWrites(true);
        r.unit.SetReplyDelay(150);
        r.unit.SendReport(3, QByteArray("\x0a\x0b", 2));
        r.link.Send(1001, QByteArray("\x05\x06", 2));
        QTRY_COMPARE_WITH_TIMEOUT(r.link.responses, QStringList({"3 ok 0a0b", "1001 ok 01000000"}), TestTimeoutMs());
        // Nothing sent while the link was down.
        QCOMPARE(r.unit.ReceivedCommands(), QList<quint32>{1001});
        QCOMPARE(r.unit.ReceivedPayloads(), QList<QByteArray>{QByteArray("\x05\x06", 2)});
    }

    // Three requests in the same millisecond are all tracked; a reply ends the
    // oldest request with its command and a stray reply ends nothing.
    void repliesMatchByCommandOldestFirst()
    {
        auto r = SilentRig(MatchHost);
        r->link.SetRetry(1);
        QVERIFY(r->Connect());
        Tick(*r)->stop();
        r->link.Send(8, "a");
        r->link.Send(9, "b");
        r->link.Send(8, "c");
        QTRY_COMPARE_WITH_TIMEOUT(r->unit.ReceivedCommands().size(), 3, TestTimeoutMs());
        r->unit.SendRaw(Reply(77) + Reply(8));
        QTRY_COMPARE_WITH_TIMEOUT(r->link.responses, QStringList("8 ok 01000000"), TestTimeoutMs());
        Tick(*r)->start();
        QTRY_COMPARE_WITH_TIMEOUT(r->link.responses, QStringList({"8 ok 01000000", "9 failed", "8 failed"}),
                                  2 * TestTimeoutMs());
        QCOMPARE(r->unit.ReceivedPayloads(), (QList<QByteArray>{"a", "b", "c", "b", "c"}));
    }

    void resends_data()
    {
        QTest::addColumn<int>("droppedReplies");
        QTest::addColumn<bool>("givenUp");
        QTest::addColumn<QString>("response");
        QTest::addColumn<int>("frames");
        QTest::newRow("never answered: three resends, then failure") << 1000 << false << "2 failed" << 4;
        QTest::newRow("second resend answered") << 2 << false << "2 ok 01000000" << 3;
        // Its reply, on its way already, then answers nothing.
        QTest::newRow("given up before its reply") << 0 << true << "2 failed" << 1;
    }

    void resends()
    {
        QFETCH(int, droppedReplies);
        QFETCH(bool, givenUp);
        QFETCH(QString, response);
        QFETCH(int, frames);

        auto r = SilentRig(ResendHost, droppedReplies);
        QVERIFY(r->Connect());
        QSignalSpy received(&r->unit, &SimFrameServer::requestReceived);
        // The tick runs only while no frame that the unit answers is on its way.
        QTimer* tick = Tick(*r);
        connect(r->link.findChild<ComDevice*>(), &ComDevice::handleSended, tick, &QTimer::stop);
        connect(&r->unit, &SimFrameServer::requestReceived, tick, [&] {
            if (received.count() <= droppedReplies)
                tick->start();
        });
        r->link.Send(2, QByteArray("cfg"));
        if (givenUp) {
            r->link.GiveUpRequests();
            QVERIFY(received.wait(TestTimeoutMs()));
        }
        QTRY_COMPARE_WITH_TIMEOUT(r->link.responses, QStringList(response), 2 * TestTimeoutMs());
        // Later ticks neither resend nor report the request again.
        tick->start();
        QVERIFY(WaitTicks(*r, 2));
        QCOMPARE(r->link.responses.size(), 1);
        // A resend is the same frame, sequence number included.
        const QList<QByteArray> sent = r->unit.ReceivedFrames();
        QCOMPARE(sent, QVector<QByteArray>(frames, sent.first()).toList());
    }

    void lateReplies_data()
    {
        // Steps: "4a" sends command 4 with payload "a"; "x" gives every request
        // up, "-4" those of command 4; "t" has the written ones time out; "<4aa" has the unit reply to
        // command 4 with the byte aa; "~" waits for a held request to go out;
        // "a" sets the address again and connects; "+" has the unit answer
        // every request at once from then on.
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("bound");       // ms; 0: longer than the test
        QTest::addColumn<QString>("journal"); // the unit's view: requests and replies
        QTest::addColumn<QStringList>("responses");
        QTest::newRow("taken by the request given up; the next waits for it")
            << "4a x 4b <4aa <4bb" << 0 << "4a <4aa 4b <4bb" << QStringList{"4 failed", "4 ok bb"};
        QTest::newRow("each request given up takes one")
            << "4a 4b x 4c <4aa <4bb <4cc" << 0 << "4a 4b <4aa <4bb 4c <4cc"
            << QStringList{"4 failed", "4 failed", "4 ok cc"};
        QTest::newRow("each command waits for its own; others go out")
            << "4a 9a x 4b 9b 7c <9aa <7cc <4aa <4bb <9bb" << 0 << "4a 9a 7c <9aa 9b <7cc <4aa 4b <4bb <9bb"
            << QStringList{"4 failed", "9 failed", "7 ok cc", "4 ok bb", "9 ok bb"};
        QTest::newRow("given up by time-out")
            << "4a t 4b <4aa <4bb" << 0 << "4a <4aa 4b <4bb" << QStringList{"4 failed", "4 ok bb"};
        QTest::newRow("a reply after the bound answers the next")
            << "4a x 4b ~ <4aa" << 100 << "4a 4b <4aa" << QStringList{"4 failed", "4 ok aa"};
        QTest::newRow("held, then unanswered: failed")
            << "4a x 4b ~ t" << 100 << "4a 4b" << QStringList{"4 failed", "4 failed"};
        QTest::newRow("held, then given up: never sent")
            << "4a x 4b x <4aa 4c <4cc" << 0 << "4a <4aa 4c <4cc" << QStringList{"4 failed", "4 failed", "4 ok cc"};
        QTest::newRow("a new connection ends the wait and what it held")
            << "4a x 4b a 4c <4cc" << 0 << "4a 4c <4cc" << QStringList{"4 failed", "4 failed", "4 ok cc"};
        // A start right after a stop is as quick as the units' replies.
        QTest::newRow("a prompt reply lets the next go at once")
            << "+ 4a x 4b" << 0 << "4a 4b" << QStringList{"4 failed", "4 ok 01000000"};
        QTest::newRow("the link ends with requests held and given up")
            << "4a x 4b" << 0 << "4a" << QStringList{"4 failed"};
        QTest::newRow("one command given up; the others wait on")
            << "4a 9a -9 <4aa <9aa 9b <9bb" << 0 << "4a 9a <4aa <9aa 9b <9bb"
            << QStringList{"9 failed", "4 ok aa", "9 ok bb"};
        // Command 5 is a stop: any of its replies says the same.
        QTest::newRow("interchangeable: the next goes at once and takes the late reply")
            << "5a x 5b <5aa <5bb" << 0 << "5a 5b <5aa <5bb" << QStringList{"5 failed", "5 ok aa"};
        QTest::newRow("interchangeable, given up by time-out")
            << "5a t 5b <5bb" << 0 << "5a 5b <5bb" << QStringList{"5 failed", "5 ok bb"};
    }

    // A request given up may still be answered: its reply, which names only
    // the command, must not answer a newer request of that command.
    void lateReplies()
    {
        QFETCH(QString, script);
        QFETCH(int, bound);
        QFETCH(QString, journal);
        QFETCH(QStringList, responses);

        int written = 0;
        QStringList seen;
        Rig r(TestLoopback::CommunicationTests, LateReplyHost);
        r.link.SetRetry(0);
        r.link.SetTimeout(0);
        r.link.SetLateReplyBound(bound ? bound : 10 * TestTimeoutMs());
        r.link.SetInterchangeable(5);
        r.unit.SetNoReply(true);
        QVERIFY(r.Connect());
        Tick(r)->stop();
        connect(r.link.findChild<ComDevice*>(), &ComDevice::handleSended, this, [&written] { ++written; });
        connect(&r.unit, &SimFrameServer::requestReceived, this, [&seen](quint32 command, const QByteArray& payload) {
            seen << QString::number(command) + QString::fromLatin1(payload);
        });
        QVERIFY(RunScript(r, script, written, seen));
        QTRY_COMPARE_WITH_TIMEOUT(r.link.responses, responses, TestTimeoutMs());
        QCOMPARE(seen.join(' '), journal);
    }

    void requestOutstandingAtCloseFailsAndStaysDead()
    {
        Rig r(TestLoopback::CommunicationTests, CloseHost);
        r.link.SetTimeout(20);
        r.unit.SetCloseAfterRequests(2);
        QVERIFY(r.Connect());
        Tick(r)->stop();
        QSignalSpy closed(&r.link, &Communication::ComClosed);
        r.link.Send(1);
        r.link.Send(5);
        QVERIFY(closed.wait(TestTimeoutMs()));
        QVERIFY(!r.link.IsConnected());
        QCOMPARE(r.link.responses, QStringList({"1 ok 01000000", "5 failed"}));

        // A stale start command must not reach the unit on the next connection.
        r.unit.SetCloseAfterRequests(0);
        QVERIFY(r.Connect());
        QVERIFY(WaitTicks(r, 2));
        QCOMPARE(r.unit.ReceivedCommands(), (QList<quint32>{1, 5}));
        QCOMPARE(r.link.responses.size(), 2);
    }

    // Records carry the monotonic time their frame came off the socket:
    // frames read together share it, and a frame split across reads has
    // that of the read completing it.
    void recordsCarryTheReadCompletingTheirFrame()
    {
        LoopbackUnit<iLibSend> t(TestLoopback::CommunicationTests, SendStampHost);
        LoopbackUnit<ILibRecv_VRX2208> r(TestLoopback::CommunicationTests, RecvStampHost);
        QVERIFY(t.Connect() && r.Connect());
        const QList<QList<qint64>> runs{
            ReadStamps<st_TEMSendData>(t, &iLibSend::TEM_NewSendData, 6, QByteArray(4024, '\0')),
            ReadStamps<st_RecvData_VRX2208>(r, &ILibRecv_VRX2208::onRecvData, 3, QByteArray(8, '\0'))};
        for (const QList<qint64>& s : runs) {
            QCOMPARE(s.size(), 6);
            const QByteArray order = QByteArray::number(s[0]) + " <= " + QByteArray::number(s[1])
                + " == " + QByteArray::number(s[2]) + " < " + QByteArray::number(s[4])
                + " <= " + QByteArray::number(s[3]) + " <= " + QByteArray::number(s[5]);
            QVERIFY2(s[0] <= s[1] && s[1] == s[2] && s[2] < s[4] && s[4] <= s[3] && s[3] <= s[5], order.constData());
        }
    }

    // A new address gives up what was meant for the old one at once, and a frame
    // still waiting in the socket is dropped rather than delivered to a unit
    // whose request was reported failed; this holds even from inside the tick
    // that is walking those requests.
    void failureCallbackMayChangeTheAddress()
    {
        auto r = SilentRig(AddressHost);
        r->link.SetRetry(0);
        QVERIFY(r->Connect());
        QSignalSpy dropped(&r->unit, &SimFrameServer::clientDisconnected);
        r->link.Send(9);
        r->link.SetAddress(Nobody);
        QCOMPARE(r->link.responses, QStringList("9 failed"));
        QVERIFY(dropped.wait(TestTimeoutMs()));
        QVERIFY(r->unit.ReceivedCommands().isEmpty());
        r->link.responses.clear();
        QVERIFY(r->Connect());
        r->link.onFailure = [&r] { r->link.SetAddress(Nobody); };
        r->link.Send(1);
        r->link.Send(2);
        r->link.Send(3);
        QTRY_COMPARE_WITH_TIMEOUT(r->link.responses.size(), 3, TestTimeoutMs());
        QVERIFY(WaitTicks(*r, 1));
        QCOMPARE(r->link.responses, QStringList({"1 failed", "2 failed", "3 failed"}));
        QVERIFY(!r->link.IsConnected());
    }
};

QTEST_GUILESS_MAIN(TestCommunication)
#include "tst_communication.moc"
