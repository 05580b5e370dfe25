#pragma once

#include "devlink/RecvRecords.h"

#include <QByteArray>
#include <QVector>

// Wire layouts of the receiver unit's commands and reports.

constexpr int kRecvParamSize = 88;        // command 1
constexpr int kAutoTimeChannelSize = 8;   // command 1001
constexpr int kRecvTimeSyncSize = 8;      // command 2000
constexpr int kRecvUploadTrailerSize = 8; // closes every upload (command 3), not read
constexpr double kRecvNativeRate = 625000.0;

QByteArray WriteRecvParam(const st_RecvParam& param);
QByteArray WriteAutoTimeChannel(const st_ConfigAutoTimeChannel_VRX2208& request);
QByteArray WriteRecvTimeSync(double time);

// First four payload bytes of a reply; missing bytes count as zero.
quint32 ReadReplyStatus(const QByteArray& payload);

// The f32 samples of an upload, without its trailer: payload length / 4 - 2
// of them, none when the payload is shorter than the trailer.
QVector<float> ReadUploadSamples(const QByteArray& payload);

// Sample rate of a full-waveform record for a RateCode; unknown codes mean
// the native rate.
double RecvRateFromCode(qint32 rateCode);
