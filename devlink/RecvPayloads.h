#pragma once

#include "devlink/RecvRecords.h"

#include <QByteArray>
#include <QVector>

// Command set and wire layouts of the receiver unit.

namespace RecvCommand {
enum : quint32 {
    Config = 1, // st_RecvParam, 88 bytes
    Stop = 2,
    Upload = 3, // report: f32 samples, then an 8-byte trailer
    ConfigTimeChannel = 1000,
    AutoChannel = 1001, // st_ConfigAutoTimeChannel_VRX2208, 8 bytes
    TimeSync = 2000,    // f64 time
};
}

constexpr int kRecvUploadTrailerSize = 8; // closes every upload, not read
constexpr double kRecvNativeRate = 625000.0;

QByteArray WriteRecvParam(const st_RecvParam& param);
st_RecvParam ReadRecvParam(const QByteArray& payload);
QByteArray WriteAutoTimeChannel(const st_ConfigAutoTimeChannel_VRX2208& request);
st_ConfigAutoTimeChannel_VRX2208 ReadAutoTimeChannel(const QByteArray& payload);
QByteArray WriteRecvTimeSync(double time);

// The f32 samples of an upload, without its trailer: payload length / 4 - 2
// of them, none when the payload is shorter than the trailer.
QVector<float> ReadUploadSamples(const QByteArray& payload);

// Sample rate of a full-waveform record for a RateCode; unknown codes mean
// the native rate.
double RecvRateFromCode(qint32 rateCode);
