#include "project/LineProfileQueue.h"

#include "orm/Database.h"
#include "project/Data_Line.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QThreadPool>
#include <QtConcurrent>
#include <QtDebug>

namespace {

// A close waits for the running task, and the task for each read it has
// begun: under another program's lock a read fails after this, not after
// the driver's 5 s, and the profile is asked for again later.
constexpr int kLockWaitMs = 100;

void waitForLocksBriefly()
{
    QSqlQuery wait(orm::Database::connection());
    if (!wait.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(kLockWaitMs)))
        qWarning() << "LineProfileQueue: lock wait not set:" << wait.lastError().text();
}

} // namespace

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
        // Cancelled before it began, perhaps run by the cancel itself on the
        // line's thread: that thread's connection is not the pool's.
        if (stop->load())
            return;
        waitForLocksBriefly();
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
