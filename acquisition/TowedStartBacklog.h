#pragma once

#include "devlink/RecvRecords.h"
#include "devlink/SendRecords.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

// Towed pairs made before the transmitter answered its start, and those made
// while they are stored. They wait bounded in bytes: past the bound the
// oldest give way, counted. Once the start is accepted they are stored a
// slice at a time, leaving the window its time, every pair made meanwhile
// behind them.
class TowedStartBacklog : public QObject
{
    Q_OBJECT

public:
    using Store = std::function<void(const st_TEMSendData&, const st_RecvData_VRX2208&)>;

    // About ten seconds of gated pairs at 100 records/s.
    static constexpr qint64 MaxBytes = qint64(32) << 20;
    // A slice of storing ends once it has stored for this long.
    static constexpr int SliceMs = 50;

    explicit TowedStartBacklog(Store store, QObject* parent = nullptr);

    void SetMaxBytes(qint64 bytes);

    // The start is asked: pairs wait from now on.
    void Hold();
    // Stored now while nothing waits and the start is accepted; else it waits.
    void Add(const st_TEMSendData& send, const st_RecvData_VRX2208& recv);
    // The start is accepted: what waits is stored.
    void Release();
    // The acquisition ends: what still waits is stored now, nothing of it
    // lost to a stop.
    void Finish();
    // The start was refused: nothing that waits is stored.
    void Clear();

    qint64 Bytes() const;
    int Waiting() const;
    // Pairs that gave way since the last call.
    int TakeDropped();

private:
    struct Pair
    {
        st_TEMSendData send;
        st_RecvData_VRX2208 recv;
        qint64 bytes;
    };

    // Stores the oldest until none is left or budgetMs are spent (none: no
    // bound).
    void store(int budgetMs);
    void storeSlice();

    Store storePair;
    std::deque<Pair> pairs;
    qint64 bytes = 0;
    qint64 maxBytes = MaxBytes;
    bool holding = false;
    int dropped = 0;
    QTimer slice;
};
