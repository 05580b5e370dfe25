#include "acquisition/PeriodPairing.h"
#include "tools/simunits/SimBacklogPieces.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

namespace {

// How one unit's records reach this thread: lag and jitter in records, the
// link delivering in order as TCP does.
struct UnitTiming
{
    // The unit's clock against this machine's.
    double ppm = 0.0;
    double lag = 0.0;
    double jitter = 0.0;
    // Records as late as this in place of their jitter, by period.
    QHash<int, double> late;
    QList<int> skips;
    int silentFrom = -1;
    double silentSeconds = 0.0;
    // Read only every this many records' time (0: as they come).
    int readEvery = 0;
    // The link passes nothing from a period's end for some seconds (a
    // retransmission on Wi-Fi), then hands the backlog over.
    QList<QPair<int, double>> holds;
};

struct Scenario
{
    int periods = 2000;
    UnitTiming send;
    UnitTiming recv;
    // This thread reads nothing from a period's end for some seconds.
    QList<QPair<int, double>> stalls;
    // The backlog after a hold or a stall comes this many records a read,
    // pieceMs apart (0: in one read).
    int piece = 0;
    double pieceMs = 0.0;
    // A hold longer than the silence bound may be told, and told over.
    bool holdsMayFallSilent = false;
    // Towing stops when this period ends (-1: after the last record).
    int stopAt = -1;
    // A skip inside a backlog may mispair that backlog's records.
    bool skipInStall = false;
    int seeds = 1;
};

constexpr double StartMs = 5000.0;

struct Read
{
    qint64 stamp;
    int period;
    // Held back with a skip of its link: its place cannot be told.
    bool placeless;
};

double periodEnd(const UnitTiming& u, double periodMs, int period)
{
    return StartMs + (period + 1) * periodMs * (1.0 + u.ppm * 1e-6);
}

QVector<Read> reads(const Scenario& s, const UnitTiming& u, double periodMs, QRandomGenerator& random)
{
    QVector<Read> result;
    const int silentTo = u.silentFrom + int(std::lround(u.silentSeconds * 1000.0 / periodMs));
    double previous = 0.0;
    SimBacklogPieces pieces(s.piece, s.pieceMs);
    // Where the records of the backlog being handed over begin in result.
    int backlogFrom = 0;
    const auto endBacklog = [&] {
        for (int i = backlogFrom + 1; i < result.size(); ++i) {
            if (result[i].period - result[i - 1].period > 1 && s.skipInStall) {
                for (int k = backlogFrom; k < result.size(); ++k)
                    result[k].placeless = true;
                break;
            }
        }
    };
    for (int n = 0; n < s.periods; ++n) {
        const double jitter = random.generateDouble() * u.jitter;
        if (u.skips.contains(n) || (n >= u.silentFrom && n < silentTo))
            continue;
        double at = previous =
            std::max(previous, periodEnd(u, periodMs, n) + (u.lag + u.late.value(n, jitter)) * periodMs);
        bool held = false;
        for (const QList<QPair<int, double>>& list : {s.stalls, u.holds}) {
            for (const auto& [from, seconds] : list) {
                const double begin = periodEnd({}, periodMs, from);
                if (at >= begin && at < begin + seconds * 1000.0) {
                    at = begin + seconds * 1000.0;
                    held = true;
                }
            }
        }
        const int backlog = pieces.Backlog();
        at = pieces.Read(at, held);
        if (backlog != 0 && pieces.Backlog() != backlog)
            endBacklog();
        if (pieces.Backlog() != 0 && pieces.Backlog() != backlog)
            backlogFrom = result.size();
        if (u.readEvery > 0)
            at = std::ceil(at / (u.readEvery * periodMs)) * (u.readEvery * periodMs);
        result.append({qint64(std::floor(at)), n, false});
    }
    if (pieces.Backlog() != 0)
        endBacklog();
    return result;
}

} // namespace

Q_DECLARE_METATYPE(Scenario)

