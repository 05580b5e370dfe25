// The receiver link fed a configuration and then any sequence of replies and
// uploads with any payloads: every record it emits must hold one time, one
// width and one value per channel, a gated record no more channels than the
// table has gates, and no value so close to zero that a log axis breaks.

#include "devlink/GateTable.h"
#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/RecvPayloads.h"

#include <QCoreApplication>

#include "FuzzReader.h"

#include <cmath>
#include <cstdint>
#include <iterator>

namespace {

class FuzzedReceiver : public ILibRecv_VRX2208
{
public:
    using ILibRecv_VRX2208::OnResponse;
};

const quint32 Commands[] = {RecvCommand::Config,      RecvCommand::Stop,
                            RecvCommand::Upload,      RecvCommand::ConfigTimeChannel,
                            RecvCommand::AutoChannel, RecvCommand::TimeSync};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReader input(data, size);

    st_RecvParam param;
    param.ParamFs = input.Take<float>();
    param.SampleMode = input.Take<qint32>();
    param.RateCode = input.Take<qint32>();
    st_ConfigAutoTimeChannel_VRX2208 autoChannel;
    autoChannel.ParamFs = input.Take<float>();
    // Counts up to 4095 take in the 1250 the collector sends; the gate
    // table target covers larger ones.
    autoChannel.ChannelCount = input.Take<quint16>() % 4096;

    FuzzedReceiver receiver;
    receiver.SetClock([] { return qint64(0); });
    int gateCount = 0;
    QObject::connect(&receiver, &ILibRecv_VRX2208::onRecvAutoChannel, [&](bool ok) {
        if (ok)
            gateCount = MakeGateTable(autoChannel.ParamFs, float(kRecvNativeRate), autoChannel.ChannelCount).size();
    });
    QObject::connect(&receiver, &ILibRecv_VRX2208::onRecvData, [&](const st_RecvData_VRX2208& record) {
        const int count = record.values.size();
        Require(record.times.size() == count && record.widths.size() == count);
        Require(record.TYPE == 1 || record.TYPE == 2);
        Require(record.TYPE == 2 || count <= gateCount);
        for (double v : record.values)
            Require(!(std::fabs(v) < 1e-9));
    });

    receiver.RecvConfig(&param);
    receiver.RecvConfig_AutoChannel(&autoChannel);
    while (!input.AtEnd()) {
        const quint32 command = Commands[input.Take<quint8>() % std::size(Commands)];
        QByteArray payload = input.TakeBytes(input.Take<quint16>());
        receiver.OnResponse(command, true, &payload);
    }
    return 0;
}
