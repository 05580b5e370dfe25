#include "tools/simunits/SimFrameServer.h"

#include "devlink/FrameCodec.h"
#include "devlink/PayloadFields.h"
#include "tools/simunits/SimUnitAddress.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

// A false sync pattern (wrong marker) and a lone sync byte before the frame.
const QByteArray Garbage("\x00\xAA\x55\x01\x02\xAA", 6);

constexpr int DataCheckOffset = 20;

} // namespace

SimFrameServer::SimFrameServer(QObject* parent)
    : QObject(parent)
    , server(new QTcpServer(this))
    , drip(new QTimer(this))
{
    drip->setInterval(0);
    connect(server, &QTcpServer::newConnection, this, &SimFrameServer::onNewConnection);
    connect(drip, &QTimer::timeout, this, &SimFrameServer::onDrip);
}

SimFrameServer::~SimFrameServer()
{
    if (client)
        client->disconnect(this);
}

bool SimFrameServer::Listen(const QHostAddress& address, quint16 port)
{
    // IPv6 loopback would also stay on this machine, but the units serve
    // 127.0.0.0/8 only, as the field program's IPv4 links expect.
    if (!ParseLoopbackAddress(address.toString(), nullptr))
        return false;
    listenAddress = address;
    listenPort = port;
    server->close();
    return server->listen(address, port);
}

bool SimFrameServer::IsClientConnected() const
{
    return client && client->state() == QAbstractSocket::ConnectedState;
}

void SimFrameServer::SetNoReply(bool on)
{
    noReply = on;
}

void SimFrameServer::DropReplies(int count)
{
    repliesToDrop = count;
}

void SimFrameServer::SetReplyDelay(int ms)
{
    replyDelay = ms;
}

void SimFrameServer::SetLateReply(quint32 command, int ms)
{
    lateReplies.insert(command, ms);
}

void SimFrameServer::SetGarbageBetweenFrames(bool on)
{
    garbageBetweenFrames = on;
}

void SimFrameServer::SetGarbageFlood(int count)
{
    floodBytes = qMax(0, count);
}

void SimFrameServer::SetOneByteWrites(bool on)
{
    oneByteWrites = on;
}

void SimFrameServer::SetBadCheck(bool on)
{
    badCheck = on;
}

void SimFrameServer::SetCloseAfterRequests(int count)
{
    closeAfterRequests = count;
}

void SimFrameServer::SetCloseOnCommand(quint32 command, int count)
{
    closingCommands.insert(command, count);
}

void SimFrameServer::SetListening(bool on)
{
    if (!on)
        server->close();
    else if (!server->isListening() && !listenAddress.isNull())
        server->listen(listenAddress, listenPort);
}

void SimFrameServer::CloseConnection()
{
    if (client)
        client->disconnectFromHost();
}

void SimFrameServer::SendReport(quint32 command, const QByteArray& payload)
{
    SendFrame(command, payload, FrameTypeRequest);
}

void SimFrameServer::SendRaw(const QByteArray& bytes)
{
    WriteBytes(bytes);
}

QList<quint32> SimFrameServer::ReceivedCommands() const
{
    return receivedCommands;
}

QList<QByteArray> SimFrameServer::ReceivedPayloads() const
{
    return receivedPayloads;
}

QList<QByteArray> SimFrameServer::ReceivedFrames() const
{
    return receivedFrames;
}

QByteArray SimFrameServer::ReceivedBytes() const
{
    return receivedBytes;
}

void SimFrameServer::ClearReceived()
{
    receivedCommands.clear();
    receivedPayloads.clear();
    receivedFrames.clear();
    receivedBytes.clear();
}

void SimFrameServer::HandleRequest(quint32 command, const QByteArray&)
{
    SendReplyStatus(command, 1);
}

void SimFrameServer::HandleConnected()
{
}

void SimFrameServer::SendReply(quint32 command, const QByteArray& payload)
{
    if (noReply)
        return;
    if (repliesToDrop > 0) {
        --repliesToDrop;
        return;
    }
    const int delay = lateReplies.value(command) > 0 ? lateReplies.value(command) : replyDelay;
    if (delay <= 0) {
        SendFrame(command, payload, FrameTypeReply);
        return;
    }
    // A late reply belongs to the connection that asked.
    const QPointer<QTcpSocket> askedOn = client;
    QTimer::singleShot(delay, this, [this, askedOn, command, payload] {
        if (askedOn && askedOn == client)
            SendFrame(command, payload, FrameTypeReply);
    });
}

