#pragma once

#include "tools/simunits/SimFrameServer.h"

#include <QSet>

#include <optional>

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
    // Every record is followed by this many more copies of its reports.
    void SetExtraRecords(int count);
    // Every record goes out this many ms after it is due.
    void SetLateMs(int ms);

    // The reports of one record (obeying the extra and late switches).
    void SendRecord();
    // Records whose reports went out to a connected field program, extra
    // copies included.
    int RecordsSent() const;

signals:
    void configured(float fs, int periods, bool continuous);
    void stopRequested();

protected:
    // Carries out one request: the payload of its reply, or nothing for a
    // command the unit does not know.
    virtual std::optional<QByteArray> CarryOut(quint32 command, const QByteArray& payload) = 0;
    virtual void SendRecordReports() = 0;
    // The reply of a command carried out: status 1.
    static QByteArray Done();

    void HandleRequest(quint32 command, const QByteArray& payload) override;

private:
    void SendRecordCopies();

    bool replyStatusZero = false;
    QSet<quint32> refusedCommands;
    int extraRecords = 0;
    int lateMs = 0;
    int recordsSent = 0;
};
