#pragma once

#include "devlink/RecvRecords.h"
#include "tools/simunits/SimFrameServer.h"

#include <QRandomGenerator>
#include <QVector>

// The receiver unit: answers configuration (1), stop (2), time-channel
// configuration (1000), automatic time channels (1001) and time
// synchronisation (2000), and uploads one data report (3) per record. It has
// no start command: SimUnitPair starts it with the transmitter.
// Gated uploads (sample mode 0) hold one decay value per gate of the table it
// built for its last accepted time-channel request (none before the first);
// the other modes upload a quarter period of full waveform at their rate.
class SimReceiverUnit : public SimFrameServer
{
    Q_OBJECT

public:
    explicit SimReceiverUnit(QObject* parent = nullptr);

    // Fault switches, beside those of SimFrameServer (SetNoReply,
    // SetCloseAfterRequests, CloseConnection, SetListening and so on).
    // Replies carry status 0 and the unit does not carry the command out.
    void SetReplyStatusZero(bool on);
    // Every record is followed by this many more copies of its upload.
    void SetExtraRecords(int count);
    // Every record goes out this many ms after it is due.
    void SetLateMs(int ms);

    // The last configuration the unit accepted, and its gate table.
    st_RecvParam Param() const;
    QVector<st_TimeGate> Gates() const;

    // The upload of one record (obeying the extra and late switches).
    void SendRecord();

signals:
    void configured(float fs, int periods, bool continuous);
    void stopRequested();

protected:
    void HandleRequest(quint32 command, const QByteArray& payload) override;

private:
    void SendUpload();
    QVector<float> GatedSamples();
    QVector<float> WaveformSamples();
    float Noisy(double value);

    bool replyStatusZero = false;
    int extraRecords = 0;
    int lateMs = 0;
    st_RecvParam param;
    QVector<st_TimeGate> gates;
    // Fixed seed: runs are repeatable, records still differ from each other.
    QRandomGenerator noise{20240601u};
};
