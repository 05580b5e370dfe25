#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRandomGenerator>

class QTcpServer;
class QTcpSocket;
class QTimer;

// One field unit at the frame level, on a loopback address: parses the
// requests it receives, answers them, sends reports, and misbehaves on
// demand. Simulated units derive from it and override HandleRequest.
class SimFrameServer : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 DefaultPort = 12345;

    explicit SimFrameServer(QObject* parent = nullptr);
    ~SimFrameServer() override;

    // IPv4 loopback addresses (127.0.0.0/8) only.
    bool Listen(const QHostAddress& address, quint16 port = DefaultPort);
    bool IsClientConnected() const;

    // Fault switches.
    void SetNoReply(bool on);
    // The next count replies are not sent; the ones after are.
    void DropReplies(int count);
    void SetReplyDelay(int ms);
    // Replies to this command go out this many ms late (0: as the others).
    void SetLateReply(quint32 command, int ms);
    void SetGarbageBetweenFrames(bool on);
    // Before every frame, count bytes of noise: false sync patterns, and last
    // a header that passes its own check but claims the start of the real
    // frame as a payload that fails the data check (0: none).
    void SetGarbageFlood(int count);
    void SetOneByteWrites(bool on);
    void SetBadCheck(bool on);
    // Closes the connection on the count-th request of a connection (0: never).
    void SetCloseAfterRequests(int count);
    // The next count requests of this command close the connection before
    // the unit reads them: they go with the link.
    void SetCloseOnCommand(quint32 command, int count);
    void SetListening(bool on);
    void CloseConnection();

    void SendReport(quint32 command, const QByteArray& payload);
    // Bytes exactly as given, for partial frames and the like.
    void SendRaw(const QByteArray& bytes);

    QList<quint32> ReceivedCommands() const;
    QList<QByteArray> ReceivedPayloads() const;
    QList<QByteArray> ReceivedFrames() const;
    QByteArray ReceivedBytes() const;
    void ClearReceived();

signals:
    void requestReceived(quint32 command, QByteArray payload);
    void clientConnected();
    void clientDisconnected();

protected:
    // Default: a reply with the same command and status 1.
    virtual void HandleRequest(quint32 command, const QByteArray& payload);
    virtual void HandleConnected();

    // Replies obey the no-reply, drop and delay switches; every frame obeys the
    // garbage, bad-check and one-byte switches.
    void SendReply(quint32 command, const QByteArray& payload);
    void SendReplyStatus(quint32 command, quint32 status);
    void SendFrame(quint32 command, const QByteArray& payload, quint16 type);
    // What was written so far goes out now, on its own, not with what the
    // rest of this event-loop turn writes.
    void FlushWrites();

private slots:
    void onNewConnection();
    void onReadyRead();
    void onDisconnected();
    void onDrip();

private:
    void WriteBytes(const QByteArray& bytes);
    QByteArray Flood(const QByteArray& frame);
    void HandleFrame(const QByteArray& frame);

    QTcpServer* server;
    QPointer<QTcpSocket> client;
    QTimer* drip;
    QHostAddress listenAddress;
    quint16 listenPort = DefaultPort;

    bool noReply = false;
    int repliesToDrop = 0;
    int replyDelay = 0;
    QHash<quint32, int> lateReplies;
    QHash<quint32, int> closingCommands;
    bool garbageBetweenFrames = false;
    int floodBytes = 0;
    // Fixed seed: a flood that upsets the reader does so again.
    QRandomGenerator floodNoise{20240602u};
    bool oneByteWrites = false;
    bool badCheck = false;
    int closeAfterRequests = 0;

    int requestsThisConnection = 0;
    QByteArray inbound;
    QByteArray outbound;
    QList<quint32> receivedCommands;
    QList<QByteArray> receivedPayloads;
    QList<QByteArray> receivedFrames;
    QByteArray receivedBytes;
};
