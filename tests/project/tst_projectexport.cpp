#include "ModelProject.h"

#include "orm/Dao.h"
#include "project/Data_Calc.h"
#include "project/Data_Point.h"
#include "project/Data_Sample.h"
#include "project/VectorBlob.h"

#include <QSignalSpy>
#include <QtTest>

using Curve = QVector<double>;

// 2023-11-15 06:13:20 in the test zone (UTC+8), 22:13:20 UTC the day before.
static const qint64 kStart = Q_INT64_C(1700000000000);

// A project written row by row into the model's file; load() opens it.
class ExportProject : public ModelProject
{
public:
    ExportProject()
    {
        ok = open();
        st_ProjectConfig config;
        config.SendCoil_Len = 2;
        config.SendCoil_Width = 3;
        config.SendCoil_Turns = 16;
        config.RecvCoil_Size = 7.5;
        model.setProjectConfig(config);
    }
    int line(double name, int use, int type = 0, const QString& note = {})
    {
        return row(QStringLiteral("Data_Line (NAME, USE, TYPE, NOTE) VALUES (?, ?, ?, ?)"), {name, use, type, note});
    }
    int point(int line, double name, int use, int type = 0, const QString& note = {})
    {
        return row(QStringLiteral("Data_Point (NAME, USE, TYPE, NOTE, Data_LineID) VALUES (?, ?, ?, ?, ?)"),
                   {name, use, type, note, line});
    }
    // A current of 10 A and a turn-off of 1 µs.
    int sample(int point, int use, const Curve& values, const Curve& times, qint64 start = kStart,
               const QString& note = {}, double recvFs = 625000)
    {
        Data_Sample s;
        s.Data_PointID = std::make_shared<Data_Point>(point);
        s.USE = use;
        s.TYPE = 1;
        s.SendFs = 6.25;
        s.RecvFs = recvFs;
        s.StartTime = start;
        s.NOTE = note;
        s.DATA_RECV = vectorToBlob(values);
        s.DATA_RECV_POS = vectorToBlob(times);
        s.DATA_SEND = vectorToBlob(Curve(8, 10.0) + Curve(8, -10.0));
        s.SampleOffFs = 2e6;
        s.DATA_SOFF = vectorToBlob(Curve(10, 0.0));
        ok = orm::insert(s).isOk() && ok;
        return s.ID;
    }
    bool load() { return ok && reopen(); }

    bool ok = false;

private:
    int row(const QString& into, const QVariantList& values)
    {
        ok = orm::execute(QStringLiteral("INSERT INTO ") + into, values).isOk() && ok;
        return sql(QStringLiteral("SELECT last_insert_rowid()")).toInt();
    }
};

// A USF text as a reader takes it: "/KEY: value" lines up to "/END", a
// column header, then rows up to "/END", per sounding. Each sounding gives
// "NAME LOCATION POINTS CURRENT FREQUENCY DATE" and its rows; a row that is not five
// numbers, or a count that does not match, is named in the summary.
struct UsfFile
{
    QStringList soundings;
    QList<QList<Curve>> rows;
};

static UsfFile readUsf(const QString& text)
{
    UsfFile f;
    const QStringList parts = text.split(QStringLiteral("/END\n"));
    for (int i = 1; i + 1 < parts.size(); i += 2) {
        QMap<QString, QString> keys;
        for (const QString& line : parts.at(i).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            keys.insert(line.section(QLatin1Char(':'), 0, 0), line.section(QLatin1Char(':'), 1).simplified());
        QList<Curve> rows;
        for (const QString& line : parts.at(i + 1).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1)) {
            Curve row;
            bool number = true;
            for (const QString& field : line.split(QLatin1Char(',')))
                row.append(field.toDouble(&number));
            rows.append(number && row.size() == 5 ? row : Curve());
        }
        QStringList values;
        for (const char* key : {"/SOUNDING_NAME", "/LOCATION", "/POINTS", "/CURRENT", "/FREQUENCY", "/DATE"})
            values << keys.value(QLatin1String(key));
        QString summary = values.join(QLatin1Char(' '));
        if (rows.size() != keys.value(QStringLiteral("/POINTS")).toInt() || rows.contains(Curve()))
            summary += QStringLiteral(" (rows do not match)");
        f.soundings.append(summary);
        f.rows.append(rows);
    }
    if (!parts.first().contains(QStringLiteral("//SOUNDINGS:%1\n").arg(f.soundings.size(), 11)))
        f.soundings.append(QStringLiteral("(sounding count does not match)"));
    return f;
}

