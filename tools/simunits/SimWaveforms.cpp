#include "tools/simunits/SimWaveforms.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kCurrent = 10.0; // A
constexpr int kSendSamples = 500;
constexpr int kOffSamples = 400;
constexpr int kOffFlat = 20; // samples at full current before the ramp
constexpr int kOffRamp = 60; // 30 µs ramp at 2 MHz

} // namespace

double SimDecayVoltage(double timeUs)
{
    return 0.5 * std::pow(1.0 + std::max(timeUs, 0.0) / 10.0, -2.5);
}

QVector<float> SimSendWave()
{
    QVector<float> wave(kSendSamples);
    const int half = kSendSamples / 2;
    for (int i = 0; i < kSendSamples; ++i) {
        const double rise = kCurrent * (1.0 - std::exp(-(i % half) / 8.0));
        wave[i] = float(i < half ? rise : -rise);
    }
    return wave;
}

QVector<float> SimOffWave()
{
    QVector<float> wave(kOffSamples);
    for (int i = 0; i < kOffSamples; ++i) {
        const int intoRamp = i - kOffFlat;
        double current = kCurrent;
        if (intoRamp >= kOffRamp)
            current = 0.0;
        else if (intoRamp > 0)
            current = kCurrent * (1.0 - double(intoRamp) / kOffRamp);
        wave[i] = float(current);
    }
    return wave;
}
