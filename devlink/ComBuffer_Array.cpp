#include "devlink/ComBuffer_Array.h"

#include <algorithm>

ComBuffer_Array::ComBuffer_Array(QObject* parent)
    : QObject(parent)
{
}

void ComBuffer_Array::Append(const QByteArray& received)
{
    QMutexLocker lock(&mutex);
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
    RefreshWindow();
    return &window;
}

int ComBuffer_Array::Size()
{
    QMutexLocker lock(&mutex);
    return bytes.size() - readOffset;
}

void ComBuffer_Array::Remove(int n)
{
    QMutexLocker lock(&mutex);
    readOffset += std::clamp(n, 0, bytes.size() - readOffset);
    if (readOffset == bytes.size()) {
        bytes.clear();
        readOffset = 0;
    }
    RefreshWindow();
}

void ComBuffer_Array::Clear()
{
    QMutexLocker lock(&mutex);
    if (bytes.size() > readOffset)
        changed.wakeAll();
    bytes.clear();
    readOffset = 0;
    RefreshWindow();
}

// Views bytes from readOffset without a copy; reset on every change, since
// appending may move the bytes. setRawData reuses the window's header, so
// dropping a false sync pattern allocates nothing.
void ComBuffer_Array::RefreshWindow()
{
    window.setRawData(bytes.constData() + readOffset, uint(bytes.size() - readOffset));
}
