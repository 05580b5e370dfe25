#include "acquisition/HSignalTransition.h"

HSignalTransition::HSignalTransition(const QObject* sender, const char* signal, std::function<bool()> guard)
    : QSignalTransition(sender, signal)
    , guard(std::move(guard))
{
}

bool HSignalTransition::eventTest(QEvent* event)
{
    return QSignalTransition::eventTest(event) && (!guard || guard());
}
