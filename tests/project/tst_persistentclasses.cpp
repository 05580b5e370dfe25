#include "ProjectFile.h"

#include "orm/Registry.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QtTest>

// The five persistent classes: defaults, the tables made from their
// registration, and a project tree stored and loaded again.
class tst_PersistentClasses : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void projectConfigCopies();
    void tablesMatchTheSchema();
    void schemaUpdateAddsOnlyMissingColumns();
    void treeLoadsLinesPointsAndLightSamples();

private:
    static QStringList tableColumns(const QString& table);
};

QStringList tst_PersistentClasses::tableColumns(const QString& table)
{
    QSqlQuery query(orm::Database::connection());
    query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    QStringList columns;
    while (query.next())
        columns.append(query.value(1).toString() + QLatin1Char(' ') + query.value(2).toString());
    return columns;
}

void tst_PersistentClasses::defaults()
{
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    Data_Project project;
    const qint64 after = QDateTime::currentSecsSinceEpoch();
    QCOMPARE(project.ID, 0);
    QCOMPARE(project.PointNoStep, 10.0);
    QCOMPARE(project.SendCoil_Len, 0.8862);
    QCOMPARE(project.SendCoil_Width, 0.8862);
    QCOMPARE(project.SendCoil_Turns, 32.0);
    QCOMPARE(project.RecvCoil_Size, 15.024);
    QCOMPARE(project.RecvCoil_Gain, 11.0);
    QVERIFY(project.CreateTime >= before && project.CreateTime <= after);
    QCOMPARE(project.CreateTime, std::floor(project.CreateTime));
    QCOMPARE(Data_Project(1).PointNoStep, 10.0);

    QCOMPARE(Data_WorkSet().RecvCoil_Size, 15.024);
    QCOMPARE(Data_Line().NAME, -1.0);
    QCOMPARE(Data_Point(4).NAME, -1.0);
    QCOMPARE(Data_Sample(3).DeviceType, 1);
    QCOMPARE(Data_Sample(3).RecvFs, 1.0);
}

void tst_PersistentClasses::projectConfigCopies()
{
    Data_Project a;
    a.WorkConfig = 3;
    a.LineNoSetp = 2.5;
    a.PointLen_R = 7.0;
    a.CreateTime = 1234.0;
    a.NOTE = QStringLiteral("n");
    a.SSID = QStringLiteral("field");
    st_ProjectConfig config = a.getProjectConfig();
    QCOMPARE(config.LineNoSetp, 2.5);

    Data_Project b(1);
    b.setProjectConfig(&config);
    b.setProjectConfig(nullptr);
    QCOMPARE(b.WorkConfig, 3);
    QCOMPARE(b.LineNoSetp, 2.5);
    QCOMPARE(b.PointLen_R, 7.0);
    QCOMPARE(b.CreateTime, 1234.0);
    QCOMPARE(b.ID, 1);
    QVERIFY(b.NOTE.isEmpty());
    QVERIFY(b.SSID.isEmpty());
}

void tst_PersistentClasses::tablesMatchTheSchema()
{
    ProjectFile file;
    QVERIFY(file.createTables());
    QCOMPARE(tableColumns(QStringLiteral("Data_Project")),
             (QStringList{"ID INTEGER", "WorkConfig INTEGER", "LineNoStart REAL", "LineNoSetp REAL",
                          "PointNoStart REAL", "PointNoStep REAL", "SendCoil_Len REAL",
                          "SendCoil_Width REAL", "SendCoil_Turns REAL", "RecvCoil_Size REAL",
                          "RecvCoil_Gain REAL", "OffTime REAL", "PointLen_D REAL", "PointLen_R REAL",
                          "CreateTime REAL", "NOTE TEXT", "CalibrateNo TEXT", "SSID TEXT"}));
    QCOMPARE(tableColumns(QStringLiteral("Data_WorkSet")),
             (QStringList{"ID INTEGER", "WorkConfig INTEGER", "SendCoil_Len REAL",
                          "SendCoil_Width REAL", "SendCoil_Turns REAL", "RecvCoil_Size REAL",
                          "RecvCoil_Gain REAL"}));
    QCOMPARE(tableColumns(QStringLiteral("Data_Line")),
             (QStringList{"ID INTEGER", "NAME REAL", "TYPE INTEGER", "USE INTEGER", "NOTE TEXT"}));
    QCOMPARE(tableColumns(QStringLiteral("Data_Point")),
             (QStringList{"ID INTEGER", "NAME REAL", "USE INTEGER", "NOTE TEXT", "TYPE INTEGER",
                          "Data_LineID INTEGER"}));
    QCOMPARE(tableColumns(QStringLiteral("Data_Sample")),
             (QStringList{"ID INTEGER", "StartTime INTEGER", "DeviceType INTEGER", "TYPE INTEGER",
                          "PERIOD INTEGER", "DATA_RECV BLOB", "DATA_RECV_POS BLOB",
                          "DATA_RECV_LEN BLOB", "DATA_SEND BLOB", "DATA_SOFF BLOB", "SendFs REAL",
                          "SampleSendFs REAL", "SampleOffFs REAL", "RecvFs REAL", "USE INTEGER",
                          "NOTE TEXT", "Data_PointID INTEGER"}));

    QStringList indexed;
    for (const orm::ClassInfo* info : orm::Registry::classes()) {
        for (const orm::ColumnInfo& column : info->columns()) {
            if (column.properties.contains(QStringLiteral("INDEX")))
                indexed.append(info->name() + QLatin1Char('.') + column.name);
        }
    }
    indexed.sort();
    QCOMPARE(indexed, (QStringList{"Data_Line.ID", "Data_Point.ID", "Data_Sample.ID"}));
}

