#include "acquisition/TowedStartBacklog.h"

#include "acquisition/RecordBytes.h"

#include <QElapsedTimer>

TowedStartBacklog::TowedStartBacklog(Store store, QObject* parent)
    : QObject(parent)
    , storePair(std::move(store))
{
    slice.setSingleShot(true);
    connect(&slice, &QTimer::timeout, this, &TowedStartBacklog::storeSlice);
}

void TowedStartBacklog::SetMaxBytes(qint64 max)
{
    maxBytes = max;
}

void TowedStartBacklog::Hold()
{
    Clear();
    dropped = 0;
    holding = true;
}

void TowedStartBacklog::Add(const st_TEMSendData& send, const st_RecvData_VRX2208& recv)
{
    if (!holding && pairs.empty()) {
        storePair(send, recv);
        return;
    }
    pairs.push_back({send, recv, RecordBytes::of(send) + RecordBytes::of(recv)});
    bytes += pairs.back().bytes;
    while (bytes > maxBytes && !pairs.empty()) {
        bytes -= pairs.front().bytes;
        pairs.pop_front();
        ++dropped;
    }
}

void TowedStartBacklog::Release()
{
    holding = false;
    if (!pairs.empty())
        slice.start(0);
}

void TowedStartBacklog::Finish()
{
    holding = false;
    slice.stop();
    store(-1);
}

void TowedStartBacklog::Clear()
{
    holding = false;
    slice.stop();
    pairs.clear();
    bytes = 0;
}

qint64 TowedStartBacklog::Bytes() const
{
    return bytes;
}

int TowedStartBacklog::Waiting() const
{
    return int(pairs.size());
}

int TowedStartBacklog::TakeDropped()
{
    const int count = dropped;
    dropped = 0;
    return count;
}

// A store may open a box and with it an event loop, in which a stop may
// finish the backlog: each pair leaves the queue before it is stored.
void TowedStartBacklog::store(int budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!pairs.empty() && (budgetMs < 0 || clock.elapsed() < budgetMs)) {
        const Pair next = std::move(pairs.front());
        pairs.pop_front();
        bytes -= next.bytes;
        storePair(next.send, next.recv);
    }
}

void TowedStartBacklog::storeSlice()
{
    store(SliceMs);
    if (!pairs.empty())
        slice.start(0);
}