// Runs one export; "data" is the report with `dep`.
static bool textExport(DataModel_Index& model, const QString& slot, int dep, QTextStream& out)
{
    if (slot == QLatin1String("log"))
        return model.onExportLog(out);
    if (slot == QLatin1String("time"))
        return model.onExportPointTime(out);
    if (slot == QLatin1String("usf"))
        return model.onExportData_USF(out).isOk();
    return model.onExportData(out, 0, dep);
}

// A device whose every write fails, as on a full disk.
class FullDevice : public QIODevice
{
protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64) override { return -1; }
};

class tst_ProjectExport : public QObject
{
    Q_OBJECT

private slots:
    void usfFile_data();
    void usfFile();
    void usfSoundings();
    void textExports_data();
    void textExports();
    void reportOfATowedLine_data();
    void reportOfATowedLine();
    void failedWritesAreReported();
    void exportsLeaveTheTreesNotes_data();
    void exportsLeaveTheTreesNotes();

private:
    Data_Calc calc; // loads the time-channel table
};

void tst_ProjectExport::usfFile_data()
{
    QTest::addColumn<bool>("divideByCurrent");
    QTest::newRow("values divided here") << false;
    QTest::newRow("values read divided") << true;
}

void tst_ProjectExport::usfFile()
{
    QFETCH(bool, divideByCurrent);
    ExportProject p;
    const int point = p.point(p.line(3.25, 1), 1500000, 1);
    // Gates 100, 206.9138 and 1000 µs; values divided by 11, then by 10 A.
    p.sample(point, 1, {-0.0022, 0.00011, 2.2e-5}, {100, 200, 1000});
    QVERIFY(p.load());
    p.model.setDivideByCurrent(divideByCurrent);

    QString text;
    QTextStream out(&text);
    out.setFieldWidth(30);
    out.setRealNumberPrecision(2);
    QVERIFY(p.model.onExportData_USF(out).isOk());
    QCOMPARE(text,
             QStringLiteral("//USF: Universal Sounding Format\n"
                            "//SOUNDINGS:          1\n"
                            "//END\n"
                            "\n"
                            "/ARRAY: CENTRAL LOOP TEM\n"
                            "/AZIMUTH:          0.0\n"
                            "/INSTRUMENT: \"ZOLVA-18\"\n"
                            "/LENGTH_UNITS: M \n"
                            "/VOLTAGE_UNITS: V/AMP \n"
                            "/DATE:           20231115\n"
                            "/DAYTIME:        6.22222\n"
                            "/LOOP_SIZE:      0.8862,    0.8862\n"
                            "/LOOP_TURNS:     32\n"
                            "/RAMP_TIME:      0.00000100\n"
                            "/SWEEPS:         1\n"
                            "/TIME_DELAY:     0.0000000 \n"
                            "/POINTS:         3\n"
                            "/SOUNDING_NAME:  1\n"
                            "/LOCATION:       3.25,      1.5e+06,      0.00\n"
                            "/COIL_SIZE:      15.024\n"
                            "\n"
                            "/SWEEP_NUMBER:   1\n"
                            "/CURRENT:        10\n"
                            "/FREQUENCY:      6.25\n"
                            "/END\n"
                            "\n"
                            "      INDEX,     TIME,          VOLTAGE,     ERROR_BAR, MASK\n"
                            "        1,    1.00000e-04,    2.00000e-05,    0.00000,    1\n"
                            "        2,    2.06914e-04,    1.00000e-06,    0.00000,    1\n"
                            "        3,    1.00000e-03,    2.00000e-07,    0.00000,    1\n"
                            "/END\n"
                            "\n"));
}

