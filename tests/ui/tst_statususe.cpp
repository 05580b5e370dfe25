#include "WindowTest.h"
#include "orm/Database.h"
#include "project/DataModel_Index.h"
#include "tests/support/HeldProjectFile.h"
#include "tests/support/TestEnvironment.h"
#include "tools/simunits/SimUnitPair.h"
#include "ui/DeveloperAccess.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

const QString TransmitterAddress = TestLoopback::Address(TestLoopback::StatusUseTests, 1);
const QString ReceiverAddress = TestLoopback::Address(TestLoopback::StatusUseTests, 2);
const QDate Today(2026, 12, 6);

// The first value of each row, joined by '|'.
QString sql(const QString& text)
{
    QSqlQuery q(orm::Database::connection());
    QStringList values;
    for (q.exec(text); q.next();)
        values << q.value(0).toString();
    return values.join(QLatin1Char('|'));
}

// Lines 101 to 104 of 8, 1, 8 and 7 points, one sample each.
bool makeSurvey(const QString& file)
{
    DataModel_Index maker;
    if (!maker.openProject(file))
        return false;
    for (const auto& line : {qMakePair(101, 8), qMakePair(102, 1), qMakePair(103, 8), qMakePair(104, 7)}) {
        sql(QStringLiteral("INSERT INTO Data_Line (NAME, TYPE, USE) VALUES (%1, 0, 1)").arg(line.first));
        for (int j = 0; j < line.second; ++j) {
            sql(QStringLiteral("INSERT INTO Data_Point (NAME, TYPE, USE, Data_LineID) "
                               "VALUES (%1, 0, 1, (SELECT MAX(ID) FROM Data_Line))")
                    .arg(10 * j));
            sql(QStringLiteral("INSERT INTO Data_Sample (USE, PERIOD, SendFs, StartTime, DATA_RECV, DATA_RECV_POS, "
                               "Data_PointID) VALUES (1, 128, 6.25, 1700000000000, "
                               "X'3F50624DD2F1A9FC3F40624DD2F1A9FC', X'40590000000000004069000000000000', "
                               "(SELECT MAX(ID) FROM Data_Point))"));
        }
    }
    maker.closeProject();
    return true;
}

} // namespace

// The status panel's use box acts on the tree item whose values the panel
// shows, and on nothing while it shows an acquisition's record.
class tst_StatusUse : public WindowTest
{
    Q_OBJECT

    // Through the window: given to a widget, Qt Test sends the double-click
    // alone, without the press and release the view looks for first.
    void doubleClick(QTreeWidgetItem* item)
    {
        auto* tree = widget<QTreeWidget>("DataModel");
        const QPoint at = tree->viewport()->mapTo(m_window.get(), tree->visualItemRect(item).center());
        QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, {}, at);
    }

    bool openSurvey()
    {
        m_nextFile = path(QStringLiteral("survey.ZOLVA"));
        widget<QPushButton>("pushButton_Project_Open")->click();
        return waitForStatus(ZOLVA_Collector::IDLE);
    }

    // The operator's click on the box and a note given through the slot.
    void useAndNote()
    {
        QTest::mouseClick(widget<QCheckBox>("USE_checkBox"), Qt::LeftButton);
        QVERIFY(QMetaObject::invokeMethod(widget<QObject>("DataModel"), "onNewLog", Q_ARG(QString, "wet")));
    }

    // Items not used or noted, in lines, points and samples.
    static QString changedItems()
    {
        return sql(QStringLiteral("SELECT COUNT(*) FROM (SELECT USE, NOTE FROM Data_Line UNION ALL "
                                  "SELECT USE, NOTE FROM Data_Point UNION ALL SELECT USE, NOTE FROM Data_Sample) "
                                  "WHERE USE != 1 OR ifnull(NOTE, '') != ''"));
    }

