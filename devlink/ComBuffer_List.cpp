#include "devlink/ComBuffer_List.h"

ComBuffer_List::ComBuffer_List(QObject* parent)
    : QObject(parent)
{
}

ComBuffer_List::~ComBuffer_List()
{
    Clear();
}

void ComBuffer_List::Push(QByteArray* frame)
{
    QMutexLocker lock(&mutex);
    frames.append(frame);
    changed.wakeAll();
}

QByteArray* ComBuffer_List::Front() const
{
    QMutexLocker lock(&mutex);
    return frames.isEmpty() ? nullptr : frames.first();
}

QByteArray* ComBuffer_List::TakeFirst()
{
    QMutexLocker lock(&mutex);
    return frames.isEmpty() ? nullptr : frames.takeFirst();
}

bool ComBuffer_List::Take(QByteArray* frame)
{
    QMutexLocker lock(&mutex);
    return frames.removeOne(frame);
}

void ComBuffer_List::Clear()
{
    QList<QByteArray*> dropped;
    {
        QMutexLocker lock(&mutex);
        if (!frames.isEmpty())
            changed.wakeAll();
        dropped.swap(frames);
    }
    qDeleteAll(dropped);
}
