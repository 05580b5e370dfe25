#include "devlink/SendPayloads.h"

#include "devlink/PayloadFields.h"

#include <algorithm>

namespace {

const auto TEMSendInfoLayout = [](auto& io, auto& info) {
    io.Field(info.ParamFs);
    io.Field(info.ParamPeriod);
    io.Field(info.Options);
    io.Field(info.ContinueMode);
    io.Field(info.Reserved);
};

const auto MonitorLayout = [](auto& io, auto& monitor) {
    io.Field(monitor.SendV);
    io.Field(monitor.DeviceV);
    io.Field(monitor.DeviceTemp);
    io.Field(monitor.Reserved);
};

const auto DeviceInfoLayout = [](auto& io, auto& info) {
    io.Field(info.Info0);
    io.Field(info.Info1);
    io.Field(info.Info2);
};

QVector<double> ReadWave(const QByteArray& payload, int offset, int count)
{
    const int held = std::max(0, (payload.size() - offset) / 4);
    QVector<double> wave(std::min(count, std::min(held, kSendWaveCapacity)));
    PayloadReader reader(payload, offset);
    for (double& sample : wave)
        sample = double(reader.Next<float>());
    return wave;
}

} // namespace

QByteArray WriteTEMSendInfo(const st_TEMSendInfo& info)
{
    return WritePayload(info, TEMSendInfoLayout);
}

st_TEMSendInfo ReadTEMSendInfo(const QByteArray& payload)
{
    return ReadPayload<st_TEMSendInfo>(payload, TEMSendInfoLayout);
}

void ReadSendWaves(const QByteArray& payload, QVector<double>* sendWave, QVector<double>* offWave)
{
    PayloadReader counts(payload);
    quint32 sendCount = counts.Next<quint32>();
    quint32 offCount = counts.Next<quint32>();
    if (sendCount > quint32(kSendWaveCapacity) || offCount > quint32(kSendWaveCapacity)) {
        sendCount = kSendWaveCapacity;
        offCount = kSendWaveCapacity;
    }
    *sendWave = ReadWave(payload, kSendWaveOffset, int(sendCount));
    *offWave = ReadWave(payload, kOffWaveOffset, int(offCount));
}

QByteArray WriteTEMSendMonitor(const st_TEMSendMonitor& monitor)
{
    return WritePayload(monitor, MonitorLayout);
}

bool ReadTEMSendMonitor(const QByteArray& payload, int offset, st_TEMSendMonitor* monitor)
{
    if (offset < 0 || payload.size() - offset < kTEMSendMonitorSize)
        return false;
    *monitor = ReadPayload<st_TEMSendMonitor>(payload, MonitorLayout, offset);
    return true;
}

QByteArray WriteDeviceInfo(const st_DeviceInfo& info)
{
    return WritePayload(info, DeviceInfoLayout);
}

bool ReadDeviceInfo(const QByteArray& payload, st_DeviceInfo* info)
{
    if (payload.size() != kDeviceInfoSize)
        return false;
    *info = ReadPayload<st_DeviceInfo>(payload, DeviceInfoLayout);
    return true;
}