void tst_ProjectExport::usfSoundings()
{
    QString text;
    QTextStream out(&text);
    DataModel_Index closed;
    QVERIFY(closed.onExportData_USF(out).isOk());
    QCOMPARE(text, QStringLiteral("//USF: Universal Sounding Format\n//SOUNDINGS:          0\n//END\n\n"));

    ExportProject p;
    const int first = p.line(1, 1);
    // Twelve channels on twelve gates from 82.54042 µs on.
    p.sample(p.point(first, 10, 1), 1, Curve(12, 0.0011),
             {82.54042, 90.85176, 100, 112.8838, 127.4275, 143.845, 162.3777, 183.2981, 206.9138, 233.5721, 263.6651,
              297.6351});
    p.sample(p.point(first, 20, 0), 1, {0.0011}, {100});
    p.point(first, 30, 1);
    const int unused = p.point(first, 40, 1);
    p.sample(unused, 0, {0.0011}, {100});
    p.sample(unused, 0, {0.0011}, {100});
    // Self-check: neither divided nor gated, but its spread is that of the
    // curves as a sounding: log10 of 0.25 / 11 and 0.025 / 11.
    const int selfCheck = p.point(first, 50, 1, 1);
    p.sample(selfCheck, 1, {-0.5, 0.25}, {100, 200});
    p.sample(selfCheck, 1, {-0.5, 0.025}, {100, 200});
    // A first sample out of use still gives frequency and date.
    const int spread = p.point(first, 60, 1);
    p.sample(spread, 0, {9.9}, {100});
    p.sample(spread, 1, {0.0011}, {100}); // 1e-4 after the divisor of 11
    p.sample(spread, 1, {0.11}, {100});   // 1e-2
    p.sample(p.point(p.line(2, 0), 1, 1), 1, {0.0011}, {100});
    const int towed = p.line(3, 1, 1);
    for (int j = 0; j < 3; ++j)
        p.sample(p.point(towed, 100 + j, j == 0 ? 0 : 1), 1, {0.0011}, {100});
    QVERIFY(p.load());

    text.clear();
    QSignalSpy progress(&p.model, &DataModel_Index::onExport);
    QVERIFY(p.model.onExportData_USF(out).isOk());
    const UsfFile f = readUsf(text);
    QStringList soundings{"1 1, 10, 0.00 12 10", "2 1, 40, 0.00 0 0", "3 1, 50, 0.00 2 10",
                          "4 1, 60, 0.00 1 10",  "5 3, 1, 0.00 1 10", "6 3, 2, 0.00 1 10"};
    for (QString& sounding : soundings)
        sounding += QStringLiteral(" 6.25 20231115");
    QCOMPARE(f.soundings, soundings);
    QVERIFY(text.contains(QLatin1String("\n        9,    2.06914e-04,")));
    QVERIFY(text.contains(QLatin1String("\n       10,    2.33572e-04,")));
    QCOMPARE(f.rows.at(2), (QList<Curve>{{1, 1e-4, 5e-2, 0, 1}, {2, 2e-4, 1.375e-2, 32.98915, 1}}));
    QCOMPARE(f.rows.at(3).at(0), (Curve{1, 1e-4, 5.05e-4, 47.14045, 1}));
    QCOMPARE(progress, (QList<QVariantList>{{4, 6}, {6, 6}}));
}

