#pragma once

#include "devlink/SendRecords.h"
#include "tools/simunits/SimFrameServer.h"

// The transmitter unit: answers configuration (1), start (2), stop (5) and
// device information (0), and uploads a waveform report (6) followed by a
// monitor report (240) for every record. When records are due is decided
// by SimUnitPair, which owns it.
class SimTransmitterUnit : public SimFrameServer
{
    Q_OBJECT

public:
    explicit SimTransmitterUnit(QObject* parent = nullptr);

    // Fault switches, beside those of SimFrameServer (SetNoReply,
    // SetCloseAfterRequests, CloseConnection, SetListening and so on).
    // Replies carry status 0 and the unit does not carry the command out.
    void SetReplyStatusZero(bool on);
    // Every record is followed by this many more copies of its reports.
    void SetExtraRecords(int count);
    // Every record goes out this many ms after it is due.
    void SetLateMs(int ms);

    // The last configuration the unit accepted.
    st_TEMSendInfo Config() const;

    // The reports of one record (obeying the extra and late switches).
    void SendRecord();

signals:
    void configured(float fs, int periods, bool continuous);
    void startRequested();
    void stopRequested();

protected:
    void HandleRequest(quint32 command, const QByteArray& payload) override;

private:
    void SendReports();

    bool replyStatusZero = false;
    int extraRecords = 0;
    int lateMs = 0;
    st_TEMSendInfo config;
};