void tst_PersistentClasses::schemaUpdateAddsOnlyMissingColumns()
{
    ProjectFile file;
    // A file made before the SSID column existed.
    QVERIFY(orm::execute(QStringLiteral(
                             "CREATE TABLE Data_Project (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                             "WorkConfig INTEGER, LineNoStart REAL, LineNoSetp REAL, PointNoStart REAL, "
                             "PointNoStep REAL, SendCoil_Len REAL, SendCoil_Width REAL, "
                             "SendCoil_Turns REAL, RecvCoil_Size REAL, RecvCoil_Gain REAL, OffTime REAL, "
                             "PointLen_D REAL, PointLen_R REAL, CreateTime REAL, NOTE TEXT, "
                             "CalibrateNo TEXT)"))
                .isOk());
    QVERIFY(file.createTables());
    const QStringList withoutSsid = orm::columnsExcept<Data_Project>({QStringLiteral("SSID")});
    Data_Project project(1);
    QCOMPARE(orm::fetchById(project, withoutSsid).kind(), orm::Status::NoSuchRow);
    QCOMPARE(orm::fetchById(project).kind(), orm::Status::Failed);
    QVERIFY(orm::execute(QStringLiteral("INSERT INTO Data_Project (ID, PointNoStep) VALUES (1, 5.0)"))
                .isOk());

    QStringList added;
    for (const orm::ClassInfo* info : orm::Registry::classes()) {
        for (const orm::ColumnInfo& column : info->columns()) {
            if (orm::execute(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3;")
                                 .arg(info->name(), column.name, column.sqlType()))
                    .isOk())
                added.append(column.name);
        }
    }
    QCOMPARE(added, QStringList{"SSID"});
    QCOMPARE(tableColumns(QStringLiteral("Data_Line")).size(), 5);
    QCOMPARE(tableColumns(QStringLiteral("Data_Point")).size(), 6);

    QVERIFY(orm::fetchById(project, withoutSsid).isOk());
    QCOMPARE(project.PointNoStep, 5.0);
    QCOMPARE(project.SendCoil_Len, 0.0); // NULL column
    project.SSID = QStringLiteral("ZOLVA'5G");
    QVERIFY(orm::update(project).isOk());
    Data_Project back(1);
    back.SSID = QStringLiteral("kept");
    QVERIFY(orm::fetchById(back, withoutSsid).isOk());
    QCOMPARE(back.CreateTime, project.CreateTime);
    QCOMPARE(back.SSID, QStringLiteral("kept"));
    QVERIFY(orm::fetchById(back).isOk());
    QCOMPARE(back.SSID, QStringLiteral("ZOLVA'5G"));
}

void tst_PersistentClasses::treeLoadsLinesPointsAndLightSamples()
{
    ProjectFile file;
    QVERIFY(file.createTables());
    auto line = std::make_shared<Data_Line>();
    line->NAME = 7;
    line->USE = 1;
    QVERIFY(orm::insert(*line).isOk());
    for (double name : {30.0, 10.0, 20.0}) {
        Data_Point point;
        point.NAME = name;
        point.USE = 1;
        point.Data_LineID = line;
        QVERIFY(orm::insert(point).isOk());
        for (int k = 0; k < 2; ++k) {
            Data_Sample sample;
            sample.Data_PointID = std::make_shared<Data_Point>(point.ID);
            sample.USE = k;
            sample.PERIOD = 500;
            sample.SendFs = 25.0;
            sample.DATA_RECV = QByteArray(800, 'x');
            QVERIFY(orm::insert(sample).isOk());
        }
    }

    QVector<std::shared_ptr<Data_Line>> lines;
    QVERIFY(orm::fetchByQuery(orm::Query{QStringLiteral("ORDER BY ID"), {}}, lines).isOk());
    QVector<std::shared_ptr<Data_Point>> points;
    QVERIFY(orm::fetchChildren(lines, &Data_Line::list_Data_Point, {}, {QStringLiteral("NAME")},
                               &points)
                .isOk());
    QVERIFY(orm::fetchChildren(points, &Data_Point::list_Data_Sample,
                               {QStringLiteral("USE"), QStringLiteral("PERIOD"),
                                QStringLiteral("SendFs")})
                .isOk());

    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first()->NAME, 7.0);
    const auto& loaded = lines.first()->list_Data_Point;
    QCOMPARE(loaded.size(), 3);
    QCOMPARE(loaded.at(0)->NAME, 10.0);
    QCOMPARE(loaded.at(2)->NAME, 30.0);
    QCOMPARE(loaded.at(0)->Data_LineID->ID, line->ID);
    QCOMPARE(loaded.at(0)->list_Data_Sample.size(), 2);
    const Data_Sample& light = *loaded.at(0)->list_Data_Sample.at(1);
    QCOMPARE(light.USE, 1);
    QCOMPARE(light.PERIOD, 500);
    QCOMPARE(light.SendFs, 25.0);
    QVERIFY(light.DATA_RECV.isEmpty());
    QCOMPARE(light.Data_PointID->ID, loaded.at(0)->ID);
}

QTEST_GUILESS_MAIN(tst_PersistentClasses)
#include "tst_persistentclasses.moc"
