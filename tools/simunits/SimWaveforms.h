#pragma once

#include <QVector>

// Plausible signals for the simulated units: a late-time decay that falls as
// t^-2.5, a bipolar transmit current of 10 A and a linear turn-off ramp.

// Decay voltage in V at timeUs µs after turn-off.
double SimDecayVoltage(double timeUs);

// One period of the transmit current, positive half first (500 samples).
QVector<float> SimSendWave();

// The current falling at turn-off, sampled at 2 MHz (400 samples).
QVector<float> SimOffWave();
