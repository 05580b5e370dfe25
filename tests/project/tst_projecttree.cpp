#include "ModelProject.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>

// The data model's properties and the line number typed by the operator.
class tst_ProjectTree : public QObject
{
    Q_OBJECT

private slots:
    void propertyTextsAndNotifications();
    void enteredLineNumberSetsTheNextPoint();
};

void tst_ProjectTree::propertyTextsAndNotifications()
{
    DataModel_Index m;
    QCOMPARE(m.property("SendI").toString(), QStringLiteral("0"));
    QCOMPARE(m.property("LineNo").toDouble(), 10.0);
    QStringList texts;
    for (double v : {2.05, 2.1, 120.0}) {
        m.SetSendI(v);
        texts.append(m.sendI());
    }
    for (double v : {2.5, 0.125, 25.0, 6.25}) {
        m.SetParamFs(v);
        texts.append(m.paramFs());
    }
    QCOMPARE(texts, (QStringList{"2", "2.1", "120", "2.5", "0.125", "25", "6.25"}));

    // The five acquisition values always notify; the three numbers only on a change.
    QSignalSpy period(&m, &DataModel_Index::onParamPeriodChanged);
    QSignalSpy line(&m, &DataModel_Index::onLineNoChanged);
    QSignalSpy step(&m, &DataModel_Index::onPointNoStepChanged);
    m.SetParamPeriod(0);
    m.setProperty("ParamPeriod", 0);
    m.setProperty("LineNo", 10.0);
    m.setProperty("LineNo", 11.0);
    m.setProperty("PointNoStep", std::nan(""));
    m.setProperty("PointNoStep", std::nan(""));
    QCOMPARE(period.size(), 2);
    QCOMPARE(line.size(), 1);
    QCOMPARE(step.size(), 2);
}

void tst_ProjectTree::enteredLineNumberSetsTheNextPoint()
{
    ModelProject p;
    QVERIFY(p.open());
    for (double point : {20.0, 30.0}) {
        p.model.setProperty("PointNo", point);
        p.model.dataUpload(acquisition(2));
        p.model.dataSave(true);
    }
    QSignalSpy newLine(&p.model, &DataModel_Index::isNewLineChanged);
    QSignalSpy loadParam(&p.model, &DataModel_Index::onLoad_Param);
    QSignalSpy selectPoint(&p.model, &DataModel_Index::onSelectPoint);
    p.model.slotLineNoChanged(10.0);
    QCOMPARE(p.model.pointNo(), 40.0);
    QCOMPARE(newLine.last(), QVariantList{false});
    QCOMPARE(loadParam.last(), (QVariantList{6.25, 128, 0}));
    QCOMPARE(selectPoint.last(), QVariantList{0});

    p.model.slotLineNoChanged(11.0);
    QCOMPARE(p.model.pointNo(), 0.0);
    QCOMPARE(newLine.last(), QVariantList{true});
    QCOMPARE(loadParam.size(), 1);
}

QTEST_MAIN(tst_ProjectTree)
#include "tst_projecttree.moc"
