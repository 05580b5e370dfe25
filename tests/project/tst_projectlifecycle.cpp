#include "ModelProject.h"

#include <QSignalSpy>
#include <QtTest>

// Opening, creating, updating and closing a project file.
class tst_ProjectLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<st_ProjectConfig>(); }

    // The tables are the file format older programs read: exactly the
    // registered columns, even after the schema update of a reopening.
    void newFileGetsSchemaRowsAndSignals()
    {
        ModelProject p;
        QSignalSpy config(&p.model, &DataModel_Index::loadProjectConfig);
        QSignalSpy newLine(&p.model, &DataModel_Index::isNewLineChanged);
        QSignalSpy loadParam(&p.model, &DataModel_Index::onLoad_Param);
        QVERIFY(p.open());
        QCOMPARE(
            p.sql("SELECT ID || ' ' || PointNoStep || ' ' || (SELECT COUNT(*) FROM Data_WorkSet) FROM Data_Project"),
            QStringLiteral("1 10.0 1"));
        QVERIFY(config.size() == 1 && config.first().first().value<st_ProjectConfig>().PointNoStep == 10.0);
        QCOMPARE(p.model.pointNoStep(), 10.0);
        QCOMPARE(newLine, (QList<QVariantList>{{true}}));
        QCOMPARE(loadParam.size(), 0);

        QVERIFY(p.reopen());
        QCOMPARE(p.sql("SELECT COUNT(*) FROM Data_Project UNION ALL SELECT COUNT(*) FROM Data_WorkSet"),
                 QStringLiteral("1|1"));
        QStringList tables;
        for (const char* table : {"Data_Project", "Data_WorkSet", "Data_Line", "Data_Point", "Data_Sample"})
            tables << p.sql(QStringLiteral("SELECT group_concat(name || ' ' || type, ',') FROM pragma_table_info('%1')")
                                .arg(QLatin1String(table)));
        QCOMPARE(tables,
                 (QStringList{"ID INTEGER,WorkConfig INTEGER,LineNoStart REAL,LineNoSetp REAL,PointNoStart REAL,"
                              "PointNoStep REAL,SendCoil_Len REAL,SendCoil_Width REAL,SendCoil_Turns REAL,"
                              "RecvCoil_Size REAL,RecvCoil_Gain REAL,OffTime REAL,PointLen_D REAL,PointLen_R REAL,"
                              "CreateTime REAL,NOTE TEXT,CalibrateNo TEXT,SSID TEXT",
                              "ID INTEGER,WorkConfig INTEGER,SendCoil_Len REAL,SendCoil_Width REAL,"
                              "SendCoil_Turns REAL,RecvCoil_Size REAL,RecvCoil_Gain REAL",
                              "ID INTEGER,NAME REAL,TYPE INTEGER,USE INTEGER,NOTE TEXT",
                              "ID INTEGER,NAME REAL,USE INTEGER,NOTE TEXT,TYPE INTEGER,Data_LineID INTEGER",
                              "ID INTEGER,StartTime INTEGER,DeviceType INTEGER,TYPE INTEGER,PERIOD INTEGER,"
                              "DATA_RECV BLOB,DATA_RECV_POS BLOB,DATA_RECV_LEN BLOB,DATA_SEND BLOB,DATA_SOFF BLOB,"
                              "SendFs REAL,SampleSendFs REAL,SampleOffFs REAL,RecvFs REAL,USE INTEGER,NOTE TEXT,"
                              "Data_PointID INTEGER"}));

        // Opened again, an up-to-date file keeps every byte, and the
        // project's statements wait for another program's lock a tenth of
        // a second, not the driver's 5 s.
        const auto bytes = [&p] {
            QFile file(p.path());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray before = bytes();
        QVERIFY(p.reopen());
        QVERIFY(bytes() == before);
        QCOMPARE(p.sql("PRAGMA busy_timeout"), QStringLiteral("100"));

        p.model.closeProject();
        p.model.closeProject();
        QVERIFY(QSqlDatabase::connectionNames().isEmpty());
        QVERIFY(!orm::Database::connection().isValid());
    }

    void olderFileGainsColumnsAndKeepsRows()
    {
        ModelProject p;
        {
            QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
            old.setDatabaseName(p.path());
            QVERIFY(old.open());
            QSqlQuery q(old);
            QVERIFY(q.exec(
                "CREATE TABLE Data_Project (ID INTEGER PRIMARY KEY AUTOINCREMENT, PointNoStep REAL, NOTE TEXT)"));
            QVERIFY(q.exec("INSERT INTO Data_Project (PointNoStep, NOTE) VALUES (5, 'kept')"));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("old"));

        QVERIFY(p.open());
        QCOMPARE(p.sql("SELECT type FROM pragma_table_info('Data_Project') WHERE name IN ('SSID', 'CreateTime')"),
                 QStringLiteral("REAL|TEXT"));
        QCOMPARE(p.sql("SELECT NOTE FROM Data_Project UNION ALL SELECT COUNT(*) FROM Data_WorkSet"),
                 QStringLiteral("kept|0"));
        QCOMPARE(p.model.pointNoStep(), 5.0);
    }

    void treeAndNewestPointAtOpen()
    {
        ModelProject p;
        QVERIFY(p.open());
        // Line 7 and towed line 3; the newest point, ID 5, is 35 of line 7.
        p.sql("INSERT INTO Data_Line (NAME, TYPE, USE) VALUES (7, 0, 1), (3, 1, 1)");
        p.sql("INSERT INTO Data_Point (NAME, TYPE, USE, Data_LineID) VALUES (10, 0, 1, 1), (0, 0, 1, 2), "
              "(12.05, 1, 1, 1), (-3.5, 9, 1, 1), (35, 0, 1, 1)");
        p.sql("INSERT INTO Data_Sample (USE, PERIOD, SendFs, StartTime, Data_PointID) VALUES "
              "(1, 500, 6.25, 1700000000000, 2), (1, 100, 6.25, 1700000000000, 4), (1, 100, 6.25, 1700000000000, 4), "
              "(1, 64, 2.5, 1700000000000, 5)");
        QSignalSpy loadParam(&p.model, &DataModel_Index::onLoad_Param);
        QSignalSpy newLine(&p.model, &DataModel_Index::isNewLineChanged);
        QVERIFY(p.reopen());

        QCOMPARE(p.labels(), (QStringList{"7 (4点)", "3 (1点)"}));
        QTreeWidgetItem* seven = p.model.topLevelItem(0);
        QCOMPARE(p.labels(seven), (QStringList{"-3.5", "10", "12(自检)", "35"}));
        QCOMPARE(p.labels(seven->child(0)), (QStringList{"1", "2"}));
        QCOMPARE(seven->child(0)->toolTip(0) + '|' + seven->child(1)->toolTip(0),
                 QStringLiteral("2023.11.15 06:13:20|"));
        QCOMPARE(p.labels(p.model.topLevelItem(1)), QStringList{"2023.11.15 06:13:20.000"});
        QCOMPARE(p.model.topLevelItem(1)->child(0)->childCount(), 0);

        // Acquisition goes on after point 35; the line's last point then gives
        // its own parameters.
        QVERIFY(p.model.lineNo() == 7.0 && p.model.pointNo() == 45.0);
        QCOMPARE(loadParam, (QList<QVariantList>{{2.5, 200, 0}, {2.5, 64, 0}}));
        QCOMPARE(newLine.last(), QVariantList{false});
        // A line number typed for a line not yet stored starts at point 0.
        p.model.slotLineNoChanged(8.0);
        QCOMPARE(p.model.pointNo(), 0.0);
        QCOMPARE(newLine.last(), QVariantList{true});
        QCOMPARE(loadParam.size(), 2);
    }

    // Acquisition on a towed line goes on from the step, its points being
    // numbered by arrival; the line's last point then gives its own.
    void newestPointOnATowedLine()
    {
        ModelProject p;
        QVERIFY(p.open());
        p.sql("INSERT INTO Data_Line (NAME, TYPE, USE) VALUES (7, 0, 1), (3, 1, 1)");
        p.sql("INSERT INTO Data_Point (NAME, TYPE, USE, Data_LineID) VALUES (35, 0, 1, 1), (0, 0, 1, 2), "
              "(4, 0, 1, 2)");
        p.sql("INSERT INTO Data_Sample (USE, PERIOD, SendFs, StartTime, Data_PointID) VALUES "
              "(1, 64, 2.5, 1700000000000, 1), (1, 500, 6.25, 1700000000000, 2), (1, 32, 12.5, 1700000000000, 3)");
        QSignalSpy pointNo(&p.model, &DataModel_Index::onPointNoChanged);
        QSignalSpy loadParam(&p.model, &DataModel_Index::onLoad_Param);
        QVERIFY(p.reopen());
        QCOMPARE(p.model.lineNo(), 3.0);
        QCOMPARE(pointNo, (QList<QVariantList>{{10.0}, {14.0}}));
        QCOMPARE(loadParam, (QList<QVariantList>{{12.5, 500, 1}, {12.5, 32, 1}}));
    }

    // A point without samples tells no frequency: the line's newest point
    // with samples does, and a line without one leaves the parameters free.
    void pointsWithoutSamplesFixNoParameters()
    {
        ModelProject p;
        QVERIFY(p.open());
        p.sql("INSERT INTO Data_Line (NAME, TYPE, USE) VALUES (7, 0, 1), (9, 0, 1)");
        p.sql("INSERT INTO Data_Point (NAME, TYPE, USE, Data_LineID) VALUES (10, 0, 1, 1), (20, 0, 1, 2), "
              "(35, 0, 1, 1)");
        p.sql("INSERT INTO Data_Sample (USE, PERIOD, SendFs, StartTime, Data_PointID) VALUES "
              "(1, 64, 2.5, 1700000000000, 1)");
        QSignalSpy loadParam(&p.model, &DataModel_Index::onLoad_Param);
        QSignalSpy newLine(&p.model, &DataModel_Index::isNewLineChanged);
        QVERIFY(p.reopen());
        QCOMPARE(p.model.pointNo(), 45.0);
        QCOMPARE(loadParam, (QList<QVariantList>{{2.5, 64, 0}}));
        QCOMPARE(newLine, (QList<QVariantList>{{false}}));

        p.model.slotLineNoChanged(9.0);
        QCOMPARE(p.model.pointNo(), 30.0);
        QCOMPARE(loadParam.size(), 1);
        QCOMPARE(newLine.last(), QVariantList{true});
    }

    // Another writer's project row, ID 7, is the project's row at every
    // open: every setting goes to it and comes back from it.
    void projectRowKeepsItsIdAndEverySetting()
    {
        auto fields = [](const st_ProjectConfig& c) {
            return QVector<double>{double(c.WorkConfig), c.LineNoStart,   c.LineNoSetp,     c.PointNoStart,
                                   c.PointNoStep,        c.SendCoil_Len,  c.SendCoil_Width, c.SendCoil_Turns,
                                   c.RecvCoil_Size,      c.RecvCoil_Gain, c.OffTime,        c.PointLen_D,
                                   c.PointLen_R,         c.CreateTime};
        };
        ModelProject p;
        QVERIFY(p.open());
        p.sql("UPDATE Data_Project SET ID = 7, PointNoStep = 2.5");
        QVERIFY(p.reopen());
        QCOMPARE(p.model.pointNoStep(), 2.5);

        const st_ProjectConfig written{3, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5, 9.5, 10.5, 11.5, 12.5, 1234567.0};
        p.model.setProjectConfig(written);
        QSignalSpy config(&p.model, &DataModel_Index::loadProjectConfig);
        QVERIFY(p.reopen());
        QVERIFY(p.reopen());
        QCOMPARE(config.size(), 2);
        QCOMPARE(fields(config.last().first().value<st_ProjectConfig>()), fields(written));
        QCOMPARE(p.sql("SELECT ID || ' ' || PointNoStep FROM Data_Project"), QStringLiteral("7 4.5"));
    }

    void unusableFilesFail_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("damaged") << QByteArray("damaged") << QStringList{"工程文件损坏"};
        QTest::newRow("tree unreadable") << QByteArray("view") << QStringList{"工程文件损坏"};
        QTest::newRow("text") << QByteArray("text") << QStringList();
    }

    void unusableFilesFail()
    {
        QFETCH(QByteArray, kind);
        ModelProject p;
        QVERIFY(p.open());
        if (kind == "view") {
            p.sql("INSERT INTO Data_Line (NAME) VALUES (1)");
            p.sql("DROP TABLE Data_Point");
            p.sql("CREATE VIEW Data_Point AS SELECT 1 AS ID");
        }
        p.model.closeProject();

        QFile file(p.path());
        QVERIFY(file.open(QIODevice::ReadWrite));
        if (kind == "damaged") {
            // The schema page's header and cells are overwritten.
            file.seek(100);
            file.write(QByteArray(200, '\xff'));
        } else if (kind == "text") {
            file.resize(0);
            file.write("line 10, point 20\n");
        }
        file.close();

        QVERIFY(!p.open());
        QTEST(p.messages, "messages");
        QCOMPARE(p.model.topLevelItemCount(), 0);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(kind != "text" || file.readAll() == "line 10, point 20\n");
    }
};

QTEST_MAIN(tst_ProjectLifecycle)
#include "tst_projectlifecycle.moc"
