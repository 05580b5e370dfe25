#include "ModelProject.h"

#include "tests/support/TestEnvironment.h"

#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QtTest>

namespace {

// Counts the rows the view measures.
class MeasuredRows : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    mutable int count = 0;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        ++count;
        return QStyledItemDelegate::sizeHint(option, index);
    }
};

}

// Acquisitions stored as points of the current line, one transaction each.
class tst_ProjectStore : public QObject
{
    Q_OBJECT

private slots:
    void repeatsBecomeOnePoint();
    void towedRecordsBecomePointsOfTheirOwn();
    void openTowedLineMeasuresNoRowPerPoint();
    void failedOrDroppedStoresLeaveNothingBehind();
};

void tst_ProjectStore::repeatsBecomeOnePoint()
{
    ModelProject p;
    QVERIFY(p.open());
    QSignalSpy over(&p.model, &DataModel_Index::onSaveOver);
    p.model.dataUpload(acquisition(3));
    QCOMPARE(p.model.paramFs() + ' ' + p.model.sendI() + ' ' + QString::number(p.model.paramRepeat()),
             QStringLiteral("6.25 10 3"));
    p.model.dataSave(true);

    QCOMPARE(over.size(), 1);
    QCOMPARE(p.sql("SELECT NAME || ' ' || TYPE || ' ' || USE FROM Data_Line UNION ALL "
                   "SELECT NAME || ' ' || TYPE || ' ' || USE || ' ' || Data_LineID FROM Data_Point"),
             QStringLiteral("10.0 0 1|0.0 0 1 1"));
    QCOMPARE(p.sql("SELECT StartTime || ' ' || TYPE || ' ' || RecvFs || ' ' || PERIOD || ' ' || SendFs || ' ' || "
                   "SampleSendFs || ' ' || SampleOffFs || ' ' || DeviceType || ' ' || USE || ' ' || Data_PointID "
                   "FROM Data_Sample ORDER BY ID"),
             QStringLiteral("1700000000000 1 1000.0 128 6.25 100000.0 2000000.0 1 1 1|"
                            "1700000001500 2 2000.0 128 6.25 100000.0 2000000.0 1 1 1|"
                            "1700000003000 1 3000.0 128 6.25 100000.0 2000000.0 1 1 1"));
    // Big-endian doubles, one after the other: {2, 2}, {100, 200}, {10, 20}, {1, 0.5, 0}.
    QCOMPARE(p.sql("SELECT hex(DATA_RECV) || ' ' || hex(DATA_RECV_POS) || ' ' || hex(DATA_RECV_LEN) || ' ' || "
                   "hex(DATA_SOFF) || ' ' || length(DATA_SEND) FROM Data_Sample WHERE ID = 2"),
             QStringLiteral("40000000000000004000000000000000 40590000000000004069000000000000 "
                            "40240000000000004034000000000000 3FF00000000000003FE00000000000000000000000000000 128"));

    QCOMPARE(p.labels(), QStringList{"10 (1点)"});
    QTreeWidgetItem* point = p.model.topLevelItem(0)->child(0);
    QCOMPARE(point->text(0) + ' ' + point->toolTip(0), QStringLiteral("0 2023.11.15 06:13:20"));
    QCOMPARE(p.labels(point), (QStringList{"1", "2", "3"}));
    QCOMPARE(p.model.pointNo(), 10.0);

    // The same point again: its samples continue, the line keeps one point.
    p.model.setProperty("PointNo", 0.0);
    p.model.dataSave(true);
    QCOMPARE(p.labels(point), (QStringList{"1", "2", "3", "4", "5", "6"}));
    QCOMPARE(p.labels(), QStringList{"10 (1点)"});
    p.model.dataUpload(acquisition(1, 0, 1));
    p.model.dataSave(true);
    QCOMPARE(p.labels(p.model.topLevelItem(0)), (QStringList{"0", "10(自检)"}));

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
    QCOMPARE(p.sql("SELECT TYPE FROM Data_Line UNION ALL SELECT NAME FROM Data_Point UNION ALL "
                   "SELECT Data_PointID FROM Data_Sample"),
             QStringLiteral("1|0|1|2|1|2|3"));
    QCOMPARE(p.labels(), QStringList{"7 (3点)"});
    QCOMPARE(p.labels(p.model.topLevelItem(0)),
             (QStringList{"2023.11.15 06:13:20.000", "2023.11.15 06:13:20.250", "2023.11.15 06:13:20.500"}));
    QCOMPARE(p.model.topLevelItem(0)->child(2)->childCount(), 0);
    QCOMPARE(p.model.pointNo(), 60.0);
}

