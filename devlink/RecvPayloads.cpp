#include "devlink/RecvPayloads.h"

#include "devlink/PayloadFields.h"

QByteArray WriteRecvParam(const st_RecvParam& param)
{
    QByteArray out;
    out.reserve(kRecvParamSize);
    AppendF32(out, param.ParamFs);
    AppendI32(out, param.ParamPeriod);
    AppendI32(out, param.ContinueMode);
    AppendI32(out, param.SampleMode);
    AppendZeros(out, 56);
    AppendI64(out, param.SendTime);
    AppendI32(out, param.RateCode);
    AppendZeros(out, 4);
    return out;
}

QByteArray WriteAutoTimeChannel(const st_ConfigAutoTimeChannel_VRX2208& request)
{
    QByteArray out;
    out.reserve(kAutoTimeChannelSize);
    AppendF32(out, request.ParamFs);
    AppendU32(out, request.ChannelCount);
    return out;
}

QByteArray WriteRecvTimeSync(double time)
{
    QByteArray out;
    out.reserve(kRecvTimeSyncSize);
    AppendF64(out, time);
    return out;
}

quint32 ReadReplyStatus(const QByteArray& payload)
{
    return ReadU32At(payload, 0);
}

QVector<float> ReadUploadSamples(const QByteArray& payload)
{
    if (payload.size() < kRecvUploadTrailerSize)
        return {};
    const int count = payload.size() / 4 - 2;
    QVector<float> samples(count);
    for (int i = 0; i < count; ++i)
        samples[i] = ReadF32At(payload, 4 * i);
    return samples;
}

double RecvRateFromCode(qint32 rateCode)
{
    switch (rateCode) {
    case 1:
        return 78125.0;
    case 2:
        return 9765.0;
    case 3:
        return 1220.0;
    default:
        return kRecvNativeRate;
    }
}
