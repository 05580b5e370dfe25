#include "tools/simunits/SimTransmitterUnit.h"

#include "devlink/SendPayloads.h"
#include "tools/simunits/SimPayloads.h"
#include "tools/simunits/SimWaveforms.h"

#include <algorithm>

namespace {

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
    : SimFieldUnit(parent)
{
}

st_TEMSendInfo SimTransmitterUnit::Config() const
{
    return config;
}

void SimTransmitterUnit::SendRecordReports(std::optional<float> tag)
{
    QVector<float> wave = SimSendWave();
    if (tag)
        wave[0] = *tag;
    SendReport(SendCommand::WaveReport, WriteSendWavePayload(wave, SimOffWave(), Monitor()));
    SendReport(SendCommand::MonitorReport, WriteTEMSendMonitor(Monitor()));
}

std::optional<QByteArray> SimTransmitterUnit::CarryOut(quint32 command, const QByteArray& payload)
{
    switch (command) {
    case SendCommand::DeviceInfo:
        return WriteDeviceInfo(DeviceInfo());
    case SendCommand::Config:
        config = ReadTEMSendInfo(payload);
        emit configured(config.ParamFs, config.ParamPeriod, config.ContinueMode != 0);
        return Done();
    case SendCommand::Start:
        emit startRequested();
        return Done();
    case SendCommand::Stop:
        emit stopRequested();
        return Done();
    default:
        return std::nullopt;
    }
}
