#include "devlink/iLibSend.h"

#include "devlink/DevlinkMetaTypes.h"
#include "devlink/PayloadFields.h"
#include "devlink/SendPayloads.h"

iLibSend::iLibSend(QObject* parent)
    : Communication(parent)
{
    RegisterDevlinkMetaTypes();
    SetInterchangeable(SendCommand::Stop);
}

void iLibSend::TEM_Config(st_TEMSendInfo* info)
{
    if (!info)
        return;
    SendFs = double(info->ParamFs);
    Send(SendCommand::Config, WriteTEMSendInfo(*info));
}

void iLibSend::TEM_Strat()
{
    Send(SendCommand::Start, QByteArray());
}

void iLibSend::TEM_Stop()
{
    Send(SendCommand::Stop, QByteArray());
}

void iLibSend::GetDeviceInfo()
{
    Send(SendCommand::DeviceInfo, QByteArray());
}

void iLibSend::OnResponse(quint32 command, bool ok, QByteArray* payload)
{
    if (!ok) {
        emit TEM_NoReply(command);
        return;
    }
    const QByteArray bytes = payload ? *payload : QByteArray();

    switch (command) {
    case SendCommand::Config:
        emit TEM_Configed(ReadReplyStatus(bytes));
        break;
    case SendCommand::Start:
        emit TEM_Strated(!bytes.isEmpty() && bytes.at(0) != 0);
        break;
    case SendCommand::Stop:
        emit TEM_Stoped(ReadReplyStatus(bytes) != 0);
        break;
    case SendCommand::DeviceInfo: {
        st_DeviceInfo info;
        if (ReadDeviceInfo(bytes, &info))
            emit TEM_SendDeviceInfo(info);
        break;
    }
    case SendCommand::WaveReport:
        ParseSendData(bytes);
        break;
    case SendCommand::MonitorReport: {
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
    data.ArrivalMs = ArrivalMs();
    ReadSendWaves(payload, &data.SendWave, &data.OffWave);
    emit TEM_NewSendData(data);

    // A report cut short carries no monitor values; zeros would be shown as
    // real readings.
    st_TEMSendMonitor monitor;
    if (ReadTEMSendMonitor(payload, kSendWaveMonitorOffset, &monitor))
        emit TEM_SendMonitor(monitor);
}
