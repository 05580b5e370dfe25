#include "tools/simunits/SimPayloads.h"

#include "devlink/PayloadFields.h"
#include "devlink/SendPayloads.h"

#include <algorithm>

namespace {

void WriteWave(PayloadWriter& writer, const QVector<float>& wave)
{
    const int count = std::min(wave.size(), kSendWaveCapacity);
    for (int i = 0; i < count; ++i)
        writer.Field(wave[i]);
    writer.Skip(4 * (kSendWaveCapacity - count));
}

} // namespace

QByteArray WriteUploadPayload(const QVector<float>& samples)
{
    PayloadWriter writer;
    for (float sample : samples)
        writer.Field(sample);
    writer.Skip(kRecvUploadTrailerSize);
    return writer.Payload();
}

QByteArray WriteSendWavePayload(const QVector<float>& sendWave, const QVector<float>& offWave,
                                const st_TEMSendMonitor& monitor)
{
    PayloadWriter writer;
    writer.Field(qint32(std::min(sendWave.size(), kSendWaveCapacity)));
    writer.Field(qint32(std::min(offWave.size(), kSendWaveCapacity)));
    WriteWave(writer, sendWave);
    WriteWave(writer, offWave);
    return writer.Payload() + WriteTEMSendMonitor(monitor);
}
