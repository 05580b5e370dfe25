// Per-record time of the decay-curve pipeline: one gated record on the
// receiver's automatic time channels at 25 Hz (656 gates) and one
// full-waveform record of 125 000 samples at 625 000 Hz, each run through
// processCurve as a sounding; and the same full-waveform record as a stored
// sample, its curves decoded from their BLOBs first.

#include "devlink/GateTable.h"
#include "project/CurveProcessing.h"
#include "project/Data_Sample.h"
#include "project/TimeChannel.h"
#include "project/VectorBlob.h"

#include <QElapsedTimer>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double OffTime = 64.5; // µs, the usual turn-off time
constexpr int FullWaveSamples = 125000;

struct Curve
{
    QVector<double> times;  // µs
    QVector<double> values; // V
};

double Decay(double t)
{
    return 1e-2 * std::pow(std::max(t, 1.0) / 10.0, -2.5);
}

Curve GatedRecord()
{
    Curve c;
    for (const st_TimeGate& gate : MakeGateTable(25.0f, 625000.0f, 1250)) {
        const double t = (gate.start + gate.end) * 0.5;
        c.times.append(t);
        c.values.append(Decay(t));
    }
    return c;
}

Curve FullWaveRecord()
{
    Curve c;
    for (int k = 0; k < FullWaveSamples; ++k) {
        const double t = k * 1.6;
        c.times.append(t);
        c.values.append(Decay(t - OffTime) * (1.0 + 0.01 * std::sin(k)));
    }
    return c;
}

void Report(const char* name, int samples, int gates, QVector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    std::printf("%-34s %7d samples -> %2d gates: median %8.1f us, best %8.1f us per record\n", name, samples, gates,
                micros.at(micros.size() / 2), micros.first());
}

// The copies of the input are made outside the timed part.
void MeasurePipeline(const char* name, const Curve& record, int rounds)
{
    QVector<double> micros;
    int gates = 0;
    for (int i = 0; i < rounds; ++i) {
        QVector<double> values = record.values;
        QVector<double> times = record.times;
        values.detach();
        times.detach();
        QElapsedTimer timer;
        timer.start();
        CurveProcessing::processCurve(values, times, OffTime, 0);
        micros.append(double(timer.nsecsElapsed()) / 1000.0);
        gates = times.size();
    }
    Report(name, record.times.size(), gates, micros);
}

// A turn-off that settles at once (1.0 µs) and no current division, as the
// display reads a stored sample.
void MeasureStoredSample(const char* name, const Curve& record, int rounds)
{
    Data_Sample sample;
    sample.DATA_RECV = vectorToBlob(record.values);
    sample.DATA_RECV_POS = vectorToBlob(record.times);
    sample.SampleOffFs = 2e6;
    sample.DATA_SOFF = vectorToBlob(QVector<double>(500, 0.0));
    QVector<double> micros;
    int gates = 0;
    for (int i = 0; i < rounds; ++i) {
        QVector<double> values;
        QVector<double> times;
        QElapsedTimer timer;
        timer.start();
        sample.GetRecvData(&values, &times, 0, false);
        micros.append(double(timer.nsecsElapsed()) / 1000.0);
        gates = times.size();
    }
    Report(name, record.times.size(), gates, micros);
}

} // namespace

int main()
{
    TimeChannel::load(QStringLiteral(":/etc/time.ini"));
    MeasurePipeline("gated record, 25 Hz table", GatedRecord(), 2000);
    MeasurePipeline("full-waveform record", FullWaveRecord(), 200);
    MeasureStoredSample("full-waveform record, stored", FullWaveRecord(), 200);
    return 0;
}
