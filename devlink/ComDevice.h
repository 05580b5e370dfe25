#pragma once

#include "devlink/ComAddress.h"
#include "devlink/ComBuffer_Array.h"
#include "devlink/ComBuffer_List.h"
#include "devlink/ComStatus.h"

#include <QObject>
#include <QString>

class QTcpSocket;

// TCP client to one field unit: writes one frame at a time and hands the
// receive buffer to its user until no further frame can be cut from it.
class ComDevice : public QObject
{
    Q_OBJECT

public:
    explicit ComDevice(QObject* parent = nullptr);
    ~ComDevice() override;

    void SetAddress(const st_ComAddress& address);
    void Reset();
    bool Connect();
    void Disconnect();
    bool Write(const QByteArray& frame);
    bool Flush();
    // True: the frame was written and went out with handleSended. False: it
    // was not written and stays with the caller; nothing is left queued, so
    // a later send never writes this frame in place of its own.
    bool Send(QByteArray* frame);
    void ProcessReceived();
    // Monotonic ms of the last read from the socket: every frame cut after
    // it was completed by it.
    qint64 LastReadMs() const;

signals:
    void handleConnected();
    void handleClosed();
    // The receiver takes ownership of data.
    void handleSended(QByteArray* data);
    // data is the receive buffer itself; the receiver cuts at most one frame
    // and stores in size how many bytes to drop from its front.
    void handleReceived(QByteArray* data, uint32_t* size);

private slots:
    void onTcpConnected();
    void onTcpDisconed();
    void onTcpRecved();

private:
    QString ip;
    quint16 port = 0;
    QTcpSocket* socket;
    ComStatus status;
    ComBuffer_List sendQueue;
    ComBuffer_Array recvBuffer;
    qint64 lastReadMs = 0;
};
