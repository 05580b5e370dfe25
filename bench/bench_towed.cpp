// A towed run against the simulated units at 100 records/s, through the real
// collector and data model into a fresh project file, the towed line
// expanded in a shown tree from the first minute on. The units run on a
// thread of their own, so that a stall of the GUI thread holds back the
// reads as it does with real units. Prints records sent, parsed, stored,
// dropped (warned) and lost; the store time and the GUI thread's work per
// record at the start and at the end; resident memory per 1000 records; the
// GUI thread's worst lateness.

#include "BenchFigures.h"
#include "acquisition/ZOLVA_Collector.h"
#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/iLibSend.h"
#include "orm/Database.h"
#include "project/DataModel_Index.h"
#include "project/Data_Calc.h"
#include "tools/simunits/SimReceiverUnit.h"
#include "tools/simunits/SimTransmitterUnit.h"
#include "tools/simunits/SimUnitAddress.h"
#include "tools/simunits/SimUnitPair.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSqlQuery>
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

int warnedDrops = 0;
QElapsedTimer runClock;
QtMessageHandler defaultHandler = nullptr;

void countDrops(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg && text.contains(QLatin1String("dropped without its partner"))) {
        ++warnedDrops;
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
    options.process(app);
    const int seconds = std::max(3, options.value(QStringLiteral("seconds")).toInt());
    const QStringList addresses = options.value(QStringLiteral("units")).split(QLatin1Char(','));
    QHostAddress transmitter, receiver;
    if (addresses.size() != 2 || !ParseLoopbackAddress(addresses[0], &transmitter)
        || !ParseLoopbackAddress(addresses[1], &receiver) || transmitter == receiver) {
        std::fprintf(stderr, "--units takes two different addresses in 127.0.0.0/8\n");
        return 2;
    }
    defaultHandler = qInstallMessageHandler(countDrops);

    QThread unitThread;
    auto* units = new SimUnitPair;
    units->moveToThread(&unitThread);
    QObject::connect(&unitThread, &QThread::finished, units, &QObject::deleteLater);
    unitThread.start();
    bool listening = false;
    onUnits(units, [&] { listening = units->Listen(transmitter, receiver); });
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
    int parsed[2] = {0, 0};
    QObject::connect(collector.findChild<iLibSend*>(), &iLibSend::TEM_NewSendData, [&] { ++parsed[0]; });
    QObject::connect(collector.findChild<ILibRecv_VRX2208*>(), &ILibRecv_VRX2208::onRecvData, [&] { ++parsed[1]; });

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

    // The GUI thread's lateness: how much later than due a 10 ms tick comes.
    QElapsedTimer tickClock;
    double worstLateMs = 0.0;
    int lateTicks = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const double lateMs = tickClock.nsecsElapsed() / 1e6 - 10.0;
        worstLateMs = std::max(worstLateMs, lateMs);
        lateTicks += lateMs > 200.0 ? 1 : 0;
        tickClock.start();
    });

    const int stretchMs = std::min(60, seconds / 3) * 1000;
    std::printf("towed run of %d s at 100 records/s, the line expanded after %d s; load average %s\n", seconds,
                stretchMs / 1000, loadAverage().constData());
    QElapsedTimer& run = runClock;
    emit collector.onBtnSampleStart();
    run.start();
    tickClock.start();
    ticks.start(10);

    // Snapshots: the line expanded, one stretch later, one stretch before the end.
    QVector<Stretch> marks;
    const auto mark = [&] { marks.append({int(storeMs.size()), threadCpuMs(), residentMiB()}); };
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
    }
    mark();
    ticks.stop();

    // The units stop after their next record; all they sent is stored
    // before the collector stops.
    onUnits(units, [&] { units->SetRecordLimit(1); });
    int sent[2] = {-1, -1};
    waitUntil(
        [&] {
            onUnits(units, [&] {
                if (!units->IsRunning()) {
                    sent[0] = units->Transmitter()->RecordsSent();
                    sent[1] = units->Receiver()->RecordsSent();
                }
            });
            return sent[0] >= 0;
        },
        5000);
    const int unitsSent = std::max(sent[0], sent[1]);
    // Every record read is stored with its partner or dropped.
    waitUntil(
        [&] {
            return parsed[0] >= sent[0] && parsed[1] >= sent[1]
                && 2 * storeMs.size() + warnedDrops >= parsed[0] + parsed[1];
        },
        10000);
    collector.onBtnSampleStop();

    QSqlQuery count(orm::Database::connection());
    count.exec(QStringLiteral("SELECT COUNT(*) FROM Data_Sample"));
    const int stored = count.next() ? count.value(0).toInt() : -1;

    const auto workPerRecord = [&](int from) {
        const Stretch& a = marks.value(from);
        const Stretch& b = marks.value(from + 1);
        return b.records > a.records ? (b.cpuMs - a.cpuMs) / (b.records - a.records) : 0.0;
    };
    const Stretch expandedAt = marks.value(0);
    const Stretch end = marks.value(marks.size() - 1);
    std::printf("records sent:    transmitter %d, receiver %d\n", sent[0], sent[1]);
    std::printf("records parsed:  transmitter %d, receiver %d\n", parsed[0], parsed[1]);
    std::printf("records stored:  %d\n", stored);
    std::printf("records dropped: %d, warned %d\n", unitsSent - stored, warnedDrops);
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
    return 0;
}
