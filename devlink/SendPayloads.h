#pragma once

#include "devlink/SendRecords.h"

#include <QByteArray>
#include <QVector>

// Wire layouts of the transmitter unit's commands and reports.

constexpr int kTEMSendInfoSize = 24;       // command 1
constexpr int kTEMSendMonitorSize = 16;    // report 240, tail of report 6
constexpr int kDeviceInfoSize = 24;        // reply to command 0
constexpr int kSendWaveCapacity = 500;     // samples per waveform in report 6
constexpr int kSendWaveOffset = 8;
constexpr int kOffWaveOffset = 2008;
constexpr int kSendWaveMonitorOffset = 4008;
constexpr int kSendWaveReportSize = 4024;
constexpr double kSendWaveRate = 2000000.0;

QByteArray WriteTEMSendInfo(const st_TEMSendInfo& info);

// The two waveforms of report 6. Counts above 500 (negative ones included)
// make both 500, as the unit intends; a report cut short keeps only the
// samples it really holds, so missing ones never turn into zero samples.
void ReadSendWaves(const QByteArray& payload, QVector<double>* sendWave, QVector<double>* offWave);

// The 16 monitor bytes at offset; false when the payload does not hold them.
bool ReadTEMSendMonitor(const QByteArray& payload, int offset, st_TEMSendMonitor* monitor);

// False unless the payload is exactly the 24 bytes of the record.
bool ReadDeviceInfo(const QByteArray& payload, st_DeviceInfo* info);
