#pragma once

#include <QSignalTransition>

#include <functional>

// A signal transition that fires only when its guard agrees at the moment
// the signal arrives.
class HSignalTransition : public QSignalTransition
{
    Q_OBJECT

public:
    HSignalTransition(const QObject* sender, const char* signal, std::function<bool()> guard);

protected:
    bool eventTest(QEvent* event) override;

private:
    std::function<bool()> guard;
};