private slots:
    void init()
    {
        QVERIFY(setUp(TransmitterAddress, ReceiverAddress));
        QVERIFY(makeSurvey(path(QStringLiteral("survey.ZOLVA"))));
        QVERIFY(listenUnits(TransmitterAddress, ReceiverAddress));
        QVERIFY(showWindow(Today));
    }

    void cleanup() { tearDown(); }

    void recordShownHasNoUseBox_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("soundings");
        QTest::newRow("saved") << "save" << 25;
        QTest::newRow("discarded") << "cancel" << 24;
        QTest::newRow("project closed") << "close" << 24;
    }

    // Line 101 selected, then an acquisition on line 104 awaiting 保存: the
    // box is disabled and neither it nor a note changes line 101, before the
    // record is saved or dropped and after, until an item is selected again;
    // a closed project leaves none.
    void recordShownHasNoUseBox()
    {
        QFETCH(QString, end);
        QFETCH(int, soundings);
        QVERIFY(openSurvey());
        auto* tree = widget<QTreeWidget>("DataModel");
        auto* use = widget<QCheckBox>("USE_checkBox");
        QVERIFY(!use->isEnabled());
        doubleClick(tree->topLevelItem(0));
        QVERIFY(use->isEnabled() && use->isChecked());

        enter("LineNo", QStringLiteral("104"));
        enter("ParamRepeat", QStringLiteral("1"));
        widget<QPushButton>("pushButton_Start")->click();
        QVERIFY(waitForStatus(ZOLVA_Collector::UPLOAD));
        QVERIFY(!use->isEnabled() && !use->isChecked());
        useAndNote();
        QCOMPARE(changedItems(), QStringLiteral("0"));

        const char* button = end == "save" ? "pushButton_SaveOK"
            : end == "cancel"              ? "pushButton_SaveCancel"
                                           : "pushButton_Project_Close";
        widget<QPushButton>(button)->click();
        if (end == "close") {
            QVERIFY(waitForStatus(ZOLVA_Collector::DISCONN));
            QVERIFY(openSurvey());
        }
        QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
        QVERIFY(!use->isEnabled());
        useAndNote();
        QCOMPARE(changedItems(), QStringLiteral("0"));

        for (int i = 0; i < DeveloperAccess::UnlockClicks; ++i)
            widget<QPushButton>("btn_Logo")->click();
        m_nextFile = path(QStringLiteral("survey.usf"));
        widget<QPushButton>("pushButton_Export_USF")->click();
        QFile file(m_nextFile);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString usf = QString::fromUtf8(file.readAll());
        QCOMPARE(m_shown.last(), QStringLiteral("导出USF: 导出成功"));
        QCOMPARE(usf.count(QStringLiteral("/SOUNDING_NAME:")), soundings);
        QCOMPARE(usf.count(QStringLiteral("/LOCATION:       101,")), 8);

        // Usable again on the next item selected, a line of one point too.
        doubleClick(tree->topLevelItem(1));
        QVERIFY(use->isEnabled() && use->isChecked());
        QCOMPARE(widget<QLabel>("ParamRepeat_label")->text(), QStringLiteral("0"));
        QTest::mouseClick(use, Qt::LeftButton);
        QCOMPARE(sql(QStringLiteral("SELECT NAME FROM Data_Line WHERE USE = 0")), QStringLiteral("102"));
        widget<QPushButton>("pushButton_Project_Close")->click();
        QVERIFY(!use->isEnabled() && !use->isChecked());
    }

    // A click while another program reads the file is told at once, and
    // the box shows again what the file holds; free, the click takes.
    void useOfAHeldFileIsToldAndShownAsStored()
    {
        QVERIFY(openSurvey());
        auto* use = widget<QCheckBox>("USE_checkBox");
        doubleClick(widget<QTreeWidget>("DataModel")->topLevelItem(0));
        auto held = std::make_unique<HeldProjectFile>(path(QStringLiteral("survey.ZOLVA")), HeldProjectFile::Read);
        QVERIFY(held->held);
        QElapsedTimer click;
        click.start();
        QTest::mouseClick(use, Qt::LeftButton);
        qInfo("a click on the use box of a held file returns after %lld ms", click.elapsed());
        QCOMPARE(m_shown, QStringList{"警告: 启用状态修改失败,工程文件被其他程序占用"});
        QVERIFY(use->isChecked());
        held.reset();
        QCOMPARE(sql(QStringLiteral("SELECT COUNT(*) FROM Data_Line WHERE USE = 0")), QStringLiteral("0"));
        QTest::mouseClick(use, Qt::LeftButton);
        QVERIFY(!use->isChecked() && m_shown.size() == 1);
        QCOMPARE(sql(QStringLiteral("SELECT NAME FROM Data_Line WHERE USE = 0")), QStringLiteral("101"));
    }
};

QTEST_MAIN(tst_StatusUse)
#include "tst_statususe.moc"
