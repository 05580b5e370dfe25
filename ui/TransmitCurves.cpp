#include "ui/TransmitCurves.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr double MaxSendFs = 1e8;
constexpr int BaselineSamples = 5;

bool drawableRate(double fs)
{
    return std::isfinite(fs) && fs > 0.0;
}

} // namespace

bool TransmitCurves::sendCurve(double fs, const QVector<double>& data, Curve* curve)
{
    if (!drawableRate(fs) || fs > MaxSendFs)
        return false;
    const int n = data.size();
    curve->x.resize(n);
    curve->y.resize(n);
    if (n == 0)
        return true;
    const double step = 1000.0 / fs / n;
    const double mean = std::accumulate(data.begin(), data.end(), 0.0) / n;
    for (int i = 0; i < n; ++i) {
        curve->x[i] = (i + 1) * step;
        curve->y[i] = data[i] - mean;
    }
    return true;
}

bool TransmitCurves::offCurve(double fs, const QVector<double>& data, Curve* curve)
{
    if (!drawableRate(fs))
        return false;
    const int n = data.size();
    const int tail = std::min(n, BaselineSamples);
    const double baseline = tail > 0 ? std::accumulate(data.end() - tail, data.end(), 0.0) / tail : 0.0;
    curve->x.resize(n);
    curve->y.resize(n);
    for (int i = 0; i < n; ++i) {
        curve->x[i] = (i + 1) * 1e6 / fs;
        curve->y[i] = data[i] - baseline;
    }
    return true;
}

QVector<double> TransmitCurves::fitEarlyDecay(const QVector<double>& x, QVector<double> y)
{
    const int n = x.size();
    const int i0 = static_cast<int>(n * 0.12);
    const int i1 = static_cast<int>(n * 0.32);
    if (i1 == 0 || y.size() < n)
        return y;
    double sum = 0.0;
    for (int i = i0; i < i1; ++i)
        sum += (y[i + 1] - y[i]) / (x[i + 1] - x[i]);
    const double slope = sum / (i1 - i0) * 0.91;
    const double offset = y[i1] - slope * x[i1];
    for (int i = 0; i < i1; ++i)
        y[i] = slope * x[i] + offset;
    return y;
}
