#include "tools/simunits/SimFieldUnit.h"

#include "devlink/PayloadFields.h"

#include <QTimer>

SimFieldUnit::SimFieldUnit(QObject* parent)
    : SimFrameServer(parent)
    , heldTimer(new QTimer(this))
{
    heldTimer->setSingleShot(true);
    heldTimer->setTimerType(Qt::PreciseTimer);
    connect(heldTimer, &QTimer::timeout, this, &SimFieldUnit::SendHeldRecords);
    clock.start();
}

void SimFieldUnit::SetReplyStatusZero(bool on)
{
    replyStatusZero = on;
}

void SimFieldUnit::SetRefusedCommand(quint32 command, bool on)
{
    if (on)
        refusedCommands.insert(command);
    else
        refusedCommands.remove(command);
}

void SimFieldUnit::SetUnansweredCommand(quint32 command, bool on)
{
    if (on)
        unansweredCommands.insert(command);
    else
        unansweredCommands.remove(command);
}

void SimFieldUnit::SetExtraRecords(int count)
{
    extraRecords = qMax(0, count);
}

void SimFieldUnit::SetLateMs(int ms)
{
    lateMs = qMax(0, ms);
}

void SimFieldUnit::SetJitterMs(int ms, quint32 seed)
{
    jitterMs = qMax(0, ms);
    jitter.seed(seed);
}

void SimFieldUnit::SetSkippedPeriods(const QList<int>& periods)
{
    skippedPeriods = periods;
}

void SimFieldUnit::SetSilence(int first, int count)
{
    silentFrom = first;
    silentCount = qMax(0, count);
}

void SimFieldUnit::SetHolds(const QList<int>& periods, int ms, int records, int gapMs)
{
    holdPeriods = periods;
    holdMs = qMax(0, ms);
    piece = qMax(0, records);
    pieceMs = qMax(0, gapMs);
}

void SimFieldUnit::SetPeriodTags(bool on)
{
    periodTags = on;
}

void SimFieldUnit::SendRecord(int period)
{
    if (skippedPeriods.contains(period) || (period >= silentFrom && period - silentFrom < silentCount)) {
        ++recordsSkipped;
        return;
    }
    const qint64 now = clock.elapsed();
    if (holdPeriods.contains(period)) {
        holdUntil = now + holdMs;
        for (Held& record : held)
            record.atMs = qMax(record.atMs, holdUntil);
    }
    if (lateMs == 0 && jitterMs == 0 && held.isEmpty() && holdUntil < 0 && !handingOver) {
        SendRecordCopies(period);
        return;
    }
    qint64 at = now + lateMs + (jitterMs > 0 ? qint64(jitter.bounded(jitterMs + 1)) : 0);
    if (!held.isEmpty())
        at = qMax(at, held.last().atMs);
    held.append({qMax(at, holdUntil), period});
    if (!heldTimer->isActive())
        heldTimer->start(int(qMax<qint64>(0, held.first().atMs - now)));
}

void SimFieldUnit::SendHeldRecords()
{
    const qint64 now = clock.elapsed();
    if (holdUntil >= 0 && now >= holdUntil) {
        holdUntil = -1;
        handingOver = piece > 0;
    }
    int written = 0;
    while (!held.isEmpty() && held.first().atMs <= now && !(handingOver && written == piece)) {
        SendRecordCopies(held.takeFirst().period);
        ++written;
    }
    if (handingOver) {
        FlushWrites();
        handingOver = !held.isEmpty() && held.first().atMs <= now;
        if (handingOver) {
            heldTimer->start(pieceMs);
            return;
        }
    }
    if (!held.isEmpty())
        heldTimer->start(int(qMax<qint64>(0, held.first().atMs - now)));
}

int SimFieldUnit::RecordsSkipped() const
{
    return recordsSkipped;
}

int SimFieldUnit::RecordsSent() const
{
    return recordsSent;
}

void SimFieldUnit::SendRecordCopies(int period)
{
    for (int i = 0; i <= extraRecords; ++i) {
        if (IsClientConnected())
            ++recordsSent;
        SendRecordReports(periodTags ? std::optional<float>(float(period)) : std::nullopt);
    }
}

void SimFieldUnit::HandleRequest(quint32 command, const QByteArray& payload)
{
    const bool refused = replyStatusZero || refusedCommands.contains(command);
    const std::optional<QByteArray> reply = refused ? std::nullopt : CarryOut(command, payload);
    if (unansweredCommands.contains(command))
        return;
    if (reply)
        SendReply(command, *reply);
    else
        SendReplyStatus(command, 0);
}

QByteArray SimFieldUnit::Done()
{
    PayloadWriter status;
    status.Field(quint32(1));
    return status.Payload();
}
