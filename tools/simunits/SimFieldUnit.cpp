#include "tools/simunits/SimFieldUnit.h"

#include "devlink/PayloadFields.h"

#include <QTimer>

SimFieldUnit::SimFieldUnit(QObject* parent)
    : SimFrameServer(parent)
{
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

void SimFieldUnit::SetExtraRecords(int count)
{
    extraRecords = qMax(0, count);
}

void SimFieldUnit::SetLateMs(int ms)
{
    lateMs = qMax(0, ms);
}

void SimFieldUnit::SendRecord()
{
    if (lateMs > 0)
        QTimer::singleShot(lateMs, this, &SimFieldUnit::SendRecordCopies);
    else
        SendRecordCopies();
}

int SimFieldUnit::RecordsSent() const
{
    return recordsSent;
}

void SimFieldUnit::SendRecordCopies()
{
    for (int i = 0; i <= extraRecords; ++i) {
        if (IsClientConnected())
            ++recordsSent;
        SendRecordReports();
    }
}

void SimFieldUnit::HandleRequest(quint32 command, const QByteArray& payload)
{
    const bool refused = replyStatusZero || refusedCommands.contains(command);
    const std::optional<QByteArray> reply = refused ? std::nullopt : CarryOut(command, payload);
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
