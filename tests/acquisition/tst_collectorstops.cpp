#include "acquisition/StatusTexts.h"
#include "devlink/RecvPayloads.h"
#include "devlink/SendPayloads.h"
#include "tests/support/AcqUnitsRig.h"

#include <QtTest>

#include <memory>

using namespace CollectorState;

namespace {

constexpr int RetryMs = 100;
constexpr int WaitMs = 600;

// A towing acquisition whose stop meets a fault of one unit, as each unit
// itself records it: whether it runs, the stops it carried out. The wire
// journal marks each new connection of a unit: "T+", "R+".
struct StopRig : AcqUnitsRig
{
    char which;
    SimFieldUnit* faulty;
    QString stop;
    // The faulty unit carried out a stop and answered it.
    bool confirmed = false;
    bool answers = true;
    // From the stop on.
    bool watching = false;
    // The panel showed idle and green while the faulty unit had not answered
    // a stop it carried out.
    QStringList idleAndGreen;
    QStringList told;

    StopRig(int host, char which)
        : AcqUnitsRig(TestLoopback::CollectorStopTests, host, Quiet)
        , which(which)
        , faulty(which == 'T' ? static_cast<SimFieldUnit*>(units.Transmitter()) : units.Receiver())
        , stop(which == 'T' ? QStringLiteral("T5") : QStringLiteral("R2"))
    {
        c.SetStopTiming(RetryMs, WaitMs);
        c.onLoad_Param(25.0, 25, 1);
        for (SimFieldUnit* unit :
             {static_cast<SimFieldUnit*>(units.Transmitter()), static_cast<SimFieldUnit*>(units.Receiver())}) {
            const QString mark = unit == units.Transmitter() ? QStringLiteral("T+") : QStringLiteral("R+");
            QObject::connect(unit, &SimFrameServer::clientConnected, &c, [this, mark] { wire << mark; });
        }
        QObject::connect(faulty, &SimFieldUnit::stopRequested, &c, [this] { confirmed = confirmed || answers; });
        const auto look = [this] {
            if (watching && c.GetSampleStatus() == ZOLVA_Collector::IDLE && text().contains(QLatin1String("green"))
                && !confirmed)
                idleAndGreen << text();
        };
        QObject::connect(&c, &ZOLVA_Collector::statusConnectChanged, &c, look);
        QObject::connect(&c, &ZOLVA_Collector::onSampleStatusChanged, &c, look);
        for (auto signal : {&ZOLVA_Collector::stopDoubted, &ZOLVA_Collector::sampleRefused})
            QObject::connect(&c, signal, &c, [this](const QString& text) { told << text; });
    }

    QString unit() const { return which == 'T' ? QStringLiteral("发射机") : QStringLiteral("接收机"); }
    bool runs(SimFieldUnit* unit) const { return units.IsRunning(unit); }
    SimFieldUnit* other() const
    {
        return which == 'T' ? static_cast<SimFieldUnit*>(units.Receiver()) : units.Transmitter();
    }
    // The faulty unit's requests on its last connection.
    QStringList lastConnection() const
    {
        const QString mark = QString(QLatin1Char(which)) + QLatin1Char('+');
        return wire.mid(wire.lastIndexOf(mark) + 1).filter(QRegularExpression(QStringLiteral("^%1\\d").arg(which)));
    }
    bool waitUntil(const std::function<bool()>& done, int ms = TestTimeoutMs()) { return QTest::qWaitFor(done, ms); }
};

} // namespace

// A stop is owed to a unit until the unit accepts it, whatever happens to it
// on the way, and the operator is told of one it does not accept.
class TestCollectorStops : public QObject
{
    Q_OBJECT

