#include "SyntheticProject.h"

#include "devlink/GateTable.h"
#include "orm/Dao.h"
#include "project/Data_Line.h"
#include "project/Data_Point.h"
#include "project/Data_Project.h"
#include "project/Data_Sample.h"
#include "project/Data_WorkSet.h"
#include "project/VectorBlob.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace SyntheticProject {

namespace {

constexpr double kSendFs = 25.0;
constexpr double kRecvFs = 625000.0;
constexpr int kWaveform = 500;
constexpr qint64 kStart = Q_INT64_C(1700000000000);

bool check(const orm::Status& status, const char* what)
{
    if (!status.isOk())
        std::fprintf(stderr, "%s: %s\n", what, qPrintable(status.error().text()));
    return status.isOk();
}

double decay(double t, int seed)
{
    return (1.0 + 0.05 * std::sin(seed)) * 1e-2 * std::pow(std::max(t, 1.0) / 10.0, -2.5);
}

st_RecvData_VRX2208 receiverRecord(qint64 startMs, int seed, int fullWaveform = 0)
{
    static const QVector<st_TimeGate> gates = MakeGateTable(float(kSendFs), float(kRecvFs), 1250);
    st_RecvData_VRX2208 r;
    r.TYPE = fullWaveform > 0 ? 2 : 1;
    r.SendFs = kSendFs;
    r.RecvFs = kRecvFs;
    r.StartTime = startMs;
    // Full waveforms sampled every 1.6 us from the turn-off on.
    for (int k = 0; k < fullWaveform; ++k) {
        r.times.append(k * 1.6);
        r.widths.append(1.6);
        r.values.append(decay(k * 1.6, seed) * (1.0 + 0.01 * std::sin(k)));
    }
    for (int g = 0; fullWaveform == 0 && g < gates.size(); ++g) {
        const double t = (gates.at(g).start + gates.at(g).end) * 0.5;
        r.times.append(t);
        r.widths.append(gates.at(g).end - gates.at(g).start);
        r.values.append(decay(t, seed));
    }
    return r;
}

st_TEMSendData transmitterRecord(int seed)
{
    st_TEMSendData s;
    s.SendFs = kSendFs;
    s.SampleSendFs = kSendFs * kWaveform;
    s.SampleOffFs = 2e6;
    const double amplitude = 10.0 + 0.1 * std::cos(seed);
    for (int k = 0; k < kWaveform; ++k) {
        s.SendWave.append(k < kWaveform / 2 ? amplitude : -amplitude);
        s.OffWave.append(k < 100 ? amplitude * (1.0 - k / 100.0) : 0.0);
    }
    return s;
}

Data_Sample sampleRow(int pointId, qint64 startMs, int seed, int fullWaveform)
{
    const st_RecvData_VRX2208 r = receiverRecord(startMs, seed, fullWaveform);
    const st_TEMSendData s = transmitterRecord(seed);
    Data_Sample row;
    row.StartTime = r.StartTime;
    row.TYPE = r.TYPE;
    row.PERIOD = 128;
    row.DATA_RECV = vectorToBlob(r.values);
    row.DATA_RECV_POS = vectorToBlob(r.times);
    row.DATA_RECV_LEN = vectorToBlob(r.widths);
    row.DATA_SEND = vectorToBlob(s.SendWave);
    row.DATA_SOFF = vectorToBlob(s.OffWave);
    row.SendFs = kSendFs;
    row.SampleSendFs = s.SampleSendFs;
    row.SampleOffFs = s.SampleOffFs;
    row.RecvFs = r.RecvFs;
    row.USE = 1;
    row.Data_PointID = std::make_shared<Data_Point>(pointId);
    return row;
}

bool writeRows(const QSqlDatabase& db, const QVector<Line>& lines)
{
    Data_Project project(1);
    Data_WorkSet workSet;
    if (!check(orm::insert(project, db), "project") || !check(orm::insert(workSet, db), "work set"))
        return false;
    qint64 startMs = kStart;
    int seed = 0;
    for (const Line& shape : lines) {
        Data_Line line;
        line.NAME = shape.name;
        line.TYPE = shape.type;
        line.USE = 1;
        if (!check(orm::insert(line, db), "line"))
            return false;
        for (int j = 0; j < shape.points; ++j) {
            Data_Point point;
            point.NAME = shape.type == 1 ? j : 10.0 * j;
            point.USE = 1;
            point.Data_LineID = std::make_shared<Data_Line>(line.ID);
            if (!check(orm::insert(point, db), "point"))
                return false;
            for (int k = 0; k < shape.samplesPerPoint; ++k) {
                Data_Sample sample = sampleRow(point.ID, startMs, ++seed, shape.fullWaveform);
                startMs += 1500;
                if (!check(orm::insert(sample, db), "sample"))
                    return false;
            }
        }
    }
    return true;
}

} // namespace

QVector<Line> surveyDay()
{
    QVector<Line> lines;
    for (int i = 1; i <= 30; ++i)
        lines.append(Line{double(i), 0, 200, 4});
    lines.append(Line{100.0, 1, 5000, 1});
    return lines;
}

QVector<Line> fullWaveformDay()
{
    return {Line{1.0, 0, 40, 3, 125000}, Line{2.0, 0, 650, 1, 62500}};
}

ZOLVA_Data acquisition(int repeats, qint64 startMs, int seed)
{
    ZOLVA_Data d;
    d.ParamFs = float(kSendFs);
    d.ParamPeriod = 128;
    d.ParamRepeat = repeats;
    for (int i = 0; i < repeats; ++i) {
        d.sends.append(transmitterRecord(seed + i));
        d.recvs.append(receiverRecord(startMs + 1500 * i, seed + i));
    }
    return d;
}

bool write(const QString& path, const QVector<Line>& lines)
{
    QFile::remove(path);
    const QString name = QStringLiteral("synthetic");
    bool written = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open()) {
            written = check(orm::createTable<Data_Project>(db), "tables")
                && check(orm::createTable<Data_Line>(db), "tables") && check(orm::createTable<Data_Point>(db), "tables")
                && check(orm::createTable<Data_Sample>(db), "tables")
                && check(orm::createTable<Data_WorkSet>(db), "tables") && db.transaction();
            written = written && writeRows(db, lines) && db.commit();
            db.close();
        } else {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(db.lastError().text()));
        }
    }
    QSqlDatabase::removeDatabase(name);
    return written;
}

QString ensure(const QDir& dir, const QString& name, const QVector<Line>& lines)
{
    const QString path = dir.filePath(name);
    if (QFile::exists(path))
        return path;
    QElapsedTimer timer;
    timer.start();
    if (!write(path, lines))
        std::exit(1);
    std::printf("generated %s: %.1f s, %.0f MB\n", qPrintable(name), timer.elapsed() / 1000.0,
                QFileInfo(path).size() / 1e6);
    return path;
}

} // namespace SyntheticProject
