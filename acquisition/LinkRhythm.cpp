#include "acquisition/LinkRhythm.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double OnLine = JitterProfile::OnLine;
// How far a record may seem to come before its line: stamps are whole ms
// and the line follows the earliest records seen.
constexpr double Early = 1.0 - OnLine;
// The base rises halfway to the least lateness of this many reads on their
// line: half, as the least of them is still a little late.
constexpr int DriftReads = 64;
// Stamps are whole ms.
constexpr double StampMs = 1.0;
constexpr double ShortestMs = 1.0;
constexpr double LongestMs = 24.0 * 3600.0 * 1000.0;
// Far beyond any silence, and within reach of the indices' arithmetic.
constexpr double MostSkipped = 1e12;

}

bool LinkRhythm::Judges(double periodMs)
{
    return periodMs >= ShortestMs && periodMs <= LongestMs;
}

void LinkRhythm::Start(double periodMs)
{
    *this = LinkRhythm();
    judged = Judges(periodMs);
    if (judged)
        period = periodMs;
}

void LinkRhythm::Add(qint64 stamp)
{
    Settle(stamp);
    const qint64 index = lastIndex + 1;
    if (!lined) {
        base = double(stamp) - double(index) * period;
        beforeRun = base;
        lined = true;
    }
    entries.push_back({index, stamp, ReadEnd::None, 0});
    lastIndex = index;
    lastStamp = stamp;
    delivered = true;
    readRecords = readOpen ? readRecords + 1 : 1;
    readOpen = true;
    if (!judged) {
        confirmThrough(entries.size() - 1);
        return;
    }
    const double late = lateness(entries.back());
    if (late < 0.0)
        base += late;
    if (late < OnLine * period)
        confirmThrough(entries.size() - 1);
}

void LinkRhythm::Settle(qint64 stamp)
{
    if (!readOpen || stamp <= lastStamp)
        return;
    readOpen = false;
    if (judged)
        fold();
}

void LinkRhythm::Resolve(bool skips)
{
    Settle(std::numeric_limits<qint64>::max());
    // Nothing came after the last read to show it held back.
    if (pending)
        judge(std::numeric_limits<double>::infinity());
    const bool catchingUp = std::any_of(entries.begin() + confirmedWaiting, entries.end(),
                                        [](const Entry& e) { return e.end == ReadEnd::HeldBack; });
    while (confirmedWaiting < entries.size()) {
        if (skips && !catchingUp && runReads > 0
            && runLow - base >= (profile.High() + profile.Spread() + Early) * period)
            conclude(true);
        else
            confirmThrough(entries.size() - 1);
    }
}

double LinkRhythm::BehindSince() const
{
    return confirmedWaiting < entries.size() ? LineMs(entries[confirmedWaiting].index)
                                             : std::numeric_limits<double>::infinity();
}

bool LinkRhythm::Delivered() const
{
    return delivered;
}

qint64 LinkRhythm::LastStamp() const
{
    return lastStamp;
}

double LinkRhythm::Base() const
{
    return base;
}

void LinkRhythm::SetBase(double newBase)
{
    base = newBase;
    beforeRun = newBase;
    lined = true;
    driftReads = 0;
}

double LinkRhythm::LineMs(qint64 index) const
{
    return base + double(index) * period;
}

int LinkRhythm::QuietPeriods() const
{
    return profile.ReadsToConclude() + 1;
}

qint64 LinkRhythm::HeadIndex() const
{
    return entries.front().index;
}

bool LinkRhythm::HeadConfirmed() const
{
    return confirmedWaiting > 0;
}

void LinkRhythm::TakeHead()
{
    entries.pop_front();
    --confirmedWaiting;
}

qint64 LinkRhythm::LowestIndex() const
{
    return entries.empty() ? lastIndex + 1 : entries.front().index;
}

double LinkRhythm::position(const Entry& entry) const
{
    return double(entry.stamp) - double(entry.index) * period;
}

double LinkRhythm::lateness(const Entry& entry) const
{
    return position(entry) - base;
}

// The read that just ended tells whether the one before it was held back;
// its own turn comes with the next.
void LinkRhythm::fold()
{
    if (pending)
        judge(double(lastStamp) - double(lastIndex) * period);
    pending = true;
    pendingSettled = lastIndex <= confirmedIndex;
    pendingPosition = double(lastStamp) - double(lastIndex) * period;
    pendingRecords = readRecords;
    if (!pendingSettled) {
        entries.back().end = ReadEnd::Pending;
        entries.back().records = readRecords;
    }
}

// The read before the last, against the line position of the last: one on
// its line says how late jitter makes the link; one behind it extends the
// run. Neither when the link then caught up: a read of the run that a later
// one came in less late than jitter and a stamp's rounding explain was held
// back, however slowly the link caught up.
void LinkRhythm::judge(double nextPosition)
{
    pending = false;
    // The highest jitter learnt falls short while few reads are known.
    const double jitter = (std::max(Early, profile.High()) + Early) * period + StampMs;
    if (pendingSettled) {
        if (nextPosition >= pendingPosition - jitter) {
            profile.Add(std::max(0.0, pendingPosition - base) / period, pendingRecords);
            followDrift(pendingPosition);
        }
        return;
    }
    for (size_t i = confirmedWaiting; i < entries.size(); ++i) {
        Entry& entry = entries[i];
        if (entry.end == ReadEnd::Pending || entry.end == ReadEnd::Evidence)
            entry.end = position(entry) > nextPosition + jitter ? ReadEnd::HeldBack : ReadEnd::Evidence;
    }
    restartRun();
    if (runReads >= profile.ReadsToConclude())
        conclude(false);
}

