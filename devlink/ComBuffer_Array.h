#pragma once

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QWaitCondition>

// Received bytes not yet consumed. Consumed bytes are skipped by a read
// offset and compacted away only when they outweigh the rest, so cutting n
// frames from one buffer costs linear time, not a move of the remainder per
// frame.
class ComBuffer_Array : public QObject
{
    Q_OBJECT

public:
    explicit ComBuffer_Array(QObject* parent = nullptr);

    void Append(const QByteArray& bytes);
    // The unconsumed bytes. The holder may drop leading bytes from it
    // directly; the change is taken over by the next call on this buffer.
    QByteArray* Data();
    int Size();
    // Drops the first n bytes (at most all of them).
    void Remove(int n);
    void Clear();

private:
    void TakeOverHolderChanges();
    void RefreshWindow();

    QByteArray bytes;
    int readOffset = 0;
    // Views bytes from readOffset without a copy.
    QByteArray window;
    const char* windowBegin = nullptr;
    int windowSize = 0;
    QMutex mutex;
    QWaitCondition changed;
};
