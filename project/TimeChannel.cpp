#include "project/TimeChannel.h"

#include "resources/Resources.h"

#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <limits>

namespace {

QVector<double>& gateTable()
{
    static QVector<double> t;
    return t;
}

} // namespace

TimeChannel::TimeChannel(QObject* parent)
    : QObject(parent)
{
}

void TimeChannel::load(const QString& path)
{
    ensureResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QVector<double>& t = gateTable();
    t.clear();
    QTextStream in(&file);
    while (!in.atEnd())
        t.append(in.readLine().toDouble());
}

const QVector<double>& TimeChannel::table()
{
    return gateTable();
}

QVector<double> TimeChannel::select(double lo, double hi, QVector<double>& values)
{
    QVector<double> out;
    for (double x : qAsConst(values)) {
        if (x <= hi && x >= lo)
            out.append(x);
    }
    return out;
}

void TimeChannel::toTimeChannels(QVector<double>& times, QVector<double>& values)
{
    const int n = qMin(times.size(), values.size());
    if (n == 0) {
        times.clear();
        values.clear();
        return;
    }
    // A time that is no number falls in no window; it must not decide the
    // range of gates either.
    double tmax = -std::numeric_limits<double>::infinity();
    for (double t : qAsConst(times)) {
        if (t > tmax)
            tmax = t;
    }
    const QVector<double> gates = select(10.0, tmax, gateTable());
    const int m = gates.size();

    // Lower bound of each gate's window; gate i ends where gate i + 1 starts
    // and the last one has no upper bound.
    QVector<double> lower(m);
    for (int i = 0; i < m; ++i)
        lower[i] = i == 0 ? 10.0 : (gates.at(i - 1) + gates.at(i)) / 2;
    QVector<double> sums(m, 0.0);
    QVector<int> counts(m, 0);

    if (m > 0 && std::is_sorted(lower.cbegin(), lower.cend())) {
        const double* t = times.constData();
        const double* v = values.constData();
        const double* bounds = lower.constData();
        double* sum = sums.data();
        int* count = counts.data();
        int i = 0;
        for (int k = 0; k < n; ++k) {
            if (!(t[k] >= 10.0))
                continue;
            // Receiver times ascend, so the previous sample's gate is
            // usually the right one.
            if (!(t[k] >= bounds[i] && (i + 1 == m || t[k] < bounds[i + 1])))
                i = int(std::upper_bound(bounds, bounds + m, t[k]) - bounds) - 1;
            sum[i] += v[k];
            ++count[i];
        }
    } else {
        // A table out of order makes windows overlap: test every gate.
        for (int i = 0; i < m; ++i) {
            for (int k = 0; k < n; ++k) {
                const double t = times.at(k);
                if (t >= 10.0 && t >= lower.at(i) && (i == m - 1 || t < lower.at(i + 1))) {
                    sums[i] += values.at(k);
                    ++counts[i];
                }
            }
        }
    }

    QVector<double> gateTimes;
    QVector<double> means;
    for (int i = 0; i < m; ++i) {
        if (counts.at(i) == 0)
            continue;
        gateTimes.append(gates.at(i));
        means.append(sums.at(i) / counts.at(i));
    }
    times = gateTimes;
    values = means;
}
