#pragma once

#include <QFont>

// The process-wide font of graphs, watermarks and axis labels. The main window
// sets it once from the screen scale; it is never the application font.
class PlotFont
{
public:
    static QFont font();
    static void setFont(const QFont& font);
};
