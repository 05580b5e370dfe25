#pragma once

#include "devlink/ComAddress.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QTimer>

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

private slots:
    void OnSended(QByteArray* frame);
    void OnReceived(QByteArray* buffer, uint32_t* consumed);
    void OnDeviceConnected();
    void OnDeviceClosed();

private:
    // Milliseconds on a monotonic clock, then a serial number, so requests
    // made in the same millisecond keep apart and stay in order.
    using Stamp = QPair<qint64, quint64>;

    Stamp NextStamp();
    void GiveUpAll();
    void Resend(const Stamp& stamp, QByteArray* frame);

    ComDevice* device;
    bool connected = false;
    // Requests are queued only while their frame is being handed to the
    // device: a write either succeeds at once or returns the frame.
    QMap<QByteArray*, quint32> queuedCommands;
    QMap<Stamp, QByteArray*> queuedTimes;
    QMap<QByteArray*, quint32> sentCommands;
    QMap<QByteArray*, int> retryCounts;
    QMap<Stamp, QByteArray*> sentTimes;
    QTimer timer;
    quint32 timeout = 100000;
    quint32 retryMax = 3;
    QElapsedTimer clock;
    quint64 stampSerial = 0;
};
