#pragma once

#include <QMutex>
#include <QObject>
#include <QWaitCondition>

enum : quint8 {
    COM_ADDRESS = 0x01,
    COM_CONNECTED = 0x02,
    COM_SENDING = 0x04,
    COM_RECEIVING = 0x08,
};

// Flag byte of one link. The busy bits keep a write or a receive pass from
// being entered again while one runs.
class ComStatus : public QObject
{
    Q_OBJECT

public:
    explicit ComStatus(QObject* parent = nullptr);

    quint8 GetStatus() const;
    // Mask 0: true when no flag is set.
    bool Test(quint8 mask) const;
    // Mask 0: clears every flag.
    void Set(quint8 mask);
    // Clearing COM_CONNECTED also ends both busy bits.
    void Clear(quint8 mask);
    // Takes COM_SENDING or COM_RECEIVING. Waits while another thread holds
    // it; a re-entrant call from the holding thread gets false at once.
    bool Acquire(quint8 bit);

private:
    void ClearLocked(quint8 mask);

    quint8 flags = 0;
    Qt::HANDLE sendingHolder = nullptr;
    Qt::HANDLE receivingHolder = nullptr;
    mutable QMutex mutex;
    QWaitCondition sendingDone;
    QWaitCondition receivingDone;
};
