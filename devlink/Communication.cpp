#include "devlink/Communication.h"

#include "devlink/ComDevice.h"
#include "devlink/FrameCodec.h"

#include <algorithm>

Communication::Communication(QObject* parent)
    : QObject(parent)
    , device(new ComDevice(this))
    , timer(this)
    , lateReplies(this)
{
    clock.start();
    lateReplies.setSingleShot(true);
    lateReplies.setTimerType(Qt::PreciseTimer);
    connect(&lateReplies, &QTimer::timeout, this, &Communication::OnLateReplyBound);
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
    EndRequests();
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

void Communication::SetLateReplyBound(quint32 ms)
{
    lateReplyBound = ms;
}

void Communication::SetInterchangeable(quint32 command)
{
    interchangeable.insert(command);
}

void Communication::Send(quint32 command, const QByteArray& payload)
{
    if (connected)
        SendRequest(command, payload);
}

bool Communication::SendRequest(quint32 command, const QByteArray& payload)
{
    std::unique_ptr<QByteArray> frame(BuildFrame(command, payload, FrameTypeRequest));
    // The late reply awaited would answer this request.
    if (AwaitsLateReply(command)) {
        pending.push_back({++lastId, command, Pending::Held, 0, 0, std::move(frame)});
        return true;
    }
    if (!Hand(frame.get()))
        return false;
    pending.push_back({++lastId, command, Pending::Sent, clock.elapsed(), 0, std::move(frame)});
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
        // Several requests with one command: the oldest written is answered
        // first, and one given up takes its reply unseen.
        const auto it = std::find_if(pending.begin(), pending.end(), [command](const Pending& p) {
            return p.command == command && p.state != Pending::Held;
        });
        if (it == pending.end())
            return;
        const bool givenUp = it->state == Pending::GivenUp;
        pending.erase(it);
        if (!givenUp) {
            OnResponse(command, true, payload.get());
            return;
        }
        ArmLateReplyBound();
        Release(command);
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
        if (p.state == Pending::Sent && now - p.sinceMs > qint64(timeout))
            expired.append(p.id);
    }
    for (quint64 id : qAsConst(expired)) {
        const auto it = Find(id);
        if (it == pending.end() || it->state != Pending::Sent)
            continue;
        if (it->retries < retryMax) {
            Resend(id);
            continue;
        }
        const quint32 command = it->command;
        GiveUp(it);
        ArmLateReplyBound();
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
    GiveUp(it);
    ArmLateReplyBound();
    OnResponse(command, false, nullptr);
}

Communication::Iterator Communication::Find(quint64 id)
{
    return std::find_if(pending.begin(), pending.end(), [id](const Pending& p) { return p.id == id; });
}

// A request once written may still be answered: it stays to take that
// reply. One held was never written, and goes; so does one whose reply any
// later request of its command may take.
Communication::Iterator Communication::GiveUp(Iterator it)
{
    if (it->state == Pending::Held || interchangeable.contains(it->command))
        return pending.erase(it);
    it->state = Pending::GivenUp;
    it->sinceMs = clock.elapsed();
    it->frame.reset();
    return std::next(it);
}

bool Communication::AwaitsLateReply(quint32 command) const
{
    return std::any_of(pending.begin(), pending.end(),
                       [command](const Pending& p) { return p.command == command && p.state == Pending::GivenUp; });
}

// Once no given-up request of their command is left, the held requests go
// out in the order they were asked.
void Communication::Release(quint32 command)
{
    if (AwaitsLateReply(command))
        return;
    QList<quint64> held;
    for (const Pending& p : pending) {
        if (p.command == command && p.state == Pending::Held)
            held.append(p.id);
    }
    // A failure callback may end, add or give up requests.
    for (quint64 id : qAsConst(held)) {
        const auto it = Find(id);
        if (it == pending.end())
            continue;
        if (!Hand(it->frame.get())) {
            pending.erase(it);
            OnResponse(command, false, nullptr);
            continue;
        }
        it->state = Pending::Sent;
        it->sinceMs = clock.elapsed();
        pending.splice(pending.end(), pending, it);
    }
}

void Communication::ArmLateReplyBound()
{
    qint64 first = -1;
    for (const Pending& p : pending) {
        if (p.state == Pending::GivenUp && (first < 0 || p.sinceMs < first))
            first = p.sinceMs;
    }
    if (first < 0) {
        lateReplies.stop();
        return;
    }
    lateReplies.start(int(std::max<qint64>(0, first + lateReplyBound - clock.elapsed())));
}

// A reply later than the bound is taken for lost: it would answer the next
// request of its command, as any reply does.
void Communication::OnLateReplyBound()
{
    const qint64 now = clock.elapsed();
    QList<quint32> ended;
    for (auto it = pending.begin(); it != pending.end();) {
        if (it->state == Pending::GivenUp && now - it->sinceMs >= qint64(lateReplyBound)) {
            ended.append(it->command);
            it = pending.erase(it);
        } else {
            ++it;
        }
    }
    ArmLateReplyBound();
    for (quint32 command : qAsConst(ended))
        Release(command);
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
    EndRequests();
    emit ComClosed();
}

void Communication::GiveUpRequests()
{
    GiveUpWhere([](quint32) { return true; });
}

void Communication::GiveUpRequests(quint32 command)
{
    GiveUpWhere([command](quint32 c) { return c == command; });
}

void Communication::GiveUpWhere(const std::function<bool(quint32)>& matches)
{
    QList<quint32> commands;
    for (auto it = pending.begin(); it != pending.end();) {
        if (it->state == Pending::GivenUp || !matches(it->command)) {
            ++it;
            continue;
        }
        commands.append(it->command);
        it = GiveUp(it);
    }
    ArmLateReplyBound();
    for (quint32 command : qAsConst(commands))
        OnResponse(command, false, nullptr);
}

// No reply of the connection that is gone can come on another: nothing
// waits for one.
void Communication::EndRequests()
{
    QList<quint32> commands;
    for (const Pending& p : pending) {
        if (p.state != Pending::GivenUp)
            commands.append(p.command);
    }
    pending.clear();
    lateReplies.stop();
    for (quint32 command : qAsConst(commands))
        OnResponse(command, false, nullptr);
}
