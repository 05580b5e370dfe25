#include "devlink/SendPayloads.h"

#include "devlink/PayloadFields.h"

#include <algorithm>

namespace {

QVector<double> ReadWave(const QByteArray& payload, int offset, int count)
{
    const int held = std::max(0, (payload.size() - offset) / 4);
    const int kept = std::min(count, std::min(held, kSendWaveCapacity));
    QVector<double> wave(kept);
    for (int i = 0; i < kept; ++i)
        wave[i] = double(ReadF32At(payload, offset + 4 * i));
    return wave;
}

} // namespace

QByteArray WriteTEMSendInfo(const st_TEMSendInfo& info)
{
    QByteArray out;
    out.reserve(kTEMSendInfoSize);
    AppendF32(out, info.ParamFs);
    AppendI32(out, info.ParamPeriod);
    out.append(reinterpret_cast<const char*>(info.Options.data()), int(info.Options.size()));
    AppendI32(out, info.ContinueMode);
    AppendI32(out, info.Reserved);
    return out;
}

void ReadSendWaves(const QByteArray& payload, QVector<double>* sendWave, QVector<double>* offWave)
{
    quint32 sendCount = ReadU32At(payload, 0);
    quint32 offCount = ReadU32At(payload, 4);
    if (sendCount > quint32(kSendWaveCapacity) || offCount > quint32(kSendWaveCapacity)) {
        sendCount = kSendWaveCapacity;
        offCount = kSendWaveCapacity;
    }
    *sendWave = ReadWave(payload, kSendWaveOffset, int(sendCount));
    *offWave = ReadWave(payload, kOffWaveOffset, int(offCount));
}

bool ReadTEMSendMonitor(const QByteArray& payload, int offset, st_TEMSendMonitor* monitor)
{
    if (offset < 0 || payload.size() - offset < kTEMSendMonitorSize)
        return false;
    monitor->SendV = ReadF32At(payload, offset);
    monitor->DeviceV = ReadF32At(payload, offset + 4);
    monitor->DeviceTemp = ReadF32At(payload, offset + 8);
    ReadBytesAt(payload, offset + 12, int(monitor->Reserved.size()), monitor->Reserved.data());
    return true;
}

bool ReadDeviceInfo(const QByteArray& payload, st_DeviceInfo* info)
{
    if (payload.size() != kDeviceInfoSize)
        return false;
    ReadBytesAt(payload, 0, 8, info->Info0.data());
    ReadBytesAt(payload, 8, 8, info->Info1.data());
    ReadBytesAt(payload, 16, 8, info->Info2.data());
    return true;
}
