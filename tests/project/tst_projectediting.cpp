#include "ModelProject.h"

#include "tests/support/HeldProjectFile.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>

// The data model's properties; notes, use flags, point numbers and the
// project configuration of an open project, each written in its own
// transaction.
class tst_ProjectEditing : public QObject
{
    Q_OBJECT

private slots:
    void propertyTextsAndNotifications();
    void notesUseAndConfigWriteOnlyTheirColumns();
    void renameStartsFromTheStoredNumber();
    void editOfAHeldFileIsToldAndNotShown_data();
    void editOfAHeldFileIsToldAndNotShown();
};

void tst_ProjectEditing::propertyTextsAndNotifications()
{
    DataModel_Index m;
    QStringList texts{m.sendI(), QString::number(m.lineNo())};
    for (double v : {2.05, 2.1, 120.0}) {
        m.SetSendI(v);
        texts.append(m.sendI());
    }
    for (double v : {2.5, 0.125, 25.0, 6.25, 3e6, -qInf()}) {
        m.SetParamFs(v);
        texts.append(m.paramFs());
    }
    QCOMPARE(texts, (QStringList{"0", "10", "2", "2.1", "120", "2.5", "0.125", "25", "6.25", "3000000", "-inf"}));

    // The acquisition values always notify; the three numbers only on a change.
    QSignalSpy period(&m, &DataModel_Index::onParamPeriodChanged);
    QSignalSpy line(&m, &DataModel_Index::onLineNoChanged);
    QSignalSpy step(&m, &DataModel_Index::onPointNoStepChanged);
    for (const char* name : {"ParamPeriod", "LineNo"}) {
        m.setProperty(name, 10);
        m.setProperty(name, 10);
    }
    m.setProperty("PointNoStep", std::nan(""));
    m.setProperty("PointNoStep", std::nan(""));
    QCOMPARE(QVector<int>({period.size(), line.size(), step.size()}), QVector<int>({2, 0, 2}));
}

void tst_ProjectEditing::notesUseAndConfigWriteOnlyTheirColumns()
{
    ModelProject p;
    QVERIFY(p.open());
    p.model.dataUpload(acquisition(3));
    p.model.dataSave(true);
    p.sql("UPDATE Data_Project SET SSID = 'field-net', NOTE = 'project'");
    const QString curves = QStringLiteral("SELECT hex(DATA_RECV) || hex(DATA_RECV_POS) || hex(DATA_RECV_LEN) || "
                                          "hex(DATA_SEND) || hex(DATA_SOFF) FROM Data_Sample");
    const QString stored = p.sql(curves);

    // The line profile averages every point first, as exports do.
    p.model.setIndex(0, -1, -1);
    p.model.onNewUse(false);
    QSignalSpy notes(&p.model, &DataModel_Index::onLoadLog);
    p.model.setIndex(0, 0, 1);
    p.model.onNewLog(QStringLiteral("A"));
    p.model.onNewLog(QStringLiteral("B"));
    p.model.onNewUse(false);
    QCOMPARE(notes.last().first().toString(), QStringLiteral("A\r\n\r\nB"));
    p.model.setIndex(0, 0, 7);
    p.model.onNewLog(QStringLiteral("P"));
    st_ProjectConfig config;
    config.PointNoStep = 2.5;
    config.CreateTime = 1234.0;
    p.model.setProjectConfig(config);

    QCOMPARE(p.sql("SELECT USE || ':' || ifnull(NOTE, '') FROM Data_Line UNION ALL "
                   "SELECT USE || ':' || NOTE FROM Data_Point UNION ALL "
                   "SELECT * FROM (SELECT USE || ':' || ifnull(NOTE, '') FROM Data_Sample ORDER BY ID)"),
             QStringLiteral("0:|1:P|1:|0:A\r\n\r\nB|1:"));
    QCOMPARE(p.sql("SELECT PointNoStep || ' ' || CreateTime || ' ' || SSID || ' ' || NOTE FROM Data_Project"),
             QStringLiteral("2.5 1234.0 field-net project"));
    QCOMPARE(p.sql(curves), stored);

    // A write that fails changes neither the file nor the memory, and is told.
    QVERIFY(p.messages.isEmpty());
    p.sql("CREATE TRIGGER locked BEFORE UPDATE ON Data_Sample BEGIN SELECT RAISE(ABORT, 'locked'); END");
    p.model.setIndex(0, 0, 1);
    notes.clear();
    p.model.onNewLog(QStringLiteral("C"));
    QCOMPARE(notes.size(), 0);
    QCOMPARE(p.messages, QStringList{"备注添加失败,可能是工程文件损坏"});
    p.sql("DROP TRIGGER locked");
    p.model.onNewLog(QStringLiteral("D"));
    QCOMPARE(p.sql("SELECT NOTE FROM Data_Sample WHERE USE = 0"), QStringLiteral("A\r\n\r\nB\r\n\r\nD"));

    // After reopening nothing is selected until an item is activated.
    QVERIFY(p.reopen());
    p.model.onNewUse(true);
    QCOMPARE(p.sql("SELECT USE FROM Data_Sample ORDER BY ID"), QStringLiteral("1|0|1"));
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
    p.model.show();
    p.model.expandAll();
    QTreeWidgetItem* line = p.model.topLevelItem(0);
    QTreeWidgetItem* point = line->child(0);

    QList<DialogHook::InputRequest> asked;
    QVariant answer = 12.5;
    DialogHook::setInputAnswer([&](const DialogHook::InputRequest& r) {
        asked.append(r);
        return answer;
    });
    auto rightClick = [&](QTreeWidgetItem* item) {
        p.model.onChangePointNameDl(p.model.visualItemRect(item).center());
    };

    // Only a point labelled by its number opens the dialog.
    rightClick(line);
    rightClick(line->child(1));
    rightClick(point->child(0));
    QVERIFY(asked.isEmpty());
    rightClick(point);
    QVERIFY(asked.size() == 1 && asked.first().value.toDouble() == 12.05);
    QCOMPARE(p.sql("SELECT NAME FROM Data_Point WHERE TYPE = 0") + ' ' + point->text(0), QStringLiteral("12.5 12.5"));

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

void tst_ProjectEditing::editOfAHeldFileIsToldAndNotShown_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("hold");
    QTest::addColumn<QString>("told");
    QTest::addColumn<QString>("shown"); // what the panel or tree shows afterwards
    for (int hold : {HeldProjectFile::Read, HeldProjectFile::Write}) {
        const char* by = hold == HeldProjectFile::Read ? "read transaction" : "write lock";
        QTest::addRow("use, %s", by) << "use" << hold << "启用状态修改失败,工程文件被其他程序占用"
                                     << "ticked";
        QTest::addRow("note, %s", by) << "note" << hold << "备注添加失败,工程文件被其他程序占用"
                                      << "no note";
        QTest::addRow("renumbering, %s", by) << "rename" << hold << "点号修改失败,工程文件被其他程序占用"
                                             << "0";
        QTest::addRow("settings, %s", by) << "config" << hold << "工程设置保存失败,工程文件被其他程序占用"
                                          << "step 10";
    }
}

