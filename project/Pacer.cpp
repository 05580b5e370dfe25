#include "project/Pacer.h"

#include <QElapsedTimer>

#include <algorithm>
#include <climits>

namespace {

constexpr qint64 kPausePerRun = 20;

}

Pacer::Pacer(int pauseMs, std::function<void()> run, QObject* parent)
    : QObject(parent)
    , shortestPauseMs(pauseMs)
    , action(std::move(run))
{
    pause.setSingleShot(true);
    connect(&pause, &QTimer::timeout, this, [this] {
        if (due)
            Run();
    });
}

void Pacer::Request()
{
    if (!pause.isActive())
        pause.start(0);
    due = true;
}

void Pacer::Run()
{
    due = false;
    QElapsedTimer clock;
    clock.start();
    action();
    pause.start(int(std::clamp(kPausePerRun * clock.elapsed(), qint64(shortestPauseMs), qint64(INT_MAX))));
}
