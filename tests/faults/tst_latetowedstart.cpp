#include "devlink/SendPayloads.h"
#include "project/Data_Calc.h"
#include "tests/support/StallMeter.h"
#include "tests/support/StoringRig.h"
#include "tools/simunits/SimPeriodReads.h"

#include <QtTest>

#include <algorithm>
#include <functional>

using namespace CollectorState;

namespace {

// Runs the event loop as the program does, not in the turns of qWaitFor,
// until done or ms have passed.
bool runUntil(const std::function<bool()>& done, int ms)
{
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    look.start(10);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

} // namespace

// A transmitter that carries out its towed start but answers it late, at 100
// records/s, the pairs stored with their curves as the window stores them.
class TestLateTowedStart : public QObject
{
    Q_OBJECT

    int nextHost = 1;
    int hosts() { return (nextHost += 2) - 2; }

private slots:
    void initTestCase() { qRegisterMetaType<ZOLVA_Data>(); }

    void waitingPairsAreBoundedAndStoredInSlices_data()
    {
        QTest::addColumn<int>("lateMs");
        QTest::addColumn<qint64>("maxBytes"); // 0: the collector's own bound
        QTest::addColumn<bool>("stopAtReply");
        QTest::newRow("past a bound of 1 MB the oldest give way") << 2000 << qint64(1) << false;
        QTest::newRow("4 s of pairs stored in slices") << 4000 << qint64(0) << false;
        QTest::newRow("stopped as the reply comes: all stored") << 2000 << qint64(0) << true;
    }

    // What waits for the reply stays within its bound in bytes, what gives
    // way is told, each pair up to the last stored is stored once in its
    // order or told, and storing what waited leaves the window its time.
    void waitingPairsAreBoundedAndStoredInSlices()
    {
        QFETCH(int, lateMs);
        QFETCH(qint64, maxBytes);
        QFETCH(bool, stopAtReply);
        StoringRig r(TestLoopback::LateStartTests, hosts(), 1.0);
        Data_Calc calc;
        r.model.setCalc(&calc);
        auto* backlog = r.c.findChild<TowedStartBacklog*>();
        const qint64 bound = maxBytes ? maxBytes << 20 : TowedStartBacklog::MaxBytes;
        backlog->SetMaxBytes(bound);
        for (char unit : {'T', 'R'})
            r.unit(unit)->SetPeriodTags(true);
        r.units.Transmitter()->SetLateReply(SendCommand::Start, lateMs);
        r.c.onLoad_Param(100.0, 1, 1);
        QVERIFY(r.ready());
        QSignalSpy notices(&r.c, &ZOLVA_Collector::notice);
        QSignalSpy due(&r.units, &SimUnitPair::recordSent);
        // Once the reply came the units send 20 records more: a slow build
        // stores what waited at its own pace.
        int waited = -1;
        // The event loop's longest gap from the reply on.
        StallMeter meter;
        connect(r.state(SampleDataUpload), &QState::entered, this, [&] {
            meter.start();
            waited = backlog->Waiting();
            r.units.SetRecordLimit(due.count() + 20);
            if (stopAtReply)
                QMetaObject::invokeMethod(&r.c, &ZOLVA_Collector::onBtnSampleStop, Qt::QueuedConnection);
        });
        qint64 mostBytes = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] { mostBytes = std::max(mostBytes, backlog->Bytes()); });
        tick.start(10);
        if (maxBytes)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("towed pairs made before the start reply"));
        emit r.c.onBtnSampleStart();
        QVERIFY(runUntil([&] { return waited >= 0; }, lateMs + TestTimeoutMs()));
        QVERIFY(waited >= (maxBytes ? 10 : lateMs / 20));
        QVERIFY(runUntil([&] { return !r.units.IsRunning() && backlog->Waiting() == 0; }, 6 * TestTimeoutMs()));
        // Told as soon as the reply came, not at the end.
        QCOMPARE(notices.isEmpty(), !maxBytes);
        r.c.onBtnSampleStop();
        QVERIFY(r.waitFor(SampleWaitParam));
        // What the stop handed over is written in slices after it.
        QVERIFY(runUntil([&] { return r.model.towedWaiting() == 0; }, TestTimeoutMs()));
        const qint64 stall = meter.longest();
        QVERIFY2(mostBytes <= bound, qPrintable(QString::number(mostBytes)));

        QList<int> tags;
        for (int i = 0; i < r.uploads.count(); ++i)
            tags << SimPeriodReads::Tag(r.upload(i).sends.first());
        // Each once, in their order.
        QVERIFY(!tags.isEmpty()
                && std::adjacent_find(tags.begin(), tags.end(), std::greater_equal<int>()) == tags.end());
        QCOMPARE(r.storedValues(), r.uploadedValues());
        int dropped = 0;
        for (const QVariantList& notice : qAsConst(notices)) {
            const int count = notice.first().toString().section(' ', 0, 0).toInt();
            QCOMPARE(notice.first().toString(),
                     QStringLiteral("%1 对拖曳记录等待发射机启动应答时未能保存！").arg(count));
            dropped += count;
        }
        // A slow build may hold a link long enough for the pairing to drop a
        // record; the status counts those.
        const int unpaired = QRegularExpression("丢弃记录 (\\d+)").match(r.text()).captured(1).toInt();
        QVERIFY2(tags.size() + dropped <= tags.last() + 1 && tags.last() + 1 <= tags.size() + dropped + unpaired,
                 qPrintable(QStringLiteral("%1 stored, %2 gave way, %3 unpaired, last %4")
                                .arg(tags.size())
                                .arg(dropped)
                                .arg(unpaired)
                                .arg(tags.last())));
        QCOMPARE(dropped > 0, bool(maxBytes));
        QVERIFY(tags.size() >= (maxBytes ? 10 : waited));
        QCOMPARE(tags.first() > unpaired, bool(maxBytes));
        // Each slice stores for 50 ms: the window is never held for the
        // whole of what waited, here well over half a second's storing, not
        // even by a stop that hands it all over at once.
        QVERIFY2(maxBytes || stall < StallMeter::bound(300),
                 qPrintable(QStringLiteral("%1 ms for %2 pairs").arg(stall).arg(waited)));
    }
};

QTEST_MAIN(TestLateTowedStart)
#include "tst_latetowedstart.moc"
