#pragma once

#include <array>

// How late one link's records come against their line, in periods, learnt
// from the reads whose periods are settled, the recent ones weighing most.
// It says how long a link may keep coming late by jitter alone, and how
// late jitter makes it at most.
class JitterProfile
{
public:
    // A record this far behind its line is on it; from here on it may
    // belong to a later period.
    static constexpr double OnLine = 0.75;

    // A settled read of that many records whose last came `late` periods
    // behind its line.
    void Add(double late, int records);
    // Reads in a row, each at least OnLine late, after which a skip is far
    // likelier than jitter (1 in 10^9 by jitter alone).
    int ReadsToConclude() const;
    // How unlikely a read this many periods late is for the link: those
    // before the line barely happen, by whole-ms stamps. Any lateness
    // counts, NaN as on the line.
    double Cost(double late) const;
    // Periods behind the line that all but 1 read in 200 keep within; of
    // fewer reads, the latest seen.
    double High() const;
    // Periods a read's first record waits for its last, on average: a link
    // read a few records at a time ends with a read of fewer, later.
    double Spread() const;

private:
    static int bin(double late);

    static constexpr int Bins = 32; // of 1/8 period; the last takes all beyond
    std::array<double, Bins> bins{};
    double total = 0.0;
    double offLine = 0.0;
    double spread = 0.0;
};
