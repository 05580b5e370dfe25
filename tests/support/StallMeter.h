#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

#if defined(__SANITIZE_ADDRESS__)
#define ZOLVA_STALL_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZOLVA_STALL_SANITIZED 1
#endif
#endif

// How long the window would have stood frozen: the longest the event loop
// went without turning since start(). The meter's timer asks to run every
// 5 ms; any longer gap between its ticks is work that held the loop.
class StallMeter
{
public:
    StallMeter()
    {
        ticks.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticks, &QTimer::timeout, [this] {
            longestMs = std::max(longestMs, beat.restart());
            ++ticked;
        });
    }

    void start()
    {
        longestMs = 0;
        ticked = 0;
        beat.start();
        ticks.start(5);
    }

    // The gap still open counts too.
    qint64 longest() const { return std::max(longestMs, beat.isValid() ? beat.elapsed() : 0); }
    int tickCount() const { return ticked; }

    // A bound a test holds the window to, given for the shipped build: the
    // sanitizers make every step a few times slower.
    static qint64 bound(qint64 ms) { return Sanitized ? 3 * ms : ms; }

private:
#ifdef ZOLVA_STALL_SANITIZED
    static constexpr bool Sanitized = true;
#else
    static constexpr bool Sanitized = false;
#endif

    QTimer ticks;
    QElapsedTimer beat;
    qint64 longestMs = 0;
    int ticked = 0;
};
