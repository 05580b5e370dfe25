#include "devlink/ComDevice.h"

#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QPointer>
#include <QTcpSocket>

ComDevice::ComDevice(QObject* parent)
    : QObject(parent)
    , ip(QStringLiteral("0"))
    , socket(new QTcpSocket(this))
{
    connect(socket, SIGNAL(connected()), this, SLOT(onTcpConnected()));
    connect(socket, SIGNAL(disconnected()), this, SLOT(onTcpDisconed()));
    connect(socket, SIGNAL(readyRead()), this, SLOT(onTcpRecved()));
}

ComDevice::~ComDevice()
{
    Reset();
}

void ComDevice::SetAddress(const st_ComAddress& address)
{
    ip = address.ip;
    port = address.port;
    status.Set(COM_ADDRESS);
}

void ComDevice::Reset()
{
    status.Set(0);
    // Not a graceful close: that would still deliver bytes waiting in the
    // socket, requests that the owner is about to give up.
    socket->abort();
    sendQueue.Clear();
    recvBuffer.Clear();
    ip = QStringLiteral("0");
    port = 0;
}

bool ComDevice::Connect()
{
    if (!status.Test(COM_ADDRESS))
        return status.Test(COM_CONNECTED);
    socket->abort();
    socket->setProxy(QNetworkProxy::NoProxy);
    socket->connectToHost(ip, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    return true;
}

void ComDevice::Disconnect()
{
    // What was sent last, such as the stops of an acquisition ended as the
    // program quits, leaves now: the socket may be gone before the event
    // loop would write it.
    socket->flush();
    socket->disconnectFromHost();
    status.Clear(COM_CONNECTED);
}

bool ComDevice::Write(const QByteArray& frame)
{
    if (!socket->isOpen())
        return false;
    return socket->write(frame) == frame.size();
}

bool ComDevice::Flush()
{
    if (!status.Acquire(COM_SENDING))
        return false;
    QByteArray* frame = sendQueue.Front();
    if (!frame || frame->isEmpty() || !Write(*frame)) {
        status.Clear(COM_SENDING);
        return false;
    }
    sendQueue.TakeFirst();
    emit handleSended(frame);
    status.Clear(COM_SENDING);
    return true;
}

bool ComDevice::Send(QByteArray* frame)
{
    if (!status.Test(COM_CONNECTED))
        return false;
    sendQueue.Push(frame);
    if (Flush())
        return true;
    sendQueue.Take(frame);
    return false;
}

void ComDevice::ProcessReceived()
{
    if (!status.Acquire(COM_RECEIVING))
        return;
    // A handler may end the link, or even delete it, from inside its reply.
    const QPointer<ComDevice> alive(this);
    while (recvBuffer.Size() > 0) {
        uint32_t consumed = 0;
        emit handleReceived(recvBuffer.Data(), &consumed);
        if (!alive)
            return;
        recvBuffer.Remove(int(consumed));
        if (consumed == 0)
            break;
    }
    status.Clear(COM_RECEIVING);
}

void ComDevice::onTcpConnected()
{
    if (!status.Test(COM_ADDRESS))
        return;
    // Bytes of an earlier connection are no part of this one's stream.
    recvBuffer.Clear();
    status.Set(COM_CONNECTED);
    emit handleConnected();
}

void ComDevice::onTcpDisconed()
{
    socket->abort();
    status.Clear(COM_CONNECTED);
    recvBuffer.Clear();
    emit handleClosed();
}

qint64 ComDevice::LastReadMs() const
{
    return lastReadMs;
}

void ComDevice::onTcpRecved()
{
    // Taken as the bytes leave the socket: when this thread was held up,
    // frames that came in meanwhile share one stamp.
    QElapsedTimer clock;
    clock.start();
    lastReadMs = clock.msecsSinceReference();
    recvBuffer.Append(socket->readAll());
    ProcessReceived();
}
