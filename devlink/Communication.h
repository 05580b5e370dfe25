#pragma once

#include "devlink/ComAddress.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <list>
#include <memory>

class ComDevice;

// Abstract link to one field unit: turns requests into frames, tracks each
// until its reply, times out and resends, and hands replies and unit reports
// to OnResponse. A reply names no more than its command, and a unit may still
// answer a request given up: one that was written takes the first reply of
// its command for LateReplyMs after its give-up, a newer request of that
// command being held until then. A new connection carries no reply of an
// earlier one and ends the wait.
class Communication : public QObject
{
    Q_OBJECT

public:
    explicit Communication(QObject* parent = nullptr);
    ~Communication() override;

    void SetAddress(const st_ComAddress& address);
    void Connect();
    void Disconnect();
    bool IsConnected() const;
    void SetTimeout(quint32 ms);
    void SetRetry(quint32 count);
    void SetLateReplyBound(quint32 ms);
    // Ends every outstanding request as failed: requests never outlive the
    // acquisition that made them. Their replies, up to LateReplyMs late,
    // answer nothing.
    void GiveUpRequests();
    // The same for the requests of one command.
    void GiveUpRequests(quint32 command);

    static constexpr quint32 LateReplyMs = 5000;

signals:
    void ComConnected();
    void ComClosed();

protected slots:
    void OnRequestTimout();

protected:
    // ok true: payload holds a reply or report, valid during the call only.
    // ok false: the request with this command failed; payload is null.
    virtual void OnResponse(quint32 command, bool ok, QByteArray* payload) = 0;

    // Every reply of this command says the same whichever of its requests it
    // answers, as a stop's does: one given up waits for no late reply, so no
    // request of it is held behind one, and a late reply answers the next.
    void SetInterchangeable(quint32 command);

    // Dropped without a callback while the link is down.
    void Send(quint32 command, const QByteArray& payload = QByteArray());
    bool SendRequest(quint32 command, const QByteArray& payload);
    // During OnResponse: monotonic ms of the socket read that completed the
    // frame being handled.
    qint64 ArrivalMs() const;

private slots:
    void OnLateReplyBound();
    void OnSended(QByteArray* frame);
    void OnReceived(QByteArray* buffer, uint32_t* consumed);
    void OnDeviceConnected();
    void OnDeviceClosed();

private:
    // One request from its asking to its reply, or to the end of the wait
    // for a late reply once it is given up.
    struct Pending
    {
        enum State { Held, Sent, GivenUp };
        quint64 id;
        quint32 command;
        State state;
        // Sent: time of the first transmission, which a resend keeps.
        // GivenUp: time of the give-up.
        qint64 sinceMs;
        quint32 retries;
        // Null once given up.
        std::unique_ptr<QByteArray> frame;
    };
    using Iterator = std::list<Pending>::iterator;

    bool Hand(QByteArray* frame);
    void Resend(quint64 id);
    Iterator Find(quint64 id);
    Iterator GiveUp(Iterator it);
    bool AwaitsLateReply(quint32 command) const;
    void GiveUpWhere(const std::function<bool(quint32)>& matches);
    void Release(quint32 command);
    void ArmLateReplyBound();
    void EndRequests();

    ComDevice* device;
    bool connected = false;
    // A request moves to the back when it is written: written ones are in
    // order of first transmission. A frame is written at once or handed back
    // by the device, so a request is written, held or not kept at all.
    std::list<Pending> pending;
    QByteArray* handing = nullptr;
    quint64 lastId = 0;
    QTimer timer;
    quint32 timeout = 100000;
    quint32 retryMax = 3;
    // Runs while a given-up request waits for its late reply.
    QTimer lateReplies;
    quint32 lateReplyBound = LateReplyMs;
    QSet<quint32> interchangeable;
    QElapsedTimer clock;
};