void tst_ProjectExport::textExports_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<int>("dep");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("blocks");

    QTest::newRow("notes") << "log" << 0
                           << "LINE 10 : \n|---POINT 100 : wet\n    |---SAMPLE 0 : \n    |---SAMPLE 1 : rerun\n\n"
                              "LINE 11 : north\n|---POINT 5 : \n    |---SAMPLE 0 : \n|---POINT 6 : \n"
                              "|---POINT 8 : \n    |---SAMPLE 1 : \n\n"
                           << 0;
    QTest::newRow("start times") << "time" << 0
                                 << "LINE : 10\n    100 , 2023.11.15 06:13:20\n\n"
                                    "LINE : 11\n    5 , 2023.11.15 06:14:20\n    6 , \n    8 , 2023.11.15 06:15:20\n\n"
                                 << 0;

    const QString line10 = "Line : 10\nLine Use : 1\nPoint Number : 1\n"
                           "\tPoint : 100\n\tPoint Note : wet\n\tPoint Use : 1\n\tSample Number : 2\n";
    const QString line11 = "Line : 11\nLine Note : north\nLine Use : 1\nPoint Number : 4\n";
    const QString point6 = "\tPoint : 6\n\tPoint Use : 1\n\tSample Number : 0\n";
    const QString point8 = "\tPoint : 8\n\tPoint Use : 1\n\tSample Number : 2\n";
    const QString coils = "\t\tARRAY : Central Loop TEM\n\t\tSendCoil_Len : 2\n\t\tSendCoil_Width : 3\n"
                          "\t\tSendCoil_Turns : 16\n\t\tRecvCoil_Size : 7.5\n";
    const QString pointTable = "\t\t            Time(us)\t\t          VOLTAGE(v)\n";
    QTest::newRow("report per point") << "data" << 0
                                      << line10 + coils + "\t\tSend Fs : 6.25 ;\tSample Fs : 625000\n" + pointTable
            + "\t\t                 100,\t\t              0.0002\n"
              "\t\t             183.298,\t\t               2e-05\n\n"
            + line11 + point6 + coils + "\t\tSend Fs : 0 ;\tSample Fs : 0\n" + pointTable + point8 + coils
            + "\t\tSend Fs : 6.25 ;\tSample Fs : 500000\n" + pointTable
            + "\t\t                 100,\t\t              0.0001\n\n"
                                      << 3;

    auto sample = [&](int k, const QString& note, const QString& rows) {
        return QStringLiteral("\t\tSample : %1\n\t\tSend Fs : 6.25Hz\n\t\tSend I : 10A\n\t\tSend Off Time : 1us\n"
                              "\t\tSample Fs : 625000Hz\n")
                   .arg(k)
            + note + "\t\tData Type : 1\n\t\tData Use : 1\n" + coils + "\n\t\tData : "
            + QString::number(rows.count('\n')) + "\n\t        No\t   TimePos\t      Data\n" + rows + "\n";
    };
    QTest::newRow("report per sample") << "data" << 1
                                       << line10
            + sample(0, {}, "\t         0\t       100\t    0.0001\n\t         1\t   183.298\t     1e-05\n")
            + sample(1, "\t\tSample Note : rerun\n",
                     "\t         0\t       100\t    0.0003\n\t         1\t   183.298\t     3e-05\n")
            + "\n" + line11 + point6 + point8 + sample(1, {}, "\t         0\t       100\t    0.0001\n") + "\n"
                                       << 3;
    QTest::newRow("report headers") << "data" << 2 << line10 + "\n" + line11 + point6 + point8 + "\n" << 0;
}

void tst_ProjectExport::textExports()
{
    QFETCH(QString, slot);
    QFETCH(int, dep);
    QFETCH(QString, text);
    QFETCH(int, blocks);
    ExportProject p;
    const int line10 = p.line(10, 1);
    const int point100 = p.point(line10, 100, 1, 0, QStringLiteral("wet"));
    p.sample(point100, 1, {0.0011, 0.00011}, {100, 200});
    p.sample(point100, 1, {0.0033, 0.00033}, {100, 200}, kStart + 1000, QStringLiteral("rerun"));
    const int line11 = p.line(11, 1, 0, QStringLiteral("north"));
    p.sample(p.point(line11, 5, 1, 1), 1, {0.0011}, {100}, kStart + 60000);
    p.point(line11, 6, 1);
    p.sample(p.point(line11, 7, 0), 1, {0.0011}, {100});
    const int point8 = p.point(line11, 8, 1);
    p.sample(point8, 0, {0.0011}, {100}, kStart + 120000, QStringLiteral("noise"), 500000);
    p.sample(point8, 1, {0.0011}, {100}, kStart + 121000);
    p.sample(p.point(p.line(12, 0), 1, 1), 1, {0.0011}, {100});
    QVERIFY(p.load());

    QString written;
    QTextStream out(&written);
    QSignalSpy progress(&p.model, &DataModel_Index::onExport);
    if (slot == QLatin1String("data")) {
        QVERIFY(textExport(p.model, slot, dep, out));
        QCOMPARE(written, QString()); // the report needs a curve processor
        p.model.setCalc(&calc);
    }
    QVERIFY(textExport(p.model, slot, dep, out));
    QCOMPARE(written, text);
    QCOMPARE(progress.size(), blocks);
    for (int i = 0; i < blocks; ++i)
        QCOMPARE(progress.at(i), (QVariantList{i + 1, 5}));
}

