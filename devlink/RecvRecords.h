#pragma once

#include <QMetaType>
#include <QVector>
#include <QtGlobal>

// Records of the receiver unit. The configuration payloads are filled by the
// collector and written to the wire field by field (RecvPayloads.h); the
// in-memory layout below is never copied onto the wire.

// Configuration of the receiver (command 1), 88 bytes on the wire.
struct st_RecvParam
{
    float ParamFs = 0.0f;    // base frequency in Hz
    qint32 ParamPeriod = 0;  // periods per record
    qint32 ContinueMode = 0; // 0 single, 1 continuous
    qint32 SampleMode = 0;   // 0 gated; 1 full waveform at 625000 Hz; else full waveform at RateCode
    qint64 SendTime = 0;     // ms since the epoch, stamped when sent
    qint32 RateCode = 0;     // 0: 625000, 1: 78125, 2: 9765, 3: 1220 Hz
};

// Request for automatic time channels (command 1001), 8 bytes on the wire.
struct st_ConfigAutoTimeChannel_VRX2208
{
    float ParamFs = 0.0f;     // base frequency in Hz
    quint32 ChannelCount = 0; // logarithmic points of the gate generator
};

// One time channel of the gate table, in µs.
struct st_TimeGate
{
    double start = 0.0;
    double end = 0.0;
};

// One receiver data record. Gated records (TYPE 1) carry times and widths in
// µs; full-waveform records (TYPE 2) carry them in the units of their mode.
struct st_RecvData_VRX2208
{
    int TYPE = 0;
    double SendFs = 0.0;
    double RecvFs = 0.0;
    QVector<double> times;
    QVector<double> widths;
    QVector<double> values;
    qint64 StartTime = 0; // ms since the epoch at which the upload arrived
    // Monotonic ms (QElapsedTimer's reference) of the socket read that
    // completed the upload's frame; 0 when it came from no socket.
    qint64 ArrivalMs = 0;
};

Q_DECLARE_METATYPE(st_RecvParam)
Q_DECLARE_METATYPE(st_ConfigAutoTimeChannel_VRX2208)
Q_DECLARE_METATYPE(st_TimeGate)
Q_DECLARE_METATYPE(st_RecvData_VRX2208)
