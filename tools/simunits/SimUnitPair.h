#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>

class QTimer;
class SimFieldUnit;
class SimReceiverUnit;
class SimTransmitterUnit;

// A simulated transmitter unit and receiver unit working together, as in the
// field: the receiver has no start command, so the transmitter's start (2)
// starts both. A record lasts periods x 1000 / base frequency ms, taken from
// the last configuration either unit accepted; when it ends the transmitter
// uploads its waveform (6) and monitor (240) reports and the receiver its
// data report (3). Single mode: one record per start. Continuous mode: one
// record every record duration until each unit's own stop (transmitter 5,
// receiver 2) stops that unit; a unit that refused its stop runs on.
// The units keep their own clock: records fall due at whole periods from the
// start, and those that fell due while this thread was held go out at once.
//
// Typical test use:
//     SimUnitPair units;
//     units.SetTimeScale(0.01);                      // records 100 x faster
//     QVERIFY(units.Listen(transmitter, receiver));  // two loopback addresses
//     units.Receiver()->SetReplyStatusZero(true);    // faults: see the units
// then connect the unit links to port 12345 of those addresses. Tests take
// the addresses from the table in tests/support/TestEnvironment.h.
class SimUnitPair : public QObject
{
    Q_OBJECT

public:
    explicit SimUnitPair(QObject* parent = nullptr);

    // Loopback addresses only; false when either unit cannot listen.
    bool Listen(const QHostAddress& transmitterAddress, const QHostAddress& receiverAddress, quint16 port = 12345);

    SimTransmitterUnit* Transmitter() const;
    SimReceiverUnit* Receiver() const;

    // Factor applied to every record duration; 1.0 (real time) by default.
    void SetTimeScale(double scale);
    // The units stop by themselves after this many records of one start
    // (0: only a stop request stops them).
    void SetRecordLimit(int count);
    // Duration of one record in ms after scaling; 0 while no configuration
    // with a positive frequency and period count has been accepted.
    int RecordDurationMs() const;
    // Either unit runs.
    bool IsRunning() const;
    // This unit runs: started with the transmitter and not stopped since.
    bool IsRunning(const SimFieldUnit* unit) const;

signals:
    void started();
    void recordSent(int index); // counts from 0 within one start
    void stopped();

private slots:
    void onConfigured(float fs, int periods, bool continuous);
    void onStartRequested();
    void onStopRequested(bool transmitterStopped);
    void onRecordDue();

private:
    SimTransmitterUnit* transmitter;
    SimReceiverUnit* receiver;
    // Exact duration of one record after scaling.
    double periodMs() const;
    void scheduleNext();

    QTimer* recordTimer;
    QElapsedTimer startClock;
    bool running = false;
    bool transmitterRunning = false;
    bool receiverRunning = false;
    double timeScale = 1.0;
    float fs = 0.0f;
    int periods = 0;
    bool continuous = false;
    int recordIndex = 0;
    int recordLimit = 0;
};
