#include "project/StoreBacklog.h"
#include "tests/support/TestEnvironment.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

namespace {

// A project file in memory: records are told apart by their periods.
struct FakeFile
{
    ProjectFileAccess::Access state = ProjectFileAccess::Writable;
    QList<int> written;
    int tries = 0;
    int writeMs = 0;

    ProjectFileAccess::Access write(const ZOLVA_Data& record)
    {
        ++tries;
        if (state != ProjectFileAccess::Writable)
            return state;
        QThread::msleep(writeMs);
        written << record.ParamPeriod;
        return ProjectFileAccess::Writable;
    }
};

ZOLVA_Data record(int n)
{
    ZOLVA_Data d;
    d.ParamPeriod = n;
    return d;
}

QList<int> range(int from, int to)
{
    QList<int> numbers;
    for (int n = from; n < to; ++n)
        numbers << n;
    return numbers;
}

} // namespace

// Towed records waiting for a project file that takes no writes.
class tst_StoreBacklog : public QObject
{
    Q_OBJECT

private slots:
    void waitingRecordsAreWrittenInOrderOrCounted_data()
    {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QList<int>>("written"); // of records 0 to 3 before the end and 4 after it
        QTest::addColumn<int>("lost");
        QTest::newRow("file free again") << 10 << "free" << range(0, 5) << 0;
        QTest::newRow("past the bound") << 2 << "free" << QList<int>{0, 1, 4} << 2;
        QTest::newRow("free at the stop") << 10 << "free, finish" << range(0, 5) << 0;
        QTest::newRow("still held at the stop") << 10 << "finish" << QList<int>{4} << 4;
    }

    // Record 0 fails; 1 to 3 wait untried behind it; 4 comes after the
    // file is free again, or after the stop, to a free file.
    void waitingRecordsAreWrittenInOrderOrCounted()
    {
        QFETCH(int, capacity);
        QFETCH(QString, end);
        FakeFile file;
        StoreBacklog backlog(capacity, 10, 60000, [&](const ZOLVA_Data& r) { return file.write(r); });
        QSignalSpy began(&backlog, &StoreBacklog::streakBegan);
        QSignalSpy ended(&backlog, &StoreBacklog::streakEnded);
        file.state = ProjectFileAccess::Locked;
        for (int n = 0; n < 4; ++n)
            backlog.store(record(n));
        QVERIFY(file.tries == 1 && began.size() == 1);
        QCOMPARE(backlog.waiting(), std::min(4, capacity));

        if (end.startsWith("free")) {
            file.state = ProjectFileAccess::Writable;
            if (end == "free")
                QTRY_VERIFY_WITH_TIMEOUT(backlog.waiting() == 0, TestTimeoutMs());
        }
        if (end.endsWith("finish"))
            backlog.finish();
        file.state = ProjectFileAccess::Writable;
        backlog.store(record(4));
        QTEST(file.written, "written");
        QTEST(backlog.lost() + (ended.isEmpty() ? 0 : ended.first().first().toInt()), "lost");
        QCOMPARE(began.size(), 1);
    }

    // A file held again before it has taken writes for the quiet time is
    // the same streak: told once, ended once.
    void fileHeldNowAndThenIsOneStreak()
    {
        FakeFile file;
        StoreBacklog backlog(10, 10, 1000, [&](const ZOLVA_Data& r) { return file.write(r); });
        QSignalSpy began(&backlog, &StoreBacklog::streakBegan);
        QSignalSpy ended(&backlog, &StoreBacklog::streakEnded);
        for (int n = 0; n < 3; ++n) {
            file.state = ProjectFileAccess::Locked;
            backlog.store(record(n));
            file.state = ProjectFileAccess::Writable;
            QTRY_VERIFY_WITH_TIMEOUT(backlog.waiting() == 0, TestTimeoutMs());
        }
        QVERIFY(began.size() == 1 && ended.isEmpty());
        QVERIFY(ended.wait(TestTimeoutMs()));
        QCOMPARE(file.written, range(0, 3));
    }

    // Catching up on a slow disk returns to the event loop between slices:
    // a record that comes meanwhile goes behind those waiting.
    void catchingUpLeavesTheWindowItsTime()
    {
        FakeFile file;
        file.writeMs = 2;
        StoreBacklog backlog(1000, 10, 60000, [&](const ZOLVA_Data& r) { return file.write(r); });
        file.state = ProjectFileAccess::Full;
        for (int n = 0; n < 100; ++n)
            backlog.store(record(n));
        file.state = ProjectFileAccess::Writable;
        int writtenAtFirstTurn = -1;
        QTimer::singleShot(15, [&] {
            writtenAtFirstTurn = file.written.size();
            backlog.store(record(100));
        });
        QTRY_VERIFY_WITH_TIMEOUT(file.written.size() == 101, TestTimeoutMs());
        QVERIFY2(writtenAtFirstTurn < 100, qPrintable(QString::number(writtenAtFirstTurn)));
        QCOMPARE(file.written, range(0, 101));
    }
};

QTEST_MAIN(tst_StoreBacklog)
#include "tst_storebacklog.moc"
