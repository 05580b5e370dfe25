#pragma once

#include "devlink/RecvRecords.h"
#include "devlink/SendRecords.h"

#include <QList>
#include <QObject>

#include <limits>

// Pairs the towed records of the two units by the period they belong to.
// The units number nothing, so the pairing goes by arrival order and by the
// time each record's frame came off its socket: the two records of one
// period arrive within half a record of each other. Heads read further apart
// are judged once every record of the reads so far is in. While either link
// is read in bursts, a stall of this thread has held its records back and
// their stamps tell nothing: they pair in order. While both links deliver
// one record a period, the older head waits for its own link's next record;
// then a side holding more records than the other up to the time both were
// read has lost partners its unit never sent, and drops its stale heads,
// one for each record it holds more.
class PeriodPairing : public QObject
{
    Q_OBJECT

public:
    explicit PeriodPairing(QObject* parent = nullptr);

    // A new run of records recordMs long: nothing waiting, nothing dropped.
    void Start(int recordMs);
    // Forgets the records still waiting; the drops stay counted.
    void Clear();
    void Add(const st_TEMSendData& send);
    void Add(const st_RecvData_VRX2208& recv);
    // Records dropped without a partner since Start.
    int Dropped() const;

signals:
    void paired(st_TEMSendData send, st_RecvData_VRX2208 recv);
    // total counts the drops since Start.
    void dropped(bool transmitter, int total);

private:
    enum class Verdict { Wait, Keep, Drop };

    // Stamps of the last two records one link delivered.
    struct Rhythm
    {
        qint64 previous = std::numeric_limits<qint64>::min() / 2;
        qint64 last = std::numeric_limits<qint64>::min() / 2;
        void Note(qint64 stamp);
    };

    // Pairs the heads; heads read too far apart are judged only when
    // `settle`, which runs once the read under way has been handed on whole.
    void Pair(bool settle);
    void PostSettle();
    // One record a period, each read on its own: the link keeps up.
    bool Steady(const Rhythm& rhythm) const;
    template <class Older, class Younger>
    Verdict Judge(const QList<Older>& older, const QList<Younger>& younger) const;

    QList<st_TEMSendData> sends;
    QList<st_RecvData_VRX2208> recvs;
    Rhythm sendRhythm;
    Rhythm recvRhythm;
    qint64 recordMs = 1;
    qint64 tolerance = 1;
    int dropCount = 0;
    bool settlePosted = false;
};
