#include "devlink/Communication.h"

#include "devlink/ComDevice.h"
#include "devlink/FrameCodec.h"

#include <algorithm>

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
}

void Communication::SetAddress(const st_ComAddress& address)
{
    timer.stop();
    device->Reset();
    device->SetAddress(address);
    connected = false;
    // A request meant for the old address must not reach a unit at the new one.
    GiveUpRequests();
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
    std::unique_ptr<QByteArray> frame(BuildFrame(command, payload, FrameTypeRequest));
    if (!Hand(frame.get()))
        return false;
    pending.push_back({++lastId, command, clock.elapsed(), 0, std::move(frame)});
    return true;
}

qint64 Communication::ArrivalMs() const
{
    return device->LastReadMs();
}

// True when the device wrote the frame; either way it stays ours.
bool Communication::Hand(QByteArray* frame)
{
    handing = frame;
    const bool written = device->Send(frame);
    handing = nullptr;
    return written;
}

void Communication::OnSended(QByteArray* frame)
{
    // The device passes ownership; a frame that is not the one being handed
    // over belongs to no request.
    if (frame != handing)
        delete frame;
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
        const auto it =
            std::find_if(pending.begin(), pending.end(), [command](const Pending& p) { return p.command == command; });
        if (it == pending.end())
            return;
        pending.erase(it);
        OnResponse(command, true, payload.get());
    } else if (type == FrameTypeRequest) {
        OnResponse(command, true, payload.get());
    }
}

void Communication::OnRequestTimout()
{
    const qint64 now = clock.elapsed();
    // Callbacks may end, add or give up requests: walk the ids of the
    // expired ones and look each up again.
    QList<quint64> expired;
    for (const Pending& p : pending) {
        if (now - p.sentMs > qint64(timeout))
            expired.append(p.id);
    }
    for (quint64 id : qAsConst(expired)) {
        const auto it = Find(id);
        if (it == pending.end())
            continue;
        if (it->retries < retryMax) {
            Resend(id);
            continue;
        }
        const quint32 command = it->command;
        pending.erase(it);
        OnResponse(command, false, nullptr);
    }
}

void Communication::Resend(quint64 id)
{
    const auto it = Find(id);
    ++it->retries;
    if (Hand(it->frame.get()))
        return;
    const quint32 command = it->command;
    pending.erase(it);
    OnResponse(command, false, nullptr);
}

std::list<Communication::Pending>::iterator Communication::Find(quint64 id)
{
    return std::find_if(pending.begin(), pending.end(), [id](const Pending& p) { return p.id == id; });
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
    GiveUpRequests();
    emit ComClosed();
}

void Communication::GiveUpRequests()
{
    QList<quint32> commands;
    for (const Pending& p : pending)
        commands.append(p.command);
    pending.clear();
    for (quint32 command : qAsConst(commands))
        OnResponse(command, false, nullptr);
}
