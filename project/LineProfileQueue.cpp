#include "project/LineProfileQueue.h"

#include "project/Data_Line.h"

#include <QThreadPool>
#include <QtConcurrent>

LineProfileQueue::LineProfileQueue(QObject* parent)
    : QObject(parent)
{
}

LineProfileQueue::~LineProfileQueue()
{
    cancel();
}

void LineProfileQueue::request(const std::shared_ptr<Data_Line>& line, int lineNumber, bool divideByCurrent)
{
    // The task works on a copy: the line's thread goes on changing the line.
    Request next{LineSnapshot(*line, 0, line->list_Data_Point.size() - 1), line, lineNumber, divideByCurrent};
    if (busy)
        waiting = next;
    else
        start(next);
}

void LineProfileQueue::cancel()
{
    ++generation;
    waiting.reset();
    if (cancelled)
        cancelled->store(true);
    running.waitForFinished();
    busy = false;
}

void LineProfileQueue::start(const Request& request)
{
    busy = true;
    cancelled = std::make_shared<std::atomic_bool>(false);
    const quint64 started = generation;
    running = QtConcurrent::run(QThreadPool::globalInstance(), [this, request, started, stop = cancelled] {
        const LineProfile profile = request.snapshot.profile(request.divideByCurrent, stop.get());
        QMetaObject::invokeMethod(
            this,
            [this, started, line = request.line, number = request.lineNumber, profile] {
                finish(started, line, number, profile);
            },
            Qt::QueuedConnection);
    });
}

void LineProfileQueue::finish(quint64 started, const std::weak_ptr<Data_Line>& line, int lineNumber,
                              const LineProfile& profile)
{
    if (started != generation)
        return;
    busy = false;
    if (waiting) {
        const Request next = *waiting;
        waiting.reset();
        start(next);
    }
    if (const std::shared_ptr<Data_Line> shown = line.lock())
        emit profiled(shown, lineNumber, profile);
}
