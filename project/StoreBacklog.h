#pragma once

#include "acquisition/ZOLVA_Data.h"
#include "project/ProjectFileAccess.h"

#include <QObject>
#include <QTimer>
#include <QVector>

#include <deque>
#include <functional>

// Towed records that the project file did not take, waiting in memory in
// their order until it takes writes again, however long after the
// acquisition that made them: only the operator lets go of them. While any
// wait, a new record waits behind them untried: a try of a held file waits
// for the file, so the oldest are tried again only every retryMs, and once
// the file takes them they are written in slices that leave the window its
// time.
//
// What waits is bounded by what it weighs, not by its count: a full-waveform
// record weighs some hundred gated ones. A record that would take it past
// the bound is lost, and records lost one after another make a gap, known
// by the start times of its first and last record.
//
// A streak lasts from a record that had to wait until the file has taken
// every write for quietMs: a file held now and then, as a viewer or a
// backup reading it does, makes one streak, and is told once.
class StoreBacklog : public QObject
{
    Q_OBJECT

public:
    // Writes one record: Writable once it is committed, else what the
    // failure tells.
    using Write = std::function<ProjectFileAccess::Access(const ZOLVA_Data&)>;

    struct Gap
    {
        qint64 firstMs = 0;
        qint64 lastMs = 0;
        int count = 0;
    };

    // A slice of catching up ends once it has written for this long.
    static constexpr int SliceMs = 50;

    StoreBacklog(qint64 capacityBytes, int retryMs, int quietMs, Write write, QObject* parent = nullptr);

    // Written at once while nothing waits, else it waits behind the others.
    void store(const ZOLVA_Data& record);
    // Lets go of everything waiting, unwritten, and ends the streak; returns
    // how many records that was.
    int discard();

    int waiting() const;
    qint64 waitingBytes() const;
    // Lost past the bound in this streak, and where.
    int lost() const;
    QVector<Gap> gaps() const;
    // What the last failed write told.
    ProjectFileAccess::Access cause() const;

signals:
    void streakBegan();
    // The number waiting or lost changed.
    void changed();
    // lost() and gaps() still tell those of the streak.
    void streakEnded(int lost);

private:
    struct Waiting
    {
        ZOLVA_Data record;
        qint64 bytes;
    };

    void retry();
    // Writes the oldest records until one fails, none is left, or SliceMs
    // are spent; false when one failed.
    bool writeWaiting();
    void wait(const ZOLVA_Data& record);
    void lose(const ZOLVA_Data& record);
    void closeGap();
    void fail(ProjectFileAccess::Access access);
    void endStreak();

    const qint64 capacityBytes;
    const int retryMs;
    Write write;
    QTimer retryTimer;
    QTimer quietTimer;
    std::deque<Waiting> records;
    qint64 bytes = 0;
    int lostCount = 0;
    QVector<Gap> lostGaps;
    bool inGap = false;
    bool streak = false;
    ProjectFileAccess::Access failure = ProjectFileAccess::Writable;
};
