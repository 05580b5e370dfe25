#include "project/Pacer.h"

Pacer::Pacer(int pauseMs, std::function<void()> run, QObject* parent)
    : QObject(parent)
    , action(std::move(run))
{
    pause.setSingleShot(true);
    pause.setInterval(pauseMs);
    connect(&pause, &QTimer::timeout, this, [this] {
        if (due)
            Run();
    });
}

void Pacer::Request()
{
    if (pause.isActive())
        due = true;
    else
        Run();
}

void Pacer::Run()
{
    due = false;
    pause.start();
    action();
}
