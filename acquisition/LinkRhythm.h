#pragma once

#include "acquisition/JitterProfile.h"

#include <QtGlobal>

#include <deque>
#include <limits>

// The periods of one link's towed records, told by the link's own rhythm.
// The unit sends one record a period and numbers nothing; a record never
// arrives before its unit sends it, and delay, load and stalls only make it
// late. So each record sits on the link's line, base + index x period, at
// the earliest its period can arrive; the line's base follows the earliest
// records, and rises slowly with a unit clock that runs slow against ours.
// A record the unit never sent leaves every later record of the link at
// least a period behind the line, for good, while jitter makes some late
// and others not. Records count from 0 in their order; an index stays
// provisional while the link keeps coming late and is confirmed by a record
// on its line, or once the link has come late for longer than its jitter
// explains: then the least lateness of that run tells how many periods the
// unit skipped, and the gap goes where the link's arrivals show it.
// Only the last record of a read is evidence; those read with it were held
// back. Nor is a read evidence when a later one shows the link was not at
// its own rate: a link that delivers more than a record a period of time (a
// later read less late than its jitter explains) is catching up on a
// backlog, after a hold or a stall, and its reads until then say nothing of
// its lateness. A skip inside one backlog cannot be placed: the gap goes
// before the backlog's first read, where the link fell quiet.
// A period that cannot be judged (not finite, below the stamps' whole ms,
// above a day) numbers records in their order and confirms each at once:
// no skip is told.
class LinkRhythm
{
public:
    static bool Judges(double periodMs);

    // A new run of records periodMs long.
    void Start(double periodMs);
    // A record read at stamp, monotonic ms; the records of one read share it.
    void Add(qint64 stamp);
    // Reads before stamp are whole.
    void Settle(qint64 stamp);
    // Decides the provisional indices with what is known: for a link gone
    // silent, or at the end. A run later than the link's jitter goes, and
    // likelier a skip than jitter by its lateness, is a skip, unless skips
    // is false or the link was cut off catching up on a backlog.
    void Resolve(bool skips);
    // When the first record whose index is provisional was due on the line:
    // since then the link has come late (infinite: it has not).
    double BehindSince() const;

    bool Delivered() const;
    qint64 LastStamp() const;
    double Base() const;
    // The line of a link that resumes after a silence, or that was silent
    // from the start: the next record is judged against it.
    void SetBase(double base);
    // When the record of that index arrives at the earliest.
    double LineMs(qint64 index) const;
    // Periods without a record after which the link is silent: its jitter
    // would keep it late that long about as rarely as it would fake a skip.
    int QuietPeriods() const;

    qint64 HeadIndex() const;
    bool HeadConfirmed() const;
    // Removes the head, which must be confirmed.
    void TakeHead();
    // No record waiting or still to come belongs to an earlier period.
    qint64 LowestIndex() const;

private:
    // What the last record of a complete read tells.
    enum class ReadEnd {
        None,    // not the last of a complete read
        Pending, // the next read not yet complete
        Evidence,
        // A later read came in less late than jitter explains: the link was
        // catching up.
        HeldBack,
    };
    struct Entry
    {
        qint64 index;
        qint64 stamp;
        ReadEnd end;
        // Of the read it ends.
        int records;
    };

    double position(const Entry& entry) const;
    double lateness(const Entry& entry) const;
    void fold();
    void judge(double nextPosition);
    void followDrift(double position);
    void conclude(bool atEnd);
    void confirmThrough(size_t at);
    void restartRun();

    JitterProfile profile;
    bool judged = true;
    // Records still waiting: first the confirmed ones, then the run of
    // those whose index is provisional.
    std::deque<Entry> entries;
    size_t confirmedWaiting = 0;
    double period = 1.0;
    double base = 0.0;
    bool lined = false;
    qint64 lastIndex = -1;
    qint64 confirmedIndex = -1;
    qint64 lastStamp = 0;
    bool delivered = false;
    bool readOpen = false;
    int readRecords = 0;
    // The complete read before the one open, until the next is complete.
    bool pending = false;
    // Its index confirmed: its line position is kept here, not in entries.
    bool pendingSettled = false;
    double pendingPosition = 0.0;
    int pendingRecords = 0;
    // Evidence reads of the run.
    int runReads = 0;
    // Least line position (stamp - index x period) of the run's evidence.
    double runLow = std::numeric_limits<double>::infinity();
    // Line position of the record just before the run.
    double beforeRun = 0.0;
    int driftReads = 0;
    double driftLow = 0.0;
};