// Towed records fed with the read stamps and read groupings the field
// gives, each carrying its period number: every pair holds one period, and
// records are dropped only for the partners the units never sent.
class TestPeriodPairing : public QObject
{
    Q_OBJECT

private slots:
    void pairsByPeriodUnderFieldTiming_data()
    {
        QTest::addColumn<double>("periodMs");
        QTest::addColumn<Scenario>("s");
        const auto row = [](const QString& name, const Scenario& s) {
            QTest::newRow(qPrintable("100/s, " + name)) << 10.0 << s;
            QTest::newRow(qPrintable("1/s, " + name)) << 1000.0 << s;
        };
        row("in step", {});
        for (double lag : {0.3, 0.7, 1.5, 3.0}) {
            Scenario s;
            s.send.lag = lag;
            row(QStringLiteral("transmitter %1 records late").arg(lag), s);
            std::swap(s.send, s.recv);
            row(QStringLiteral("receiver %1 records late").arg(lag), s);
        }
        Scenario jitter;
        jitter.send.jitter = jitter.recv.jitter = 2.0;
        jitter.seeds = 5;
        row("jitter of 2 records", jitter);
        jitter.recv.lag = 1.5;
        row("jitter of 2 records, receiver 1.5 late", jitter);
        Scenario stalls;
        stalls.stalls = {{300, 1.0}, {1000, 3.0}, {1700, 1.0}};
        stalls.send.jitter = stalls.recv.jitter = 0.5;
        row("stalls of 1 s and 3 s", stalls);
        Scenario bursts;
        bursts.send.readEvery = 5;
        bursts.recv.readEvery = 3;
        bursts.recv.lag = 0.7;
        row("bursts", bursts);

        Scenario skips;
        skips.send.skips = {300, 900};
        skips.recv.skips = {600, 1200};
        row("skips on each side", skips);
        skips.recv.lag = 1.5;
        row("skips on each side, receiver 1.5 late", skips);
        skips = {};
        skips.recv.skips = {400, 401, 1001};
        skips.send.skips = {700, 1000};
        row("adjacent skips", skips);
        skips = {};
        // The record before the gap late by jitter, as if it were the first
        // of one skip less.
        skips.recv.late = {{899, 0.8}};
        skips.recv.skips = {900, 901};
        skips.send.jitter = skips.recv.jitter = 0.4;
        row("a late record before adjacent skips", skips);
        skips.recv.late = {};
        skips.recv.skips = {400, 402, 1300, 1303};
        skips.send.skips = {800, 803};
        row("skips a few periods apart", skips);
        skips = {};
        skips.send.skips = skips.recv.skips = {500};
        row("a skip in the same period on both", skips);
        Scenario stalled;
        stalled.stalls = {{1000, 1.0}, {1500, 1.0}};
        stalled.send.skips = {1049};
        stalled.recv.skips = {1549};
        stalled.skipInStall = true;
        row("skips inside a stall", stalled);

        // A backlog after a hold of either link, or a stall of this thread,
        // handed over by TCP in pieces.
        for (bool receiver : {false, true}) {
            for (int piece : {1, 5, 16, 32}) {
                for (double pieceMs : {2.0, 5.0}) {
                    Scenario held;
                    held.periods = 3600;
                    (receiver ? held.recv : held.send).holds = {{300, 0.5}, {800, 1.0}, {1400, 2.0}, {2200, 5.0}};
                    (receiver ? held.send : held.recv).lag = 0.7;
                    held.send.jitter = held.recv.jitter = 0.3;
                    held.piece = piece;
                    held.pieceMs = pieceMs;
                    held.holdsMayFallSilent = true;
                    row(QStringLiteral("%1 held 0.5 to 5 s, then %2 a read %3 ms apart")
                            .arg(receiver ? "receiver" : "transmitter")
                            .arg(piece)
                            .arg(pieceMs),
                        held);
                }
            }
        }
        for (int piece : {5, 16}) {
            Scenario stalled;
            stalled.periods = 3000;
            stalled.stalls = {{300, 1.0}, {1000, 3.0}, {1700, 5.0}};
            stalled.send.jitter = stalled.recv.jitter = 0.3;
            stalled.recv.lag = 1.5;
            stalled.piece = piece;
            stalled.pieceMs = 2.0;
            row(QStringLiteral("stalls of 1, 3 and 5 s, then %1 a read 2 ms apart").arg(piece), stalled);
        }
        Scenario pieces;
        pieces.periods = 3600;
        pieces.send.holds = {{300, 2.0}, {1500, 1.0}};
        pieces.recv.holds = {{900, 2.0}, {2100, 5.0}};
        pieces.send.skips = {250, 520, 700, 1200, 2000};
        pieces.recv.skips = {600, 1300, 1301, 2900};
        pieces.send.jitter = pieces.recv.jitter = 0.3;
        pieces.piece = 16;
        pieces.pieceMs = 2.0;
        pieces.holdsMayFallSilent = true;
        row("holds handed over 16 a read, skips elsewhere", pieces);
        pieces.send.skips = {1049};
        pieces.recv.skips = {949, 2399};
        pieces.skipInStall = true;
        row("skips inside backlogs handed over 16 a read", pieces);

        for (int k = 1; k <= 6; ++k) {
            for (bool receiver : {false, true}) {
                const QString side = receiver ? "receiver" : "transmitter";
                Scenario stop;
                (receiver ? stop.recv : stop.send).skips = {stop.periods - k};
                (receiver ? stop.send : stop.recv).lag = 0.7;
                stop.send.jitter = stop.recv.jitter = 0.3;
                row(QStringLiteral("%1 skipping %2 periods before the stop").arg(side).arg(k), stop);
                Scenario silence = stop;
                silence.periods = 1500;
                UnitTiming& quiet = receiver ? silence.recv : silence.send;
                quiet.skips = {1000 - k};
                quiet.silentFrom = 1000;
                quiet.silentSeconds = 30.0;
                row(QStringLiteral("%1 skipping %2 periods before a silence").arg(side).arg(k), silence);
            }
        }
        // Both units' last records late together, as a held thread that
        // the simulated units share makes them: no skip.
        Scenario heldAtStop;
        heldAtStop.send.late = {{1998, 3.2}, {1999, 4.2}};
        heldAtStop.recv.late = {{1999, 4.0}};
        heldAtStop.recv.lag = 0.5;
        heldAtStop.send.jitter = heldAtStop.recv.jitter = 0.3;
        row("the last records of both late together", heldAtStop);
        // Towing stops while the transmitter's link still catches up.
        Scenario cutOff;
        cutOff.periods = 2400;
        cutOff.send.holds = {{1800, 2.0}};
        cutOff.piece = 1;
        cutOff.pieceMs = 5.0;
        cutOff.stopAt = 2100;
        cutOff.send.jitter = cutOff.recv.jitter = 0.3;
        row("stopping during a backlog handed over a record a read", cutOff);
        for (int periods : {20, 50}) {
            Scenario brief;
            brief.periods = periods;
            brief.send.skips = {periods / 2};
            brief.recv.skips = {periods * 3 / 4};
            brief.recv.lag = 0.7;
            brief.send.jitter = brief.recv.jitter = 0.3;
            row(QStringLiteral("a run of %1 records, a skip on each side").arg(periods), brief);
        }
        // Records late by up to two periods now and then, holds of 2 to 4 s
        // every few minutes: nothing a silence.
        Scenario slow;
        slow.periods = 3600;
        QRandomGenerator field{7};
        for (UnitTiming* u : {&slow.send, &slow.recv}) {
            u->jitter = 0.3;
            for (int n = 0; n < slow.periods; ++n) {
                if (field.bounded(100) < 3)
                    u->late.insert(n, 0.5 + 1.5 * field.generateDouble());
            }
            for (int n = int(field.bounded(300)); n < slow.periods - 10; n += 100 + int(field.bounded(400)))
                u->holds.append({n, 2.0 + 2.0 * field.generateDouble()});
        }
        slow.piece = 1;
        slow.pieceMs = 2.0;
        QTest::newRow("1/s for an hour, holds of 2 to 4 s now and then") << 1000.0 << slow;

        for (bool receiver : {true, false}) {
            Scenario silence;
            UnitTiming& quiet = receiver ? silence.recv : silence.send;
            quiet.silentFrom = 300;
            quiet.silentSeconds = 100.0;
            (receiver ? silence.send : silence.recv).lag = 0.7;
            silence.send.jitter = silence.recv.jitter = 0.5;
            // Over 100 s the units' clock moves a period at 100/s.
            silence.send.ppm = silence.recv.ppm = receiver ? 100.0 : -100.0;
            silence.periods = 1000;
            row(QStringLiteral("%1 silent 100 s, then resuming").arg(receiver ? "receiver" : "transmitter"), silence);
        }
        Scenario stop;
        stop.recv.lag = 3.0;
        stop.send.jitter = 1.0;
        stop.stopAt = 1500;
        stop.stalls = {{1450, 30.0}};
        row("stop with records queued", stop);
        for (double ppm : {100.0, -100.0}) {
            Scenario drift;
            drift.recv.ppm = ppm;
            drift.send.ppm = -ppm / 2;
            drift.periods = 30000;
            // At 1/s the links end seconds apart: the one ending first would
            // be silent.
            drift.stopAt = drift.periods - 10;
            drift.send.jitter = drift.recv.jitter = 0.5;
            drift.recv.skips = {20000};
            row(QStringLiteral("receiver's clock %1 ppm, transmitter's %2").arg(ppm).arg(-ppm / 2), drift);
        }
    }

