#include "ModelProject.h"

#include "project/VectorBlob.h"

#include <QSignalSpy>
#include <QtTest>

// Acquisitions stored as points of the current line, one transaction each.
class tst_ProjectStore : public QObject
{
    Q_OBJECT

private slots:
    void repeatsBecomeOnePoint();
    void towedRecordsBecomePointsOfTheirOwn();
    void failedStoreLeavesNothingBehind();
    void droppedOrIncompleteRecordsStoreNothing();
};

void tst_ProjectStore::repeatsBecomeOnePoint()
{
    ModelProject p;
    QVERIFY(p.open());
    QSignalSpy over(&p.model, &DataModel_Index::onSaveOver);
    const ZOLVA_Data record = acquisition(3);
    p.model.dataUpload(record);
    QCOMPARE(p.model.paramFs(), QStringLiteral("6.25"));
    QCOMPARE(p.model.sendI(), QStringLiteral("10"));
    QCOMPARE(p.model.paramRepeat(), 3);
    p.model.dataSave(true);

    QCOMPARE(over.size(), 1);
    QCOMPARE(p.sql("SELECT NAME || ' ' || TYPE || ' ' || USE FROM Data_Line").toString(), QStringLiteral("10.0 0 1"));
    QCOMPARE(p.sql("SELECT NAME || ' ' || TYPE || ' ' || USE || ' ' || (Data_LineID = (SELECT ID FROM Data_Line)) "
                   "FROM Data_Point")
                 .toString(),
             QStringLiteral("0.0 0 1 1"));
    QCOMPARE(p.column("SELECT StartTime || ' ' || TYPE || ' ' || RecvFs || ' ' || PERIOD || ' ' || SendFs || ' ' || "
                      "SampleSendFs || ' ' || SampleOffFs || ' ' || DeviceType || ' ' || USE FROM Data_Sample "
                      "ORDER BY ID"),
             (QStringList{"1700000000000 1 1000.0 128 6.25 100000.0 2000000.0 1 1",
                          "1700000001500 2 2000.0 128 6.25 100000.0 2000000.0 1 1",
                          "1700000003000 1 3000.0 128 6.25 100000.0 2000000.0 1 1"}));
    QSqlQuery q(orm::Database::connection());
    QVERIFY(q.exec("SELECT DATA_RECV, DATA_RECV_POS, DATA_RECV_LEN, DATA_SEND, DATA_SOFF FROM Data_Sample "
                   "ORDER BY ID LIMIT 1 OFFSET 1"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toByteArray(),
             QByteArray::fromHex("4000000000000000"
                                 "4000000000000000"));
    QCOMPARE(q.value(1).toByteArray(), vectorToBlob({100.0, 200.0}));
    QCOMPARE(q.value(2).toByteArray(), vectorToBlob({10.0, 20.0}));
    QCOMPARE(q.value(3).toByteArray(), vectorToBlob(record.sends.at(1).SendWave));
    QCOMPARE(q.value(4).toByteArray(), vectorToBlob({1.0, 0.5, 0.0}));

    QCOMPARE(p.labels(), QStringList{"10 (1点)"});
    QTreeWidgetItem* point = p.model.topLevelItem(0)->child(0);
    QCOMPARE(point->text(0), QStringLiteral("0"));
    QCOMPARE(point->toolTip(0), QStringLiteral("2023.11.15 06:13:20"));
    QCOMPARE(p.labels(point), (QStringList{"1", "2", "3"}));
    QCOMPARE(p.model.pointNo(), 10.0);

    // The same point again: its samples continue, the line keeps one point.
    p.model.setProperty("PointNo", 0.0);
    p.model.dataSave(true);
    QCOMPARE(p.sql("SELECT COUNT(*) FROM Data_Sample WHERE Data_PointID = (SELECT ID FROM Data_Point)").toInt(), 6);
    QCOMPARE(p.labels(point), (QStringList{"1", "2", "3", "4", "5", "6"}));
    QCOMPARE(p.labels(), QStringList{"10 (1点)"});

    // A self-check acquisition on the next point.
    p.model.dataUpload(acquisition(1, 0, 1));
    p.model.dataSave(true);
    QCOMPARE(p.labels(p.model.topLevelItem(0)), (QStringList{"0", "10(自检)"}));
    QCOMPARE(over.size(), 3);

    // What was stored loads back the same way.
    QVERIFY(p.reopen());
    QCOMPARE(p.labels(), QStringList{"10 (2点)"});
    QCOMPARE(p.labels(p.model.topLevelItem(0)->child(0)).size(), 6);
}

void tst_ProjectStore::towedRecordsBecomePointsOfTheirOwn()
{
    ModelProject p;
    QVERIFY(p.open());
    p.model.setProperty("LineNo", 7.0);
    p.model.setProperty("PointNo", 30.0);
    for (int i = 0; i < 3; ++i) {
        ZOLVA_Data record = acquisition(1, 1);
        record.recvs[0].StartTime += 250 * i;
        p.model.dataUpload(record);
        p.model.dataSave(true);
    }
    QCOMPARE(p.sql("SELECT TYPE FROM Data_Line").toInt(), 1);
    QCOMPARE(p.column("SELECT NAME || ' ' || (SELECT COUNT(*) FROM Data_Sample s WHERE s.Data_PointID = p.ID) "
                      "FROM Data_Point p ORDER BY ID"),
             (QStringList{"0.0 1", "1.0 1", "2.0 1"}));
    QCOMPARE(p.labels(), QStringList{"7 (3点)"});
    QCOMPARE(p.labels(p.model.topLevelItem(0)),
             (QStringList{"2023.11.15 06:13:20.000", "2023.11.15 06:13:20.250", "2023.11.15 06:13:20.500"}));
    QCOMPARE(p.model.topLevelItem(0)->child(2)->childCount(), 0);
    QCOMPARE(p.model.pointNo(), 60.0);
}

void tst_ProjectStore::failedStoreLeavesNothingBehind()
{
    ModelProject p;
    QVERIFY(p.open());
    p.sql("CREATE TRIGGER full BEFORE INSERT ON Data_Sample WHEN (SELECT COUNT(*) FROM Data_Sample) >= 2 "
          "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    QSignalSpy over(&p.model, &DataModel_Index::onSaveOver);
    p.model.dataUpload(acquisition(3));
    p.model.dataSave(true);

    QCOMPARE(over.size(), 1);
    QCOMPARE(p.messages, QStringList{"数据添加失败,可能是工程文件损坏"});
    QCOMPARE(p.sql("SELECT (SELECT COUNT(*) FROM Data_Line) + (SELECT COUNT(*) FROM Data_Point) + "
                   "(SELECT COUNT(*) FROM Data_Sample)")
                 .toInt(),
             0);
    QCOMPARE(p.model.topLevelItemCount(), 0);
    QCOMPARE(p.model.pointNo(), 10.0);

    // Nothing of the failed store is left for the next one to attach to.
    p.sql("DROP TRIGGER full");
    p.model.setProperty("PointNo", 0.0);
    p.model.dataSave(true);
    QCOMPARE(p.sql("SELECT COUNT(*) FROM Data_Point WHERE Data_LineID = (SELECT ID FROM Data_Line)").toInt(), 1);
    QCOMPARE(p.labels(), QStringList{"10 (1点)"});
    QCOMPARE(p.labels(p.model.topLevelItem(0)->child(0)), (QStringList{"1", "2", "3"}));

    // A failing second store to that point adds no sample items.
    p.sql("CREATE TRIGGER full BEFORE INSERT ON Data_Sample BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    p.model.setProperty("PointNo", 0.0);
    p.model.dataSave(true);
    QCOMPARE(p.labels(p.model.topLevelItem(0)->child(0)).size(), 3);
    QCOMPARE(p.messages.size(), 2);
}

void tst_ProjectStore::droppedOrIncompleteRecordsStoreNothing()
{
    ModelProject p;
    QVERIFY(p.open());
    QSignalSpy over(&p.model, &DataModel_Index::onSaveOver);
    p.model.dataUpload(acquisition(2));
    p.model.dataSave(false);
    p.model.dataSave(true);
    ZOLVA_Data uneven = acquisition(2);
    uneven.recvs.removeLast();
    p.model.dataUpload(uneven);
    p.model.dataSave(true);
    QCOMPARE(over.size(), 2);
    QCOMPARE(p.sql("SELECT COUNT(*) FROM Data_Sample").toInt(), 0);
    QCOMPARE(p.model.pointNo(), 0.0);
}

QTEST_MAIN(tst_ProjectStore)
#include "tst_projectstore.moc"
