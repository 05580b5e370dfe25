#include "ModelProject.h"

#include "orm/Dao.h"
#include "project/Data_Line.h"
#include "project/Data_Point.h"
#include "project/Data_Sample.h"

#include <QSignalSpy>
#include <QtTest>

// Opening, creating, updating and closing a project file.
class tst_ProjectLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<st_ProjectConfig>(); }
    void newFileGetsSchemaRowsAndSignals();
    void olderFileGainsSsidAndKeepsRows();
    void treeAndNewestPointAtOpen();
    void unusableFilesFail_data();
    void unusableFilesFail();
};

void tst_ProjectLifecycle::newFileGetsSchemaRowsAndSignals()
{
    ModelProject p;
    QSignalSpy config(&p.model, &DataModel_Index::loadProjectConfig);
    QSignalSpy newLine(&p.model, &DataModel_Index::isNewLineChanged);
    QSignalSpy loadParam(&p.model, &DataModel_Index::onLoad_Param);
    QSignalSpy step(&p.model, &DataModel_Index::onPointNoStepChanged);
    QVERIFY(p.open());

    QCOMPARE(p.column("SELECT name FROM sqlite_master WHERE type='table' AND name LIKE 'Data%' ORDER BY name"),
             (QStringList{"Data_Line", "Data_Point", "Data_Project", "Data_Sample", "Data_WorkSet"}));
    QCOMPARE(p.column("SELECT name FROM sqlite_master WHERE type='index' ORDER BY name"),
             (QStringList{"IDX_Data_Line_ID_", "IDX_Data_Point_Data_LineID_", "IDX_Data_Point_ID_",
                          "IDX_Data_Sample_Data_PointID_", "IDX_Data_Sample_ID_"}));
    QCOMPARE(p.sql("SELECT COUNT(*) || ' ' || MIN(ID) || ' ' || PointNoStep FROM Data_Project").toString(),
             QStringLiteral("1 1 10.0"));
    QCOMPARE(p.sql("SELECT COUNT(*) FROM Data_WorkSet").toInt(), 1);
    QCOMPARE(config.size(), 1);
    QCOMPARE(config.first().first().value<st_ProjectConfig>().PointNoStep, 10.0);
    QCOMPARE(step.size(), 1);
    QCOMPARE(newLine.size(), 1);
    QCOMPARE(newLine.first().first().toBool(), true);
    QCOMPARE(loadParam.size(), 0);

    // Reopened, the file is found again, not created twice.
    QVERIFY(p.reopen());
    QCOMPARE(p.sql("SELECT COUNT(*) FROM Data_Project").toInt() + p.sql("SELECT COUNT(*) FROM Data_WorkSet").toInt(),
             2);

    p.model.closeProject();
    p.model.closeProject();
    QVERIFY(QSqlDatabase::connectionNames().isEmpty());
    QVERIFY(!orm::Database::connection().isValid());
}

void tst_ProjectLifecycle::olderFileGainsSsidAndKeepsRows()
{
    ModelProject p;
    {
        QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        old.setDatabaseName(p.path());
        QVERIFY(old.open());
        QSqlQuery q(old);
        QVERIFY(q.exec("CREATE TABLE Data_Project (ID INTEGER PRIMARY KEY AUTOINCREMENT, WorkConfig INTEGER, "
                       "LineNoStart REAL, LineNoSetp REAL, PointNoStart REAL, PointNoStep REAL, SendCoil_Len REAL, "
                       "SendCoil_Width REAL, SendCoil_Turns REAL, RecvCoil_Size REAL, RecvCoil_Gain REAL, "
                       "OffTime REAL, PointLen_D REAL, PointLen_R REAL, CreateTime REAL, NOTE TEXT, "
                       "CalibrateNo TEXT)"));
        QVERIFY(q.exec("INSERT INTO Data_Project (PointNoStep, NOTE) VALUES (5, 'kept')"));
        old.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));

    QVERIFY(p.open());
    QCOMPARE(p.sql("SELECT COUNT(*) FROM pragma_table_info('Data_Project') WHERE name = 'SSID'").toInt(), 1);
    QCOMPARE(p.sql("SELECT COUNT(*) || ' ' || NOTE FROM Data_Project").toString(), QStringLiteral("1 kept"));
    QCOMPARE(p.sql("SELECT COUNT(*) FROM Data_WorkSet").toInt(), 0);
    QCOMPARE(p.model.pointNoStep(), 5.0);
}

