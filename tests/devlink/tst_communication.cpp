#include "devlink/Communication.h"
#include "tools/simunits/SimFrameServer.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

const QHostAddress UnitAddress(QStringLiteral("127.0.0.3"));
const QHostAddress OtherAddress(QStringLiteral("127.0.0.4"));

struct Response
{
    quint32 command;
    bool ok;
    QByteArray payload;
};

class RecordingLink : public Communication
{
public:
    using Communication::Communication;
    using Communication::Send;

    QList<Response> responses;

protected:
    void OnResponse(quint32 command, bool ok, QByteArray* payload) override
    {
        responses.append({command, ok, payload ? *payload : QByteArray()});
    }
};

const QByteArray StatusOne("\x01\x00\x00\x00", 4);

} // namespace

class TestCommunication : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void replyMatchedByCommand();
    void reportsReachOnResponse();
    void sendWhileDisconnectedDoesNothing();
    void unansweredRequestIsResentThreeTimesThenFails();
    void requestsOfOneMillisecondAreTrackedApart();
    void replyToResentRequestEndsIt();
    void requestOutstandingAtCloseFailsAndStaysDead();
    void addressChangeGivesUpRequests();
    void lateReplyThroughGarbageAndOneByteWrites();
    void connectsOnceTheUnitListens();

private:
    void ConnectLink();
    void WaitTicks(int count);

    std::unique_ptr<SimFrameServer> unit;
    std::unique_ptr<RecordingLink> link;
};

void TestCommunication::init()
{
    unit.reset(new SimFrameServer);
    QVERIFY(unit->Listen(UnitAddress));
    link.reset(new RecordingLink);
}

void TestCommunication::cleanup()
{
    link.reset();
    unit.reset();
}

void TestCommunication::ConnectLink()
{
    QSignalSpy connected(link.get(), &Communication::ComConnected);
    QSignalSpy accepted(unit.get(), &SimFrameServer::clientConnected);
    link->SetAddress({UnitAddress.toString(), SimFrameServer::DefaultPort});
    link->Connect();
    QVERIFY(connected.wait(5000));
    QVERIFY(link->IsConnected());
    QVERIFY(accepted.count() > 0 || accepted.wait(5000));
}

void TestCommunication::WaitTicks(int count)
{
    auto* timer = link->findChild<QTimer*>();
    QVERIFY(timer);
    QSignalSpy ticks(timer, &QTimer::timeout);
    while (ticks.count() < count)
        QVERIFY(ticks.wait(3000));
}

void TestCommunication::replyMatchedByCommand()
{
    ConnectLink();
    link->Send(1001, QByteArray("\x05\x06", 2));
    QTRY_COMPARE_WITH_TIMEOUT(link->responses.size(), 1, 5000);
    QCOMPARE(link->responses[0].command, 1001u);
    QVERIFY(link->responses[0].ok);
    QCOMPARE(link->responses[0].payload, StatusOne);
    QCOMPARE(unit->ReceivedCommands(), QList<quint32>{1001});
    QCOMPARE(unit->ReceivedPayloads(), QList<QByteArray>{QByteArray("\x05\x06", 2)});
}

void TestCommunication::reportsReachOnResponse()
{
    ConnectLink();
    unit->SendReport(3, QByteArray("data"));
    unit->SendReport(240, QByteArray());
    QTRY_COMPARE_WITH_TIMEOUT(link->responses.size(), 2, 5000);
    QCOMPARE(link->responses[0].command, 3u);
    QVERIFY(link->responses[0].ok);
    QCOMPARE(link->responses[0].payload, QByteArray("data"));
    QCOMPARE(link->responses[1].command, 240u);
    QVERIFY(link->responses[1].ok);
}

void TestCommunication::sendWhileDisconnectedDoesNothing()
{
    link->Send(7);
    ConnectLink();
    link->Send(8);
    QTRY_COMPARE_WITH_TIMEOUT(link->responses.size(), 1, 5000);
    QCOMPARE(unit->ReceivedCommands(), QList<quint32>{8});
    QCOMPARE(link->responses[0].command, 8u);
}

void TestCommunication::unansweredRequestIsResentThreeTimesThenFails()
{
    link->SetTimeout(20);
    unit->SetNoReply(true);
    ConnectLink();
    link->Send(2, QByteArray("cfg"));
    QTRY_COMPARE_WITH_TIMEOUT(link->responses.size(), 1, 8000);
    QCOMPARE(link->responses[0].command, 2u);
    QVERIFY(!link->responses[0].ok);
    const QList<QByteArray> frames = unit->ReceivedFrames();
    QCOMPARE(frames.size(), 4);
    // A resend is the same frame, sequence number included.
    for (const QByteArray& frame : frames)
        QCOMPARE(frame, frames.first());

    WaitTicks(2);
    QCOMPARE(unit->ReceivedFrames().size(), 4);
    QCOMPARE(link->responses.size(), 1);
}

