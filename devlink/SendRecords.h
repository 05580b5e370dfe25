#pragma once

#include <QMetaType>
#include <QVector>
#include <QtGlobal>

#include <array>

// Records of the transmitter unit. Wire layouts are written and read field by
// field (SendPayloads.h); the in-memory layout below is never copied.

// Configuration of the transmitter (command 1), 24 bytes on the wire.
struct st_TEMSendInfo
{
    float ParamFs = 0.0f;
    qint32 ParamPeriod = 0;
    std::array<quint8, 8> Options{{1, 1, 0, 0, 0, 0, 0, 0}};
    qint32 ContinueMode = 0; // 0 single, 1 continuous
    qint32 Reserved = 0;
};

// One transmitter waveform record (report 6).
struct st_TEMSendData
{
    double SendFs = 0.0;       // base frequency in Hz
    double SampleSendFs = 0.0; // sample rate of SendWave
    QVector<double> SendWave;  // transmit current
    double SampleOffFs = 0.0;  // sample rate of OffWave
    QVector<double> OffWave;   // turn-off
    // Monotonic ms (QElapsedTimer's reference) of the socket read that
    // completed the report's frame; 0 when it came from no socket.
    qint64 ArrivalMs = 0;
};

// Monitor values (report 240 and the tail of report 6), 16 bytes on the wire.
struct st_TEMSendMonitor
{
    float SendV = 0.0f;      // transmit voltage
    float DeviceV = 0.0f;    // device voltage
    float DeviceTemp = 0.0f; // device temperature
    std::array<quint8, 4> Reserved{{0, 0, 0, 0}};
};

// Device identification (reply to command 0), 24 bytes, not interpreted.
struct st_DeviceInfo
{
    std::array<quint8, 8> Info0{};
    std::array<quint8, 8> Info1{};
    std::array<quint8, 8> Info2{};
};

Q_DECLARE_METATYPE(st_TEMSendInfo)
Q_DECLARE_METATYPE(st_TEMSendData)
Q_DECLARE_METATYPE(st_TEMSendMonitor)
Q_DECLARE_METATYPE(st_DeviceInfo)
