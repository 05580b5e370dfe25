#include "devlink/ComBuffer_Array.h"

#include <algorithm>

ComBuffer_Array::ComBuffer_Array(QObject* parent)
    : QObject(parent)
{
    RefreshWindow();
}

void ComBuffer_Array::Append(const QByteArray& received)
{
    QMutexLocker lock(&mutex);
    TakeOverHolderChanges();
    if (readOffset > 0 && readOffset >= bytes.size() - readOffset) {
        bytes.remove(0, readOffset);
        readOffset = 0;
    }
    bytes.append(received);
    RefreshWindow();
    changed.wakeAll();
}

QByteArray* ComBuffer_Array::Data()
{
    QMutexLocker lock(&mutex);
    TakeOverHolderChanges();
    return &window;
}

int ComBuffer_Array::Size()
{
    QMutexLocker lock(&mutex);
    TakeOverHolderChanges();
    return windowSize;
}

void ComBuffer_Array::Remove(int n)
{
    QMutexLocker lock(&mutex);
    TakeOverHolderChanges();
    readOffset += std::clamp(n, 0, windowSize);
    if (readOffset == bytes.size()) {
        bytes.clear();
        readOffset = 0;
    }
    RefreshWindow();
}

void ComBuffer_Array::Clear()
{
    QMutexLocker lock(&mutex);
    TakeOverHolderChanges();
    if (windowSize > 0)
        changed.wakeAll();
    bytes.clear();
    readOffset = 0;
    RefreshWindow();
}

void ComBuffer_Array::TakeOverHolderChanges()
{
    if (window.constData() == windowBegin && window.size() == windowSize)
        return;
    // The holder's change detached the window into an array of its own.
    bytes = window;
    readOffset = 0;
    RefreshWindow();
}

void ComBuffer_Array::RefreshWindow()
{
    window = QByteArray::fromRawData(bytes.constData() + readOffset, bytes.size() - readOffset);
    windowBegin = window.constData();
    windowSize = window.size();
}
