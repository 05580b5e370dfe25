#pragma once

#include "orm/Database.h"
#include "platform/DialogHook.h"
#include "platform/WifiName.h"
#include "project/DataModel_Index.h"
#include "project/VectorBlob.h"
#include "tests/support/AcqUnitsRig.h"
#include "tools/simunits/SimWaveforms.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

// The acquisition rig with a data model storing into a fresh project file,
// wired as the main window wires them. The wireless tool is a fake naming
// the network "FieldNet"; the model's messages are collected.
struct StoringRig : AcqUnitsRig
{
    QTemporaryDir dir;
    DataModel_Index model;
    QStringList messages;
    bool opened = false;

    StoringRig(TestLoopback::Block block, int host, double timeScale = 0.01)
        : AcqUnitsRig(block, host, timeScale)
    {
        DialogHook::setMessageAnswer([this](const DialogHook::Message& m) { messages.append(m.text); });
        QDir(dir.path()).mkpath(QStringLiteral("net/wlan0/phy80211"));
        QFile tool(dir.filePath(QStringLiteral("iw")));
        if (tool.open(QIODevice::WriteOnly))
            tool.write("#!/bin/sh\nprintf 'Connected to 00:11:22:33:44:55 (on wlan0)\\n\\tSSID: FieldNet\\n'\n");
        tool.close();
        tool.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        model.setWifiNameQuery(new WifiName(tool.fileName(), dir.filePath(QStringLiteral("net"))));
        QObject::connect(&c, SIGNAL(dataUpload(ZOLVA_Data)), &model, SLOT(dataUpload(ZOLVA_Data)));
        QObject::connect(&c, SIGNAL(dataSave(bool)), &model, SLOT(dataSave(bool)));
        QObject::connect(&c, SIGNAL(deviceConnected()), &model, SLOT(setWifiName()));
        QObject::connect(&model, SIGNAL(onSaveOver()), &c, SIGNAL(cmdSaveOver()));
        QObject::connect(&model, SIGNAL(onSaveFailed()), &c, SIGNAL(cmdSaveFailed()));
        QObject::connect(&model, SIGNAL(onLoad_Param(double, int, int)), &c, SLOT(onLoad_Param(double, int, int)));
        opened = model.openProject(dir.filePath(QStringLiteral("field.ZOLVA")));
    }
    ~StoringRig()
    {
        model.closeProject();
        DialogHook::setMessageAnswer({});
    }

    bool ready() { return opened && online(); }
    SimFieldUnit* unit(char which)
    {
        return which == 'T' ? static_cast<SimFieldUnit*>(units.Transmitter()) : units.Receiver();
    }

    // The first value of each row, joined by '|'.
    static QString sql(const QString& text)
    {
        QSqlQuery q(orm::Database::connection());
        if (!q.exec(text))
            return QStringLiteral("error: ") + q.lastError().text();
        QStringList values;
        while (q.next())
            values.append(q.value(0).toString());
        return values.join(QLatin1Char('|'));
    }
    static int count(const char* table) { return sql(QStringLiteral("SELECT COUNT(*) FROM ") + table).toInt(); }

    // Rows that break the all-or-nothing rule of a store: a line or point
    // with nothing below it, a sample without its point, with curves of
    // other sizes than the units sent, or stored twice. Empty when sound.
    QString unsound() const
    {
        const QString sizes = QStringLiteral("length(DATA_RECV) != %1 OR length(DATA_RECV_POS) != %1 OR "
                                             "length(DATA_RECV_LEN) != %1 OR length(DATA_SEND) != %2 OR "
                                             "length(DATA_SOFF) != %3")
                                  .arg(8 * units.Receiver()->Gates().size())
                                  .arg(8 * SimSendWave().size())
                                  .arg(8 * SimOffWave().size());
        return sql(QStringLiteral(
                       "SELECT 'line ' || ID FROM Data_Line WHERE ID NOT IN (SELECT Data_LineID FROM Data_Point) "
                       "UNION ALL SELECT 'point ' || ID FROM Data_Point WHERE ID NOT IN "
                       "(SELECT Data_PointID FROM Data_Sample) "
                       "UNION ALL SELECT 'orphan ' || ID FROM Data_Sample WHERE Data_PointID NOT IN "
                       "(SELECT ID FROM Data_Point) "
                       "UNION ALL SELECT 'size ' || ID FROM Data_Sample WHERE %1 "
                       "UNION ALL SELECT 'twice ' || MIN(ID) FROM Data_Sample GROUP BY DATA_RECV HAVING COUNT(*) > 1")
                       .arg(sizes));
    }

    // One curve column of every stored sample, in the order stored.
    static QList<QByteArray> blobs(const char* column)
    {
        QSqlQuery q(orm::Database::connection());
        QList<QByteArray> blobs;
        for (q.exec(QStringLiteral("SELECT %1 FROM Data_Sample ORDER BY ID").arg(column)); q.next();)
            blobs.append(q.value(0).toByteArray());
        return blobs;
    }
    // The stored receiver values, sample by sample, against those of the
    // uploads from `first` on.
    static QList<QByteArray> storedValues() { return blobs("DATA_RECV"); }
    QList<QByteArray> uploadedValues(int first = 0) const
    {
        QList<QByteArray> blobs;
        for (int i = first; i < uploads.count(); ++i) {
            for (const st_RecvData_VRX2208& record : upload(i).recvs)
                blobs.append(vectorToBlob(record.values));
        }
        return blobs;
    }
};