// The file and the memory keep the old values, and the panels show them.
// The box takes the focus from the field, which repeats the edit: once told.
// Another edit that fails meanwhile is told after it, not over it.
void tst_ProjectEditing::editOfAHeldFileIsToldAndNotShown()
{
    QFETCH(QString, edit);
    QFETCH(int, hold);
    QFETCH(QString, told);
    qRegisterMetaType<st_ProjectConfig>();
    ModelProject p;
    QVERIFY(p.open());
    p.model.dataUpload(acquisition(1));
    p.model.dataSave(true);
    p.model.setIndex(0, 0, -1);
    QSignalSpy use(&p.model, &DataModel_Index::onCurUse);
    QSignalSpy notes(&p.model, &DataModel_Index::onLoadLog);
    QSignalSpy config(&p.model, &DataModel_Index::loadProjectConfig);
    const QString file = QStringLiteral("SELECT NAME || USE || ifnull(NOTE, '') FROM Data_Point UNION ALL "
                                        "SELECT PointNoStep FROM Data_Project");
    const QString before = p.sql(file);

    HeldProjectFile held(p.path(), HeldProjectFile::Hold(hold));
    QVERIFY(held.held);
    st_ProjectConfig step;
    step.PointNoStep = 2.5;
    const auto change = [&] {
        if (edit == "use")
            p.model.onNewUse(false);
        else if (edit == "note")
            p.model.onNewLog(QStringLiteral("wet"));
        else if (edit == "rename")
            p.model.renamePoint(0, 0, 15.0);
        else
            p.model.setProjectConfig(step);
    };
    int open = 0;
    DialogHook::setMessageAnswer([&](const DialogHook::Message& m) {
        p.messages << m.text + (open++ > 0 ? " over another box" : "");
        if (p.messages.size() == 1) {
            change();
            if (edit == "note")
                p.model.renamePoint(0, 0, 15.0);
            else
                p.model.onNewLog(QStringLiteral("wet"));
        }
        --open;
    });
    change();
    const QString other =
        edit == "note" ? "点号修改失败,工程文件被其他程序占用" : "备注添加失败,工程文件被其他程序占用";
    QCOMPARE(p.messages, (QStringList{told, other}));
    QString shown = p.model.topLevelItem(0)->child(0)->text(0);
    if (edit == "use")
        shown = !use.isEmpty() && use.last().first().toBool() ? "ticked" : "unticked";
    else if (edit == "note")
        shown = notes.isEmpty() ? "no note" : notes.last().first().toString();
    else if (edit == "config")
        // The settings page shows what it is given back.
        shown = config.isEmpty()
            ? "as typed"
            : QStringLiteral("step %1").arg(config.last().first().value<st_ProjectConfig>().PointNoStep);
    QTEST(shown, "shown");
    QCOMPARE(p.model.pointNoStep(), 10.0);
    held.release();
    QCOMPARE(p.sql(file), before);

    // Memory kept what the file holds: selected again, the point shows it.
    p.model.setIndex(0, 0, -1);
    QCOMPARE(use.last().first().toBool(), true);
    QCOMPARE(notes.last().first().toString(), QString());
}

QTEST_MAIN(tst_ProjectEditing)
#include "tst_projectediting.moc"
