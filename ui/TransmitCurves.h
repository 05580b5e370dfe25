#pragma once

#include <QVector>

// Turns the transmitter's waveforms into the curves of the two transmit
// graphs.
class TransmitCurves
{
public:
    struct Curve
    {
        QVector<double> x;
        QVector<double> y;
    };

    // One period of transmit current at the base frequency fs (Hz): times in
    // ms spread evenly over the period, values about their mean. False for a
    // frequency that cannot be drawn (not positive, not finite, above 1e8).
    static bool sendCurve(double fs, const QVector<double>& data, Curve* curve);
    // The turn-off samples at rate fs (Hz): times in µs, values above the
    // mean of the last five samples (of all of them when there are fewer).
    // False for a rate that is not positive and finite.
    static bool offCurve(double fs, const QVector<double>& data, Curve* curve);
    // Replaces the first 32 % of a turn-off curve by a straight line through
    // the sample at 32 %, with 0.91 times the mean slope from 12 % to 32 %.
    static QVector<double> fitEarlyDecay(const QVector<double>& x, QVector<double> y);
};
