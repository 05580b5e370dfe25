#pragma once

#include "devlink/SendRecords.h"
#include "tools/simunits/SimFieldUnit.h"

// The transmitter unit: answers configuration (1), start (2), stop (5) and
// device information (0), and uploads a waveform report (6) followed by a
// monitor report (240) for every record. When records are due is decided
// by SimUnitPair, which owns it.
class SimTransmitterUnit : public SimFieldUnit
{
    Q_OBJECT

public:
    explicit SimTransmitterUnit(QObject* parent = nullptr);

    // The last configuration the unit accepted.
    st_TEMSendInfo Config() const;

signals:
    void startRequested();

protected:
    std::optional<QByteArray> CarryOut(quint32 command, const QByteArray& payload) override;
    void SendRecordReports(std::optional<float> tag) override;

private:
    st_TEMSendInfo config;
};
