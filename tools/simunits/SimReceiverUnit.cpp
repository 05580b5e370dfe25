#include "tools/simunits/SimReceiverUnit.h"

#include "devlink/GateTable.h"
#include "devlink/RecvPayloads.h"
#include "tools/simunits/SimPayloads.h"
#include "tools/simunits/SimWaveforms.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

enum : quint32 {
    CmdConfig = 1,
    CmdStop = 2,
    CmdUpload = 3,
    CmdConfigTimeChannel = 1000,
    CmdAutoChannel = 1001,
    CmdTimeSync = 2000,
};

// Bounds the upload of a very low base frequency to a few MB.
constexpr double kMaxWaveformSamples = 1 << 20;

} // namespace

SimReceiverUnit::SimReceiverUnit(QObject* parent)
    : SimFrameServer(parent)
{
}

void SimReceiverUnit::SetReplyStatusZero(bool on)
{
    replyStatusZero = on;
}

void SimReceiverUnit::SetExtraRecords(int count)
{
    extraRecords = qMax(0, count);
}

void SimReceiverUnit::SetLateMs(int ms)
{
    lateMs = qMax(0, ms);
}

st_RecvParam SimReceiverUnit::Param() const
{
    return param;
}

QVector<st_TimeGate> SimReceiverUnit::Gates() const
{
    return gates;
}

void SimReceiverUnit::SendRecord()
{
    if (lateMs > 0)
        QTimer::singleShot(lateMs, this, &SimReceiverUnit::SendUpload);
    else
        SendUpload();
}

void SimReceiverUnit::SendUpload()
{
    for (int i = 0; i <= extraRecords; ++i) {
        const QVector<float> samples = param.SampleMode == 0 ? GatedSamples() : WaveformSamples();
        SendReport(CmdUpload, WriteUploadPayload(samples));
    }
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

void SimReceiverUnit::HandleRequest(quint32 command, const QByteArray& payload)
{
    if (replyStatusZero) {
        SendReplyStatus(command, 0);
        return;
    }
    switch (command) {
    case CmdConfig:
        param = ReadRecvParamPayload(payload);
        SendReplyStatus(command, 1);
        emit configured(param.ParamFs, param.ParamPeriod, param.ContinueMode != 0);
        break;
    case CmdStop:
        SendReplyStatus(command, 1);
        emit stopRequested();
        break;
    case CmdAutoChannel: {
        const st_ConfigAutoTimeChannel_VRX2208 request = ReadAutoTimeChannelPayload(payload);
        gates = MakeGateTable(request.ParamFs, float(kRecvNativeRate), request.ChannelCount);
        SendReplyStatus(command, 1);
        break;
    }
    case CmdConfigTimeChannel:
    case CmdTimeSync:
        SendReplyStatus(command, 1);
        break;
    default:
        SendReplyStatus(command, 0);
        break;
    }
}
