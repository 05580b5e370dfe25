#include "ModelProject.h"

#include "project/Data_Calc.h"
#include "tests/support/HeldProjectFile.h"
#include "tests/support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThreadPool>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

// Browsing a project file that another program holds: the window stays
// live, nothing is drawn of what could not be read, the operator is told,
// and what was selected is shown once the file is free.
class tst_HeldProjectReads : public QObject
{
    Q_OBJECT

private slots:
    void selectionsUnderAHeldFile_data();
    void selectionsUnderAHeldFile();
    void closeDuringABackgroundProfile_data();
    void closeDuringABackgroundProfile();
    void readsNotTriedAgain_data();
    void readsNotTriedAgain();
};

namespace {

const QString kHeld = QStringLiteral("工程文件被其他程序占用");

// Every message logged on the test's thread while it is installed.
namespace Logged {
QStringList messages;

void keep(QtMsgType, const QMessageLogContext&, const QString& text)
{
    messages.append(text);
}
} // namespace Logged

// The longest the event loop went without turning, from start to stop.
class LongestStall
{
public:
    LongestStall()
    {
        QObject::connect(&ticks, &QTimer::timeout, [this] { longest = std::max(longest, beat.restart()); });
        beat.start();
        ticks.start(5);
    }
    qint64 stop()
    {
        ticks.stop();
        return std::max(longest, beat.elapsed());
    }

private:
    QTimer ticks;
    QElapsedTimer beat;
    qint64 longest = 0;
};

// Ordinary line 1 of 100 points, towed line 2 of 100 and, when asked for,
// towed line 3 of 650, profiled on the pool; one sample to each point.
struct SurveyProject : ModelProject
{
    SurveyProject()
    {
        model.setCalc(&calc);
        // Gone with calc, before status, whatever the close emits later.
        QObject::connect(&model, &DataModel_Index::storeStatusChanged, &calc, [this](const QString& s) { status = s; });
    }
    bool fill(bool longLine)
    {
        if (!open())
            return false;
        addLine(1, 0, 100);
        addLine(2, 1, 100);
        if (longLine)
            addLine(3, 1, 650);
        return reopen();
    }
    // Runs f from the event loop, as a click does.
    static void fromEventLoop(std::function<void()> f)
    {
        bool done = false;
        QTimer::singleShot(0, [&] {
            f();
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, TestTimeoutMs());
    }

    QString status;
    Data_Calc calc;
};

} // namespace

void tst_HeldProjectReads::selectionsUnderAHeldFile_data()
{
    QTest::addColumn<QVector<int>>("selection");
    QTest::addColumn<int>("hold");
    QTest::addColumn<QString>("title"); // of the decay curve; empty for a line
    QTest::addColumn<int>("stations");  // of the profile drawn; 0 for none
    const QString towedStart =
        QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1700000050000)).toString(QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz"));
    const struct
    {
        const char* name;
        QVector<int> selection;
        QString title;
        int stations;
    } targets[] = {{"line", {0, -1, -1}, QString(), 100},
                   {"long line", {2, -1, -1}, QString(), 650},
                   {"point", {0, 5, -1}, QStringLiteral("1线 5点"), 0},
                   {"sample", {0, 5, 0}, QStringLiteral("1线 5点 1采样"), 0},
                   {"towed point", {1, 50, -1}, QStringLiteral("2线 ") + towedStart, 60}};
    const struct
    {
        const char* name;
        HeldProjectFile::Hold hold;
    } holds[] = {{"read lock", HeldProjectFile::Read},
                 {"write lock", HeldProjectFile::Write},
                 {"exclusive lock", HeldProjectFile::Exclusive}};
    for (const auto& target : targets) {
        for (const auto& hold : holds)
            QTest::addRow("%s, %s", target.name, hold.name)
                << target.selection << int(hold.hold) << target.title << target.stations;
    }
}

// The selection is shown whole or not at all: while readers are kept out
// the panels keep what they showed, the status tells why, and the
// selection is read again until the file is free.
void tst_HeldProjectReads::selectionsUnderAHeldFile()
{
    QFETCH(QVector<int>, selection);
    QFETCH(int, hold);
    QFETCH(QString, title);
    QFETCH(int, stations);
    SurveyProject p;
    QVERIFY(p.fill(selection.first() == 2));
    p.model.setIndex(0, 0, -1);
    QSignalSpy titles(&p.calc, &Data_Calc::setGraphTitle);
    QSignalSpy profiles(&p.model, &DataModel_Index::onData_Recv_Line);
    QSignalSpy shownUse(&p.model, &DataModel_Index::onCurUseEnabled);
    const QString repeat = QString::number(p.model.paramRepeat());
    const auto shown = [&] {
        const bool drawn = stations == 0 || !profiles.isEmpty();
        return drawn && (title.isEmpty() || !titles.isEmpty());
    };

    auto held = std::make_unique<HeldProjectFile>(p.path(), HeldProjectFile::Hold(hold));
    QVERIFY(held->held);
    LongestStall stall;
    SurveyProject::fromEventLoop([&] { p.model.setIndex(selection.at(0), selection.at(1), selection.at(2)); });
    if (hold == HeldProjectFile::Exclusive) {
        QTRY_VERIFY_WITH_TIMEOUT(p.status.contains(kHeld), TestTimeoutMs());
        // Long enough for a try again under the lock.
        QTest::qWait(1200);
        QVERIFY2(titles.isEmpty() && profiles.isEmpty(), "drawn although not read");
        // A point or sample not shown is no item the use flag acts on.
        if (!title.isEmpty())
            QVERIFY(!shownUse.isEmpty() && !shownUse.last().first().toBool());
        if (!title.isEmpty())
            QCOMPARE(QString::number(p.model.paramRepeat()), repeat);
        held.reset();
    }
    QTRY_VERIFY_WITH_TIMEOUT(shown(), TestTimeoutMs());
    const qint64 longest = stall.stop();
    qInfo("longest stall of the window: %lld ms", longest);
    QVERIFY2(longest < 1000, qPrintable(QString::number(longest)));
    QCOMPARE(p.status, QString());

    // Whole, once.
    if (!title.isEmpty()) {
        QCOMPARE(titles.size(), 1);
        QCOMPARE(titles.last().first().toString(), title);
        QCOMPARE(p.model.paramRepeat(), 1);
        QCOMPARE(p.model.paramPeriod(), 128);
        QVERIFY(shownUse.last().first().toBool());
    }
    if (stations > 0) {
        QCOMPARE(profiles.size(), 1);
        QCOMPARE(profiles.last().at(1).value<QVector<double>>().size(), stations);
    }
}

