// A towed run against the simulated units at 100 records/s, through the real
// collector and data model into a fresh project file, the towed line
// expanded in a shown tree from the first minute on. The units run on a
// thread of their own, so that a stall of the GUI thread holds back the
// reads as it does with real units; their links may lag and jitter, be
// held and hand their backlog over in pieces, they may skip periods and
// one may fall silent, and every record carries its period number. Prints
// records sent, skipped, parsed, stored, mispaired and dropped; the queue
// peak and memory; the GUI thread's time catching up after a silence; the
// store time and the GUI thread's work per record at the start and at the
// end; resident memory per 1000 records; the GUI thread's worst lateness.
// With a start answered late: the pairs that waited for it, the memory they
// held and the GUI thread's worst lateness while they were stored.
// Then the pairing alone is fed hours of the same links' read stamps: its
// pairs, drops and CPU time per record at the start and at the end.

#include "BenchFigures.h"
#include "PairingAlone.h"
#include "TowedPlan.h"
#include "acquisition/ZOLVA_Collector.h"
#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/SendPayloads.h"
#include "devlink/iLibSend.h"
#include "orm/Database.h"
#include "project/DataModel_Index.h"
#include "project/Data_Calc.h"
#include "project/VectorBlob.h"
#include "tools/simunits/SimPeriodReads.h"
#include "tools/simunits/SimReceiverUnit.h"
#include "tools/simunits/SimTransmitterUnit.h"
#include "tools/simunits/SimUnitAddress.h"
#include "tools/simunits/SimUnitPair.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QState>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using BenchFigures::median;
using BenchFigures::residentMiB;

namespace {

constexpr int RecordsPerSecond = TowedPlan::RecordsPerSecond;
// Drops told one by one; a silence drops thousands.
constexpr int DropsShown = 10;

int warnedDrops = 0;
QElapsedTimer runClock;
QtMessageHandler defaultHandler = nullptr;

void countDrops(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const bool drop = text.contains(QLatin1String("dropped without its partner"));
    if (type == QtWarningMsg && (drop || text.contains(QLatin1String("sends no records")))) {
        warnedDrops += drop ? 1 : 0;
        if (!drop || warnedDrops <= DropsShown)
            std::printf("  at %.1f s: %s\n", runClock.elapsed() / 1000.0, qPrintable(text));
    } else {
        defaultHandler(type, context, text);
    }
}

// CPU time of the calling thread in ms.
double threadCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

QByteArray loadAverage()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    return load.open(QIODevice::ReadOnly) ? load.readAll().split(' ').mid(0, 3).join(' ') : QByteArray("unknown");
}

// Runs the event loop for ms.
void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        pause(50);
    }
    return true;
}

// Runs f on the units' thread and waits for it.
void onUnits(SimUnitPair* units, const std::function<void()>& f)
{
    QMetaObject::invokeMethod(units, f, Qt::BlockingQueuedConnection);
}

// "a,b" as two whole numbers.
bool twoNumbers(const QString& text, int* a, int* b)
{
    const QStringList parts = text.split(QLatin1Char(','));
    bool okA = false, okB = false;
    if (parts.size() == 2) {
        *a = parts[0].toInt(&okA);
        *b = parts[1].toInt(&okB);
    }
    return okA && okB && *a >= 0 && *b >= 0;
}

// "a" or "a,b" as whole numbers; b keeps its value when not given.
bool oneOrTwoNumbers(const QString& text, int* a, int* b)
{
    return twoNumbers(text, a, b) || twoNumbers(text + QLatin1Char(',') + QString::number(*b), a, b);
}

void printPairingAlone(const TowedPlan& plan, double hours)
{
    const PairingAlone alone = PairingAlone::Run(plan);
    std::printf("pairing alone:   %.1f h simulated, %lld records: %lld pairs, %lld of them mispaired; %lld dropped, "
                "against %lld periods sent by one unit only\n",
                hours, alone.records, alone.pairs, alone.mispaired, alone.dropped, alone.oneSided);
    std::printf("pairing time:    %.0f ns per record over the first simulated minute, %.0f ns over the last (%.2f "
                "times), %.0f ns over the whole run\n",
                alone.firstMinuteNs, alone.lastMinuteNs,
                alone.firstMinuteNs > 0.0 ? alone.lastMinuteNs / alone.firstMinuteNs : 0.0, alone.wholeRunNs);
}

