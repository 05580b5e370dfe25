#pragma once

#include <QSignalTransition>

#include <functional>

// A signal transition that fires only when its guard agrees at the moment
// the signal arrives.
class HSignalTransition : public QSignalTransition
{
    Q_OBJECT

public:
    // The signal as a member pointer, so a misspelt one does not compile.
    template <typename Signal>
    HSignalTransition(const typename QtPrivate::FunctionPointer<Signal>::Object* sender, Signal signal,
                      std::function<bool()> guard)
        : QSignalTransition(sender, signal)
        , guard(std::move(guard))
    {
    }

protected:
    bool eventTest(QEvent* event) override;

private:
    std::function<bool()> guard;
};
