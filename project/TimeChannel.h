#pragma once

#include <QObject>
#include <QString>
#include <QVector>

// The time-channel table (gate centre times in µs, ascending) and the gating
// of a curve onto it. The table is loaded once at start-up, before any
// curve is processed, and only read afterwards.
class TimeChannel : public QObject
{
    Q_OBJECT

public:
    explicit TimeChannel(QObject* parent = nullptr);

    // Replaces the table with the numbers of the text file, one per line; a
    // line that is no number counts as 0.0. A file that cannot be opened
    // leaves the table as it was.
    static void load(const QString& path);
    static const QVector<double>& table();
    // The elements x of values with lo <= x <= hi, in input order.
    static QVector<double> select(double lo, double hi, QVector<double>& values);
    // Replaces the curve by the means of its samples in each gate from 10 µs
    // up to its last time; gates without samples are left out.
    static void toTimeChannels(QVector<double>& times, QVector<double>& values);
};