// Records stored, GUI thread CPU and resident memory at one moment.
struct Stretch
{
    int records = 0;
    double cpuMs = 0.0;
    double residentMiB = 0.0;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Towed run at 100 records/s against the simulated units."));
    options.addHelpOption();
    options.addOption({QStringLiteral("seconds"), QStringLiteral("Duration of the run (180)."), QStringLiteral("s"),
                       QStringLiteral("180")});
    options.addOption({QStringLiteral("units"),
                       QStringLiteral("Loopback addresses of the transmitter and the receiver, comma-separated."),
                       QStringLiteral("addresses"), QStringLiteral("127.0.0.200,127.0.0.201")});
    options.addOption({QStringLiteral("lag"),
                       QStringLiteral("Delay of every record of the transmitter's and the receiver's link (0,0)."),
                       QStringLiteral("ms,ms"), QStringLiteral("0,0")});
    options.addOption({QStringLiteral("jitter"),
                       QStringLiteral("Further random delay of each record, up to, transmitter and receiver (0,0)."),
                       QStringLiteral("ms,ms"), QStringLiteral("0,0")});
    options.addOption({QStringLiteral("skips"),
                       QStringLiteral("Periods each unit skips, spread over the run, never the same (0)."),
                       QStringLiteral("count"), QStringLiteral("0")});
    options.addOption({QStringLiteral("silence"),
                       QStringLiteral("The receiver sends nothing for this long, from a third of the run on (0)."),
                       QStringLiteral("s"), QStringLiteral("0")});
    options.addOption({QStringLiteral("hold"),
                       QStringLiteral("A link passes nothing for ms, every s seconds, the transmitter's and the "
                                      "receiver's by turns (once, halfway, on the transmitter's; 0: never)."),
                       QStringLiteral("ms[,s]"), QStringLiteral("0")});
    options.addOption({QStringLiteral("pieces"),
                       QStringLiteral("A held link hands its backlog over this many records a write, ms apart (at "
                                      "once)."),
                       QStringLiteral("records,ms"), QStringLiteral("0,0")});
    options.addOption({QStringLiteral("pairing-hours"),
                       QStringLiteral("Hours of the same links' read stamps fed to the pairing alone after the run "
                                      "(8; 0: none)."),
                       QStringLiteral("h"), QStringLiteral("8")});
    options.addOption({QStringLiteral("start-late"),
                       QStringLiteral("The transmitter carries out its start at once but answers it this late (0)."),
                       QStringLiteral("s"), QStringLiteral("0")});
    options.addOption({QStringLiteral("alone"), QStringLiteral("Only the pairing alone, no run against the units.")});
    options.process(app);
    const int seconds = std::max(3, options.value(QStringLiteral("seconds")).toInt());
    const QStringList addresses = options.value(QStringLiteral("units")).split(QLatin1Char(','));
    QHostAddress transmitter, receiver;
    if (addresses.size() != 2 || !ParseLoopbackAddress(addresses[0], &transmitter)
        || !ParseLoopbackAddress(addresses[1], &receiver) || transmitter == receiver) {
        std::fprintf(stderr, "--units takes two different addresses in 127.0.0.0/8\n");
        return 2;
    }
    int lag[2] = {0, 0};
    int jitter[2] = {0, 0};
    int hold[2] = {0, 0};
    int pieces[2] = {0, 0};
    if (!twoNumbers(options.value(QStringLiteral("lag")), &lag[0], &lag[1])
        || !twoNumbers(options.value(QStringLiteral("jitter")), &jitter[0], &jitter[1])
        || !oneOrTwoNumbers(options.value(QStringLiteral("hold")), &hold[0], &hold[1])
        || !twoNumbers(options.value(QStringLiteral("pieces")), &pieces[0], &pieces[1])) {
        std::fprintf(stderr,
                     "--lag, --jitter and --pieces take two whole numbers, comma-separated, --hold one or two\n");
        return 2;
    }
    const int startLateMs = std::max(0, int(options.value(QStringLiteral("start-late")).toDouble() * 1000));
    const int skips = options.value(QStringLiteral("skips")).toInt();
    const int silence = options.value(QStringLiteral("silence")).toInt();
    const auto plan = [&](double planSeconds) {
        TowedPlan p = TowedPlan::Make(planSeconds, skips, silence, hold[0], hold[1]);
        for (int u = 0; u < 2; ++u) {
            p.lagMs[u] = lag[u];
            p.jitterMs[u] = jitter[u];
        }
        p.piece = pieces[0];
        p.pieceMs = pieces[1];
        return p;
    };
    const double pairingHours = std::max(0.0, options.value(QStringLiteral("pairing-hours")).toDouble());
    if (options.isSet(QStringLiteral("alone"))) {
        printPairingAlone(plan(pairingHours * 3600.0), pairingHours);
        return 0;
    }
    const TowedPlan towed = plan(seconds);
    const int silentFrom = towed.silentFrom;
    const int silentCount = towed.silentCount;
    defaultHandler = qInstallMessageHandler(countDrops);

