#pragma once

#include "acquisition/ZOLVA_Data.h"
#include "orm/Database.h"
#include "platform/DialogHook.h"
#include "project/DataModel_Index.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

// A data model on a project file in a temporary folder, with the messages
// it shows collected instead of waiting for a person.
class ModelProject
{
public:
    ModelProject()
    {
        DialogHook::setMessageAnswer([this](const DialogHook::Message& m) { messages.append(m.text); });
    }
    ~ModelProject()
    {
        model.closeProject();
        DialogHook::setMessageAnswer({});
        DialogHook::setInputAnswer({});
    }

    QString path(const QString& name = QStringLiteral("field.ZOLVA")) const { return dir.filePath(name); }
    bool open() { return model.openProject(path()); }
    bool reopen()
    {
        model.closeProject();
        return open();
    }

    // Runs SQL on the project's own connection: the first value of each
    // row, joined by '|'.
    static QString sql(const QString& text)
    {
        QSqlQuery q(orm::Database::connection());
        if (!q.exec(text))
            qWarning("%s: %s", qPrintable(text), qPrintable(q.lastError().text()));
        QStringList values;
        while (q.next())
            values.append(q.value(0).toString());
        return values.join(QLatin1Char('|'));
    }

    // Writes a line of points named 0, 1, 2, ... with one sample each
    // ({1e-3, 5e-4} at {100, 200} µs) straight into the file; reopening
    // loads it.
    static void addLine(double name, int type, int points)
    {
        sql(QStringLiteral("INSERT INTO Data_Line (NAME, TYPE, USE) VALUES (%1, %2, 1)").arg(name).arg(type));
        sql(QStringLiteral("INSERT INTO Data_Point (NAME, TYPE, USE, Data_LineID) WITH RECURSIVE k(j) AS "
                           "(SELECT 0 UNION ALL SELECT j + 1 FROM k WHERE j + 1 < %1) "
                           "SELECT j, 0, 1, (SELECT MAX(ID) FROM Data_Line) FROM k")
                .arg(points));
        sql(QStringLiteral("INSERT INTO Data_Sample (USE, PERIOD, SendFs, StartTime, DATA_RECV, DATA_RECV_POS, "
                           "Data_PointID) SELECT 1, 128, 6.25, 1700000000000 + 1000 * NAME, "
                           "X'3F50624DD2F1A9FC3F40624DD2F1A9FC', X'40590000000000004069000000000000', ID "
                           "FROM Data_Point WHERE Data_LineID = (SELECT MAX(ID) FROM Data_Line)"));
    }

    // Labels of the children of `item`, or of the top level.
    QStringList labels(QTreeWidgetItem* item = nullptr) const
    {
        QStringList texts;
        const int n = item ? item->childCount() : model.topLevelItemCount();
        for (int i = 0; i < n; ++i)
            texts.append((item ? item->child(i) : model.topLevelItem(i))->text(0));
        return texts;
    }

    QTemporaryDir dir;
    DataModel_Index model;
    QStringList messages;
};

// An acquisition of `repeats` records; record i carries values {i + 1, 2},
// a start time 1.5 s after the previous one and its own TYPE and RecvFs.
inline ZOLVA_Data acquisition(int repeats, quint8 continueMode = 0, quint8 sampleMode = 0)
{
    ZOLVA_Data d;
    d.SampleMode = sampleMode;
    d.ContinueMode = continueMode;
    d.ParamFs = 6.25f;
    d.ParamPeriod = 128;
    d.ParamRepeat = repeats;
    for (int i = 0; i < repeats; ++i) {
        st_TEMSendData send;
        send.SendFs = 6.25;
        send.SampleSendFs = 1e5;
        send.SendWave = QVector<double>(8, 10.0) + QVector<double>(8, -10.0);
        send.SampleOffFs = 2e6;
        send.OffWave = {1.0, 0.5, 0.0};
        d.sends.append(send);
        st_RecvData_VRX2208 recv;
        recv.TYPE = 1 + i % 2;
        recv.SendFs = 6.25;
        recv.RecvFs = 1000.0 * (i + 1);
        recv.times = {100.0, 200.0};
        recv.widths = {10.0, 20.0};
        recv.values = {i + 1.0, 2.0};
        recv.StartTime = Q_INT64_C(1700000000000) + 1500 * i;
        d.recvs.append(recv);
    }
    return d;
}
