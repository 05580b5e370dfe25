#include "tools/simunits/SimPayloads.h"

#include "devlink/PayloadFields.h"
#include "devlink/RecvPayloads.h"
#include "devlink/SendPayloads.h"

#include <algorithm>

namespace {

void AppendBytes(QByteArray& out, const quint8* bytes, int count)
{
    out.append(reinterpret_cast<const char*>(bytes), count);
}

void AppendWave(QByteArray& out, const QVector<float>& wave)
{
    const int count = std::min(wave.size(), kSendWaveCapacity);
    for (int i = 0; i < count; ++i)
        AppendF32(out, wave[i]);
    AppendZeros(out, 4 * (kSendWaveCapacity - count));
}

} // namespace

st_RecvParam ReadRecvParamPayload(const QByteArray& payload)
{
    st_RecvParam param;
    param.ParamFs = ReadF32At(payload, 0);
    param.ParamPeriod = ReadI32At(payload, 4);
    param.ContinueMode = ReadI32At(payload, 8);
    param.SampleMode = ReadI32At(payload, 12);
    param.SendTime = ReadI64At(payload, 72);
    param.RateCode = ReadI32At(payload, 80);
    return param;
}

st_ConfigAutoTimeChannel_VRX2208 ReadAutoTimeChannelPayload(const QByteArray& payload)
{
    st_ConfigAutoTimeChannel_VRX2208 request;
    request.ParamFs = ReadF32At(payload, 0);
    request.ChannelCount = ReadU32At(payload, 4);
    return request;
}

st_TEMSendInfo ReadTEMSendInfoPayload(const QByteArray& payload)
{
    st_TEMSendInfo info;
    info.ParamFs = ReadF32At(payload, 0);
    info.ParamPeriod = ReadI32At(payload, 4);
    ReadBytesAt(payload, 8, int(info.Options.size()), info.Options.data());
    info.ContinueMode = ReadI32At(payload, 16);
    info.Reserved = ReadI32At(payload, 20);
    return info;
}

QByteArray WriteStatusPayload(quint32 status)
{
    QByteArray out;
    AppendU32(out, status);
    return out;
}

QByteArray WriteUploadPayload(const QVector<float>& samples)
{
    QByteArray out;
    out.reserve(4 * samples.size() + kRecvUploadTrailerSize);
    for (float sample : samples)
        AppendF32(out, sample);
    AppendZeros(out, kRecvUploadTrailerSize);
    return out;
}

QByteArray WriteSendWavePayload(const QVector<float>& sendWave, const QVector<float>& offWave,
                                const st_TEMSendMonitor& monitor)
{
    QByteArray out;
    out.reserve(kSendWaveReportSize);
    AppendI32(out, std::min(sendWave.size(), kSendWaveCapacity));
    AppendI32(out, std::min(offWave.size(), kSendWaveCapacity));
    AppendWave(out, sendWave);
    AppendWave(out, offWave);
    out.append(WriteTEMSendMonitorPayload(monitor));
    return out;
}

QByteArray WriteTEMSendMonitorPayload(const st_TEMSendMonitor& monitor)
{
    QByteArray out;
    out.reserve(kTEMSendMonitorSize);
    AppendF32(out, monitor.SendV);
    AppendF32(out, monitor.DeviceV);
    AppendF32(out, monitor.DeviceTemp);
    AppendBytes(out, monitor.Reserved.data(), int(monitor.Reserved.size()));
    return out;
}

QByteArray WriteDeviceInfoPayload(const st_DeviceInfo& info)
{
    QByteArray out;
    out.reserve(kDeviceInfoSize);
    AppendBytes(out, info.Info0.data(), int(info.Info0.size()));
    AppendBytes(out, info.Info1.data(), int(info.Info1.size()));
    AppendBytes(out, info.Info2.data(), int(info.Info2.size()));
    return out;
}
