#include "ModelProject.h"

#include "platform/WifiName.h"
#include "project/Data_Calc.h"
#include "tests/support/TestEnvironment.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThreadPool>
#include <QtTest>

// Activated tree items turned into plots and line profiles; the network
// name stored when the units connect.
class tst_ProjectSelection : public QObject
{
    Q_OBJECT

private slots:
    void pointsAndSamplesArePlotted();
    void numbersBeyondTheIntegerRangesAreShown();
    void neighbourWindows_data();
    void neighbourWindows();
    void neighbourCursorMarksTheSelectedPoint_data();
    void neighbourCursorMarksTheSelectedPoint();
    void shownCurvesAreNotKept_data();
    void shownCurvesAreNotKept();
    void lineProfiles();
    void closeStopsARunningProfile();
    void wifiNameGoesToTheProjectOpenAtConnection();
};

// A project whose selections are drawn by a curve processor.
struct PlottedProject : ModelProject
{
    PlottedProject() { model.setCalc(&calc); }
    Data_Calc calc;
};

// Pool tasks finished and their queued results handled.
static bool settle()
{
    const bool done = QThreadPool::globalInstance()->waitForDone(TestTimeoutMs());
    QCoreApplication::sendPostedEvents();
    return done;
}

// Every message logged while it is installed.
namespace Logged {
QMutex mutex;
QStringList messages;

void keep(QtMsgType, const QMessageLogContext&, const QString& text)
{
    QMutexLocker lock(&mutex);
    messages.append(text);
}
} // namespace Logged

void tst_ProjectSelection::pointsAndSamplesArePlotted()
{
    PlottedProject p;
    QVERIFY(p.open());
    for (double line : {10.0, 11.0}) {
        p.model.setProperty("LineNo", line);
        p.model.setProperty("PointNo", 0.0);
        p.model.dataUpload(acquisition(3));
        p.model.dataSave(true);
    }
    p.model.show();
    QSignalSpy titles(&p.calc, &Data_Calc::setGraphTitle);
    QSignalSpy notes(&p.model, &DataModel_Index::onLoadLog);
    auto shown = [&] {
        return QStringList{titles.last().first().toString(), p.model.sendI(), p.model.paramFs(),
                           QString::number(p.model.paramPeriod()), QString::number(p.model.paramRepeat())};
    };

    p.model.setIndex(0, 0, -1);
    QCOMPARE(shown(), (QStringList{"10线 0点", "10", "6.25", "128", "3"}));
    // Enter on a sample item activates it as a double click does.
    QTreeWidgetItem* ten = p.model.topLevelItem(0);
    p.model.setCurrentItem(ten->child(0)->child(1));
    QTest::keyClick(&p.model, Qt::Key_Enter);
    QCOMPARE(shown(), (QStringList{"10线 0点 2采样", "10", "6.25", "128", "1"}));

    // Activating another line's point folds the line activated before.
    ten->setExpanded(true);
    const QAbstractItemModel* items = p.model.model();
    p.model.onDoubleClicked(items->index(0, 0, items->index(1, 0)));
    QCOMPARE(titles.last().first().toString(), QStringLiteral("11线 0点"));
    QVERIFY(!ten->isExpanded());

    for (int k = 0; k < 3; ++k) {
        p.model.setIndex(1, 0, k);
        p.model.onNewUse(false);
    }
    p.model.setIndex(1, 0, -1);
    QCOMPARE(p.model.paramPeriod() + p.model.paramRepeat(), 0);

    notes.clear();
    p.model.onDoubleClicked(QModelIndex());
    QCOMPARE(notes, (QList<QVariantList>{{QString()}}));
}

