#pragma once

#include "devlink/SendRecords.h"

#include <QByteArray>
#include <QVector>

// Command set and wire layouts of the transmitter unit.

namespace SendCommand {
enum : quint32 {
    DeviceInfo = 0, // reply: st_DeviceInfo, 24 bytes
    Config = 1,     // st_TEMSendInfo, 24 bytes
    Start = 2,
    Stop = 5,
    WaveReport = 6,      // report: counts, two waveforms, monitor values
    MonitorReport = 240, // report: st_TEMSendMonitor, 16 bytes
};
}

constexpr int kTEMSendMonitorSize = 16;
constexpr int kDeviceInfoSize = 24;
constexpr int kSendWaveCapacity = 500; // samples per waveform in report 6
constexpr int kSendWaveOffset = 8;
constexpr int kOffWaveOffset = 2008;
constexpr int kSendWaveMonitorOffset = 4008;
constexpr double kSendWaveRate = 2000000.0;

QByteArray WriteTEMSendInfo(const st_TEMSendInfo& info);
st_TEMSendInfo ReadTEMSendInfo(const QByteArray& payload);

// The two waveforms of report 6. Counts above 500 (negative ones included)
// make both 500, as the unit intends; a report cut short keeps only the
// samples it really holds, so missing ones never turn into zero samples.
void ReadSendWaves(const QByteArray& payload, QVector<double>* sendWave, QVector<double>* offWave);

QByteArray WriteTEMSendMonitor(const st_TEMSendMonitor& monitor);
// The 16 monitor bytes at offset; false when the payload does not hold them.
bool ReadTEMSendMonitor(const QByteArray& payload, int offset, st_TEMSendMonitor* monitor);

QByteArray WriteDeviceInfo(const st_DeviceInfo& info);
// False unless the payload is exactly the 24 bytes of the record.
bool ReadDeviceInfo(const QByteArray& payload, st_DeviceInfo* info);
