#include "tools/simunits/SimBacklogPieces.h"

SimBacklogPieces::SimBacklogPieces(int piece, double pieceMs)
    : piece(piece)
    , pieceMs(pieceMs)
{
}

double SimBacklogPieces::Read(double at, bool held)
{
    if (draining) {
        const double next = inPiece < piece ? pieceAt : pieceAt + pieceMs;
        // A record due after the next piece goes finds the link caught up.
        draining = at <= next;
        if (draining) {
            inPiece = next > pieceAt ? 1 : inPiece + 1;
            at = pieceAt = next;
        }
    }
    if (held && !draining) {
        draining = true;
        ++backlogs;
        pieceAt = at;
        inPiece = 1;
    }
    return at;
}

int SimBacklogPieces::Backlog() const
{
    return draining ? backlogs : 0;
}
