// Gate ends for any base frequency and point count. At the receiver's own
// sample rate the table never has more gates than points, and its ends are
// finite, rising multiples of the sample interval; at any other rate it
// must at least stay within its vector.

#include "devlink/GateTable.h"
#include "devlink/RecvPayloads.h"

#include "FuzzReader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReader input(data, size);
    const double f = input.Take<double>();
    // The vector holds one double per point by design: larger counts only
    // cost memory.
    const int n = input.Take<qint16>();
    const bool nativeRate = input.Take<quint8>() == 0;
    const double r = nativeRate ? kRecvNativeRate : input.Take<double>();

    const QVector<double> ends = MakeGateEnds(f, r, n);
    if (!nativeRate)
        return 0;

    const double dt = 1e6 / r;
    Require(ends.size() <= std::max(n, 0));
    for (int i = 0; i < ends.size(); ++i) {
        Require(std::isfinite(ends[i]) && ends[i] >= 0.0);
        Require(i == 0 || ends[i] > ends[i - 1]);
        const double steps = ends[i] / dt;
        Require(std::fabs(steps - std::round(steps)) <= 1e-6 * std::max(1.0, steps));
    }
    return 0;
}
