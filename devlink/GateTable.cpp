#include "devlink/GateTable.h"

#include <climits>
#include <cmath>
#include <utility>

QVector<double> MakeGateEnds(double f, double r, int n)
{
    if (!(std::isfinite(f) && f > 0.0) || !(std::isfinite(r) && r > 0.0) || n < 2)
        return {};

    const double dt = 1e6 / r;
    const double quarter = (1e6 / f) * 0.25;
    const double step = std::log10(quarter) / n;

    QVector<double> e(n);
    for (int i = 1; i <= n; ++i)
        e[i - 1] = std::pow(10.0, i * step);

    // Change-over from the linear grid to logarithmic spacing: the first
    // logarithmic step wider than one sample interval.
    int k = 1;
    for (int j = 1; j < n; ++j) {
        if (e[j] - e[j - 1] > dt) {
            k = j;
            break;
        }
    }

    // A linear part longer than k would overwrite logarithmic points not yet
    // copied and run past the vector; checked before any conversion to int.
    const double linear = std::trunc(e[k] / dt);
    if (!(linear >= 0.0) || linear > k)
        return {};
    const int m = static_cast<int>(linear);
    const int total = (n - k) + m;

    for (int j = 0; j < m; ++j)
        e[j] = (j + 1) * dt;
    for (int t = 0; t < n - k; ++t)
        e[m + t] = e[k + t];

    for (int j = 1; j < total; ++j) {
        if (e[j] - e[j - 1] < dt)
            e[j] = e[j - 1] + dt;
    }

    for (int j = 0; j < total; ++j)
        e[j] = std::trunc((e[j] + 0.5) / dt) * dt;

    for (int j = total - 1; j >= 1; --j)
        e[j] = e[j] - e[j - 1];

    // One forward sweep that swaps a much narrower width back in front of the
    // run of wider ones before it, as the unit does; widths keep their values.
    const double half = -dt / 2.0;
    for (int p = 1; p < total; ++p) {
        if (e[p] - e[p - 1] > half)
            continue;
        int t = p - 1;
        for (int q = p - 1; q >= 0 && e[p] - e[q] <= half; --q)
            t = q;
        std::swap(e[t], e[p]);
    }

    for (int j = 1; j < total; ++j)
        e[j] = e[j - 1] + e[j];

    e.resize(total);
    return e;
}

QVector<st_TimeGate> MakeGateTable(float f, float r, quint32 n)
{
    if (n > static_cast<quint32>(INT_MAX))
        return {};
    const QVector<double> ends = MakeGateEnds(f, r, static_cast<int>(n));
    const double dt = 1e6 / static_cast<double>(r);

    QVector<st_TimeGate> gates(ends.size());
    for (int i = 0; i < ends.size(); ++i) {
        gates[i].start = i == 0 ? ends[0] : gates[i - 1].end + dt;
        gates[i].end = ends[i];
    }
    return gates;
}
