#pragma once

#include "devlink/RecvRecords.h"
#include "tools/simunits/SimFieldUnit.h"

#include <QRandomGenerator>
#include <QVector>

// The receiver unit: answers configuration (1), stop (2), time-channel
// configuration (1000), automatic time channels (1001) and time
// synchronisation (2000), and uploads one data report (3) per record. It has
// no start command: SimUnitPair starts it with the transmitter.
// Gated uploads (sample mode 0) hold one decay value per gate of the table it
// built for its last accepted time-channel request (none before the first);
// the other modes upload a quarter period of full waveform at their rate.
class SimReceiverUnit : public SimFieldUnit
{
    Q_OBJECT

public:
    explicit SimReceiverUnit(QObject* parent = nullptr);

    // The last configuration the unit accepted, and its gate table.
    st_RecvParam Param() const;
    QVector<st_TimeGate> Gates() const;

protected:
    std::optional<QByteArray> CarryOut(quint32 command, const QByteArray& payload) override;
    void SendRecordReports(std::optional<float> tag) override;

private:
    QVector<float> GatedSamples();
    QVector<float> WaveformSamples();
    float Noisy(double value);

    st_RecvParam param;
    QVector<st_TimeGate> gates;
    // Fixed seed: runs are repeatable, records still differ from each other.
    QRandomGenerator noise{20240601u};
};
