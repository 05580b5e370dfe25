#include "ModelProject.h"

#include <QSignalSpy>
#include <QtTest>

// Notes, use flags, point numbers and the project configuration of an open
// project, each written in its own transaction.
class tst_ProjectEditing : public QObject
{
    Q_OBJECT

private slots:
    void notesUseAndConfigWriteOnlyTheirColumns();
    void renameStartsFromTheStoredNumber();
};

void tst_ProjectEditing::notesUseAndConfigWriteOnlyTheirColumns()
{
    ModelProject p;
    QVERIFY(p.open());
    p.model.dataUpload(acquisition(3));
    p.model.dataSave(true);
    p.sql("UPDATE Data_Project SET SSID = 'field-net', NOTE = 'project'");
    const QString curves = QStringLiteral("SELECT group_concat(hex(DATA_RECV) || hex(DATA_RECV_POS) || "
                                          "hex(DATA_RECV_LEN) || hex(DATA_SEND) || hex(DATA_SOFF)) FROM Data_Sample");
    const QString stored = p.sql(curves).toString();
    QVERIFY(stored.size() > 100);

    // The line profile averages every point first, as exports do.
    p.model.setIndex(0, -1, -1);
    p.model.onNewUse(false);
    QCOMPARE(p.sql("SELECT group_concat(USE) FROM (SELECT USE FROM Data_Line UNION ALL SELECT USE FROM Data_Point)")
                 .toString(),
             QStringLiteral("0,1"));

    QSignalSpy logs(&p.model, &DataModel_Index::onLoadLog);
    p.model.setIndex(0, 0, 1);
    p.model.onNewLog(QStringLiteral("A"));
    p.model.onNewLog(QStringLiteral("B"));
    p.model.onNewUse(false);
    QCOMPARE(logs.last().first().toString(), QStringLiteral("A\r\n\r\nB"));
    QCOMPARE(p.column("SELECT USE || ':' || ifnull(NOTE, '') FROM Data_Sample ORDER BY ID"),
             (QStringList{"1:", "0:A\r\n\r\nB", "1:"}));
    p.model.setIndex(0, 0, 7);
    p.model.onNewLog(QStringLiteral("P"));
    QCOMPARE(p.sql("SELECT NOTE FROM Data_Point").toString(), QStringLiteral("P"));

    st_ProjectConfig config;
    config.PointNoStep = 2.5;
    config.OffTime = 7.0;
    config.CreateTime = 1234.0;
    p.model.setProjectConfig(config);
    QCOMPARE(p.sql("SELECT PointNoStep || ' ' || OffTime || ' ' || CreateTime || ' ' || SSID || ' ' || NOTE "
                   "FROM Data_Project")
                 .toString(),
             QStringLiteral("2.5 7.0 1234.0 field-net project"));
    QCOMPARE(p.sql(curves).toString(), stored);

    // A write that fails changes neither the file nor the memory.
    p.sql("CREATE TRIGGER locked BEFORE UPDATE ON Data_Sample BEGIN SELECT RAISE(ABORT, 'locked'); END");
    p.model.setIndex(0, 0, 1);
    logs.clear();
    p.model.onNewLog(QStringLiteral("C"));
    QCOMPARE(logs.size(), 0);
    p.sql("DROP TRIGGER locked");
    p.model.onNewLog(QStringLiteral("D"));
    QCOMPARE(p.sql("SELECT NOTE FROM Data_Sample WHERE USE = 0").toString(), QStringLiteral("A\r\n\r\nB\r\n\r\nD"));
    QVERIFY(p.messages.isEmpty());

    // After reopening nothing is selected until an item is activated.
    QVERIFY(p.reopen());
    p.model.onNewUse(true);
    QCOMPARE(p.sql("SELECT group_concat(USE) FROM Data_Sample").toString(), QStringLiteral("1,0,1"));
}

void tst_ProjectEditing::renameStartsFromTheStoredNumber()
{
    ModelProject p;
    QVERIFY(p.open());
    p.model.setProperty("PointNo", 12.05);
    p.model.dataUpload(acquisition(1));
    p.model.dataSave(true);
    p.model.dataUpload(acquisition(1, 0, 1));
    p.model.dataSave(true);
    QVERIFY(p.reopen());
    p.model.resize(300, 400);
    p.model.show();
    p.model.expandAll();
    QCOMPARE(p.labels(p.model.topLevelItem(0)), (QStringList{"12", "22(自检)"}));

    QList<DialogHook::InputRequest> asked;
    QVariant answer;
    DialogHook::setInputAnswer([&](const DialogHook::InputRequest& r) {
        asked.append(r);
        return answer;
    });
    auto rightClick = [&](QTreeWidgetItem* item) {
        p.model.onChangePointNameDl(p.model.visualItemRect(item).center());
    };
    QTreeWidgetItem* line = p.model.topLevelItem(0);
    QTreeWidgetItem* point = line->child(0);

    // Only a point labelled by its number opens the dialog.
    rightClick(line);
    rightClick(line->child(1));
    rightClick(point->child(0));
    QVERIFY(asked.isEmpty());

    answer = 12.5;
    rightClick(point);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().title, QStringLiteral("修改点号"));
    QCOMPARE(asked.first().label, QStringLiteral("请输入新的点号:"));
    QCOMPARE(asked.first().value.toDouble(), 12.05);
    QCOMPARE((QVector<double>{asked.first().minimum, asked.first().maximum, double(asked.first().decimals)}),
             (QVector<double>{-99999999, 99999999, 1}));
    QCOMPARE(p.sql("SELECT NAME FROM Data_Point WHERE TYPE = 0").toDouble(), 12.5);
    QCOMPARE(point->text(0), QStringLiteral("12.5"));

    // Unchanged or cancelled writes nothing; a failed write keeps the old number.
    p.sql("CREATE TRIGGER locked BEFORE UPDATE ON Data_Point BEGIN SELECT RAISE(ABORT, 'locked'); END");
    rightClick(point);
    answer = QVariant();
    rightClick(point);
    QVERIFY(p.messages.isEmpty());
    answer = 13.0;
    rightClick(point);
    QCOMPARE(p.messages, QStringList{"点号修改失败,可能是工程文件损坏"});
    QCOMPARE(point->text(0), QStringLiteral("12.5"));
    rightClick(point);
    QCOMPARE(asked.last().value.toDouble(), 12.5);

    // The renamed point takes the next store to its new number.
    p.sql("DROP TRIGGER locked");
    p.model.setProperty("LineNo", 10.0);
    p.model.setProperty("PointNo", 12.5);
    p.model.dataUpload(acquisition(2));
    p.model.dataSave(true);
    QCOMPARE(p.labels(point), (QStringList{"1", "2", "3"}));
}

QTEST_MAIN(tst_ProjectEditing)
#include "tst_projectediting.moc"
