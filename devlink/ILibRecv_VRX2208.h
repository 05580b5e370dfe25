#pragma once

#include "devlink/Communication.h"
#include "devlink/RecvRecords.h"

#include <QVector>

#include <functional>

// Command set of the receiver unit over one link. Keeps the last
// configuration and time-channel request it sent, because every later upload
// is read by them.
class ILibRecv_VRX2208 : public Communication
{
    Q_OBJECT

public:
    explicit ILibRecv_VRX2208(QObject* parent = nullptr);

    // Source of the ms-since-epoch stamps of configurations and records;
    // the system clock unless a test fixes it.
    void SetClock(std::function<qint64()> clock);

public slots:
    void RecvConfig(st_RecvParam* param);
    void RecvStop();
    void RecvTimeSync(double time);
    void RecvConfig_AutoChannel(st_ConfigAutoTimeChannel_VRX2208* param);

signals:
    void onRecvConfiged(bool ok);
    // accepted: the reply's status is not 0; a unit that refused runs on.
    void onRecvStop(bool accepted);
    void onRecvData(st_RecvData_VRX2208 data);
    void onRecvConfigTimeChannel(bool ok);
    void onRecvAutoChannel(bool ok);
    void onRecvTimeSync(bool ok);
    // The link gave up the request with this command without a reply.
    void onRecvNoReply(quint32 command);

protected:
    void OnResponse(quint32 command, bool ok, QByteArray* payload) override;

private:
    void BuildGateTable(float f, float r, quint32 n);
    void ParseRecvData(const QByteArray& payload);

    st_RecvParam recvParam;
    float gateFs = 0.0f;
    int gateCount = 0;
    // A gated upload without samples before any table still is a gated record.
    int gateKind = 1;
    QVector<st_TimeGate> gates;
    st_ConfigAutoTimeChannel_VRX2208 autoChannel;
    std::function<qint64()> clock;
};