void SimFrameServer::SendReplyStatus(quint32 command, quint32 status)
{
    PayloadWriter writer;
    writer.Field(status);
    SendReply(command, writer.Payload());
}

void SimFrameServer::SendFrame(quint32 command, const QByteArray& payload, quint16 type)
{
    const std::unique_ptr<QByteArray> frame(BuildFrame(command, payload, type));
    if (badCheck)
        (*frame)[DataCheckOffset] = char((*frame)[DataCheckOffset] ^ 0x5A);
    QByteArray bytes = garbageBetweenFrames ? Garbage + *frame : *frame;
    if (floodBytes > 0)
        bytes.prepend(Flood(bytes));
    WriteBytes(bytes);
}

QByteArray SimFrameServer::Flood(const QByteArray& frame)
{
    QByteArray noise(floodBytes, Qt::Uninitialized);
    for (char& byte : noise)
        byte = char(floodNoise.bounded(256));
    // Sync and marker right, head check (almost surely) wrong.
    const QByteArray falseSync("\xAA\x55\x00\x80", 4);
    for (int at = 0; at + falseSync.size() <= noise.size(); at += 61)
        noise.replace(at, falseSync.size(), falseSync);

    const int claimed = qMin(frame.size(), 16);
    const std::unique_ptr<QByteArray> fake(BuildFrame(GetFrameCommand(frame), frame.left(claimed), FrameTypeReply));
    (*fake)[DataCheckOffset] = char((*fake)[DataCheckOffset] ^ 0x01);
    return noise + fake->left(FrameHeaderSize);
}

void SimFrameServer::onNewConnection()
{
    while (QTcpSocket* next = server->nextPendingConnection()) {
        // One unit serves one peer: a new connection replaces the old one.
        if (client) {
            client->disconnect(this);
            client->abort();
            client->deleteLater();
            emit clientDisconnected();
        }
        client = next;
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(client, &QTcpSocket::readyRead, this, &SimFrameServer::onReadyRead);
        connect(client, &QTcpSocket::disconnected, this, &SimFrameServer::onDisconnected);
        inbound.clear();
        outbound.clear();
        requestsThisConnection = 0;
        HandleConnected();
        emit clientConnected();
    }
}

void SimFrameServer::onReadyRead()
{
    const QByteArray bytes = client->readAll();
    receivedBytes.append(bytes);
    inbound.append(bytes);
    while (!inbound.isEmpty()) {
        QByteArray frame;
        quint32 consumed = 0;
        const bool ok = ParseFrame(inbound, frame, consumed);
        inbound.remove(0, int(consumed));
        if (ok)
            HandleFrame(frame);
        if (consumed == 0 || !client)
            break;
    }
}

void SimFrameServer::HandleFrame(const QByteArray& frame)
{
    const quint32 command = GetFrameCommand(frame);
    const std::unique_ptr<QByteArray> payload(GetFramePayload(frame));
    if (GetFrameType(frame) == FrameTypeRequest && closingCommands.value(command) > 0) {
        closingCommands[command] -= 1;
        inbound.clear();
        CloseConnection();
        return;
    }
    receivedFrames.append(frame);
    if (GetFrameType(frame) != FrameTypeRequest)
        return;
    receivedCommands.append(command);
    receivedPayloads.append(*payload);
    emit requestReceived(command, *payload);
    if (closeAfterRequests > 0 && ++requestsThisConnection >= closeAfterRequests) {
        CloseConnection();
        return;
    }
    HandleRequest(command, *payload);
}

void SimFrameServer::onDisconnected()
{
    auto* gone = qobject_cast<QTcpSocket*>(sender());
    if (gone != client)
        return;
    gone->deleteLater();
    client.clear();
    outbound.clear();
    drip->stop();
    emit clientDisconnected();
}

void SimFrameServer::FlushWrites()
{
    if (IsClientConnected())
        client->flush();
}

void SimFrameServer::WriteBytes(const QByteArray& bytes)
{
    if (!IsClientConnected())
        return;
    if (!oneByteWrites && outbound.isEmpty()) {
        client->write(bytes);
        return;
    }
    outbound.append(bytes);
    drip->start();
}

void SimFrameServer::onDrip()
{
    if (!IsClientConnected() || outbound.isEmpty()) {
        drip->stop();
        return;
    }
    client->write(outbound.left(1));
    client->flush();
    outbound.remove(0, 1);
}
