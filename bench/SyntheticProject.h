#pragma once

#include "acquisition/ZOLVA_Data.h"

#include <QDir>
#include <QString>
#include <QVector>

// Project files of synthetic soundings for the benchmarks: gated records at
// 25 Hz on the receiver's 656 automatic time channels, or full-waveform
// records at 625 000 Hz, with 500-sample transmit and turn-off waveforms,
// stored the way the program stores them.
namespace SyntheticProject {

struct Line
{
    double name = 0.0;
    int type = 0; // 1: towed, points numbered by arrival
    int points = 0;
    int samplesPerPoint = 1;
    int fullWaveform = 0; // samples of a full-waveform record; 0: gated records
};

// A survey day: 30 ordinary lines of 200 points with 4 samples each, and one
// towed line of 5000 points.
QVector<Line> surveyDay();

// A day of full-waveform records, about 1.3 GB: 40 points of 3 samples of
// 125 000 values each, and a line of 650 points of one sample of 62 500.
QVector<Line> fullWaveformDay();

// One acquisition of `repeats` records starting at `startMs`; `seed` varies
// the curves.
ZOLVA_Data acquisition(int repeats, qint64 startMs, int seed);

// Writes a new project file with these lines (an existing file is
// replaced). False, with the reason on stderr, when it cannot be written.
bool write(const QString& path, const QVector<Line>& lines);

// The file `name` in `dir`, written with these lines unless it is there
// already (the time and size of a new one are printed); exits when it
// cannot be written.
QString ensure(const QDir& dir, const QString& name, const QVector<Line>& lines);

} // namespace SyntheticProject
