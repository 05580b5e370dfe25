#include "tools/simunits/SimTransmitterUnit.h"

#include "tools/simunits/SimPayloads.h"
#include "tools/simunits/SimWaveforms.h"

#include <QTimer>

#include <algorithm>

namespace {

enum : quint32 {
    CmdDeviceInfo = 0,
    CmdConfig = 1,
    CmdStart = 2,
    CmdStop = 5,
    CmdWaveReport = 6,
    CmdMonitorReport = 240,
};

st_TEMSendMonitor Monitor()
{
    st_TEMSendMonitor monitor;
    monitor.SendV = 48.0f;
    monitor.DeviceV = 24.5f;
    monitor.DeviceTemp = 36.0f;
    return monitor;
}

st_DeviceInfo DeviceInfo()
{
    st_DeviceInfo info;
    const QByteArray name("SIM-TX01V1.00   ", 16);
    std::copy(name.begin(), name.begin() + 8, info.Info0.begin());
    std::copy(name.begin() + 8, name.end(), info.Info1.begin());
    return info;
}

} // namespace

SimTransmitterUnit::SimTransmitterUnit(QObject* parent)
    : SimFrameServer(parent)
{
}

void SimTransmitterUnit::SetReplyStatusZero(bool on)
{
    replyStatusZero = on;
}

void SimTransmitterUnit::SetExtraRecords(int count)
{
    extraRecords = qMax(0, count);
}

void SimTransmitterUnit::SetLateMs(int ms)
{
    lateMs = qMax(0, ms);
}

st_TEMSendInfo SimTransmitterUnit::Config() const
{
    return config;
}

void SimTransmitterUnit::SendRecord()
{
    if (lateMs > 0)
        QTimer::singleShot(lateMs, this, &SimTransmitterUnit::SendReports);
    else
        SendReports();
}

void SimTransmitterUnit::SendReports()
{
    const QByteArray waves = WriteSendWavePayload(SimSendWave(), SimOffWave(), Monitor());
    const QByteArray monitor = WriteTEMSendMonitorPayload(Monitor());
    for (int i = 0; i <= extraRecords; ++i) {
        SendReport(CmdWaveReport, waves);
        SendReport(CmdMonitorReport, monitor);
    }
}

void SimTransmitterUnit::HandleRequest(quint32 command, const QByteArray& payload)
{
    if (replyStatusZero) {
        SendReplyStatus(command, 0);
        return;
    }
    switch (command) {
    case CmdDeviceInfo:
        SendReply(command, WriteDeviceInfoPayload(DeviceInfo()));
        break;
    case CmdConfig:
        config = ReadTEMSendInfoPayload(payload);
        SendReplyStatus(command, 1);
        emit configured(config.ParamFs, config.ParamPeriod, config.ContinueMode != 0);
        break;
    case CmdStart:
        SendReplyStatus(command, 1);
        emit startRequested();
        break;
    case CmdStop:
        SendReplyStatus(command, 1);
        emit stopRequested();
        break;
    default:
        SendReplyStatus(command, 0);
        break;
    }
}
