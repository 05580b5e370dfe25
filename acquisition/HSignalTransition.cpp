#include "acquisition/HSignalTransition.h"

bool HSignalTransition::eventTest(QEvent* event)
{
    return QSignalTransition::eventTest(event) && (!guard || guard());
}
