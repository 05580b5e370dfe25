#include "project/CurveProcessing.h"

#include "project/TimeChannel.h"

#include <QtGlobal>

#include <cmath>

namespace CurveProcessing {

std::atomic<int> startTime{80};
std::atomic<bool> smoothingEnabled{true};
std::atomic<double> curveDivisor{11.0};

namespace {

// Drops the first `count` samples of both vectors, never past either end.
void dropLeading(QVector<double>& times, QVector<double>& values, int count)
{
    times.remove(0, qMin(count, times.size()));
    values.remove(0, qMin(count, values.size()));
}

} // namespace

void processCurve(QVector<double>& values, QVector<double>& times, double offTime, int sampleMode)
{
    // Taken over rather than copied: values is replaced at the end anyway,
    // and a full-waveform record holds 125 000 of them.
    QVector<double> v = std::move(values);
    alignTimes(times, v, offTime);
    if (smoothingEnabled.load())
        v = smoothCurve(v);
    if (sampleMode == 0) {
        const double divisor = curveDivisor.load();
        if (!(std::abs(divisor) < 1e-6))
            normalize(v, divisor);
        TimeChannel::toTimeChannels(times, v);
    }
    clampMagnitude(v, 10.0, 1.1e-9);
    if (sampleMode == 0) {
        const double cut = static_cast<double>(startTime.load());
        int k = 0;
        while (k < times.size() && !(times.at(k) >= cut))
            ++k;
        dropLeading(times, v, k);
    }
    values = std::move(v);
}

void alignTimes(QVector<double>& times, QVector<double>& values, double offTime)
{
    const int n = times.size();
    if (n != values.size() || n == 0 || !std::isfinite(offTime) || std::abs(offTime) < 1e-6 || times.first() >= offTime
        || offTime >= times.last())
        return;

    int j = 0;
    while (j + 1 < n && !(times.at(j) <= offTime && times.at(j + 1) > offTime))
        ++j;
    if (j + 1 >= n)
        return;
    dropLeading(times, values, j + 1);

    for (double& t : times) {
        const double u = std::ceil(t - offTime);
        t = std::trunc(u / 1.6) * 1.6;
    }
    if (times.first() <= 1.6)
        times.first() = 1.6;
    for (int k = 1; k < times.size(); ++k) {
        if (times.at(k) - times.at(k - 1) < 0.8)
            times[k] = times.at(k - 1) + 1.6;
    }
}

QVector<double> smoothCurve(const QVector<double>& y)
{
    const int n = y.size();
    if (n <= 10)
        return y;
    QVector<double> smoothed = y;
    double* out = smoothed.data();
    const double* in = y.constData();
    if (n > 12) {
        for (int i = 11; i <= qMin(n, 102) - 2; ++i)
            out[i] = (in[i - 1] + in[i] + in[i + 1]) / 3;
    }
    if (n > 103) {
        for (int i = 101; i <= n - 3; ++i)
            out[i] = (in[i - 2] + in[i - 1] + in[i] + in[i + 1] + in[i + 2]) / 5;
    }
    out[n - 2] = (in[n - 3] + out[n - 2] + in[n - 1]) / 3;
    return smoothed;
}

void normalize(QVector<double>& values, double d)
{
    for (double& x : values)
        x = std::abs(x) / d;
}

void normalizeIfNonZero(QVector<double>& values, double d)
{
    if (std::abs(d) >= 1e-6)
        normalize(values, d);
}

void clampMagnitude(QVector<double>& values, double max, double min)
{
    for (double& x : values) {
        if (std::isnan(x))
            continue;
        if (std::abs(x) > max)
            x = x > 0 ? max : -max;
        else if (std::abs(x) < min)
            x = x > 0 ? min : -min;
    }
}

void clampMagnitudeChecked(QVector<double>* values, double max, double min)
{
    if (values && max > 0 && min > 0 && min < max)
        clampMagnitude(*values, max, min);
}

double relativeStdDev(QVector<double>& values)
{
    const double n = values.size();
    double sum = 0.0;
    for (double x : values)
        sum += x;
    const double mean = sum / n;
    double squares = 0.0;
    for (double x : values)
        squares += (x - mean) * (x - mean);
    const double s = std::sqrt(squares / (n - 1));
    return 100 * s / std::abs(mean);
}

double relativeStdDevOrZero(QVector<double>& values)
{
    return values.isEmpty() ? 0.0 : relativeStdDev(values);
}

QVector<double> meanReceiverCurve(QList<st_RecvData_VRX2208> records)
{
    if (records.isEmpty())
        return {};
    const st_RecvData_VRX2208& first = records.first();
    QVector<double> sum = first.values;
    if (sum.size() != first.times.size())
        return {};
    int count = 1;
    for (int r = 1; r < records.size(); ++r) {
        const st_RecvData_VRX2208& rec = records.at(r);
        if (rec.TYPE != first.TYPE || rec.times.size() != first.times.size() || rec.values.size() != sum.size())
            break;
        for (int i = 0; i < sum.size(); ++i)
            sum[i] += rec.values.at(i);
        ++count;
    }
    for (double& x : sum)
        x /= count;
    return sum;
}

void meanCurve(const QList<QVector<double>>& curves, const QList<QVector<double>>& curveTimes, QVector<double>* values,
               QVector<double>* times)
{
    if (!values || !times)
        return;
    values->clear();
    times->clear();
    if (curves.size() != curveTimes.size() || curves.isEmpty())
        return;

    // Curves of different lengths are averaged over the shortest; empty
    // ones take no part.
    int first = -1;
    int count = 0;
    int m = 0;
    for (int k = 0; k < curves.size(); ++k) {
        if (curves.at(k).isEmpty())
            continue;
        if (first < 0) {
            first = k;
            m = curves.at(k).size();
        }
        m = qMin(m, curves.at(k).size());
        ++count;
    }
    if (first < 0)
        return;
    m = qMin(m, curveTimes.at(first).size());

    QVector<double> sum(m, 0.0);
    for (const QVector<double>& curve : curves) {
        if (curve.isEmpty())
            continue;
        for (int i = 0; i < m; ++i)
            sum[i] += curve.at(i);
    }
    for (double& x : sum)
        x /= count;
    *values = sum;
    *times = curveTimes.at(first).mid(0, m);
}

QVector<double> errorCurve(QList<st_RecvData_VRX2208> records)
{
    if (records.isEmpty())
        return {};
    const int length = records.first().values.size();
    QVector<double> result(length, 0.0);
    if (records.size() == 1)
        return result;
    QVector<double> column(records.size(), 0.0);
    for (int k = 0; k < length; ++k) {
        for (int j = 0; j < records.size(); ++j) {
            const QVector<double>& values = records.at(j).values;
            if (k < values.size())
                column[j] = std::log10(std::abs(values.at(k)));
        }
        const double r = relativeStdDev(column);
        result[k] = r < 100 ? r : 100;
    }
    return result;
}

} // namespace CurveProcessing