void TestCommunication::requestsOfOneMillisecondAreTrackedApart()
{
    link->SetTimeout(20);
    link->SetRetry(1);
    unit->SetNoReply(true);
    ConnectLink();
    link->Send(8);
    link->Send(9);
    link->Send(8);
    QTRY_COMPARE_WITH_TIMEOUT(link->responses.size(), 3, 8000);
    for (const Response& response : qAsConst(link->responses))
        QVERIFY(!response.ok);
    QCOMPARE(link->responses[0].command, 8u);
    QCOMPARE(link->responses[1].command, 9u);
    QCOMPARE(link->responses[2].command, 8u);
    QCOMPARE(unit->ReceivedCommands(), (QList<quint32>{8, 9, 8, 8, 9, 8}));
}

void TestCommunication::replyToResentRequestEndsIt()
{
    link->SetTimeout(20);
    unit->SetNoReply(true);
    ConnectLink();
    link->Send(4);
    QTRY_COMPARE_WITH_TIMEOUT(unit->ReceivedFrames().size(), 2, 5000);
    unit->SetNoReply(false);
    QTRY_COMPARE_WITH_TIMEOUT(link->responses.size(), 1, 5000);
    QVERIFY(link->responses[0].ok);
    QCOMPARE(unit->ReceivedFrames().size(), 3);

    WaitTicks(2);
    QCOMPARE(unit->ReceivedFrames().size(), 3);
    QCOMPARE(link->responses.size(), 1);
}

void TestCommunication::requestOutstandingAtCloseFailsAndStaysDead()
{
    link->SetTimeout(20);
    unit->SetCloseAfterRequests(2);
    ConnectLink();
    QSignalSpy closed(link.get(), &Communication::ComClosed);
    link->Send(1);
    link->Send(5);
    QVERIFY(closed.wait(5000));
    QVERIFY(!link->IsConnected());
    QCOMPARE(link->responses.size(), 2);
    QCOMPARE(link->responses[0].command, 1u);
    QVERIFY(link->responses[0].ok);
    QCOMPARE(link->responses[1].command, 5u);
    QVERIFY(!link->responses[1].ok);

    // A stale start command must not reach the unit on the next connection.
    unit->SetCloseAfterRequests(0);
    QSignalSpy connected(link.get(), &Communication::ComConnected);
    link->Connect();
    QVERIFY(connected.wait(5000));
    WaitTicks(2);
    QCOMPARE(unit->ReceivedCommands(), (QList<quint32>{1, 5}));
    QCOMPARE(link->responses.size(), 2);
}

void TestCommunication::addressChangeGivesUpRequests()
{
    unit->SetNoReply(true);
    ConnectLink();
    link->Send(12);
    QTRY_COMPARE_WITH_TIMEOUT(unit->ReceivedCommands().size(), 1, 5000);
    link->SetAddress({OtherAddress.toString(), SimFrameServer::DefaultPort});
    QCOMPARE(link->responses.size(), 1);
    QCOMPARE(link->responses[0].command, 12u);
    QVERIFY(!link->responses[0].ok);
    QVERIFY(!link->IsConnected());
}

void TestCommunication::lateReplyThroughGarbageAndOneByteWrites()
{
    unit->SetReplyDelay(150);
    unit->SetGarbageBetweenFrames(true);
    unit->SetOneByteWrites(true);
    ConnectLink();
    link->Send(1002, QByteArray(40, '\x7F'));
    QTRY_COMPARE_WITH_TIMEOUT(link->responses.size(), 1, 5000);
    QCOMPARE(link->responses[0].command, 1002u);
    QVERIFY(link->responses[0].ok);
    QCOMPARE(link->responses[0].payload, StatusOne);
}

void TestCommunication::connectsOnceTheUnitListens()
{
    unit->SetListening(false);
    link->SetAddress({UnitAddress.toString(), SimFrameServer::DefaultPort});
    auto* socket = link->findChild<QTcpSocket*>();
    QVERIFY(socket);
    QSignalSpy refused(socket, &QAbstractSocket::errorOccurred);
    link->Connect();
    QVERIFY(refused.wait(5000));
    QVERIFY(!link->IsConnected());

    unit->SetListening(true);
    ConnectLink();
}

QTEST_GUILESS_MAIN(TestCommunication)
#include "tst_communication.moc"
