#pragma once

// The read times of a simulated link that hands a held-back backlog over in
// pieces of `piece` records, pieceMs apart, as TCP does once a hold on a
// Wi-Fi link ends: for runs that feed the towed pairing read stamps without
// sockets. Times are ms.
class SimBacklogPieces
{
public:
    // piece 0: the backlog comes in one read.
    SimBacklogPieces(int piece, double pieceMs);

    // When the link's next record is read, due at `at`; held: the link held
    // it back until `at`, and a backlog begins unless one is being handed
    // over already.
    double Read(double at, bool held);
    // The backlog the last record was read in, counted from 1; 0: none.
    int Backlog() const;

private:
    const int piece;
    const double pieceMs;
    bool draining = false;
    int backlogs = 0;
    double pieceAt = 0.0;
    int inPiece = 0;
};
