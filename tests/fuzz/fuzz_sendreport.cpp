// The transmitter link fed a configuration and then any sequence of replies
// and reports with any payloads: a waveform never holds more than the 500
// samples the report has room for nor more than its payload really carries,
// and monitor values come only from a payload that holds them.

#include "devlink/SendPayloads.h"
#include "devlink/iLibSend.h"

#include <QCoreApplication>

#include "FuzzReader.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

class FuzzedTransmitter : public iLibSend
{
public:
    using iLibSend::OnResponse;
};

const quint32 Commands[] = {SendCommand::DeviceInfo, SendCommand::Config,     SendCommand::Start,
                            SendCommand::Stop,       SendCommand::WaveReport, SendCommand::MonitorReport};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReader input(data, size);

    st_TEMSendInfo info;
    info.ParamFs = input.Take<float>();

    FuzzedTransmitter transmitter;
    quint32 command = 0;
    int length = 0;
    QObject::connect(&transmitter, &iLibSend::TEM_NewSendData, [&](const st_TEMSendData& record) {
        Require(command == SendCommand::WaveReport);
        Require(record.SendWave.size() <= std::min(kSendWaveCapacity, std::max(0, (length - kSendWaveOffset) / 4)));
        Require(record.OffWave.size() <= std::min(kSendWaveCapacity, std::max(0, (length - kOffWaveOffset) / 4)));
    });
    QObject::connect(&transmitter, &iLibSend::TEM_SendMonitor, [&](const st_TEMSendMonitor&) {
        const int offset = command == SendCommand::WaveReport ? kSendWaveMonitorOffset : 0;
        Require(length >= offset + kTEMSendMonitorSize);
    });
    QObject::connect(&transmitter, &iLibSend::TEM_SendDeviceInfo,
                     [&](const st_DeviceInfo&) { Require(length == kDeviceInfoSize); });

    transmitter.TEM_Config(&info);
    while (!input.AtEnd()) {
        command = Commands[input.Take<quint8>() % std::size(Commands)];
        QByteArray payload = input.TakeBytes(input.Take<quint16>());
        length = payload.size();
        transmitter.OnResponse(command, true, &payload);
    }
    return 0;
}