    QThread unitThread;
    auto* units = new SimUnitPair;
    units->moveToThread(&unitThread);
    QObject::connect(&unitThread, &QThread::finished, units, &QObject::deleteLater);
    unitThread.start();
    bool listening = false;
    onUnits(units, [&] {
        listening = units->Listen(transmitter, receiver);
        SimFieldUnit* unit[2] = {units->Transmitter(), units->Receiver()};
        for (int u = 0; u < 2; ++u) {
            unit[u]->SetLateMs(lag[u]);
            unit[u]->SetJitterMs(jitter[u], quint32(u + 1));
            unit[u]->SetSkippedPeriods(towed.skipped[u]);
            unit[u]->SetHolds(towed.holds[u], towed.holdMs, towed.piece, towed.pieceMs);
            unit[u]->SetPeriodTags(true);
        }
        units->Receiver()->SetSilence(silentFrom, silentCount);
        units->Transmitter()->SetLateReply(SendCommand::Start, startLateMs);
    });
    if (!listening) {
        std::fprintf(stderr, "the units cannot listen on %s and %s\n", qPrintable(addresses[0]),
                     qPrintable(addresses[1]));
        unitThread.quit();
        unitThread.wait();
        return 1;
    }

    QTemporaryDir dir;
    DataModel_Index model;
    Data_Calc calc;
    model.setCalc(&calc);
    model.resize(320, 640);
    model.show();
    if (!model.openProject(dir.filePath(QStringLiteral("towed.ZOLVA")))) {
        std::fprintf(stderr, "cannot create the project file\n");
        return 1;
    }
    model.setProperty("LineNo", 1.0);

    ZOLVA_Collector collector;
    collector.SetWifiQuery([] { return -1; });
    collector.setProperty("DeviceIP_Send", addresses[0]);
    collector.setProperty("DeviceIP_Recv", addresses[1]);
    // Where each record was read, by its period.
    SimPeriodReads reads[2];
    QObject::connect(collector.findChild<iLibSend*>(), &iLibSend::TEM_NewSendData,
                     [&](const st_TEMSendData& d) { reads[0].Note(d); });
    QObject::connect(collector.findChild<ILibRecv_VRX2208*>(), &ILibRecv_VRX2208::onRecvData,
                     [&](const st_RecvData_VRX2208& d) { reads[1].Note(d); });

