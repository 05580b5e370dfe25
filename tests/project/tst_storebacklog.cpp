#include "acquisition/RecordBytes.h"
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

// Record n starts at n seconds; `values` makes it heavy.
ZOLVA_Data record(int n, int values = 10)
{
    ZOLVA_Data d;
    d.ParamPeriod = n;
    st_RecvData_VRX2208 recv;
    recv.StartTime = 1000LL * n;
    recv.values.resize(values);
    d.recvs.append(recv);
    return d;
}

QList<int> range(int from, int to)
{
    QList<int> numbers;
    for (int n = from; n < to; ++n)
        numbers << n;
    return numbers;
}

// Gaps as "first-last:count", in seconds.
QStringList gapsOf(const StoreBacklog& backlog)
{
    QStringList gaps;
    for (const StoreBacklog::Gap& gap : backlog.gaps())
        gaps << QStringLiteral("%1-%2:%3").arg(gap.firstMs / 1000).arg(gap.lastMs / 1000).arg(gap.count);
    return gaps;
}

constexpr qint64 MiB = 1024 * 1024;

QStringList logged;
QtMessageHandler previousHandler = nullptr;

void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg)
        logged << text;
}

} // namespace

// Towed records waiting for a project file that takes no writes.
class tst_StoreBacklog : public QObject
{
    Q_OBJECT

private slots:
    void waitingRecordsAreWrittenInOrderOrCounted_data()
    {
        QTest::addColumn<int>("values"); // of records 1 to 3
        QTest::addColumn<QString>("end");
        QTest::addColumn<QList<int>>("written"); // of records 0 to 3 before the end and 4 after it
        QTest::addColumn<int>("discarded");
        QTest::addColumn<QStringList>("gaps");
        QTest::newRow("file free again") << 10 << "free" << range(0, 5) << 0 << QStringList();
        // 1 MB each as allocated: the third would take what waits past 3 MB.
        QTest::newRow("past the bound in bytes")
            << 100000 << "free" << QList<int>{0, 1, 2, 4} << 0 << QStringList{"3-3:1"};
        QTest::newRow("discarded") << 10 << "discard" << QList<int>{4} << 4 << QStringList();
        QTest::newRow("discarded past the bound") << 100000 << "discard" << QList<int>{4} << 3 << QStringList{"3-3:1"};
    }

    // Record 0 fails; 1 to 3 wait untried behind it, or are lost past 3 MB;
    // 4 comes after the file is free again, or after what waits is let go.
    void waitingRecordsAreWrittenInOrderOrCounted()
    {
        QFETCH(int, values);
        QFETCH(QString, end);
        QFETCH(QStringList, gaps);
        FakeFile file;
        StoreBacklog backlog(3 * MiB, 10, 60000, [&](const ZOLVA_Data& r) { return file.write(r); });
        QSignalSpy began(&backlog, &StoreBacklog::streakBegan);
        QSignalSpy ended(&backlog, &StoreBacklog::streakEnded);
        QStringList gapsAtTheEnd;
        connect(&backlog, &StoreBacklog::streakEnded, [&] { gapsAtTheEnd = gapsOf(backlog); });
        file.state = ProjectFileAccess::Locked;
        backlog.store(record(0));
        for (int n = 1; n < 4; ++n)
            backlog.store(record(n, values));
        QVERIFY(file.tries == 1 && began.size() == 1);
        QCOMPARE(backlog.waiting(), 4 - gaps.size());
        QVERIFY2(backlog.waitingBytes() <= 3 * MiB, qPrintable(QString::number(backlog.waitingBytes())));
        QCOMPARE(backlog.lost(), gaps.size());
        QCOMPARE(gapsOf(backlog), gaps);

        int discarded = 0;
        if (end == "free") {
            file.state = ProjectFileAccess::Writable;
            QTRY_VERIFY_WITH_TIMEOUT(backlog.waiting() == 0, TestTimeoutMs());
            QCOMPARE(backlog.waitingBytes(), 0);
        } else {
            discarded = backlog.discard();
            QCOMPARE(ended.size(), 1);
            QCOMPARE(ended.first().first().toInt(), gaps.size());
            QCOMPARE(gapsAtTheEnd, gaps);
            QCOMPARE(backlog.lost(), 0);
        }
        file.state = ProjectFileAccess::Writable;
        backlog.store(record(4));
        QTEST(file.written, "written");
        QTEST(discarded, "discarded");
        QCOMPARE(began.size(), 1);
    }

    // A stretch of records lost while the bound was reached is one gap, and
    // records taken in between part two gaps of one streak.
    void lossesAreKnownByTheirGaps()
    {
        FakeFile file;
        StoreBacklog backlog(2 * RecordBytes::of(record(0)), 10, 60000,
                             [&](const ZOLVA_Data& r) { return file.write(r); });
        file.state = ProjectFileAccess::Locked;
        for (int n = 0; n < 4; ++n)
            backlog.store(record(n));
        file.state = ProjectFileAccess::Writable;
        logged.clear();
        previousHandler = qInstallMessageHandler(keepWarnings);
        const bool written = QTest::qWaitFor([&] { return backlog.waiting() == 0; }, TestTimeoutMs());
        qInstallMessageHandler(previousHandler);
        QVERIFY(written);
        // Logged with the times of its first and last record once it is over.
        QCOMPARE(logged.size(), 1);
        QVERIFY2(QRegularExpression("^2 towed records from [0-9.]+ 08:00:02.000 to [0-9.]+ 08:00:03.000 lost")
                     .match(logged.first())
                     .hasMatch(),
                 qPrintable(logged.first()));
        file.state = ProjectFileAccess::Full;
        for (int n = 4; n < 9; ++n)
            backlog.store(record(n));
        QCOMPARE(gapsOf(backlog), (QStringList{"2-3:2", "6-8:3"}));
        QCOMPARE(backlog.lost(), 5);
        file.state = ProjectFileAccess::Writable;
        QTRY_VERIFY_WITH_TIMEOUT(backlog.waiting() == 0, TestTimeoutMs());
        QCOMPARE(file.written, (QList<int>{0, 1, 4, 5}));
    }

    // A file held again before it has taken writes for the quiet time is
    // the same streak: told once, ended once.
    void fileHeldNowAndThenIsOneStreak()
    {
        FakeFile file;
        StoreBacklog backlog(MiB, 10, 1000, [&](const ZOLVA_Data& r) { return file.write(r); });
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
        StoreBacklog backlog(64 * MiB, 10, 60000, [&](const ZOLVA_Data& r) { return file.write(r); });
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