// Parts per million between the unit's clock and ours would add up to a
// period in minutes; a skip adds it at once and is never on its line.
void LinkRhythm::followDrift(double line)
{
    driftLow = driftReads == 0 ? line : std::min(driftLow, line);
    if (++driftReads < DriftReads)
        return;
    base = std::max(base, (base + driftLow) / 2.0);
    driftReads = 0;
}

// atEnd: nothing more will come; the run is a skip only where the link's
// jitter makes its lateness less likely than the skip.
void LinkRhythm::conclude(bool atEnd)
{
    const double behind = (runLow - base) / period + Early;
    const qint64 skipped = runReads > 0 && behind >= 1.0 ? qint64(std::min(std::floor(behind), MostSkipped)) : 0;
    struct Read
    {
        size_t first;
        size_t last;
        double late;
    };
    std::vector<Read> reads;
    for (size_t i = confirmedWaiting; i < entries.size(); ++i) {
        if (i == confirmedWaiting || entries[i].stamp != entries[i - 1].stamp)
            reads.push_back({i, i, 0.0});
        reads.back().last = i;
        reads.back().late = lateness(entries[i]);
    }
    // A first read late by jitter just before a gap of more periods would
    // count the gap short and take its place: when the reads after it show
    // more periods, and it is likelier late than before its line, it stays
    // where it is and the rest are judged on their own.
    if (reads.size() > 1) {
        double restLow = std::numeric_limits<double>::infinity();
        for (size_t r = 1; r < reads.size(); ++r)
            restLow = std::min(restLow, reads[r].late);
        const double first = reads.front().late;
        if (std::floor(restLow / period + Early) > double(skipped) && skipped >= 1
            && profile.Cost(first / period) < profile.Cost((first - double(skipped) * period) / period)) {
            confirmThrough(reads.front().last);
            conclude(atEnd);
            return;
        }
    }
    if (skipped < 1) {
        const auto low =
            std::find_if(reads.rbegin(), reads.rend(), [this](const Read& r) { return r.late < OnLine * period; });
        confirmThrough(low == reads.rend() ? entries.size() - 1 : low->last);
        return;
    }

    // The gap lies before the last read that sits on the line once shifted.
    const double gap = double(skipped) * period;
    size_t lastLow = 0;
    for (size_t r = 0; r < reads.size(); ++r) {
        if (reads[r].late - gap < OnLine * period)
            lastLow = r;
    }
    // Before the gap a read is late by jitter; after it, it cannot come
    // before its line. The place the link's jitter makes likeliest wins; among
    // equals (nothing learnt yet, or a backlog) the largest step in lateness,
    // where the missing record shows. The records of a read held back tell
    // nothing but by its last: the gap goes before the first of them.
    std::vector<double> afterFrom(reads.size() + 1, 0.0);
    for (size_t r = reads.size(); r-- > 0;)
        afterFrom[r] = afterFrom[r + 1] + profile.Cost((reads[r].late - gap) / period);
    size_t place = 0;
    double least = std::numeric_limits<double>::infinity();
    double largestStep = -std::numeric_limits<double>::infinity();
    double before = 0.0;
    for (size_t r = 0; r <= lastLow; ++r) {
        const double cost = before + afterFrom[r];
        const double step = reads[r].late - (r == 0 ? beforeRun - base : reads[r - 1].late);
        if (cost < least - 1e-9 || (cost < least + 1e-9 && step > largestStep)) {
            place = r;
            least = std::min(least, cost);
            largestStep = step;
        }
        before += profile.Cost(reads[r].late / period);
    }
    if (atEnd) {
        for (size_t r = lastLow + 1; r < reads.size(); ++r)
            before += profile.Cost(reads[r].late / period);
        if (least >= before) {
            confirmThrough(entries.size() - 1);
            return;
        }
    }

    double earliest = 0.0;
    for (size_t i = reads[place].first; i < entries.size(); ++i) {
        entries[i].index += skipped;
        if (entries[i].end != ReadEnd::None)
            earliest = std::min(earliest, lateness(entries[i]));
    }
    lastIndex += skipped;
    base += earliest;
    confirmThrough(reads[lastLow].last);
}

void LinkRhythm::confirmThrough(size_t at)
{
    for (size_t i = confirmedWaiting; i <= at; ++i) {
        const Entry& entry = entries[i];
        if (entry.end == ReadEnd::Evidence) {
            profile.Add(std::max(0.0, lateness(entry)) / period, entry.records);
        } else if (entry.end == ReadEnd::Pending) {
            pendingSettled = true;
            pendingPosition = position(entry);
        }
    }
    confirmedIndex = entries[at].index;
    confirmedWaiting = at + 1;
    beforeRun = position(entries[at]);
    restartRun();
}

void LinkRhythm::restartRun()
{
    runReads = 0;
    runLow = std::numeric_limits<double>::infinity();
    for (size_t i = confirmedWaiting; i < entries.size(); ++i) {
        if (entries[i].end == ReadEnd::Evidence) {
            ++runReads;
            runLow = std::min(runLow, position(entries[i]));
        }
    }
}
