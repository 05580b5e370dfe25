#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Runs an action at once when asked, and then at most once per pause: asked
// again within the pause, it runs once at its end. The action's cost follows
// the clock, not the number of requests.
class Pacer : public QObject
{
    Q_OBJECT

public:
    Pacer(int pauseMs, std::function<void()> action, QObject* parent = nullptr);

    void Request();

private:
    void Run();

    QTimer pause;
    std::function<void()> action;
    bool due = false;
};
