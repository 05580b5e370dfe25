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
    void defaultsAndProjectConfig();
    void tablesMatchTheSchema();
    void treeLoadsLinesPointsAndLightSamples();
};

void tst_PersistentClasses::defaultsAndProjectConfig()
{
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    Data_Project a;
    QVERIFY(a.CreateTime >= before && a.CreateTime <= QDateTime::currentSecsSinceEpoch());
    QCOMPARE(a.CreateTime, std::floor(a.CreateTime));
    const st_ProjectConfig c = Data_Project(1).getProjectConfig();
    QCOMPARE((QVector<double>{c.PointNoStep, c.SendCoil_Len, c.SendCoil_Width, c.SendCoil_Turns, c.RecvCoil_Size,
                              c.RecvCoil_Gain, Data_WorkSet().RecvCoil_Size, Data_Line().NAME, Data_Point(4).NAME,
                              double(Data_Sample(3).DeviceType), Data_Sample(3).RecvFs}),
             (QVector<double>{10.0, 0.8862, 0.8862, 32.0, 15.024, 11.0, 15.024, -1.0, -1.0, 1, 1.0}));

    // The configuration carries CreateTime but not ID, NOTE or SSID.
    a.LineNoSetp = 2.5;
    a.PointLen_R = 7.0;
    a.CreateTime = 1234.0;
    a.NOTE = QStringLiteral("n");
    a.SSID = QStringLiteral("field");
    st_ProjectConfig config = a.getProjectConfig();
    Data_Project b(1);
    b.setProjectConfig(&config);
    QCOMPARE((QVector<double>{b.LineNoSetp, b.PointLen_R, b.CreateTime, double(b.ID)}),
             (QVector<double>{2.5, 7.0, 1234.0, 1}));
    QVERIFY(b.NOTE.isEmpty() && b.SSID.isEmpty());
}

void tst_PersistentClasses::tablesMatchTheSchema()
{
    ProjectFile file;
    QVERIFY(file.created());
    const QHash<QString, QStringList> schema{
        {"Data_Project",
         {"ID INTEGER", "WorkConfig INTEGER", "LineNoStart REAL", "LineNoSetp REAL", "PointNoStart REAL",
          "PointNoStep REAL", "SendCoil_Len REAL", "SendCoil_Width REAL", "SendCoil_Turns REAL", "RecvCoil_Size REAL",
          "RecvCoil_Gain REAL", "OffTime REAL", "PointLen_D REAL", "PointLen_R REAL", "CreateTime REAL", "NOTE TEXT",
          "CalibrateNo TEXT", "SSID TEXT"}},
        {"Data_WorkSet",
         {"ID INTEGER", "WorkConfig INTEGER", "SendCoil_Len REAL", "SendCoil_Width REAL", "SendCoil_Turns REAL",
          "RecvCoil_Size REAL", "RecvCoil_Gain REAL"}},
        {"Data_Line", {"ID INTEGER", "NAME REAL", "TYPE INTEGER", "USE INTEGER", "NOTE TEXT"}},
        {"Data_Point", {"ID INTEGER", "NAME REAL", "USE INTEGER", "NOTE TEXT", "TYPE INTEGER", "Data_LineID INTEGER"}},
        {"Data_Sample",
         {"ID INTEGER", "StartTime INTEGER", "DeviceType INTEGER", "TYPE INTEGER", "PERIOD INTEGER", "DATA_RECV BLOB",
          "DATA_RECV_POS BLOB", "DATA_RECV_LEN BLOB", "DATA_SEND BLOB", "DATA_SOFF BLOB", "SendFs REAL",
          "SampleSendFs REAL", "SampleOffFs REAL", "RecvFs REAL", "USE INTEGER", "NOTE TEXT", "Data_PointID INTEGER"}}};

    // The schema update adds a column for every registered member, so the
    // class list must name exactly the table's columns: a relation listed
    // as a member would give every opened file a junk column.
    QStringList indexed;
    for (const orm::ClassInfo* info : orm::Registry::classes()) {
        QSqlQuery query(orm::Database::connection());
        QVERIFY(query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(info->name())));
        QStringList table;
        QStringList registered;
        while (query.next())
            table.append(query.value(1).toString() + QLatin1Char(' ') + query.value(2).toString());
        for (const orm::ColumnInfo& column : info->columns()) {
            registered.append(column.name + QLatin1Char(' ') + column.sqlType());
            if (column.properties.contains(QStringLiteral("INDEX")))
                indexed.append(info->name() + QLatin1Char('.') + column.name);
        }
        QCOMPARE(table, schema.value(info->name()));
        QCOMPARE(registered, table);
    }
    QCOMPARE(orm::Registry::classes().size(), 5);
    indexed.sort();
    QCOMPARE(indexed, (QStringList{"Data_Line.ID", "Data_Point.ID", "Data_Sample.ID"}));
}

void tst_PersistentClasses::treeLoadsLinesPointsAndLightSamples()
{
    ProjectFile file;
    QVERIFY(file.created());
    for (int i = 0; i < 2; ++i) {
        Data_Line line;
        QVERIFY(orm::insert(line).isOk());
    }
    for (double name : {30.0, 10.0, 20.0, 20.0}) {
        Data_Point point;
        point.NAME = name;
        point.Data_LineID = std::make_shared<Data_Line>(1);
        QVERIFY(orm::insert(point).isOk());
        Data_Sample sample;
        sample.Data_PointID = std::make_shared<Data_Point>(point.ID);
        sample.USE = 1;
        sample.PERIOD = 500;
        sample.SendFs = 25.0;
        sample.DATA_RECV = QByteArray(800, 'x');
        QVERIFY(orm::insert(sample).isOk());
    }

    QVector<std::shared_ptr<Data_Line>> lines;
    QVERIFY(orm::fetchByQuery(orm::Query{QStringLiteral("ORDER BY ID"), {}}, lines).isOk());
    QVector<std::shared_ptr<Data_Point>> points;
    for (int round = 0; round < 2; ++round) { // a second load replaces the children
        points.clear();
        QVERIFY(orm::fetchChildren(lines, &Data_Line::list_Data_Point, {}, {QStringLiteral("NAME")}, &points).isOk());
    }
    QVERIFY(orm::fetchChildren(points, &Data_Point::list_Data_Sample,
                               {QStringLiteral("USE"), QStringLiteral("PERIOD"), QStringLiteral("SendFs")})
                .isOk());
    QVector<int> ids;
    for (const auto& point : lines.first()->list_Data_Point)
        ids.append(point->ID);
    QCOMPARE(ids, (QVector<int>{2, 3, 4, 1})); // by NAME, then by ID
    QVERIFY(lines.at(1)->list_Data_Point.isEmpty());
    QCOMPARE(points.size(), 4);
    // Children name their parent by one shared ID-only object, so parent
    // and child never own each other.
    QCOMPARE(points.first()->Data_LineID->ID, 1);
    QVERIFY(points.first()->Data_LineID != lines.first());
    QVERIFY(points.first()->Data_LineID == points.last()->Data_LineID);
    const Data_Sample& light = *points.first()->list_Data_Sample.first();
    QCOMPARE(light.USE, 1);
    QCOMPARE(light.PERIOD, 500);
    QCOMPARE(light.SendFs, 25.0);
    QVERIFY(light.DATA_RECV.isEmpty());
    QCOMPARE(light.Data_PointID->ID, points.first()->ID);
}

QTEST_GUILESS_MAIN(tst_PersistentClasses)
#include "tst_persistentclasses.moc"
