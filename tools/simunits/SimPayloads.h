#pragma once

#include "devlink/RecvRecords.h"
#include "devlink/SendRecords.h"

#include <QByteArray>
#include <QVector>

// The unit side of the payload layouts: what the simulated units read from
// the system's commands and write into their replies and reports.

st_RecvParam ReadRecvParamPayload(const QByteArray& payload);
st_ConfigAutoTimeChannel_VRX2208 ReadAutoTimeChannelPayload(const QByteArray& payload);
st_TEMSendInfo ReadTEMSendInfoPayload(const QByteArray& payload);

// Four-byte little-endian status that opens every reply.
QByteArray WriteStatusPayload(quint32 status);

// Receiver upload (report 3): the samples, then the 8-byte trailer.
QByteArray WriteUploadPayload(const QVector<float>& samples);

// Transmitter waveform report (report 6), always the full 4024 bytes; waves
// longer than 500 samples are cut.
QByteArray WriteSendWavePayload(const QVector<float>& sendWave, const QVector<float>& offWave,
                                const st_TEMSendMonitor& monitor);

QByteArray WriteTEMSendMonitorPayload(const st_TEMSendMonitor& monitor);
QByteArray WriteDeviceInfoPayload(const st_DeviceInfo& info);
