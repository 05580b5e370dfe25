#pragma once

#include "devlink/RecvRecords.h"

#include <QVector>

// The receiver builds its automatic time channels with exactly this
// arithmetic; the system must build the same table to the last step, or the
// values of a gated upload land on the wrong times.

// Gate end times in µs for base frequency f (Hz), receiver sample rate r (Hz)
// and n logarithmic points. Empty when the inputs cannot give a table
// (f or r not positive and finite, n < 2, or a linear part longer than the
// logarithmic change-over index).
QVector<double> MakeGateEnds(double f, double r, int n);

// The gate table for the same inputs: each gate starts one sample interval
// after the previous gate's end; the first gate starts at its own end.
QVector<st_TimeGate> MakeGateTable(float f, float r, quint32 n);
