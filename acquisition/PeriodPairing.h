#pragma once

#include "acquisition/LinkRhythm.h"
#include "devlink/RecvRecords.h"
#include "devlink/SendRecords.h"

#include <QObject>

#include <deque>

// Pairs the towed records of the two units by the period they belong to.
// The units number nothing: each link's rhythm tells its records' periods
// (LinkRhythm), however late one link runs behind the other. Records of one
// period pair once both periods are confirmed; a record whose partner's
// period the other unit skipped is dropped. A link that delivers nothing for
// longer than its jitter explains while the other goes on is silent; the
// other side's records wait for their partners as long as a held link may
// still hand them over, and are dropped after; when it resumes, its rhythm,
// carried over the silence by the other link's, tells where. A link silent
// from the start begins at period 0 all the same, as one far behind would:
// records of the other dropped meanwhile take its first ones along.
// Everything runs on the records' read stamps, never on a clock of its own.
// With a period that cannot be judged (LinkRhythm::Judges) records pair in
// the order they come, and no silence is told.
class PeriodPairing : public QObject
{
    Q_OBJECT

public:
    explicit PeriodPairing(QObject* parent = nullptr);

    // A new run of records periodMs long: nothing waiting, nothing dropped.
    void Start(double periodMs);
    void Add(const st_TEMSendData& send);
    void Add(const st_RecvData_VRX2208& recv);
    // Towing ends: every record waiting is paired by the period its rhythm
    // gives it, or dropped.
    void Finish();
    // Forgets the records still waiting; the drops stay counted.
    void Clear();
    // Records dropped without a partner since Start.
    int Dropped() const;
    bool Silent(bool transmitter) const;
    // The other side's records wait this long for a silent link's partners.
    double PartnerWaitMs(bool transmitter) const;

signals:
    void paired(st_TEMSendData send, st_RecvData_VRX2208 recv);
    // total counts the drops since Start; periodMs is the earliest the
    // dropped record's period could be read, in the read stamps' ms.
    void dropped(bool transmitter, int total, qint64 periodMs);
    void silenceChanged(bool transmitter, bool silent);

private:
    struct Link
    {
        bool transmitter;
        LinkRhythm rhythm;
        bool silent = false;
        // Reads of the other link since this one should have delivered.
        int quietReads = 0;
        // Its base less the other's, kept over a silence: units share one
        // clock, so the other link's line carries this one's along.
        double offset = 0.0;
    };

    void arrive(Link& link, Link& other, qint64 stamp);
    void fallSilent(Link& link, Link& other);
    void pair();
    bool dropDue(Link& live, Link& quiet);
    void drop(Link& link);
    // The link is silent after this long without a record.
    double silenceMs(const Link& link) const;
    double partnerWaitMs(const Link& link) const;

    Link send{true, {}};
    Link recv{false, {}};
    std::deque<st_TEMSendData> sends;
    std::deque<st_RecvData_VRX2208> recvs;
    double period = 1.0;
    bool started = false;
    qint64 firstStamp = 0;
    int dropCount = 0;
};
