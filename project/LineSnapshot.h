#pragma once

#include "orm/Status.h"

#include <QVector>

#include <atomic>

class Data_Line;
class PointRows;

// A line profile as the current-line graph draws it: one matrix row per gate
// time (matrix[k][j] = value k of column j), the gate times, and for each
// column the point's number and its position in the line.
struct LineProfile
{
    QVector<QVector<double>> matrix;
    QVector<double> times;
    QVector<double> names;
    QVector<int> positions;
    // Why the profile is empty when a point could not be read.
    orm::Status read;
};

// The points of a line that a line profile reads, copied on the thread that
// owns the line. The profile can then be built on a pool thread, with that
// thread's own database connection, while the loaded line is browsed and
// edited. A plain value: copies share nothing with the line or each other.
class LineSnapshot
{
public:
    // Points from..to of the line, both bounded into it (to raised to from
    // when smaller). Only used sounding points are kept; a point of unknown
    // type counts as a sounding and is reset to 0 in the line as well.
    LineSnapshot(Data_Line& line, int from, int to);

    // Averaged curve of each kept point that has one, cut to the shortest:
    // with transpose one row per gate (matrix[k][j] = value k of point j),
    // else one row per point. times gets the gate times of the first such
    // point, names the point numbers. With no curve at all, a point that
    // cannot be read, or a null pointer, nothing is written. Reads the
    // samples on the calling thread's connection, each point in one go.
    void GetRecvData(QVector<QVector<double>>* datas, QVector<double>* times, QVector<double>* names, bool transpose,
                     bool divideByCurrent) const;

    // The same, one row per gate. Empty with no curve at all, once
    // `cancelled` is raised (it is looked at before each point), or at the
    // first point that cannot be read, which `read` then tells. The rows
    // of a point read already are taken from `known`.
    LineProfile profile(bool divideByCurrent, const std::atomic_bool* cancelled = nullptr,
                        const PointRows* known = nullptr) const;

private:
    struct Point
    {
        int id;
        double name;
        int position;
        QVector<int> usedSamples;
    };

    // One row per point, cut to the shortest, with times, names and
    // positions; false when nothing was written.
    bool pointRows(LineProfile* rows, bool divideByCurrent, const std::atomic_bool* cancelled,
                   const PointRows* known) const;

    QVector<Point> points;
};