// A point stored into an open towed line is taken in without measuring the
// line's other rows again, and the view shows every point once it has
// caught up.
void tst_ProjectStore::openTowedLineMeasuresNoRowPerPoint()
{
    constexpr int Points = 200;
    ModelProject p;
    QVERIFY(p.open());
    auto* rows = new MeasuredRows(&p.model);
    p.model.setItemDelegate(rows);
    p.model.resize(240, 320);
    p.model.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.model));
    p.model.setProperty("LineNo", 7.0);
    const auto store = [&p](int i) {
        ZOLVA_Data record = acquisition(1, 1);
        record.recvs[0].StartTime += 10 * i;
        p.model.dataUpload(record);
        p.model.dataSave(true);
        QCoreApplication::processEvents();
    };
    store(0);
    QTreeWidgetItem* line = p.model.topLevelItem(0);
    p.model.expandItem(line);
    QCoreApplication::processEvents();
    rows->count = 0;
    for (int i = 1; i < Points; ++i)
        store(i);
    QVERIFY2(rows->count < 2 * Points, qPrintable(QString::number(rows->count)));

    QCOMPARE(line->text(0), QStringLiteral("7 (200点)"));
    QCOMPARE(line->child(Points - 1)->text(0), QStringLiteral("2023.11.15 06:13:21.990"));
    QTRY_VERIFY_WITH_TIMEOUT(p.model.visualItemRect(line->child(Points - 1)).isValid(), TestTimeoutMs());
}

void tst_ProjectStore::failedOrDroppedStoresLeaveNothingBehind()
{
    ModelProject p;
    QVERIFY(p.open());
    p.sql("CREATE TRIGGER full BEFORE INSERT ON Data_Sample WHEN (SELECT COUNT(*) FROM Data_Sample) >= 2 "
          "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    QSignalSpy over(&p.model, &DataModel_Index::onSaveOver);
    QSignalSpy failed(&p.model, &DataModel_Index::onSaveFailed);
    p.model.dataUpload(acquisition(3));
    p.model.dataSave(true);

    // The record is kept for the operator to save again, on its point.
    QVERIFY(over.isEmpty() && failed.size() == 1);
    QCOMPARE(p.messages, QStringList{"数据添加失败,可能是工程文件损坏"});
    QCOMPARE(p.sql("SELECT (SELECT COUNT(*) FROM Data_Line) + (SELECT COUNT(*) FROM Data_Point) + "
                   "(SELECT COUNT(*) FROM Data_Sample)"),
             QStringLiteral("0"));
    QCOMPARE(p.model.topLevelItemCount(), 0);
    QCOMPARE(p.model.pointNo(), 0.0);

    // Nothing of the failed store is left for the next one to attach to.
    p.sql("DROP TRIGGER full");
    p.model.dataSave(true);
    QCOMPARE(p.sql("SELECT COUNT(*) FROM Data_Point WHERE Data_LineID = (SELECT ID FROM Data_Line)"),
             QStringLiteral("1"));
    QCOMPARE(p.labels(), QStringList{"10 (1点)"});
    QCOMPARE(p.labels(p.model.topLevelItem(0)->child(0)), (QStringList{"1", "2", "3"}));

    // Records the operator dropped, or an acquisition with a record missing.
    p.model.dataUpload(acquisition(2));
    p.model.dataSave(false);
    p.model.dataSave(true);
    ZOLVA_Data uneven = acquisition(2);
    uneven.recvs.removeLast();
    p.model.dataUpload(uneven);
    p.model.dataSave(true);
    QCOMPARE(over.size(), 3);
    QCOMPARE(p.sql("SELECT COUNT(*) FROM Data_Sample"), QStringLiteral("3"));
    QCOMPARE(p.model.pointNo(), 10.0);
}

QTEST_MAIN(tst_ProjectStore)
#include "tst_projectstore.moc"
