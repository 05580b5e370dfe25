#include "tools/simunits/SimUnitPair.h"

#include "tools/simunits/SimReceiverUnit.h"
#include "tools/simunits/SimTransmitterUnit.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

SimUnitPair::SimUnitPair(QObject* parent)
    : QObject(parent)
    , transmitter(new SimTransmitterUnit(this))
    , receiver(new SimReceiverUnit(this))
    , recordTimer(new QTimer(this))
{
    connect(transmitter, &SimTransmitterUnit::configured, this, &SimUnitPair::onConfigured);
    connect(receiver, &SimReceiverUnit::configured, this, &SimUnitPair::onConfigured);
    connect(transmitter, &SimTransmitterUnit::startRequested, this, &SimUnitPair::onStartRequested);
    connect(transmitter, &SimTransmitterUnit::stopRequested, this, &SimUnitPair::onStopRequested);
    connect(receiver, &SimReceiverUnit::stopRequested, this, &SimUnitPair::onStopRequested);
    connect(recordTimer, &QTimer::timeout, this, &SimUnitPair::onRecordDue);
}

bool SimUnitPair::Listen(const QHostAddress& transmitterAddress, const QHostAddress& receiverAddress, quint16 port)
{
    return transmitter->Listen(transmitterAddress, port) && receiver->Listen(receiverAddress, port);
}

SimTransmitterUnit* SimUnitPair::Transmitter() const
{
    return transmitter;
}

SimReceiverUnit* SimUnitPair::Receiver() const
{
    return receiver;
}

void SimUnitPair::SetTimeScale(double scale)
{
    if (std::isfinite(scale) && scale > 0.0)
        timeScale = scale;
}

void SimUnitPair::SetRecordLimit(int count)
{
    recordLimit = std::max(0, count);
}

int SimUnitPair::RecordDurationMs() const
{
    if (!(fs > 0.0f) || periods <= 0)
        return 0;
    const double ms = periods * 1000.0 / double(fs) * timeScale;
    if (!(ms < std::numeric_limits<int>::max()))
        return 0;
    return std::max(1, int(ms));
}

bool SimUnitPair::IsRunning() const
{
    return recordTimer->isActive();
}

void SimUnitPair::onConfigured(float configuredFs, int configuredPeriods, bool configuredContinuous)
{
    fs = configuredFs;
    periods = configuredPeriods;
    continuous = configuredContinuous;
}

void SimUnitPair::onStartRequested()
{
    const int duration = RecordDurationMs();
    // Without a usable configuration the units have nothing to record.
    if (duration <= 0)
        return;
    recordIndex = 0;
    recordTimer->setSingleShot(!continuous);
    recordTimer->start(duration);
    emit started();
}

void SimUnitPair::onStopRequested()
{
    if (!recordTimer->isActive())
        return;
    recordTimer->stop();
    emit stopped();
}

void SimUnitPair::onRecordDue()
{
    transmitter->SendRecord();
    receiver->SendRecord();
    emit recordSent(recordIndex++);
    if (recordLimit > 0 && recordIndex >= recordLimit)
        recordTimer->stop();
    if (!recordTimer->isActive())
        emit stopped();
}
