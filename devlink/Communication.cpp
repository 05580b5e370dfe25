#include "devlink/Communication.h"

#include "devlink/ComDevice.h"
#include "devlink/FrameCodec.h"

#include <memory>

Communication::Communication(QObject* parent)
    : QObject(parent)
    , device(new ComDevice(this))
    , timer(this)
{
    clock.start();
    connect(device, &ComDevice::handleConnected, this, &Communication::OnDeviceConnected);
    connect(device, &ComDevice::handleClosed, this, &Communication::OnDeviceClosed);
    connect(device, &ComDevice::handleSended, this, &Communication::OnSended);
    connect(device, &ComDevice::handleReceived, this, &Communication::OnReceived);
    connect(&timer, &QTimer::timeout, this, &Communication::OnRequestTimout);
}

Communication::~Communication()
{
    timer.disconnect(this);
    device->disconnect(this);
    timer.stop();
    device->Reset();
    qDeleteAll(sentCommands.keys());
}

void Communication::SetAddress(const st_ComAddress& address)
{
    timer.stop();
    device->Reset();
    device->SetAddress(address);
    connected = false;
    // A request meant for the old address must not reach a unit at the new one.
    GiveUpAll();
    timer.start(1000);
}

void Communication::Connect()
{
    if (!connected)
        device->Connect();
}

void Communication::Disconnect()
{
    if (connected)
        device->Disconnect();
}

bool Communication::IsConnected() const
{
    return connected;
}

void Communication::SetTimeout(quint32 ms)
{
    timeout = ms;
}

void Communication::SetRetry(quint32 count)
{
    retryMax = count;
}

void Communication::Send(quint32 command, const QByteArray& payload)
{
    if (connected)
        SendRequest(command, payload);
}

bool Communication::SendRequest(quint32 command, const QByteArray& payload)
{
    QByteArray* frame = BuildFrame(command, payload, FrameTypeRequest);
    const Stamp stamp = NextStamp();
    queuedCommands.insert(frame, command);
    queuedTimes.insert(stamp, frame);
    retryCounts.insert(frame, 0);
    if (device->Send(frame))
        return true;
    queuedCommands.remove(frame);
    queuedTimes.remove(stamp);
    retryCounts.remove(frame);
    delete frame;
    return false;
}

void Communication::OnSended(QByteArray* frame)
{
    if (!queuedCommands.contains(frame)) {
        delete frame;
        return;
    }
    const quint32 command = queuedCommands.take(frame);
    const Stamp stamp = queuedTimes.key(frame);
    queuedTimes.remove(stamp);
    sentCommands.insert(frame, command);
    sentTimes.insert(stamp, frame);
}

void Communication::OnReceived(QByteArray* buffer, uint32_t* consumed)
{
    QByteArray frame;
    if (!ParseFrame(*buffer, frame, *consumed))
        return;
    const quint16 type = GetFrameType(frame);
    const quint32 command = GetFrameCommand(frame);
    const std::unique_ptr<QByteArray> payload(GetFramePayload(frame));

    if (type == FrameTypeReply) {
        // Several requests with one command: the oldest is answered first.
        for (auto it = sentTimes.begin(); it != sentTimes.end(); ++it) {
            QByteArray* request = it.value();
            if (sentCommands.value(request) != command)
                continue;
            sentTimes.erase(it);
            sentCommands.remove(request);
            retryCounts.remove(request);
            delete request;
            OnResponse(command, true, payload.get());
            return;
        }
    } else if (type == FrameTypeRequest) {
        OnResponse(command, true, payload.get());
    }
}

void Communication::OnRequestTimout()
{
    const qint64 now = clock.elapsed();
    // Callbacks may end, add or give up requests: walk a snapshot and look
    // each one up again by its stamp, which is never reused.
    QList<Stamp> expired;
    for (auto it = sentTimes.cbegin(); it != sentTimes.cend(); ++it) {
        if (now - it.key().first > qint64(timeout))
            expired.append(it.key());
    }
    for (const Stamp& stamp : expired) {
        QByteArray* frame = sentTimes.value(stamp);
        if (!frame)
            continue;
        if (quint32(retryCounts.value(frame)) < retryMax) {
            Resend(stamp, frame);
            continue;
        }
        const quint32 command = sentCommands.take(frame);
        sentTimes.remove(stamp);
        retryCounts.remove(frame);
        delete frame;
        OnResponse(command, false, nullptr);
    }
}

void Communication::Resend(const Stamp& stamp, QByteArray* frame)
{
    const quint32 command = sentCommands.take(frame);
    sentTimes.remove(stamp);
    retryCounts[frame] += 1;
    queuedCommands.insert(frame, command);
    queuedTimes.insert(stamp, frame);
    if (device->Send(frame))
        return;
    queuedCommands.remove(frame);
    queuedTimes.remove(stamp);
    retryCounts.remove(frame);
    delete frame;
    OnResponse(command, false, nullptr);
}

void Communication::OnDeviceConnected()
{
    connected = true;
    emit ComConnected();
}

void Communication::OnDeviceClosed()
{
    connected = false;
    // Outstanding requests end with the connection; resending them on a
    // later one could start a unit minutes after the operator asked.
    GiveUpAll();
    emit ComClosed();
}

Communication::Stamp Communication::NextStamp()
{
    return Stamp(clock.elapsed(), ++stampSerial);
}

void Communication::GiveUpAll()
{
    QList<QPair<quint32, QByteArray*>> given;
    for (QByteArray* frame : qAsConst(sentTimes))
        given.append(qMakePair(sentCommands.value(frame), frame));
    sentTimes.clear();
    sentCommands.clear();
    for (const auto& request : qAsConst(given)) {
        retryCounts.remove(request.second);
        delete request.second;
    }
    for (const auto& request : qAsConst(given))
        OnResponse(request.first, false, nullptr);
}