    void pairsByPeriodUnderFieldTiming()
    {
        QFETCH(double, periodMs);
        QFETCH(Scenario, s);
        // Silences and stalls are in seconds: at 100/s they hold 100 times
        // more records.
        s.periods += int((s.send.silentSeconds + s.recv.silentSeconds) * 1000.0 / periodMs);
        for (int seed = 1; seed <= s.seeds; ++seed) {
            QRandomGenerator random{quint32(seed)};
            const QVector<Read> sends = reads(s, s.send, periodMs, random);
            const QVector<Read> recvs = reads(s, s.recv, periodMs, random);
            const qint64 stop = s.stopAt < 0 ? LLONG_MAX : qint64(periodEnd({}, periodMs, s.stopAt));

            PeriodPairing pairing;
            pairing.Start(periodMs);
            QList<QPair<int, int>> pairs;
            QList<qint64> dropTimes;
            QStringList silences;
            connect(&pairing, &PeriodPairing::paired, [&](st_TEMSendData a, st_RecvData_VRX2208 b) {
                pairs.append({int(a.SendFs), int(b.SendFs)});
            });
            connect(&pairing, &PeriodPairing::dropped,
                    [&](bool, int, qint64 periodMsAt) { dropTimes.append(periodMsAt); });
            connect(&pairing, &PeriodPairing::silenceChanged, [&](bool transmitter, bool silent) {
                silences << QString(transmitter ? "T" : "R") + (silent ? "+" : "-");
            });

            // By period: 1 read, 2 read in a backlog that held a skip back.
            QVector<char> sent(s.periods), received(s.periods);
            int fed = 0;
            int peakWaiting = 0;
            for (int i = 0, j = 0; i < sends.size() || j < recvs.size();) {
                const bool send = j == recvs.size()
                    || (i < sends.size()
                        && (sends[i].stamp < recvs[j].stamp
                            || (sends[i].stamp == recvs[j].stamp && random.bounded(2) == 0)));
                const qint64 stamp = send ? sends[i].stamp : recvs[j].stamp;
                if (stamp > stop)
                    break;
                // One read: every record of the link with this stamp.
                const auto read = [&](auto record, const QVector<Read>& link, int& next, QVector<char>& got) {
                    for (; next < link.size() && link[next].stamp == stamp; ++next) {
                        record.SendFs = link[next].period;
                        record.ArrivalMs = stamp;
                        got[link[next].period] = link[next].placeless ? 2 : 1;
                        ++fed;
                        pairing.Add(record);
                    }
                };
                if (send)
                    read(st_TEMSendData(), sends, i, sent);
                else
                    read(st_RecvData_VRX2208(), recvs, j, received);
                peakWaiting = std::max(peakWaiting, fed - 2 * int(pairs.size()) - int(dropTimes.size()));
            }
            pairing.Finish();

            const QString where = QStringLiteral("seed %1: ").arg(seed);
            QCOMPARE(2 * pairs.size() + dropTimes.size(), fed);
            QVector<int> unpartnered;
            for (int n = 0; n < s.periods; ++n) {
                if (bool(sent[n]) != bool(received[n]))
                    unpartnered << n;
            }
            QVERIFY2(
                dropTimes.size() == unpartnered.size(),
                qPrintable(where + QStringLiteral("%1 dropped for %2").arg(dropTimes.size()).arg(unpartnered.size())));
            for (const auto& [a, b] : pairs) {
                // Only in a backlog that held a skip back.
                const bool held = sent[a] == 2 || received[b] == 2;
                QVERIFY2(a == b || held, qPrintable(where + QStringLiteral("%1 paired with %2").arg(a).arg(b)));
            }

            // Each drop is told with the time of its own period.
            QList<double> due;
            for (int n : unpartnered) {
                const UnitTiming& u = sent[n] ? s.send : s.recv;
                due.append(periodEnd(u, periodMs, n) + u.lag * periodMs);
            }
            std::sort(due.begin(), due.end());
            std::sort(dropTimes.begin(), dropTimes.end());
            const double slack = (std::max(s.send.jitter, s.recv.jitter) + 0.3) * periodMs + 2.0;
            for (int k = 0; k < due.size() && !s.skipInStall; ++k)
                QVERIFY2(std::abs(dropTimes[k] - due[k]) <= slack,
                         qPrintable(where + QStringLiteral("drop at %1 for %2").arg(dropTimes[k]).arg(due[k])));

            // A silent unit is told once, and the other side waits bounded.
            if (s.send.silentFrom >= 0 || s.recv.silentFrom >= 0) {
                const QString side = s.send.silentFrom >= 0 ? "T" : "R";
                QCOMPARE(silences, (QStringList{side + "+", side + "-"}));
                QVERIFY2(peakWaiting <= pairing.PartnerWaitMs(s.send.silentFrom >= 0) / periodMs + 70,
                         qPrintable(QString::number(peakWaiting)));
            } else if (s.holdsMayFallSilent) {
                for (int k = 0; k < silences.size(); ++k)
                    QCOMPARE(silences[k].right(1), QString(k % 2 == 0 ? "+" : "-"));
                QVERIFY(silences.size() % 2 == 0);
            } else {
                QCOMPARE(silences, QStringList());
            }
        }
    }