void tst_ProjectExport::reportOfATowedLine_data()
{
    QTest::addColumn<int>("dep");
    QTest::addColumn<QString>("blocks");
    const QString coils = "\t\tARRAY : Central Loop TEM\n\t\tSendCoil_Len : 2\n\t\tSendCoil_Width : 3\n"
                          "\t\tSendCoil_Turns : 16\n\t\tRecvCoil_Size : 7.5\n";
    QTest::newRow("per sample") << 1
                                << "\t\tSample : 0\n\t\tSend Fs : 6.25Hz\n\t\tSend I : 10A\n\t\tSend Off Time : 1us\n"
                                   "\t\tSample Fs : 625000Hz\n\t\tData Type : 0\n\t\tData Use : 1\n"
            + coils
            + "\n\t\tRAW Data : 2\n\t        No\t   TimePos\t      Data\n"
              "\t         0\t       100\t     1e-05\n\t         1\t   183.298\t     1e-06\n\n";
    QTest::newRow("per point") << 0
                               << coils
            + "\t\tSend Fs : 6.25 ;\tSample Fs : 625000\n"
              "\t\t            Time(us)\t\t          VOLTAGE(v)\n"
              "\t\t                 100,\t\t               1e-05\n"
              "\t\t             183.298,\t\t               1e-06\n";
}

// A towed point of an unknown type is reported as a sounding, a sample of
// type 0 as raw data, and its values divided by the current when asked.
void tst_ProjectExport::reportOfATowedLine()
{
    QFETCH(int, dep);
    QFETCH(QString, blocks);
    ExportProject p;
    const int sample = p.sample(p.point(p.line(20, 1, 1), 0, 1, 5), 1, {0.0011, 0.00011}, {100, 200});
    p.sql(QStringLiteral("UPDATE Data_Sample SET TYPE = 0 WHERE ID = %1").arg(sample));
    QVERIFY(p.load());
    p.model.setCalc(&calc);
    p.model.setDivideByCurrent(true);

    QString written;
    QTextStream out(&written);
    QVERIFY(p.model.onExportData(out, 0, dep));
    QCOMPARE(written,
             "Line : 20\nLine Use : 1\nPoint Number : 1\n\tPoint : 0\n\tPoint Use : 1\n\tSample Number : 1\n" + blocks
                 + "\n");
}

void tst_ProjectExport::failedWritesAreReported()
{
    ExportProject p;
    p.sample(p.point(p.line(10, 1), 100, 1), 1, {0.0011}, {100});
    QVERIFY(p.load());
    p.model.setCalc(&calc);
    for (const char* slot : {"usf", "data", "log", "time"}) {
        FullDevice full;
        QVERIFY(full.open(QIODevice::WriteOnly));
        QTextStream failing(&full);
        QVERIFY2(!textExport(p.model, slot, 1, failing), slot);
    }
}

void tst_ProjectExport::exportsLeaveTheTreesNotes_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<int>("dep");
    QTest::newRow("report per point") << "data" << 0;
    QTest::newRow("report per sample") << "data" << 1;
    QTest::newRow("sounding file") << "usf" << 0;
    QTest::newRow("notes") << "log" << 0;
}

// A note given to the selected sample after an export joins the one stored
// before: no export swaps the tree's samples for ones without their notes.
void tst_ProjectExport::exportsLeaveTheTreesNotes()
{
    QFETCH(QString, slot);
    QFETCH(int, dep);
    ExportProject p;
    const int point = p.point(p.line(10, 1), 100, 1);
    p.sample(point, 1, {0.0011, 0.00011}, {100, 200});
    const int noted = p.sample(point, 1, {0.0033, 0.00033}, {100, 200}, kStart, QStringLiteral("A"));
    QVERIFY(p.load());
    p.model.setCalc(&calc);
    p.model.setIndex(0, 0, 1);
    QString written;
    QTextStream out(&written);
    QVERIFY(textExport(p.model, slot, dep, out));
    p.model.onNewLog(QStringLiteral("B"));
    QCOMPARE(p.sql(QStringLiteral("SELECT NOTE FROM Data_Sample WHERE ID = %1").arg(noted)),
             QStringLiteral("A\r\n\r\nB"));
}

QTEST_MAIN(tst_ProjectExport)
#include "tst_projectexport.moc"
