#pragma once

#include <QVector>

// Figures the benchmarks print alike.
namespace BenchFigures {

// The middle value (the upper one of an even count); 0 for none.
double median(QVector<double> values);
// This process's resident set size in MiB; 0 where it cannot be read.
double residentMiB();

}