    // The store is timed by one connection before the model's and one after.
    QElapsedTimer storeClock;
    QVector<double> storeMs;
    QObject::connect(&collector, &ZOLVA_Collector::dataSave, [&](bool save) {
        if (save)
            storeClock.start();
    });
    QObject::connect(&collector, &ZOLVA_Collector::dataUpload, &model, &DataModel_Index::dataUpload);
    QObject::connect(&collector, &ZOLVA_Collector::dataSave, &model, &DataModel_Index::dataSave);
    QObject::connect(&collector, &ZOLVA_Collector::dataSave, [&](bool save) {
        if (save)
            storeMs.append(storeClock.nsecsElapsed() / 1e6);
    });
    QObject::connect(&model, &DataModel_Index::onSaveOver, &collector, &ZOLVA_Collector::cmdSaveOver);
    collector.Start();
    collector.onLoad_Param(100.0, 1, 1);
    if (!waitUntil([&] { return collector.isActive(QStringLiteral("DeviceWaitSet")); }, 5000))
        return 1;
    emit collector.onBtnConnect();
    if (!waitUntil([&] { return collector.isActive(QStringLiteral("SampleWaitParam")); }, 10000)) {
        std::fprintf(stderr, "the collector does not reach the units\n");
        return 1;
    }

    // The pairs that waited for a late start reply, the memory they held,
    // and the GUI thread's worst lateness until they were stored.
    auto* backlog = collector.findChild<TowedStartBacklog*>();
    int pairsAtReply = 0;
    int gaveWay = 0;
    double startMiB = 0.0;
    double waitPeakMiB = 0.0;
    qint64 heldPeakBytes = 0;
    qint64 replyMs = -1;
    qint64 releasedMs = -1;
    double worstReleaseLateMs = 0.0;
    QObject::connect(collector.state(QStringLiteral("SampleDataUpload")), &QState::entered, [&] {
        if (replyMs < 0) {
            replyMs = runClock.elapsed();
            pairsAtReply = backlog->Waiting();
        }
    });
    QObject::connect(&collector, &ZOLVA_Collector::notice,
                     [&](const QString& text) { gaveWay += text.section(QLatin1Char(' '), 0, 0).toInt(); });