void tst_ProjectLifecycle::treeAndNewestPointAtOpen()
{
    ModelProject p;
    QVERIFY(p.open());
    bool stored = true;
    auto line = [&](double name, int type) {
        Data_Line l;
        l.NAME = name;
        l.TYPE = type;
        l.USE = 1;
        stored = orm::insert(l).isOk() && stored;
        return std::make_shared<Data_Line>(l.ID);
    };
    auto point = [&](const std::shared_ptr<Data_Line>& on, double name, int type, QVector<int> periods,
                     double sendFs = 6.25) {
        Data_Point pt;
        pt.NAME = name;
        pt.TYPE = type;
        pt.USE = 1;
        pt.Data_LineID = on;
        stored = orm::insert(pt).isOk() && stored;
        for (int period : periods) {
            Data_Sample s;
            s.USE = 1;
            s.PERIOD = period;
            s.SendFs = sendFs;
            s.StartTime = Q_INT64_C(1700000000000);
            s.Data_PointID = std::make_shared<Data_Point>(pt.ID);
            stored = orm::insert(s).isOk() && stored;
        }
    };
    const auto seven = line(7, 0);
    const auto towed = line(3, 1);
    point(seven, 10, 0, {});
    point(towed, 0, 0, {500});
    point(seven, 12.05, 1, {});
    point(seven, -3.5, 9, {100, 100});
    point(seven, 35, 0, {64}, 2.5);
    QVERIFY(stored);

    QSignalSpy loadParam(&p.model, &DataModel_Index::onLoad_Param);
    QSignalSpy newLine(&p.model, &DataModel_Index::isNewLineChanged);
    QVERIFY(p.reopen());
    QCOMPARE(p.labels(), (QStringList{"7 (4点)", "3 (1点)"}));
    QTreeWidgetItem* l7 = p.model.topLevelItem(0);
    QCOMPARE(p.labels(l7), (QStringList{"-3.5", "10", "12(自检)", "35"}));
    QCOMPARE(p.labels(l7->child(0)), (QStringList{"1", "2"}));
    QCOMPARE(l7->child(0)->toolTip(0), QStringLiteral("2023.11.15 06:13:20"));
    QVERIFY(l7->child(1)->toolTip(0).isEmpty());
    QCOMPARE(p.labels(p.model.topLevelItem(1)), QStringList{"2023.11.15 06:13:20.000"});
    QCOMPARE(p.model.topLevelItem(1)->child(0)->childCount(), 0);

    // The newest point, 35 of line 7, sets where acquisition goes on; the
    // line's last point then gives its own parameters.
    QCOMPARE(p.model.lineNo(), 7.0);
    QCOMPARE(p.model.pointNo(), 45.0);
    QCOMPARE(loadParam.size(), 2);
    QCOMPARE(loadParam.at(0), (QVariantList{2.5, 200, 0}));
    QCOMPARE(loadParam.at(1), (QVariantList{2.5, 64, 0}));
    QCOMPARE(newLine.last(), QVariantList{false});
}

void tst_ProjectLifecycle::unusableFilesFail_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("damaged") << QByteArray("damaged") << QStringList{"工程文件损坏"};
    QTest::newRow("tree unreadable") << QByteArray("view") << QStringList{"工程文件损坏"};
    QTest::newRow("text") << QByteArray("text") << QStringList();
}

void tst_ProjectLifecycle::unusableFilesFail()
{
    QFETCH(QByteArray, kind);
    QFETCH(QStringList, messages);
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
    QFile::copy(p.path(), p.path("before"));

    QVERIFY(!p.open());
    QCOMPARE(p.messages, messages);
    QCOMPARE(p.model.topLevelItemCount(), 0);
    if (kind == "text") {
        QFile before(p.path("before"));
        QVERIFY(file.open(QIODevice::ReadOnly) && before.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before.readAll());
    }
}

QTEST_MAIN(tst_ProjectLifecycle)
#include "tst_projectlifecycle.moc"
