#pragma once

#include "devlink/RecvPayloads.h"
#include "devlink/SendRecords.h"

#include <QByteArray>
#include <QVector>

// The reports only a unit writes; the other layouts come from devlink, which
// reads and writes them both ways.

// Receiver upload (report 3): the samples, then the 8-byte trailer.
QByteArray WriteUploadPayload(const QVector<float>& samples);

// Transmitter waveform report (report 6), always the full 4024 bytes; waves
// longer than 500 samples are cut.
QByteArray WriteSendWavePayload(const QVector<float>& sendWave, const QVector<float>& offWave,
                                const st_TEMSendMonitor& monitor);

// The receiver's reading of a time-channel request.
inline st_ConfigAutoTimeChannel_VRX2208 ReadAutoTimeChannelPayload(const QByteArray& payload)
{
    return ReadAutoTimeChannel(payload);
}
