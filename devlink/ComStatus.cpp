#include "devlink/ComStatus.h"

#include <QThread>

ComStatus::ComStatus(QObject* parent)
    : QObject(parent)
{
}

quint8 ComStatus::GetStatus() const
{
    QMutexLocker lock(&mutex);
    return flags;
}

bool ComStatus::Test(quint8 mask) const
{
    QMutexLocker lock(&mutex);
    return mask == 0 ? flags == 0 : (flags & mask) == mask;
}

void ComStatus::Set(quint8 mask)
{
    QMutexLocker lock(&mutex);
    if (mask == 0)
        ClearLocked(0xFF);
    else
        flags |= mask;
}

void ComStatus::Clear(quint8 mask)
{
    QMutexLocker lock(&mutex);
    ClearLocked(mask);
}

void ComStatus::ClearLocked(quint8 mask)
{
    if (mask & COM_CONNECTED)
        mask |= COM_SENDING | COM_RECEIVING;
    flags &= quint8(~mask);
    if (mask & COM_SENDING) {
        sendingHolder = nullptr;
        sendingDone.wakeAll();
    }
    if (mask & COM_RECEIVING) {
        receivingHolder = nullptr;
        receivingDone.wakeAll();
    }
}

bool ComStatus::Acquire(quint8 bit)
{
    QMutexLocker lock(&mutex);
    Qt::HANDLE& holder = bit == COM_SENDING ? sendingHolder : receivingHolder;
    QWaitCondition& done = bit == COM_SENDING ? sendingDone : receivingDone;
    const Qt::HANDLE self = QThread::currentThreadId();
    for (;;) {
        if (!(flags & COM_CONNECTED))
            return false;
        if (!(flags & bit))
            break;
        if (holder == self)
            return false;
        done.wait(&mutex);
    }
    flags |= bit;
    holder = self;
    return true;
}