// Numbers that only a damaged file holds, beyond what an int or a qint64
// takes: shown as near as those allow, never as whatever a cast gives.
void tst_ProjectSelection::numbersBeyondTheIntegerRangesAreShown()
{
    PlottedProject p;
    QVERIFY(p.open());
    p.sql("INSERT INTO Data_Line (NAME, TYPE, USE) VALUES (1e12, 0, 1)");
    p.sql("INSERT INTO Data_Point (NAME, TYPE, USE, Data_LineID) VALUES (1e20, 0, 1, 1), (-0.05, 0, 1, 1)");
    p.sql("INSERT INTO Data_Sample (USE, PERIOD, SendFs, Data_PointID) VALUES (1, 2000000000, 6.25, 1), "
          "(1, 2000000000, 6.25, 1)");
    QVERIFY(p.reopen());
    QCOMPARE(p.labels(p.model.topLevelItem(0)), (QStringList{"0", "100000000000000000000"}));
    QSignalSpy titles(&p.calc, &Data_Calc::setGraphTitle);
    p.model.setIndex(0, 1, -1);
    QCOMPARE(titles.last().first().toString() + ' ' + QString::number(p.model.paramPeriod()),
             QStringLiteral("2147483647线 1e+20点 1073741823"));
}

void tst_ProjectSelection::neighbourWindows_data()
{
    QTest::addColumn<int>("point");
    QTest::addColumn<double>("first");
    QTest::addColumn<double>("last");
    QTest::addColumn<int>("cursor");
    QTest::newRow("near the start") << 10 << 0.0 << 40.0 << 10;
    QTest::newRow("inside") << 50 << 21.0 << 80.0 << 29;
    QTest::newRow("near the end") << 95 << 40.0 << 99.0 << 55;
}

void tst_ProjectSelection::neighbourWindows()
{
    QFETCH(int, point);
    PlottedProject p;
    QVERIFY(p.open());
    p.addLine(3, 1, 100);
    QVERIFY(p.reopen());
    QSignalSpy profiles(&p.model, &DataModel_Index::onData_Recv_Line);
    p.model.setIndex(0, point, -1);
    QCOMPARE(profiles.size(), 1);
    const QVector<double> stations = profiles.first().at(1).value<QVector<double>>();
    QCOMPARE(stations.size(), int(stations.last() - stations.first()) + 1);
    QTEST(stations.first(), "first");
    QTEST(stations.last(), "last");
    QTEST(profiles.first().at(4).toInt(), "cursor");
}

void tst_ProjectSelection::neighbourCursorMarksTheSelectedPoint_data()
{
    QTest::addColumn<int>("point");
    QTest::addColumn<int>("cursor");
    QTest::newRow("first") << 0 << 0;
    QTest::newRow("after an unticked point") << 3 << 2;
    QTest::newRow("last one drawn") << 4 << 3;
    // Past the last station: the window is drawn beside the point's curve
    // with no station marked, where -1 would draw it as a whole line.
    QTest::newRow("unticked") << 1 << 4;
    QTest::newRow("without a sample in use") << 5 << 4;
}

void tst_ProjectSelection::neighbourCursorMarksTheSelectedPoint()
{
    QFETCH(int, point);
    PlottedProject p;
    QVERIFY(p.open());
    p.addLine(3, 1, 6);
    p.sql("UPDATE Data_Point SET USE = 0 WHERE NAME = 1");
    p.sql("UPDATE Data_Sample SET USE = 0 WHERE Data_PointID = (SELECT ID FROM Data_Point WHERE NAME = 5)");
    QVERIFY(p.reopen());
    QSignalSpy profiles(&p.model, &DataModel_Index::onData_Recv_Line);
    p.model.setIndex(0, point, -1);
    QCOMPARE(profiles.size(), 1);
    QCOMPARE(profiles.first().at(1).value<QVector<double>>(), (QVector<double>{0, 2, 3, 4}));
    QTEST(profiles.first().at(4).toInt(), "cursor");
}

void tst_ProjectSelection::shownCurvesAreNotKept_data()
{
    QTest::addColumn<int>("point");
    QTest::addColumn<int>("sample");
    QTest::newRow("sample shown") << 0 << 1;
    QTest::newRow("point shown") << 0 << -1;
    QTest::newRow("per-sample report") << -1 << -1;
}