    // Periods no rhythm can tell: the records pair in the order they come,
    // a quiet link is not told silent, and what is left is dropped at the end.
    void pairsInOrderWithAPeriodThatCannotBeJudged_data()
    {
        QTest::addColumn<double>("periodMs");
        QTest::newRow("1e-7 ms") << 1e-7;
        QTest::newRow("0.5 ms") << 0.5;
        QTest::newRow("0") << 0.0;
        QTest::newRow("negative") << -40.0;
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity();
        QTest::newRow("1e300 ms") << 1e300;
    }

    void pairsInOrderWithAPeriodThatCannotBeJudged()
    {
        QFETCH(double, periodMs);
        PeriodPairing pairing;
        pairing.Start(periodMs);
        QStringList pairs;
        int silences = 0;
        connect(&pairing, &PeriodPairing::paired, [&](st_TEMSendData a, st_RecvData_VRX2208 b) {
            pairs << QStringLiteral("%1-%2").arg(a.SendFs).arg(b.SendFs);
        });
        connect(&pairing, &PeriodPairing::silenceChanged, [&] { ++silences; });
        // The receiver in bursts, then quiet for a minute while the
        // transmitter goes on with three more.
        st_TEMSendData send;
        st_RecvData_VRX2208 recv;
        QStringList expected;
        for (int k = 0; k < 60; ++k) {
            send.SendFs = k;
            send.ArrivalMs = 1000 + 10 * k;
            pairing.Add(send);
            recv.SendFs = k;
            recv.ArrivalMs = 1000 + 50 * (k / 5 + 1);
            pairing.Add(recv);
            expected << QStringLiteral("%1-%1").arg(k);
        }
        for (int k = 60; k < 63; ++k) {
            send.SendFs = k;
            send.ArrivalMs = 1000 + 30000 * (k - 59);
            pairing.Add(send);
        }
        QVERIFY(!pairing.Silent(false));
        pairing.Finish();
        QCOMPARE(pairs, expected);
        QCOMPARE(pairing.Dropped(), 3);
        QCOMPARE(silences, 0);
    }
};

QTEST_MAIN(TestPeriodPairing)
#include "tst_periodpairing.moc"
