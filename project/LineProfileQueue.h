#pragma once

#include "project/LineSnapshot.h"

#include <QFuture>
#include <QObject>

#include <atomic>
#include <memory>
#include <optional>

class Data_Line;

// Whole-line profiles of long lines, computed on the global thread pool one
// at a time so that the tree stays responsive. A request made while one is
// computed waits, the newest replacing any older one, and runs as soon as
// the running task ends.
class LineProfileQueue : public QObject
{
    Q_OBJECT

public:
    explicit LineProfileQueue(QObject* parent = nullptr);
    ~LineProfileQueue() override;

    // Profiles the whole line as it stands now; call on the line's thread.
    void request(const std::shared_ptr<Data_Line>& line, int lineNumber, bool divideByCurrent);
    // Stops the running task before its next point and forgets the waiting
    // request; returns once no pool thread works for the queue any more.
    // Nothing asked for before is delivered afterwards.
    void cancel();

signals:
    // On the queue's thread, for a line that still exists. A profile left
    // at a point that could not be read is empty, and its `read` tells why.
    void profiled(const std::shared_ptr<Data_Line>& line, int lineNumber, const LineProfile& profile);

private:
    struct Request
    {
        LineSnapshot snapshot;
        std::weak_ptr<Data_Line> line;
        int lineNumber;
        bool divideByCurrent;
    };

    void start(const Request& request);
    void finish(quint64 started, const std::weak_ptr<Data_Line>& line, int lineNumber, const LineProfile& profile);

    QFuture<void> running;
    bool busy = false;
    std::optional<Request> waiting;
    std::shared_ptr<std::atomic_bool> cancelled;
    // Raised by every cancel: tasks started before deliver nothing.
    quint64 generation = 0;
};
