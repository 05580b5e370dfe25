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
    recordTimer->setSingleShot(true);
    recordTimer->setTimerType(Qt::PreciseTimer);
    connect(transmitter, &SimTransmitterUnit::configured, this, &SimUnitPair::onConfigured);
    connect(receiver, &SimReceiverUnit::configured, this, &SimUnitPair::onConfigured);
    connect(transmitter, &SimTransmitterUnit::startRequested, this, &SimUnitPair::onStartRequested);
    connect(transmitter, &SimTransmitterUnit::stopRequested, this, [this] { onStopRequested(true); });
    connect(receiver, &SimReceiverUnit::stopRequested, this, [this] { onStopRequested(false); });
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
    const double ms = periodMs();
    if (!(ms < std::numeric_limits<int>::max()))
        return 0;
    return std::max(1, int(ms));
}

bool SimUnitPair::IsRunning() const
{
    return running;
}

bool SimUnitPair::IsRunning(const SimFieldUnit* unit) const
{
    return unit == transmitter ? transmitterRunning : unit == receiver && receiverRunning;
}

void SimUnitPair::onConfigured(float configuredFs, int configuredPeriods, bool configuredContinuous)
{
    fs = configuredFs;
    periods = configuredPeriods;
    continuous = configuredContinuous;
}

void SimUnitPair::onStartRequested()
{
    // Without a usable configuration the units have nothing to record.
    if (RecordDurationMs() <= 0)
        return;
    recordIndex = 0;
    running = true;
    transmitterRunning = true;
    receiverRunning = true;
    startClock.start();
    scheduleNext();
    emit started();
}

void SimUnitPair::onStopRequested(bool transmitterStopped)
{
    (transmitterStopped ? transmitterRunning : receiverRunning) = false;
    if (!running || transmitterRunning || receiverRunning)
        return;
    running = false;
    recordTimer->stop();
    emit stopped();
}

void SimUnitPair::onRecordDue()
{
    while (running && (recordIndex + 1) * periodMs() <= startClock.nsecsElapsed() / 1e6) {
        if (transmitterRunning)
            transmitter->SendRecord(recordIndex);
        if (receiverRunning)
            receiver->SendRecord(recordIndex);
        emit recordSent(recordIndex++);
        if (running && (!continuous || (recordLimit > 0 && recordIndex >= recordLimit))) {
            running = false;
            transmitterRunning = false;
            receiverRunning = false;
            emit stopped();
        }
    }
    if (running)
        scheduleNext();
}

double SimUnitPair::periodMs() const
{
    return periods * 1000.0 / double(fs) * timeScale;
}

void SimUnitPair::scheduleNext()
{
    const double dueMs = (recordIndex + 1) * periodMs();
    recordTimer->start(int(std::max(0.0, std::ceil(dueMs - startClock.nsecsElapsed() / 1e6))));
}
