#pragma once

class QWidget;
class ZOLVA_Collector;

// Before the program or the link lets go of the units: every stop still
// owed goes out, and the window waits for the units to take them, at most
// the collector's bound, showing that it waits (it stays live, its input
// held); then it tells which unit has still not taken its stop.
namespace OwedStopWait {

void run(QWidget* window, ZOLVA_Collector* collector);

}
