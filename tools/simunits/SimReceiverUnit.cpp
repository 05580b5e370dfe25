#include "tools/simunits/SimReceiverUnit.h"

#include "devlink/GateTable.h"
#include "devlink/RecvPayloads.h"
#include "tools/simunits/SimPayloads.h"
#include "tools/simunits/SimWaveforms.h"

#include <algorithm>
#include <cmath>

namespace {

// Bounds the upload of a very low base frequency to a few MB.
constexpr double kMaxWaveformSamples = 1 << 20;

} // namespace

SimReceiverUnit::SimReceiverUnit(QObject* parent)
    : SimFieldUnit(parent)
{
}

st_RecvParam SimReceiverUnit::Param() const
{
    return param;
}

QVector<st_TimeGate> SimReceiverUnit::Gates() const
{
    return gates;
}

void SimReceiverUnit::SendRecordReports(std::optional<float> tag)
{
    QVector<float> samples = param.SampleMode == 0 ? GatedSamples() : WaveformSamples();
    if (tag && !samples.isEmpty())
        samples[0] = *tag;
    SendReport(RecvCommand::Upload, WriteUploadPayload(samples));
}

QVector<float> SimReceiverUnit::GatedSamples()
{
    QVector<float> samples(gates.size());
    for (int i = 0; i < gates.size(); ++i)
        samples[i] = Noisy(SimDecayVoltage((gates[i].start + gates[i].end) * 0.5));
    return samples;
}

QVector<float> SimReceiverUnit::WaveformSamples()
{
    const double rate = param.SampleMode == 1 ? kRecvNativeRate : RecvRateFromCode(param.RateCode);
    const double quarterPeriod = param.ParamFs > 0.0f ? 0.25 / double(param.ParamFs) : 0.0;
    const int count = int(std::min(std::floor(quarterPeriod * rate), kMaxWaveformSamples));
    QVector<float> samples(count);
    for (int i = 0; i < count; ++i)
        samples[i] = Noisy(SimDecayVoltage((i + 0.5) * 1e6 / rate));
    return samples;
}

float SimReceiverUnit::Noisy(double value)
{
    return float(value * (1.0 + 0.02 * (2.0 * noise.generateDouble() - 1.0)));
}

std::optional<QByteArray> SimReceiverUnit::CarryOut(quint32 command, const QByteArray& payload)
{
    switch (command) {
    case RecvCommand::Config:
        param = ReadRecvParam(payload);
        emit configured(param.ParamFs, param.ParamPeriod, param.ContinueMode != 0);
        return Done();
    case RecvCommand::Stop:
        emit stopRequested();
        return Done();
    case RecvCommand::AutoChannel: {
        const st_ConfigAutoTimeChannel_VRX2208 request = ReadAutoTimeChannel(payload);
        gates = MakeGateTable(request.ParamFs, float(kRecvNativeRate), request.ChannelCount);
        return Done();
    }
    case RecvCommand::ConfigTimeChannel:
    case RecvCommand::TimeSync:
        return Done();
    default:
        return std::nullopt;
    }
}
