#include "devlink/iLibSend.h"

#include "devlink/DevlinkMetaTypes.h"
#include "devlink/PayloadFields.h"
#include "devlink/SendPayloads.h"

namespace {

enum SendCommand : quint32 {
    CmdDeviceInfo = 0,
    CmdConfig = 1,
    CmdStart = 2,
    CmdStop = 5,
    CmdWaveReport = 6,
    CmdMonitorReport = 240,
};

} // namespace

iLibSend::iLibSend(QObject* parent)
    : Communication(parent)
{
    RegisterDevlinkMetaTypes();
}

void iLibSend::TEM_Config(st_TEMSendInfo* info)
{
    if (!info)
        return;
    SendFs = double(info->ParamFs);
    Send(CmdConfig, WriteTEMSendInfo(*info));
}

void iLibSend::TEM_Strat()
{
    Send(CmdStart, QByteArray());
}

void iLibSend::TEM_Stop()
{
    Send(CmdStop, QByteArray());
}

void iLibSend::GetDeviceInfo()
{
    Send(CmdDeviceInfo, QByteArray());
}

void iLibSend::OnResponse(quint32 command, bool ok, QByteArray* payload)
{
    if (!ok)
        return;
    const QByteArray bytes = payload ? *payload : QByteArray();

    switch (command) {
    case CmdConfig:
        emit TEM_Configed(ReadU32At(bytes, 0));
        break;
    case CmdStart:
        emit TEM_Strated(!bytes.isEmpty() && bytes.at(0) != 0);
        break;
    case CmdStop:
        emit TEM_Stoped();
        break;
    case CmdDeviceInfo: {
        st_DeviceInfo info;
        if (ReadDeviceInfo(bytes, &info))
            emit TEM_SendDeviceInfo(info);
        break;
    }
    case CmdWaveReport:
        ParseSendData(bytes);
        break;
    case CmdMonitorReport: {
        st_TEMSendMonitor monitor;
        if (ReadTEMSendMonitor(bytes, 0, &monitor))
            emit TEM_SendMonitor(monitor);
        break;
    }
    default:
        break;
    }
}

void iLibSend::ParseSendData(const QByteArray& payload)
{
    if (payload.isEmpty())
        return;

    st_TEMSendData data;
    data.SendFs = SendFs;
    data.SampleSendFs = kSendWaveRate;
    data.SampleOffFs = kSendWaveRate;
    ReadSendWaves(payload, &data.SendWave, &data.OffWave);
    emit TEM_NewSendData(data);

    // A report cut short carries no monitor values; zeros would be shown as
    // real readings.
    st_TEMSendMonitor monitor;
    if (ReadTEMSendMonitor(payload, kSendWaveMonitorOffset, &monitor))
        emit TEM_SendMonitor(monitor);
}
