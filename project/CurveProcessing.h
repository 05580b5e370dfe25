#pragma once

#include "devlink/RecvRecords.h"

#include <QList>
#include <QVector>

#include <atomic>

// Steps that turn a receiver curve into the displayed decay curve, and the
// spread of several records. Values come before times; curves are changed
// in place; empty or mismatched input returns quietly.
namespace CurveProcessing {

// Process-wide settings, read at every call. Atomic because the line
// profile runs the pipeline on a pool thread.
extern std::atomic<int> startTime; // µs; gates below it are cut
extern std::atomic<bool> smoothingEnabled;
extern std::atomic<double> curveDivisor; // fixed scale of sounding curves

// sampleMode 0: TEM sounding (aligned, smoothed, divided, gated, clamped,
// cut); 1: self-check (aligned, smoothed, clamped).
void processCurve(QVector<double>& values, QVector<double>& times, double offTime, int sampleMode);
void alignTimes(QVector<double>& times, QVector<double>& values, double offTime);
QVector<double> smoothCurve(const QVector<double>& y);
void normalize(QVector<double>& values, double d);
void normalizeIfNonZero(QVector<double>& values, double d);
void clampMagnitude(QVector<double>& values, double max, double min);
void clampMagnitudeChecked(QVector<double>* values, double max, double min);
// Percent; not a number for fewer than two values, which errorCurve turns
// into 100.
double relativeStdDev(QVector<double>& values);
double relativeStdDevOrZero(QVector<double>& values);
QVector<double> meanReceiverCurve(QList<st_RecvData_VRX2208> records);
// Element-wise mean of a point's processed curves, with the times of the
// first non-empty one.
void meanCurve(const QList<QVector<double>>& curves, const QList<QVector<double>>& curveTimes, QVector<double>* values,
               QVector<double>* times);
QVector<double> errorCurve(QList<st_RecvData_VRX2208> records);

} // namespace CurveProcessing
