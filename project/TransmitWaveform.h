#pragma once

#include "devlink/SendRecords.h"
#include "project/ProjectRecords.h"

#include <QList>
#include <QVector>

// Transmit current and turn-off time from the transmitter's waveforms.
// Results are always finite: short or empty input gives 0.0.
namespace TransmitWaveform {

// Amplitude of the bipolar current over one period, positive half first.
double halfPeriodAmplitude(QVector<double>& wave);
double meanSendCurrent(QList<st_TEMSendData>& records);
// µs after the start of the turn-off record at which the current settles.
double turnOffTime(double fs, QVector<double>& wave);
double meanTurnOffTime(QList<st_TEMSendData>& records);
// Element-wise mean of the waveforms of the first one's length; the others
// come from a unit that changed its rate mid-way and are left out.
QVector<double> meanWave(const QList<QVector<double>>& waves);
// Element-wise mean of the stored turn-off waveforms of the first record's
// length; records of another length are left out.
QVector<double> meanTurnOffWave(QList<st_SampleData_Send>& records);

} // namespace TransmitWaveform
