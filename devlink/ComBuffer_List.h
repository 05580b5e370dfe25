#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QWaitCondition>

// Frames waiting to be written. The list owns the frames it holds.
class ComBuffer_List : public QObject
{
    Q_OBJECT

public:
    explicit ComBuffer_List(QObject* parent = nullptr);
    ~ComBuffer_List() override;

    void Push(QByteArray* frame);
    QByteArray* Front() const;
    // Ownership passes to the caller; null when empty.
    QByteArray* TakeFirst();
    // Takes this frame back out wherever it stands; ownership passes to the caller.
    bool Take(QByteArray* frame);
    void Clear();

private:
    QList<QByteArray*> frames;
    mutable QMutex mutex;
    QWaitCondition changed;
};
