#include "ModelProject.h"

#include "project/Data_Calc.h"
#include "tests/support/HeldProjectFile.h"
#include "tests/support/StallMeter.h"

#include <QSignalSpy>
#include <QThreadPool>
#include <QtTest>

#include <memory>

const QString kHeld = QStringLiteral("工程文件被其他程序占用");
int warnings = 0;

// Lines 1 (100 points) and 2 (towed, 100), and towed line 3 of 650 points,
// profiled on the pool, when asked for; one sample to each point.
struct Survey : ModelProject
{
    explicit Survey(bool longLine)
    {
        model.setCalc(&calc);
        // Gone with calc, before status, whatever the close emits later.
        QObject::connect(&model, &DataModel_Index::storeStatusChanged, &calc, [this](QString s) { status = s; });
        ok = open();
        addLine(1, 0, 100);
        addLine(2, 1, 100);
        if (longLine)
            addLine(3, 1, 650);
        ok = ok && reopen();
    }
    bool ok = false;
    QString status;
    Data_Calc calc;
};

// Browsing a project file that another program holds: the window stays
// live, nothing is drawn of what was not read, the operator is told, and
// the selection is shown once the file is free.
class tst_HeldProjectReads : public QObject
{
    Q_OBJECT

    StallMeter meter;

    void measure() { meter.start(); }
    qint64 stall()
    {
        qInfo("longest stall of the window: %lld ms", meter.longest());
        return meter.longest();
    }

private slots:
    void selections_data()
    {
        QTest::addColumn<QVector<int>>("selection");
        QTest::addColumn<int>("hold");
        QTest::addColumn<QString>("title"); // of the decay curve; empty for a line
        QTest::addColumn<int>("stations");  // of the profile drawn; 0 for none
        const QString towed =
            QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1700000050000)).toString("yyyy.MM.dd hh:mm:ss.zzz");
        for (int hold : {HeldProjectFile::Read, HeldProjectFile::Write, HeldProjectFile::Exclusive}) {
            const char* by[] = {"read lock", "write lock", "exclusive lock"};
            QTest::addRow("line, %s", by[hold]) << QVector<int>{0, -1, -1} << hold << QString() << 100;
            QTest::addRow("long line, %s", by[hold]) << QVector<int>{2, -1, -1} << hold << QString() << 650;
            QTest::addRow("point, %s", by[hold]) << QVector<int>{0, 5, -1} << hold << "1线 5点" << 0;
            QTest::addRow("sample, %s", by[hold]) << QVector<int>{0, 5, 0} << hold << "1线 5点 1采样" << 0;
            QTest::addRow("towed point, %s", by[hold]) << QVector<int>{1, 50, -1} << hold << "2线 " + towed << 60;
        }
    }

    // While readers are kept out the panels keep what they showed and the
    // status tells why; the selection is shown whole once the file is free.
    void selections()
    {
        QFETCH(QVector<int>, selection);
        QFETCH(int, hold);
        QFETCH(QString, title);
        QFETCH(int, stations);
        Survey p(selection.first() == 2);
        QVERIFY(p.ok);
        p.model.setIndex(0, 0, -1);
        QSignalSpy titles(&p.calc, &Data_Calc::setGraphTitle);
        QSignalSpy profiles(&p.model, &DataModel_Index::onData_Recv_Line);
        QSignalSpy use(&p.model, &DataModel_Index::onCurUseEnabled);
        auto held = std::make_unique<HeldProjectFile>(p.path(), HeldProjectFile::Hold(hold));
        QVERIFY(held->held);
        measure();
        p.model.setIndex(selection.at(0), selection.at(1), selection.at(2));
        if (hold == HeldProjectFile::Exclusive) {
            QTRY_VERIFY_WITH_TIMEOUT(p.status.contains(kHeld), TestTimeoutMs());
            QTest::qWait(1200); // a try again under the lock
            QVERIFY2(titles.isEmpty() && profiles.isEmpty(), "drawn although not read");
            // Not shown, a point is no item the use flag acts on; the panel
            // keeps the point shown before, of one repeat.
            if (!title.isEmpty())
                QVERIFY(!use.last().first().toBool() && p.model.paramRepeat() == 1);
            held.reset();
        }
        QTRY_VERIFY_WITH_TIMEOUT(profiles.size() == int(stations > 0) && titles.size() == int(!title.isEmpty()),
                                 TestTimeoutMs());
        QVERIFY(stall() < 1000);
        QCOMPARE(p.status, QString());
        if (stations > 0)
            QCOMPARE(profiles.last().at(1).value<QVector<double>>().size(), stations);
        if (!title.isEmpty()) {
            QCOMPARE(titles.last().first().toString(), title);
            QVERIFY(p.model.paramRepeat() == 1 && p.model.paramPeriod() == 128 && use.last().first().toBool());
        }
    }

    void closeDuringABackgroundProfile_data()
    {
        QTest::addColumn<int>("hold");
        QTest::newRow("read lock") << int(HeldProjectFile::Read);
        QTest::newRow("write lock") << int(HeldProjectFile::Write);
        QTest::newRow("exclusive lock") << int(HeldProjectFile::Exclusive);
    }

    // The pool's reads wait for the file no longer than the close may wait
    // for them; nothing of the closed project is drawn or told afterwards.
    void closeDuringABackgroundProfile()
    {
        QFETCH(int, hold);
        Survey p(true);
        // 8 samples to each point, so that reading the line takes a while.
        for (int k = 0; k < 3; ++k)
            p.sql("INSERT INTO Data_Sample (USE, PERIOD, SendFs, StartTime, DATA_RECV, DATA_RECV_POS, Data_PointID) "
                  "SELECT USE, PERIOD, SendFs, StartTime, DATA_RECV, DATA_RECV_POS, Data_PointID FROM Data_Sample "
                  "WHERE Data_PointID > 200");
        QVERIFY(p.ok && p.reopen());
        QSignalSpy profiles(&p.model, &DataModel_Index::onData_Recv_Line);
        HeldProjectFile held(p.path(), HeldProjectFile::Hold(hold));
        const int connections = QSqlDatabase::connectionNames().size();
        measure();
        p.model.setIndex(2, -1, -1);
        // The task reads on a connection of its own, under the exclusive
        // lock then waiting in its first read.
        QVERIFY(QTest::qWaitFor([&] { return QSqlDatabase::connectionNames().size() > connections; }, TestTimeoutMs()));
        QTest::qWait(hold == HeldProjectFile::Exclusive ? 20 : 0);
        p.model.closeProject();
        const int drawn = profiles.size();
        QVERIFY(stall() < 1000);
        QVERIFY(QThreadPool::globalInstance()->waitForDone(TestTimeoutMs()));
        QCoreApplication::sendPostedEvents();
        QVERIFY(profiles.size() == drawn && p.status.isEmpty());
    }

    // A read that no wait would help is abandoned and told. One no longer
    // wanted, a new record being shown instead, is dropped: the record is
    // not replaced by a selection made before it.
    void readsNotTriedAgain()
    {
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) { ++warnings; });
        const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });
        for (const bool gone : {true, false}) {
            Survey p(false);
            QVERIFY(p.ok);
            warnings = 0;
            QSignalSpy titles(&p.calc, &Data_Calc::setGraphTitle);
            auto held = std::make_unique<HeldProjectFile>(p.path(), HeldProjectFile::Exclusive);
            if (gone) {
                held.reset();
                p.sql("DELETE FROM Data_Sample WHERE Data_PointID = 6");
            }
            p.model.setIndex(0, 5, -1);
            if (!gone) {
                p.model.dataUpload(acquisition(1));
                held.reset();
            }
            QTest::qWait(1200);
            QCOMPARE(p.status, gone ? "<p style='color:red;'>可能是工程文件损坏，所选数据未能读取</p>" : "");
            QCOMPARE(warnings, 1); // tried once
            QVERIFY(titles.isEmpty() || titles.last().first().toString() != "1线 5点");
        }
    }
};

QTEST_MAIN(tst_HeldProjectReads)
#include "tst_heldprojectreads.moc"
