#include "project/StoreBacklog.h"

#include <QElapsedTimer>

StoreBacklog::StoreBacklog(int capacity, int retryMs, int quietMs, Write write, QObject* parent)
    : QObject(parent)
    , capacity(capacity)
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
        const ProjectFileAccess::Access access = write(record);
        if (access == ProjectFileAccess::Writable)
            return;
        records.push_back(record);
        fail(access);
    } else if (int(records.size()) < capacity) {
        records.push_back(record);
    } else {
        ++lostCount;
    }
    emit changed();
}

void StoreBacklog::finish()
{
    retryTimer.stop();
    quietTimer.stop();
    if (!streak)
        return;
    writeWaiting(-1);
    lostCount += int(records.size());
    records.clear();
    endStreak();
}

int StoreBacklog::waiting() const
{
    return int(records.size());
}

int StoreBacklog::lost() const
{
    return lostCount;
}

ProjectFileAccess::Access StoreBacklog::cause() const
{
    return failure;
}

void StoreBacklog::retry()
{
    const int before = waiting();
    if (!writeWaiting(SliceMs))
        retryTimer.start(retryMs);
    else if (records.empty())
        quietTimer.start();
    else
        retryTimer.start(0);
    if (waiting() != before)
        emit changed();
}

bool StoreBacklog::writeWaiting(int budgetMs)
{
    QElapsedTimer spent;
    spent.start();
    while (!records.empty()) {
        const ProjectFileAccess::Access access = write(records.front());
        if (access != ProjectFileAccess::Writable) {
            failure = access;
            return false;
        }
        records.pop_front();
        if (budgetMs >= 0 && spent.elapsed() >= budgetMs)
            break;
    }
    return true;
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
    const int lost = lostCount;
    streak = false;
    lostCount = 0;
    emit changed();
    emit streakEnded(lost);
}
