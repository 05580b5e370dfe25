// The data model on a synthetic survey day: opening the project to a filled
// tree (beside the sqlite3 shell reading the same columns from the same
// file), resident memory after the open, storing one point of three
// samples, and selecting points and samples; line profiles of 600 points on
// the GUI thread and of 1000 points on the thread pool. Resident memory
// while every point of the day, and of a day of full-waveform records, is
// selected and then reported sample by sample; how soon a close returns
// while a long line is profiled on the pool.

#include "BenchFigures.h"
#include "SyntheticProject.h"

#include "project/DataModel_Index.h"
#include "project/Data_Calc.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstdio>

using BenchFigures::median;
using BenchFigures::residentMiB;

namespace {

constexpr int kRounds = 5;

// The data model on an opened file, with the curve processor attached.
struct OpenedModel
{
    explicit OpenedModel(const QString& path)
    {
        model.setCalc(&calc);
        model.openProject(path);
    }

    Data_Calc calc;
    DataModel_Index model;
};

template <class F>
double millis(F f)
{
    QElapsedTimer timer;
    timer.start();
    f();
    return timer.nsecsElapsed() / 1e6;
}

void openProject(const QString& path)
{
    DataModel_Index model;
    const double before = residentMiB();
    const double firstMs = millis([&] { model.openProject(path); });
    const double resident = residentMiB();
    model.closeProject();
    std::printf("first open:                    %8.1f ms\n", firstMs);
    std::printf("resident memory after open:    %8.1f MiB (%.1f MiB before)\n", resident, before);

    // The same columns as the tree load, read by the shell into nothing.
    const QString sql =
        QStringLiteral("SELECT ID,NAME,TYPE,USE,NOTE FROM Data_Line ORDER BY ID;"
                       "SELECT ID,NAME,USE,NOTE,TYPE,Data_LineID FROM Data_Point ORDER BY Data_LineID,NAME,ID;"
                       "SELECT ID,USE,PERIOD,SendFs,StartTime,Data_PointID FROM Data_Sample ORDER BY Data_PointID,ID;");
    QVector<double> opens;
    QVector<double> shell;
    for (int round = 0; round < kRounds; ++round) {
        opens.append(millis([&] { model.openProject(path); }));
        model.closeProject();
        shell.append(millis([&] {
            QProcess sqlite;
            sqlite.setStandardOutputFile(QProcess::nullDevice());
            sqlite.start(QStringLiteral("sqlite3"), {path, sql});
            sqlite.waitForFinished(-1);
        }));
    }
    std::printf("open to filled tree:           %8.1f ms (median of %d)\n", median(opens), kRounds);
    std::printf("sqlite3 shell, same columns:   %8.1f ms (ratio %.2f)\n", median(shell), median(opens) / median(shell));
}

void storePoints(const QString& path)
{
    DataModel_Index model;
    model.openProject(path);
    model.setProperty("LineNo", 900.0);
    QVector<double> stores;
    for (int i = 0; i < 30; ++i) {
        model.dataUpload(SyntheticProject::acquisition(3, Q_INT64_C(1800000000000) + 10000 * i, i));
        stores.append(millis([&] { model.dataSave(true); }));
    }
    std::printf("store one point of 3 samples:  %8.1f ms (median of %d)\n", median(stores), int(stores.size()));
}

void selectItems(const QString& path)
{
    OpenedModel file(path);
    DataModel_Index& model = file.model;
    QVector<double> points;
    QVector<double> samples;
    QVector<double> towed;
    for (int i = 0; i < 30; ++i) {
        points.append(millis([&] { model.setIndex(i, (37 * i) % 200, -1); }));
        samples.append(millis([&] { model.setIndex(i, (37 * i) % 200, i % 4); }));
        towed.append(millis([&] { model.setIndex(30, 100 + 150 * i, -1); }));
    }
    std::printf("select a point of 4 samples:   %8.1f ms (median of %d)\n", median(points), int(points.size()));
    std::printf("select a sample:               %8.1f ms (median of %d)\n", median(samples), int(samples.size()));
    std::printf("select a towed point (60 nb.): %8.1f ms (median of %d)\n", median(towed), int(towed.size()));
}

void profileLines(const QString& path)
{
    OpenedModel file(path);
    DataModel_Index& model = file.model;
    QEventLoop arrived;
    QObject::connect(&model, &DataModel_Index::onData_Recv_Line, &arrived, &QEventLoop::quit);
    QVector<double> gui;
    QVector<double> pool;
    for (int round = 0; round < kRounds; ++round) {
        gui.append(millis([&] { model.setIndex(1, -1, -1); }));
        pool.append(millis([&] {
            model.setIndex(0, -1, -1);
            arrived.exec();
        }));
    }
    std::printf("profile of 600 points, GUI:    %8.1f ms (median of %d)\n", median(gui), kRounds);
    std::printf("profile of 1000 points, pool:  %8.1f ms (median of %d, to the result)\n", median(pool), kRounds);
}

// Neither browsing nor the report may keep what it read: memory after both
// stays near what the open took. Run in a process of its own, so that what
// the other measurements left on the heap does not count.
void browseMemory(const QString& path, const QString& name)
{
    OpenedModel file(path);
    DataModel_Index& model = file.model;
    const double opened = residentMiB();
    int points = 0;
    const double browseMs = millis([&] {
        for (int i = 0; i < model.topLevelItemCount(); ++i) {
            for (int j = 0; j < model.topLevelItem(i)->childCount(); ++j, ++points)
                model.setIndex(i, j, -1);
        }
    });
    const double browsed = residentMiB();
    QFile sink(QProcess::nullDevice());
    sink.open(QIODevice::WriteOnly);
    QTextStream out(&sink);
    const double reportMs = millis([&] { model.onExportData(out, 0, 1); });
    const double reported = residentMiB();
    std::printf("%s, resident memory:\n", qPrintable(name));
    std::printf("  after open:                  %8.1f MiB\n", opened);
    std::printf("  after selecting %5d points: %8.1f MiB (%+.1f MiB, %.1f s)\n", points, browsed, browsed - opened,
                browseMs / 1000);
    std::printf("  after the per-sample report: %8.1f MiB (%+.1f MiB, %.1f s)\n", reported, reported - opened,
                reportMs / 1000);
    std::fflush(stdout);
}

void browseMemoryApart(const QString& path, const QString& name)
{
    std::fflush(stdout);
    QProcess::execute(QCoreApplication::applicationFilePath(), {QStringLiteral("--browse"), path, name});
}

// Close waits for the pool task that reads the file; it must stop the task
// rather than let it finish the line.
void closeDuringProfile(const QString& path, int line, const char* name)
{
    OpenedModel file(path);
    DataModel_Index& model = file.model;
    QEventLoop arrived;
    QObject::connect(&model, &DataModel_Index::onData_Recv_Line, &arrived, &QEventLoop::quit);
    const double wholeMs = millis([&] {
        model.setIndex(line, -1, -1);
        arrived.exec();
    });
    QVector<double> closes;
    for (int round = 0; round < kRounds; ++round) {
        model.openProject(path);
        model.setIndex(line, -1, -1);
        QThread::msleep(static_cast<unsigned long>(wholeMs / 3));
        closes.append(millis([&] { model.closeProject(); }));
    }
    std::printf("close a third into the profile of %s: %.1f ms (median of %d, at most %.1f; the whole profile "
                "%.1f ms)\n",
                name, median(closes), kRounds, *std::max_element(closes.begin(), closes.end()), wholeMs);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--browse") == 0) {
        browseMemory(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
        return 0;
    }
    QTemporaryDir temporary;
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path());
    const QString day =
        SyntheticProject::ensure(dir, QStringLiteral("survey-day.ZOLVA"), SyntheticProject::surveyDay());
    openProject(day);
    // Stores go to a copy, so that the generated file can be used again.
    const QString copy = dir.filePath(QStringLiteral("store.ZOLVA"));
    QFile::remove(copy);
    QFile::copy(day, copy);
    storePoints(copy);
    QFile::remove(copy);
    selectItems(day);
    const QString profiles =
        SyntheticProject::ensure(dir, QStringLiteral("profiles.ZOLVA"),
                                 {SyntheticProject::Line{1.0, 0, 1000, 4}, SyntheticProject::Line{2.0, 0, 600, 4}});
    profileLines(profiles);
    closeDuringProfile(profiles, 0, "1000 points");
    browseMemoryApart(day, QStringLiteral("survey day"));
    const QString fullWaveform =
        SyntheticProject::ensure(dir, QStringLiteral("full-waveform.ZOLVA"), SyntheticProject::fullWaveformDay());
    closeDuringProfile(fullWaveform, 1, "650 full-waveform points");
    browseMemoryApart(fullWaveform, QStringLiteral("full-waveform day"));
    return 0;
}