// Curves read to show an item are let go once another item is shown, and
// those the report read once it wrote them. A sample that can no longer be
// read is then not shown at all, neither with the curves read before nor
// without them: the panel keeps what it showed, and the status tells why.
void tst_ProjectSelection::shownCurvesAreNotKept()
{
    QFETCH(int, point);
    QFETCH(int, sample);
    PlottedProject p;
    QVERIFY(p.open());
    for (int i = 0; i < 2; ++i) {
        p.model.dataUpload(acquisition(2));
        p.model.dataSave(true);
    }
    if (point < 0) {
        QString report;
        QTextStream out(&report);
        QVERIFY(p.model.onExportData(out, 0, 1));
    } else {
        p.model.setIndex(0, point, sample);
        QCOMPARE(p.model.sendI(), QStringLiteral("10"));
    }
    p.model.setIndex(0, 1, -1);
    // The second sample of the first point.
    p.sql("DELETE FROM Data_Sample WHERE ID = 2");
    QSignalSpy titles(&p.calc, &Data_Calc::setGraphTitle);
    QSignalSpy status(&p.model, &DataModel_Index::storeStatusChanged);
    QTest::ignoreMessage(QtWarningMsg, "sample cannot be read: no such row in Data_Sample");
    p.model.setIndex(0, 0, 1);
    QVERIFY(titles.isEmpty());
    QCOMPARE(p.model.sendI(), QStringLiteral("10"));
    QCOMPARE(status.last().first().toString(),
             QStringLiteral("<p style='color:red;'>可能是工程文件损坏，所选数据未能读取</p>"));
}

void tst_ProjectSelection::lineProfiles()
{
    PlottedProject p;
    QVERIFY(p.open());
    p.addLine(1, 0, 600);
    p.addLine(2, 0, 601);
    p.addLine(3, 0, 602);
    QVERIFY(p.reopen());
    QSignalSpy profiles(&p.model, &DataModel_Index::onData_Recv_Line);

    // Up to 600 points on the spot.
    p.model.setIndex(0, -1, -1);
    QCOMPARE(profiles.size(), 1);
    QCOMPARE(profiles.last().first().toString(), QStringLiteral("1线"));
    QCOMPARE(profiles.last().at(1).value<QVector<double>>().size(), 600);
    QCOMPARE(profiles.last().at(4).toInt(), -1);

    // From 601 points on the pool, the tree answering meanwhile.
    p.model.setIndex(1, -1, -1);
    QCOMPARE(profiles.size(), 1);
    QVERIFY(profiles.wait(TestTimeoutMs()));
    QCOMPARE(profiles.last().at(1).value<QVector<double>>().size(), 601);
    const auto matrix = profiles.last().at(3).value<QVector<QVector<double>>>();
    QCOMPARE(matrix.size(), profiles.last().at(2).value<QVector<double>>().size());
    QCOMPARE(matrix.first().size(), 601);

    // A long line selected while another is profiled is profiled next; the
    // line left meanwhile is not shown.
    p.model.setIndex(1, -1, -1);
    p.model.setIndex(2, -1, -1);
    QVERIFY(profiles.wait(TestTimeoutMs()));
    QVERIFY(settle());
    QCOMPARE(profiles.size(), 3);
    QCOMPARE(profiles.last().first().toString(), QStringLiteral("3线"));
    QCOMPARE(profiles.last().at(1).value<QVector<double>>().size(), 602);

    // A result for a line left meanwhile, or for a closed project, is not shown.
    p.model.setIndex(1, -1, -1);
    p.model.setIndex(1, 3, -1);
    QVERIFY(settle());
    p.model.setIndex(1, -1, -1);
    p.model.closeProject();
    QVERIFY(settle());
    QCOMPARE(profiles.size(), 3);
}

