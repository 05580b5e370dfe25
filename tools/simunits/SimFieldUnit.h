#pragma once

#include "tools/simunits/SimFrameServer.h"

#include <QElapsedTimer>
#include <QList>
#include <QRandomGenerator>
#include <QSet>

#include <optional>

class QTimer;

// A field unit that records, the common ground of the simulated transmitter
// and receiver: it carries out the requests it knows (status 0 for others)
// and sends the reports of one record when SimUnitPair says a record is due.
class SimFieldUnit : public SimFrameServer
{
    Q_OBJECT

public:
    explicit SimFieldUnit(QObject* parent = nullptr);

    // Fault switches, beside those of SimFrameServer (SetNoReply,
    // SetCloseAfterRequests, CloseConnection, SetListening and so on).
    // Replies carry status 0 and the unit does not carry the command out.
    void SetReplyStatusZero(bool on);
    // The same for one command only (the start reply's first byte is then 0).
    void SetRefusedCommand(quint32 command, bool on);
    // The unit carries this command out but never replies to it.
    void SetUnansweredCommand(quint32 command, bool on);
    // Every record is followed by this many more copies of its reports.
    void SetExtraRecords(int count);
    // Every record goes out this many ms after it is due.
    void SetLateMs(int ms);

    // Record timing as links in the field have it; periods count from 0 at
    // each start. Every record goes out up to ms later still, drawn from
    // seed, and never before the one before it, as on a TCP link.
    void SetJitterMs(int ms, quint32 seed);
    // The unit never sends the records of these periods.
    void SetSkippedPeriods(const QList<int>& periods);
    // Nor those of count periods from first on, keeping its link.
    void SetSilence(int first, int count);
    // From the record of each of these periods on, the link passes nothing
    // for holdMs (TCP retransmitting on Wi-Fi), then hands what waits over
    // `piece` records a write, pieceMs apart, each write on its own, until
    // it has caught up (piece 0: all in one write).
    void SetHolds(const QList<int>& periods, int holdMs, int piece, int pieceMs);
    // For tests: each record carries its period number as its first sample,
    // a value that the project file keeps.
    void SetPeriodTags(bool on);

    // The reports of the record of a period (obeying the switches above).
    void SendRecord(int period = 0);
    // Records whose reports went out to a connected field program, extra
    // copies included.
    int RecordsSent() const;
    // Records of periods the unit skipped or was silent in.
    int RecordsSkipped() const;

signals:
    void configured(float fs, int periods, bool continuous);
    void stopRequested();

protected:
    // Carries out one request: the payload of its reply, or nothing for a
    // command the unit does not know.
    virtual std::optional<QByteArray> CarryOut(quint32 command, const QByteArray& payload) = 0;
    // tag: the period number to carry, when tags are on.
    virtual void SendRecordReports(std::optional<float> tag) = 0;
    // The reply of a command carried out: status 1.
    static QByteArray Done();

    void HandleRequest(quint32 command, const QByteArray& payload) override;

private:
    void SendRecordCopies(int period);

    bool replyStatusZero = false;
    QSet<quint32> refusedCommands;
    QSet<quint32> unansweredCommands;
    int extraRecords = 0;
    int lateMs = 0;
    int recordsSent = 0;

    // Records held back by the lag and jitter switches, in order.
    void SendHeldRecords();
    struct Held
    {
        qint64 atMs;
        int period;
    };
    QList<Held> held;
    QTimer* heldTimer;
    QElapsedTimer clock;
    QList<int> holdPeriods;
    int holdMs = 0;
    int piece = 0;
    int pieceMs = 0;
    // The end of the hold under way (-1: none).
    qint64 holdUntil = -1;
    bool handingOver = false;
    int jitterMs = 0;
    QRandomGenerator jitter;
    QList<int> skippedPeriods;
    int silentFrom = 0;
    int silentCount = 0;
    bool periodTags = false;
    int recordsSkipped = 0;
};
