#pragma once

#include "devlink/ComAddress.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <list>
#include <memory>

class ComDevice;

// Abstract link to one field unit: turns requests into frames, tracks each
// until its reply, times out and resends, and hands replies and unit reports
// to OnResponse.
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
    // Ends every outstanding request as failed, so that a late reply matches
    // nothing: requests never outlive the acquisition that made them.
    void GiveUpRequests();

signals:
    void ComConnected();
    void ComClosed();

protected slots:
    void OnRequestTimout();

protected:
    // ok true: payload holds a reply or report, valid during the call only.
    // ok false: the request with this command failed; payload is null.
    virtual void OnResponse(quint32 command, bool ok, QByteArray* payload) = 0;

    // Dropped without a callback while the link is down.
    void Send(quint32 command, const QByteArray& payload = QByteArray());
    bool SendRequest(quint32 command, const QByteArray& payload);
    // During OnResponse: monotonic ms of the socket read that completed the
    // frame being handled.
    qint64 ArrivalMs() const;

private slots:
    void OnSended(QByteArray* frame);
    void OnReceived(QByteArray* buffer, uint32_t* consumed);
    void OnDeviceConnected();
    void OnDeviceClosed();

private:
    // One request from its first transmission to its reply or its end.
    struct Pending
    {
        quint64 id;
        quint32 command;
        // Time of the first transmission; a resend keeps it.
        qint64 sentMs;
        quint32 retries;
        std::unique_ptr<QByteArray> frame;
    };

    bool Hand(QByteArray* frame);
    void Resend(quint64 id);
    std::list<Pending>::iterator Find(quint64 id);

    ComDevice* device;
    bool connected = false;
    // In order of first transmission. A frame is written at once or handed
    // back by the device, so only written requests are held here.
    std::list<Pending> pending;
    QByteArray* handing = nullptr;
    quint64 lastId = 0;
    QTimer timer;
    quint32 timeout = 100000;
    quint32 retryMax = 3;
    QElapsedTimer clock;
};