void tst_ProjectSelection::closeStopsARunningProfile()
{
    PlottedProject p;
    QVERIFY(p.open());
    // A towed line, whose tree is cleared at once, with 64 samples in each
    // of its first ten points: a close right after the task has begun finds
    // it reading them.
    p.addLine(1, 1, 601);
    for (int i = 0; i < 6; ++i)
        p.sql("INSERT INTO Data_Sample (USE, PERIOD, SendFs, StartTime, DATA_RECV, DATA_RECV_POS, Data_PointID) "
              "SELECT USE, PERIOD, SendFs, StartTime, DATA_RECV, DATA_RECV_POS, Data_PointID FROM Data_Sample "
              "WHERE Data_PointID <= 10");
    QVERIFY(p.reopen());
    QSignalSpy profiles(&p.model, &DataModel_Index::onData_Recv_Line);

    const QtMessageHandler previous = qInstallMessageHandler(Logged::keep);
    // The task reads on a connection of its own: it runs once it has one.
    const int connections = QSqlDatabase::connectionNames().size();
    p.model.setIndex(0, -1, -1);
    const bool running =
        QTest::qWaitFor([&] { return QSqlDatabase::connectionNames().size() > connections; }, TestTimeoutMs());
    p.model.closeProject();
    const bool settled = settle();
    qInstallMessageHandler(previous);
    QVERIFY(running && settled);
    // Nothing went on with the connections that the close dropped.
    QCOMPARE(Logged::messages, QStringList());
    QCOMPARE(profiles.size(), 0);

    QVERIFY(p.open());
    p.model.setIndex(0, -1, -1);
    QVERIFY(profiles.wait(TestTimeoutMs()));
    QCOMPARE(profiles.last().at(1).value<QVector<double>>().size(), 601);

    // With the pool's only thread taken, the profile is still waiting when
    // the close comes, and the close runs it itself: it must read no point.
    // Every sample read now fails and is logged.
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    QSemaphore taken;
    const auto restore = qScopeGuard([&] {
        taken.release();
        settle();
        pool->setMaxThreadCount(threads);
    });
    pool->setMaxThreadCount(1);
    pool->start([&taken] { taken.tryAcquire(1, TestTimeoutMs()); });
    p.sql("UPDATE Data_Sample SET ID = -ID");
    Logged::messages.clear();
    qInstallMessageHandler(Logged::keep);
    p.model.setIndex(0, -1, -1);
    p.model.closeProject();
    qInstallMessageHandler(previous);
    QCOMPARE(Logged::messages, QStringList());
}

void tst_ProjectSelection::wifiNameGoesToTheProjectOpenAtConnection()
{
    ModelProject p;
    // The tool answers once the test lets it.
    const QString go = p.path(QStringLiteral("go"));
    QFile tool(p.path(QStringLiteral("iw")));
    QVERIFY(tool.open(QIODevice::WriteOnly));
    tool.write(QStringLiteral("#!/bin/sh\nwhile [ ! -e '%1' ]; do sleep 0.02; done\nprintf '\\tSSID: field-net\\n'\n")
                   .arg(go)
                   .toUtf8());
    tool.close();
    QVERIFY(tool.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    QVERIFY(QDir(p.path(QStringLiteral("net"))).mkpath(QStringLiteral("wlan0/phy80211")));
    auto* wifi = new WifiName(tool.fileName(), p.path(QStringLiteral("net")));
    p.model.setWifiNameQuery(wifi);
    QSignalSpy found(wifi, &WifiName::nameFound);

    // An answer asked for before the project was closed and opened again
    // belongs to neither opening.
    QVERIFY(p.open());
    p.model.setWifiName();
    QVERIFY(p.reopen());
    QVERIFY(QFile(go).open(QIODevice::WriteOnly));
    QVERIFY(found.wait(TestTimeoutMs()));
    QCOMPARE(p.sql("SELECT ifnull(SSID, '') FROM Data_Project"), QString());

    p.model.setWifiName();
    QVERIFY(found.wait(TestTimeoutMs()));
    QCOMPARE(p.sql("SELECT SSID FROM Data_Project"), QStringLiteral("field-net"));
}

QTEST_MAIN(tst_ProjectSelection)
#include "tst_projectselection.moc"
