#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Runs an action for the requests of one pass of the event loop, and then
// at most once per pause, for the requests made within it. The pause lasts
// at least pauseMs and twenty times the action's last run, so the action
// takes at most a twentieth of the thread however costly it grows: its cost
// follows the clock, not the number of requests.
class Pacer : public QObject
{
    Q_OBJECT

public:
    Pacer(int pauseMs, std::function<void()> action, QObject* parent = nullptr);

    void Request();

private:
    void Run();

    QTimer pause;
    int shortestPauseMs;
    std::function<void()> action;
    bool due = false;
};
