#include "devlink/RecvPayloads.h"

#include "devlink/PayloadFields.h"

namespace {

const auto RecvParamLayout = [](auto& io, auto& param) {
    io.Field(param.ParamFs);
    io.Field(param.ParamPeriod);
    io.Field(param.ContinueMode);
    io.Field(param.SampleMode);
    io.Skip(56);
    io.Field(param.SendTime);
    io.Field(param.RateCode);
    io.Skip(4);
};

const auto AutoTimeChannelLayout = [](auto& io, auto& request) {
    io.Field(request.ParamFs);
    io.Field(request.ChannelCount);
};

} // namespace

QByteArray WriteRecvParam(const st_RecvParam& param)
{
    return WritePayload(param, RecvParamLayout);
}

st_RecvParam ReadRecvParam(const QByteArray& payload)
{
    return ReadPayload<st_RecvParam>(payload, RecvParamLayout);
}

QByteArray WriteAutoTimeChannel(const st_ConfigAutoTimeChannel_VRX2208& request)
{
    return WritePayload(request, AutoTimeChannelLayout);
}

st_ConfigAutoTimeChannel_VRX2208 ReadAutoTimeChannel(const QByteArray& payload)
{
    return ReadPayload<st_ConfigAutoTimeChannel_VRX2208>(payload, AutoTimeChannelLayout);
}

QByteArray WriteRecvTimeSync(double time)
{
    PayloadWriter writer;
    writer.Field(time);
    return writer.Payload();
}

QVector<float> ReadUploadSamples(const QByteArray& payload)
{
    if (payload.size() < kRecvUploadTrailerSize)
        return {};
    QVector<float> samples(payload.size() / 4 - 2);
    PayloadReader reader(payload);
    for (float& sample : samples)
        reader.Field(sample);
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