    // Records read and not yet stored nor dropped wait in the collector.
    const auto waiting = [&] { return reads[0].Count() + reads[1].Count() - 2 * storeMs.size() - warnedDrops; };
    int queuePeak = 0;
    // The GUI thread's lateness: how much later than due a 10 ms tick comes;
    // apart, the worst in the seconds after the silent unit resumes.
    const qint64 resumeMs = qint64(silentFrom + silentCount + 1) * 1000 / RecordsPerSecond;
    constexpr qint64 CatchUpMs = 3000;
    QElapsedTimer tickClock;
    double worstLateMs = 0.0;
    double worstCatchUpLateMs = 0.0;
    int lateTicks = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const double lateMs = tickClock.nsecsElapsed() / 1e6 - 10.0;
        worstLateMs = std::max(worstLateMs, lateMs);
        lateTicks += lateMs > 200.0 ? 1 : 0;
        const qint64 now = runClock.elapsed();
        if (silentCount > 0 && now >= resumeMs && now < resumeMs + CatchUpMs)
            worstCatchUpLateMs = std::max(worstCatchUpLateMs, lateMs);
        queuePeak = std::max(queuePeak, int(waiting()));
        heldPeakBytes = std::max(heldPeakBytes, backlog->Bytes());
        if (replyMs >= 0 && releasedMs < 0) {
            worstReleaseLateMs = std::max(worstReleaseLateMs, lateMs);
            if (backlog->Waiting() == 0)
                releasedMs = now;
        }
        tickClock.start();
    });

    const int stretchMs = std::min(60, seconds / 3) * 1000;
    std::printf("towed run of %d s at %d records/s, the line expanded after %d s; lag %d ms and %d ms, jitter up to "
                "%d ms and %d ms (transmitter, receiver); %d and %d skips; the receiver silent for %d s from "
                "%d s on; %d and %d holds of %d ms, handed over %d records a write %d ms apart; load average %s\n",
                seconds, RecordsPerSecond, stretchMs / 1000, lag[0], lag[1], jitter[0], jitter[1],
                int(towed.skipped[0].size()), int(towed.skipped[1].size()), silentCount / RecordsPerSecond,
                silentFrom / RecordsPerSecond, int(towed.holds[0].size()), int(towed.holds[1].size()), towed.holdMs,
                towed.piece, towed.pieceMs, loadAverage().constData());
    QElapsedTimer& run = runClock;
    startMiB = residentMiB();
    emit collector.onBtnSampleStart();
    run.start();
    tickClock.start();
    ticks.start(10);

    // Snapshots: the line expanded, one stretch later, one stretch before the end.
    QVector<Stretch> marks;
    const auto mark = [&] { marks.append({int(storeMs.size()), threadCpuMs(), residentMiB()}); };
    // GUI thread CPU and records stored in each second of the run, to tell
    // the second the silent unit resumed from ordinary ones; memory over
    // the silence.
    QVector<double> cpuBySecond;
    QVector<int> storedBySecond;
    const qint64 silenceMs = qint64(silentFrom) * 1000 / RecordsPerSecond;
    double silenceStartMiB = 0.0;
    double silencePeakMiB = 0.0;
    while (run.elapsed() < seconds * 1000) {
        pause(100);
        const qint64 now = run.elapsed();
        if (marks.isEmpty() && now >= stretchMs && model.topLevelItemCount() > 0) {
            model.expandItem(model.topLevelItem(0));
            model.scrollToBottom();
            mark();
        } else if ((marks.size() == 1 && now >= 2 * stretchMs)
                   || (marks.size() == 2 && now >= seconds * 1000 - stretchMs)) {
            mark();
        }
        if (startLateMs > 0 && replyMs < 0)
            waitPeakMiB = std::max(waitPeakMiB, residentMiB());
        while (cpuBySecond.size() <= now / 1000) {
            cpuBySecond.append(threadCpuMs());
            storedBySecond.append(storeMs.size());
        }
        if (silentCount > 0) {
            if (now >= silenceMs && now < resumeMs + CatchUpMs) {
                silenceStartMiB = silenceStartMiB > 0.0 ? silenceStartMiB : residentMiB();
                silencePeakMiB = std::max(silencePeakMiB, residentMiB());
            }
        }
    }
    mark();
    ticks.stop();

    // The units stop after their next record; all they sent is read, then
    // the collector stops, storing or counting what still waits.
    onUnits(units, [&] { units->SetRecordLimit(1); });
    int sent[2] = {-1, -1};
    int withheld[2] = {0, 0};
    waitUntil(
        [&] {
            onUnits(units, [&] {
                if (!units->IsRunning()) {
                    sent[0] = units->Transmitter()->RecordsSent();
                    sent[1] = units->Receiver()->RecordsSent();
                    withheld[0] = units->Transmitter()->RecordsSkipped();
                    withheld[1] = units->Receiver()->RecordsSkipped();
                }
            });
            return sent[0] >= 0;
        },
        5000);
    waitUntil([&] { return reads[0].Count() >= sent[0] && reads[1].Count() >= sent[1]; }, 10000);
    collector.onBtnSampleStop();

    const int due = sent[0] + withheld[0];
    int oneSided = 0;
    for (int p = 0; p < due; ++p)
        oneSided += reads[0].Contains(p) != reads[1].Contains(p) ? 1 : 0;
    QSqlQuery rows(orm::Database::connection());
    rows.exec(QStringLiteral("SELECT substr(DATA_SEND, 1, 8), substr(DATA_RECV, 1, 8) FROM Data_Sample"));
    int stored = 0;
    int mispaired = 0;
    int mispairedInBursts = 0;
    while (rows.next()) {
        ++stored;
        const int s = qRound(bytesToVector(rows.value(0).toByteArray()).value(0, -1.0));
        const int r = qRound(bytesToVector(rows.value(1).toByteArray()).value(0, -1.0));
        if (s == r)
            continue;
        ++mispaired;
        mispairedInBursts += reads[0].HeldBack(s) || reads[1].HeldBack(r) ? 1 : 0;
    }

    const auto workPerRecord = [&](int from) {
        const Stretch& a = marks.value(from);
        const Stretch& b = marks.value(from + 1);
        return b.records > a.records ? (b.cpuMs - a.cpuMs) / (b.records - a.records) : 0.0;
    };
    const Stretch expandedAt = marks.value(0);
    const Stretch end = marks.value(marks.size() - 1);
    std::printf("records sent:    transmitter %d, receiver %d of %d periods; skipped %d and %d\n", sent[0], sent[1],
                due, withheld[0], withheld[1]);
    std::printf("records parsed:  transmitter %d, receiver %d\n", reads[0].Count(), reads[1].Count());
    std::printf("records stored:  %d pairs, %d of them mispaired, %d of those in a read that held records back\n",
                stored, mispaired, mispairedInBursts);
    std::printf("records dropped: %d warned, against %d periods skipped by one unit only\n", warnedDrops, oneSided);
    std::printf("queue peak:      %d records waiting for their partner\n", queuePeak);
    if (silentCount > 0) {
        std::printf("silence:         resident memory %.1f MiB as it began, at most %.1f MiB until %lld s after it "
                    "ended\n",
                    silenceStartMiB, silencePeakMiB, CatchUpMs / 1000);
        // The second the unit resumed in, against the pairs stored in it at
        // the cost of an ordinary second after it (the median of ten).
        const int resumed = int(resumeMs / 1000);
        const auto cpuIn = [&](int second) { return cpuBySecond.value(second + 1) - cpuBySecond.value(second); };
        const auto storedIn = [&](int second) {
            return storedBySecond.value(second + 1) - storedBySecond.value(second);
        };
        QVector<double> perPair;
        for (int second = resumed + 2; second < resumed + 12 && second + 1 < cpuBySecond.size(); ++second) {
            if (storedIn(second) > 0)
                perPair.append(cpuIn(second) / storedIn(second));
        }
        std::printf("catching up:     GUI thread CPU %.1f ms in the second the unit resumed, with %d pairs stored at "
                    "%.2f ms each: %.1f ms beyond them; worst GUI lateness %.1f ms in the %lld s after the resume\n",
                    cpuIn(resumed), storedIn(resumed), median(perPair),
                    cpuIn(resumed) - storedIn(resumed) * median(perPair), worstCatchUpLateMs, CatchUpMs / 1000);
    }
    if (startLateMs > 0) {
        std::printf("late start:      answered after %.1f s: %d pairs waited for it, at most %.1f MiB of the %lld MiB "
                    "bound; %d gave way; resident memory %.1f MiB at the start, at most %.1f MiB while waiting\n",
                    replyMs / 1000.0, pairsAtReply, heldPeakBytes / 1048576.0, TowedStartBacklog::MaxBytes >> 20,
                    gaveWay, startMiB, waitPeakMiB);
        std::printf("storing them:    %.1f s, worst GUI lateness %.1f ms meanwhile\n",
                    releasedMs >= 0 ? (releasedMs - replyMs) / 1000.0 : -1.0, worstReleaseLateMs);
    }
    std::printf("store time:      median %.3f ms of the first 1000, %.3f ms of the last 1000, worst %.1f ms\n",
                median(storeMs.mid(0, 1000)), median(storeMs.mid(std::max(0, int(storeMs.size()) - 1000))),
                storeMs.isEmpty() ? 0.0 : *std::max_element(storeMs.begin(), storeMs.end()));
    std::printf("GUI thread work: %.3f ms per record over the first %d s with the line expanded, %.3f ms over the "
                "last %d s\n",
                workPerRecord(0), stretchMs / 1000, workPerRecord(marks.size() - 2), stretchMs / 1000);
    std::printf("resident memory: %.1f MiB with the line expanded, %.1f MiB at the end: %.3f MiB per 1000 records\n",
                expandedAt.residentMiB, end.residentMiB,
                end.records > expandedAt.records
                    ? (end.residentMiB - expandedAt.residentMiB) * 1000.0 / (end.records - expandedAt.records)
                    : 0.0);
    std::printf("GUI lateness:    worst %.1f ms; %d times over 200 ms\n", worstLateMs, lateTicks);
    std::printf("load average:    %s\n", loadAverage().constData());

    model.closeProject();
    unitThread.quit();
    unitThread.wait();
    if (pairingHours > 0.0)
        printPairingAlone(plan(pairingHours * 3600.0), pairingHours);
    return 0;
}
