#include "devlink/ILibRecv_VRX2208.h"

#include "devlink/DevlinkMetaTypes.h"
#include "devlink/GateTable.h"
#include "devlink/PayloadFields.h"
#include "devlink/RecvPayloads.h"

#include <QDateTime>

namespace {

// Values too close to zero would break the logarithmic plots.
double ClampAwayFromZero(double v)
{
    if (v >= 0.0 && v < 1e-9)
        return 1e-9;
    if (v < 0.0 && v > -1e-9)
        return -1e-9;
    return v;
}

} // namespace

ILibRecv_VRX2208::ILibRecv_VRX2208(QObject* parent)
    : Communication(parent)
    , clock(&QDateTime::currentMSecsSinceEpoch)
{
    RegisterDevlinkMetaTypes();
    SetInterchangeable(RecvCommand::Stop);
}

void ILibRecv_VRX2208::SetClock(std::function<qint64()> clockSource)
{
    clock = std::move(clockSource);
}

void ILibRecv_VRX2208::RecvConfig(st_RecvParam* param)
{
    if (!param)
        return;
    recvParam = *param;
    recvParam.SendTime = clock();
    Send(RecvCommand::Config, WriteRecvParam(recvParam));
}

void ILibRecv_VRX2208::RecvStop()
{
    Send(RecvCommand::Stop, QByteArray());
}

void ILibRecv_VRX2208::RecvTimeSync(double time)
{
    Send(RecvCommand::TimeSync, WriteRecvTimeSync(time));
}

void ILibRecv_VRX2208::RecvConfig_AutoChannel(st_ConfigAutoTimeChannel_VRX2208* param)
{
    if (!param)
        return;
    autoChannel = *param;
    Send(RecvCommand::AutoChannel, WriteAutoTimeChannel(autoChannel));
}

void ILibRecv_VRX2208::OnResponse(quint32 command, bool ok, QByteArray* payload)
{
    if (!ok) {
        emit onRecvNoReply(command);
        return;
    }
    const QByteArray bytes = payload ? *payload : QByteArray();
    const bool status = ReadReplyStatus(bytes) != 0;

    switch (command) {
    case RecvCommand::Config:
        emit onRecvConfiged(status);
        break;
    case RecvCommand::Stop:
        emit onRecvStop(status);
        break;
    case RecvCommand::Upload:
        ParseRecvData(bytes);
        break;
    case RecvCommand::ConfigTimeChannel:
        emit onRecvConfigTimeChannel(status);
        break;
    case RecvCommand::AutoChannel:
        if (status)
            BuildGateTable(autoChannel.ParamFs, float(kRecvNativeRate), autoChannel.ChannelCount);
        emit onRecvAutoChannel(status);
        break;
    case RecvCommand::TimeSync:
        emit onRecvTimeSync(status);
        break;
    default:
        break;
    }
}

void ILibRecv_VRX2208::BuildGateTable(float f, float r, quint32 n)
{
    gates = MakeGateTable(f, r, n);
    gateFs = f;
    gateKind = 1;
    gateCount = gates.size();
}

void ILibRecv_VRX2208::ParseRecvData(const QByteArray& payload)
{
    st_RecvData_VRX2208 data;
    data.StartTime = clock();
    data.ArrivalMs = ArrivalMs();

    const QVector<float> samples = ReadUploadSamples(payload);
    const int count = samples.size();
    data.times.resize(count);
    data.widths.resize(count);
    data.values.resize(count);
    data.SendFs = recvParam.ParamFs;

    if (recvParam.SampleMode != 0) {
        data.TYPE = 2;
        if (recvParam.SampleMode == 1) {
            data.RecvFs = kRecvNativeRate;
            // A hundredth of a quarter period, in seconds.
            const double d = (1.0 / double(recvParam.ParamFs)) * 0.25 / 100.0;
            for (int i = 0; i < count; ++i) {
                data.times[i] = ((i + 1) * d + i * d) * 0.5;
                data.widths[i] = d * 100.0;
            }
        } else {
            data.RecvFs = RecvRateFromCode(recvParam.RateCode);
            const double d = 100000.0 / data.RecvFs;
            for (int i = 0; i < count; ++i) {
                data.times[i] = (i + 0.5) * d;
                data.widths[i] = d;
            }
        }
    } else {
        if (gateCount < count)
            return;
        data.TYPE = gateKind;
        data.RecvFs = kRecvNativeRate;
        for (int i = 0; i < count; ++i) {
            data.times[i] = (gates[i].start + gates[i].end) * 0.5;
            const double width = gates[i].end - gates[i].start;
            data.widths[i] = width < 0.01 ? 1.6 : width;
        }
    }

    for (int i = 0; i < count; ++i)
        data.values[i] = ClampAwayFromZero(double(samples[i]));

    emit onRecvData(data);
}