void tst_HeldProjectReads::closeDuringABackgroundProfile_data()
{
    QTest::addColumn<int>("hold");
    QTest::newRow("read lock") << int(HeldProjectFile::Read);
    QTest::newRow("write lock") << int(HeldProjectFile::Write);
    QTest::newRow("exclusive lock") << int(HeldProjectFile::Exclusive);
}

// The pool's reads wait for the file no longer than the close waits for
// them; nothing of the closed project is drawn or told afterwards.
void tst_HeldProjectReads::closeDuringABackgroundProfile()
{
    QFETCH(int, hold);
    SurveyProject p;
    QVERIFY(p.fill(true));
    // 8 samples to each point of the long line, so that reading it takes
    // a while even when nothing keeps readers out.
    for (int k = 0; k < 3; ++k)
        p.sql("INSERT INTO Data_Sample (USE, PERIOD, SendFs, StartTime, DATA_RECV, DATA_RECV_POS, Data_PointID) "
              "SELECT USE, PERIOD, SendFs, StartTime, DATA_RECV, DATA_RECV_POS, Data_PointID FROM Data_Sample "
              "WHERE Data_PointID IN (SELECT ID FROM Data_Point WHERE Data_LineID = 3)");
    QVERIFY(p.reopen());
    QSignalSpy profiles(&p.model, &DataModel_Index::onData_Recv_Line);
    HeldProjectFile held(p.path(), HeldProjectFile::Hold(hold));
    QVERIFY(held.held);
    const int connections = QSqlDatabase::connectionNames().size();
    LongestStall stall;
    SurveyProject::fromEventLoop([&] { p.model.setIndex(2, -1, -1); });
    // The task reads on a connection of its own. Under the exclusive lock
    // it then waits in its first read, else it reads on.
    QVERIFY(QTest::qWaitFor([&] { return QSqlDatabase::connectionNames().size() > connections; }, TestTimeoutMs()));
    if (hold == HeldProjectFile::Exclusive)
        QTest::qWait(20);
    int drawn = -1;
    SurveyProject::fromEventLoop([&] {
        p.model.closeProject();
        drawn = profiles.size();
    });
    const qint64 longest = stall.stop();
    qInfo("longest stall of the window: %lld ms", longest);
    QVERIFY2(longest < 1000, qPrintable(QString::number(longest)));
    QVERIFY(QThreadPool::globalInstance()->waitForDone(TestTimeoutMs()));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(profiles.size(), drawn);
    QCOMPARE(p.status, QString());
}

void tst_HeldProjectReads::readsNotTriedAgain_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("told");
    QTest::newRow("sample gone from the file")
        << "gone" << QStringLiteral("<p style='color:red;'>可能是工程文件损坏，所选数据未能读取</p>");
    QTest::newRow("new record shown meanwhile") << "record" << QString();
}

// A read that no wait would help is abandoned and told. One the operator
// no longer waits for, a new record being shown instead, is dropped: the
// record is not replaced by a selection made before it.
void tst_HeldProjectReads::readsNotTriedAgain()
{
    QFETCH(QString, cause);
    QFETCH(QString, told);
    SurveyProject p;
    QVERIFY(p.fill(false));
    QSignalSpy titles(&p.calc, &Data_Calc::setGraphTitle);
    Logged::messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Logged::keep);
    const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });
    std::unique_ptr<HeldProjectFile> held;
    if (cause == "gone")
        p.sql("DELETE FROM Data_Sample WHERE Data_PointID = 6");
    else
        held = std::make_unique<HeldProjectFile>(p.path(), HeldProjectFile::Exclusive);
    p.model.setIndex(0, 5, -1);
    if (held) {
        QVERIFY(p.status.contains(kHeld));
        p.model.dataUpload(acquisition(1));
        held.reset();
    }
    QCOMPARE(p.status, told);
    // Longer than the file is waited for before a read is tried again.
    QTest::qWait(1200);
    QCOMPARE(Logged::messages.size(), 1);
    QVERIFY(Logged::messages.first().startsWith(QStringLiteral("point cannot be read: ")));
    QVERIFY(std::none_of(titles.begin(), titles.end(),
                         [](const QVariantList& t) { return t.first().toString() == QStringLiteral("1线 5点"); }));
    QCOMPARE(p.status, told);
}

QTEST_MAIN(tst_HeldProjectReads)
#include "tst_heldprojectreads.moc"
