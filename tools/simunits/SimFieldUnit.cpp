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
    if (lateMs == 0 && jitterMs == 0 && held.isEmpty()) {
        SendRecordCopies(period);
        return;
    }
    const qint64 at = clock.elapsed() + lateMs + (jitterMs > 0 ? qint64(jitter.bounded(jitterMs + 1)) : 0);
    held.append({held.isEmpty() ? at : qMax(at, held.last().atMs), period});
    if (!heldTimer->isActive())
        heldTimer->start(int(qMax<qint64>(0, held.first().atMs - clock.elapsed())));
}

void SimFieldUnit::SendHeldRecords()
{
    while (!held.isEmpty() && held.first().atMs <= clock.elapsed())
        SendRecordCopies(held.takeFirst().period);
    if (!held.isEmpty())
        heldTimer->start(int(qMax<qint64>(0, held.first().atMs - clock.elapsed())));
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
