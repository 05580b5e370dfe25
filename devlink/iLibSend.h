#pragma once

#include "devlink/Communication.h"
#include "devlink/SendRecords.h"

// Command set of the transmitter unit over one link, and its two kinds of
// unsolicited report: waveforms (6) and monitor values (240).
class iLibSend : public Communication
{
    Q_OBJECT

public:
    explicit iLibSend(QObject* parent = nullptr);

public slots:
    void TEM_Config(st_TEMSendInfo* info);
    void TEM_Strat();
    void TEM_Stop();
    void GetDeviceInfo();

signals:
    void TEM_Configed(uint status);
    void TEM_Strated(bool started);
    // accepted: the reply's status is not 0; a unit that refused runs on.
    void TEM_Stoped(bool accepted);
    void TEM_NewSendData(st_TEMSendData data);
    void TEM_SendMonitor(st_TEMSendMonitor monitor);
    void TEM_SendDeviceInfo(st_DeviceInfo info);
    // The link gave up the request with this command without a reply.
    void TEM_NoReply(quint32 command);

protected:
    void OnResponse(quint32 command, bool ok, QByteArray* payload) override;

private:
    void ParseSendData(const QByteArray& payload);

    double SendFs = 200.0;
};
