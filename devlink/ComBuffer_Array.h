#pragma once

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QWaitCondition>

// Received bytes not yet consumed. Consumed bytes are skipped by a read
// offset and compacted away only when they outweigh the rest, so cutting n
// frames (or dropping n runs of garbage) from one buffer costs linear time,
// not a move of the remainder each time.
class ComBuffer_Array : public QObject
{
    Q_OBJECT

public:
    explicit ComBuffer_Array(QObject* parent = nullptr);

    void Append(const QByteArray& bytes);
    // The unconsumed bytes, without a copy. Bytes leave only through Remove:
    // a change made through this pointer detaches it and is not taken over.
    QByteArray* Data();
    int Size();
    // Drops the first n bytes (at most all of them).
    void Remove(int n);
    void Clear();

private:
    void RefreshWindow();

    QByteArray bytes;
    int readOffset = 0;
    QByteArray window;
    QMutex mutex;
    QWaitCondition changed;
};
