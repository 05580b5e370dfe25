#pragma once

#include <QDateTime>

// When the program was compiled, for the version line and the graph
// watermark.
class BuildTime
{
public:
    static QDateTime compiled();
    // The compiler's date ("Mmm dd yyyy", a one-digit day padded with a
    // blank) and time ("hh:mm:ss") texts.
    static QDateTime parse(const char* date, const char* time);
};
