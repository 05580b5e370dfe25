#pragma once

#include "acquisition/ZOLVA_Data.h"
#include "project/ProjectFileAccess.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

// Towed records that the project file did not take, waiting in memory in
// their order until it takes writes again. While any wait, a new record
// waits behind them untried: a try of a held file waits for the file, so
// the oldest are tried again only every retryMs, and once the file takes
// them they are written in slices that leave the window its time.
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

    // A slice of catching up ends once it has written for this long.
    static constexpr int SliceMs = 50;

    StoreBacklog(int capacity, int retryMs, int quietMs, Write write, QObject* parent = nullptr);

    // Written at once while nothing waits, else it waits behind the others;
    // lost when `capacity` records wait already.
    void store(const ZOLVA_Data& record);
    // One last try of what waits; what is still not written is lost, and
    // the streak ends.
    void finish();

    int waiting() const;
    // Lost in this streak.
    int lost() const;
    // What the last failed write told.
    ProjectFileAccess::Access cause() const;

signals:
    void streakBegan();
    // The number waiting or lost changed.
    void changed();
    void streakEnded(int lost);

private:
    void retry();
    // Writes the oldest records until one fails, none is left, or budgetMs
    // are spent (none: no bound); false when one failed.
    bool writeWaiting(int budgetMs);
    void fail(ProjectFileAccess::Access access);
    void endStreak();

    const int capacity;
    const int retryMs;
    Write write;
    QTimer retryTimer;
    QTimer quietTimer;
    std::deque<ZOLVA_Data> records;
    int lostCount = 0;
    bool streak = false;
    ProjectFileAccess::Access failure = ProjectFileAccess::Writable;
};