    int nextHost = 1;
    int hosts() { return (nextHost += 2) - 2; }

private slots:
    void stopIsOwedUntilTaken_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("then");
        QTest::addColumn<char>("which");
        int row = 0;
        for (const char* kind : {"held", "lost", "refused", "unanswered"}) {
            for (const char* then : {"nothing", "start", "link loss"})
                QTest::addRow("%s, then %s", kind, then) << kind << then << (row++ % 2 ? 'R' : 'T');
        }
    }

    // Towing, 停止 meets the fault of one unit: it carries stops out without
    // answering, a stop held behind a second start; its link closes before
    // it reads the stop; it refuses; it carries it out without answering.
    // Then nothing more, a start, or a loss of its link. The stop is asked
    // until the unit takes it, first on every new connection, never faster
    // than the retry; a start waits for it and, bounded, ends as a refusal;
    // a refusal or silence is told once; and the panel never shows idle and
    // green while the unit has not answered a stop.
    void stopIsOwedUntilTaken()
    {
        QFETCH(QString, kind);
        QFETCH(QString, then);
        QFETCH(char, which);
        StopRig r(hosts(), which);
        QVERIFY(r.online() && r.started());
        QVERIFY(r.runs(r.faulty) && r.runs(r.other()));
        const quint32 command = which == 'T' ? quint32(SendCommand::Stop) : quint32(RecvCommand::Stop);
        const QString doubt = r.unit() + QStringLiteral("未确认停止，可能仍在工作！");
        const QString startRefused = r.unit() + QStringLiteral("未确认停止，采集未开始！");
        const QString lost = r.unit() + QStringLiteral("连接中断，采集已停止！");
        if (kind == "held" || kind == "unanswered") {
            r.faulty->SetUnansweredCommand(command, true);
            r.answers = false;
        } else if (kind == "refused") {
            r.faulty->SetRefusedCommand(command, true);
        } else {
            r.faulty->SetCloseOnCommand(command, then == "link loss" ? 2 : 1);
        }
        QElapsedTimer asked;
        asked.start();
        r.watching = true;
        r.c.onBtnSampleStop();
        if (kind == "held") {
            emit r.c.onBtnSampleStart();
            QVERIFY(r.in(SampleAwaitStop));
        }

        QStringList told;
        if (then == "start") {
            if (kind == "lost")
                QVERIFY(r.waitUntil([&] { return r.in(SampleWaitParam) && r.lastConnection().contains(r.stop); }));
            if (kind == "held")
                QVERIFY(r.waitUntil([&] { return r.in(SampleWaitParam); }));
            emit r.c.onBtnSampleStart();
            if (kind == "lost") {
                QVERIFY(r.waitFor(SampleDataUpload));
            } else {
                QVERIFY(r.in(SampleAwaitStop));
                QVERIFY(r.waitUntil([&] { return r.in(SampleWaitParam); }));
                told << startRefused;
            }
        } else if (then == "link loss") {
            const int connections = r.wire.count(QString(QLatin1Char(which)) + QLatin1Char('+'));
            if (kind != "lost") {
                if (kind == "held")
                    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("link lost; acquisition")));
                r.faulty->CloseConnection();
            }
            if (kind == "held")
                told << lost;
            QVERIFY(r.waitUntil([&] {
                return r.wire.count(QString(QLatin1Char(which)) + QLatin1Char('+'))
                    >= connections + (kind == "lost" ? 2 : 1)
                    && r.lastConnection().contains(r.stop);
            }));
        }
        // The start held behind the stop ends at the bound, unless the link
        // loss ends it first.
        if (kind == "held" && then != "link loss")
            told << startRefused;
        if (kind != "lost")
            told << doubt;

        if (kind == "lost")
            QVERIFY(r.waitUntil([&] { return !r.c.StopOwed(); }));
        else
            QVERIFY(r.waitUntil([&] { return r.lastConnection().count(r.stop) >= 3 && r.told.contains(doubt); }));
        QVERIFY(r.waitUntil([&] { return r.told.size() >= told.size(); }));
        QCOMPARE(r.c.StopOwed(which == 'T'), kind != "lost");
        QVERIFY(r.waitUntil([&] { return !r.c.StopOwed(which != 'T'); }));

        // The unit's own record: it runs on only when it refused, or when a
        // start went on once it had taken its stop.
        const bool restarted = kind == "lost" && then == "start";
        QCOMPARE(r.runs(r.faulty), kind == "refused" || restarted);
        QCOMPARE(r.runs(r.other()), restarted);
        // On a new connection the stop went first, also before a start.
        if (kind == "lost" || then == "link loss")
            QCOMPARE(r.lastConnection().value(0), r.stop);
        // Asked again on the retry, not faster.
        const int asks = r.wire.count(r.stop);
        QVERIFY2(asks <= asked.elapsed() / RetryMs + 2 * (1 + r.wire.count(QString(QLatin1Char(which)) + '+')),
                 qPrintable(r.wire.join(' ')));
        // A start that did not go on configured nothing.
        if (then == "start" && !restarted)
            QCOMPARE(r.wire.mid(r.wire.lastIndexOf(QStringLiteral("T2")) + 1).filter(QRegularExpression("^(R1|T1)")),
                     QStringList());

        told.sort();
        r.told.sort();
        QCOMPARE(r.told, told);
        QCOMPARE(r.idleAndGreen, QStringList());
        if (kind == "lost")
            QCOMPARE(r.text(), restarted ? StatusTexts::wifi(-1) : StatusTexts::online());
        else
            QCOMPARE(r.text(), StatusTexts::stopsOwed(which == 'T', true, which == 'R', true));
    }

    // An owed stop refused on reconnect stays owed: after a second loss of
    // the link it goes first again, and is taken once the unit accepts it.
    void refusedOnReconnectThenSecondLoss()
    {
        StopRig r(hosts(), 'T');
        QVERIFY(r.online() && r.started());
        r.watching = true;
        QTest::ignoreMessage(QtWarningMsg, "Transmitter link lost; acquisition stopped");
        r.units.Transmitter()->SetRefusedCommand(SendCommand::Stop, true);
        r.units.Transmitter()->CloseConnection();
        QVERIFY(r.waitUntil([&] { return r.told.contains(QStringLiteral("发射机未确认停止，可能仍在工作！")); }));
        QVERIFY(r.runs(r.faulty) && r.c.StopOwed(true));
        r.units.Transmitter()->SetRefusedCommand(SendCommand::Stop, false);
        r.units.Transmitter()->CloseConnection();
        QVERIFY(r.waitUntil([&] { return r.wire.count(QStringLiteral("T+")) == 3 && !r.c.StopOwed(); }));
        QCOMPARE(r.lastConnection(), QStringList{"T5"});
        QVERIFY(!r.runs(r.faulty) && !r.runs(r.other()));
        QVERIFY(r.waitUntil([&] { return r.told.size() == 2; }));
        r.told.sort();
        QCOMPARE(r.told, (QStringList{"发射机未确认停止，可能仍在工作！", "发射机连接中断，采集已停止！"}));
        QCOMPARE(r.text(), StatusTexts::sendLost());
        QCOMPARE(r.idleAndGreen, QStringList());
    }

    // A single acquisition's records came before the start reply, which
    // refuses: no beep, no curves, nothing stored.
    void refusedStartUploadsNothing()
    {
        AcqUnitsRig r(TestLoopback::CollectorStopTests, 41, AcqUnitsRig::Quiet);
        r.c.SetParamRepeat(1);
        r.units.Transmitter()->SetRefusedCommand(SendCommand::Start, true);
        r.units.Transmitter()->SetLateReply(SendCommand::Start, 300);
        QSignalSpy done(&r.c, &ZOLVA_Collector::repeatsDone);
        QSignalSpy refusals(&r.c, &ZOLVA_Collector::sampleRefused);
        QVERIFY(r.online());
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor(SetParam_Start));
        r.feed({1}, {1});
        QTest::ignoreMessage(QtWarningMsg, "Transmitter refused to start; acquisition stopped");
        QVERIFY(refusals.wait(TestTimeoutMs()));
        QVERIFY(r.uploads.isEmpty() && done.isEmpty());
        QVERIFY(r.in(SampleWaitParam));

        // Accepted, the same records are shown and sound the beep.
        r.units.Transmitter()->SetRefusedCommand(SendCommand::Start, false);
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor(SetParam_Start));
        r.feed({2}, {2});
        QVERIFY(r.uploads.isEmpty());
        QVERIFY(r.waitFor(SampleWaitSave));
        QVERIFY(r.uploads.count() == 1 && done.count() == 1);
        QCOMPARE(r.upload(0).sends.first().SendFs, 2.0);
    }
};

QTEST_MAIN(TestCollectorStops)
#include "tst_collectorstops.moc"
