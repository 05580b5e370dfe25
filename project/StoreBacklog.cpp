#include "project/StoreBacklog.h"

#include "acquisition/RecordBytes.h"
#include "project/TreeLabels.h"

#include <QElapsedTimer>
#include <QtDebug>

#include <utility>

namespace {

qint64 startOf(const ZOLVA_Data& record)
{
    return record.recvs.isEmpty() ? 0 : record.recvs.first().StartTime;
}

} // namespace

StoreBacklog::StoreBacklog(qint64 capacityBytes, int retryMs, int quietMs, Write write, QObject* parent)
    : QObject(parent)
    , capacityBytes(capacityBytes)
    , retryMs(retryMs)
    , write(std::move(write))
{
    retryTimer.setSingleShot(true);
    quietTimer.setSingleShot(true);
    quietTimer.setInterval(quietMs);
    connect(&retryTimer, &QTimer::timeout, this, &StoreBacklog::retry);
    connect(&quietTimer, &QTimer::timeout, this, &StoreBacklog::endStreak);
}

void StoreBacklog::store(const ZOLVA_Data& record)
{
    if (records.empty()) {
        closeGap();
        const ProjectFileAccess::Access access = write(record);
        if (access == ProjectFileAccess::Writable)
            return;
        wait(record);
        fail(access);
    } else {
        wait(record);
    }
    emit changed();
}

int StoreBacklog::discard()
{
    const int discarded = waiting();
    retryTimer.stop();
    quietTimer.stop();
    records.clear();
    bytes = 0;
    if (discarded > 0)
        qWarning("%d towed records waiting for the project file discarded", discarded);
    if (streak)
        endStreak();
    return discarded;
}

int StoreBacklog::waiting() const
{
    return int(records.size());
}

qint64 StoreBacklog::waitingBytes() const
{
    return bytes;
}

int StoreBacklog::lost() const
{
    return lostCount;
}

QVector<StoreBacklog::Gap> StoreBacklog::gaps() const
{
    return lostGaps;
}

ProjectFileAccess::Access StoreBacklog::cause() const
{
    return failure;
}

void StoreBacklog::retry()
{
    const int before = waiting();
    if (!writeWaiting()) {
        retryTimer.start(retryMs);
    } else if (records.empty()) {
        // A gap ends once what waits is written, at the latest.
        closeGap();
        quietTimer.start();
    } else {
        retryTimer.start(0);
    }
    if (waiting() != before)
        emit changed();
}

bool StoreBacklog::writeWaiting()
{
    QElapsedTimer spent;
    spent.start();
    while (!records.empty()) {
        const ProjectFileAccess::Access access = write(records.front().record);
        if (access != ProjectFileAccess::Writable) {
            failure = access;
            return false;
        }
        bytes -= records.front().bytes;
        records.pop_front();
        if (spent.elapsed() >= SliceMs)
            break;
    }
    return true;
}

void StoreBacklog::wait(const ZOLVA_Data& record)
{
    const qint64 weight = RecordBytes::of(record);
    if (bytes + weight > capacityBytes) {
        lose(record);
        return;
    }
    closeGap();
    records.push_back({record, weight});
    bytes += weight;
}

void StoreBacklog::lose(const ZOLVA_Data& record)
{
    const qint64 start = startOf(record);
    if (!inGap) {
        inGap = true;
        lostGaps.append({start, start, 0});
    }
    lostGaps.last().lastMs = start;
    ++lostGaps.last().count;
    ++lostCount;
}

void StoreBacklog::closeGap()
{
    if (!std::exchange(inGap, false))
        return;
    const Gap& gap = lostGaps.last();
    qWarning("%d towed records from %s to %s lost: what waits for the project file may weigh %lld bytes", gap.count,
             qPrintable(TreeLabels::timedPoint(gap.firstMs)), qPrintable(TreeLabels::timedPoint(gap.lastMs)),
             capacityBytes);
}

void StoreBacklog::fail(ProjectFileAccess::Access access)
{
    failure = access;
    quietTimer.stop();
    retryTimer.start(retryMs);
    if (streak)
        return;
    streak = true;
    emit streakBegan();
}

void StoreBacklog::endStreak()
{
    closeGap();
    streak = false;
    emit streakEnded(lostCount);
    lostCount = 0;
    lostGaps.clear();
    emit changed();
}
