#include "acquisition/StatusTexts.h"
#include "devlink/RecvPayloads.h"
#include "devlink/SendPayloads.h"
#include "tests/support/AcqUnitsRig.h"

#include <QtTest>

using namespace CollectorState;

namespace {

constexpr int RetryMs = 100;

// A towing acquisition whose stop meets a fault of one unit. The wire
// journal marks each new connection of a unit: "T+", "R+". Watching, it
// notes the panel idle and green while that unit has not answered a stop
// it carried out.
struct StopRig : AcqUnitsRig
{
    SimFieldUnit* unit;
    SimFieldUnit* other;
    QString tag, stop, name;
    bool confirmed = false, answers = true, watching = false;
    QStringList idleAndGreen, told;

    StopRig(int host, char which)
        : AcqUnitsRig(TestLoopback::CollectorStopTests, host, Quiet)
        , unit(which == 'T' ? static_cast<SimFieldUnit*>(units.Transmitter()) : units.Receiver())
        , other(which == 'T' ? static_cast<SimFieldUnit*>(units.Receiver()) : units.Transmitter())
        , tag(QString(QLatin1Char(which)))
        , stop(which == 'T' ? "T5" : "R2")
        , name(which == 'T' ? "发射机" : "接收机")
    {
        c.SetStopTiming(RetryMs, 600);
        c.onLoad_Param(25.0, 25, 1);
        for (SimFieldUnit* u : {unit, other}) {
            const QString mark = (u == unit ? tag : QString(QLatin1Char(which == 'T' ? 'R' : 'T'))) + '+';
            QObject::connect(u, &SimFrameServer::clientConnected, &c, [this, mark] { wire << mark; });
        }
        QObject::connect(unit, &SimFieldUnit::stopRequested, &c, [this] { confirmed = confirmed || answers; });
        const auto look = [this] {
            if (watching && c.GetSampleStatus() == ZOLVA_Collector::IDLE && text().contains("green") && !confirmed)
                idleAndGreen << text();
        };
        QObject::connect(&c, &ZOLVA_Collector::statusConnectChanged, &c, look);
        QObject::connect(&c, &ZOLVA_Collector::onSampleStatusChanged, &c, look);
        for (auto signal : {&ZOLVA_Collector::stopDoubted, &ZOLVA_Collector::sampleRefused})
            QObject::connect(&c, signal, &c, [this](const QString& text) { told << text; });
    }
    // The unit's requests on its last connection.
    QStringList lastConnection() const
    {
        return wire.mid(wire.lastIndexOf(tag + '+') + 1).filter(QRegularExpression('^' + tag + "\\d"));
    }
    bool until(const std::function<bool()>& done) { return QTest::qWaitFor(done, TestTimeoutMs()); }
};

} // namespace

// A stop is owed to a unit until the unit accepts it, whatever befalls it
// on the way, and a unit that does not accept it is told of.
class TestCollectorStops : public QObject
{
    Q_OBJECT

    int nextHost = 1;
    int hosts() { return (nextHost += 2) - 2; }

private slots:
    void stopIsOwedUntilTaken_data()
    {
        // Told, "U" for the faulty unit's name: d, the stop doubted; s, a
        // start that waited in vain; l, the link lost while a start waited.
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("then");
        QTest::addColumn<char>("which");
        QTest::addColumn<QString>("told");
        const char* told[4][3] = {{"ds", "dss", "dl"}, {"", "", ""}, {"d", "ds", "d"}, {"d", "ds", "d"}};
        int row = 0;
        const char* kinds[] = {"held", "lost", "refused", "unanswered"};
        const char* thens[] = {"nothing", "start", "link loss"};
        for (int k = 0; k < 4; ++k) {
            for (int t = 0; t < 3; ++t, ++row)
                QTest::addRow("%s, then %s", kinds[k], thens[t])
                    << kinds[k] << thens[t] << (row % 2 ? 'R' : 'T') << told[k][t];
        }
    }

    // Towing, 停止 meets the fault of one unit: it carries stops out without
    // answering, a second start held behind; its link closes before it reads
    // the stop; it refuses; it carries it out without answering. Then
    // nothing, a start, or a loss of its link. The stop is asked until the
    // unit takes it, first on every new connection, on the retry and not
    // faster; a start waits for it, bounded, and ends as a refusal; the
    // doubt is told once; the panel is never idle and green meanwhile.
    void stopIsOwedUntilTaken()
    {
        QFETCH(QString, kind);
        QFETCH(QString, then);
        QFETCH(char, which);
        QFETCH(QString, told);
        StopRig r(hosts(), which);
        QVERIFY(r.online() && r.started());
        const quint32 command = which == 'T' ? quint32(SendCommand::Stop) : quint32(RecvCommand::Stop);
        r.answers = kind == "lost";
        if (kind == "refused")
            r.unit->SetRefusedCommand(command, true);
        else if (kind == "lost")
            r.unit->SetCloseOnCommand(command, then == "link loss" ? 2 : 1);
        else
            r.unit->SetUnansweredCommand(command, true);
        QElapsedTimer asked;
        asked.start();
        r.watching = true;
        r.c.onBtnSampleStop();
        if (kind == "held")
            emit r.c.onBtnSampleStart();
        const int connections = r.wire.count(r.tag + '+');
        if (then == "start") {
            QVERIFY(r.until([&] { return r.in(SampleWaitParam) && (kind != "lost" || !r.c.StopOwed()); }));
            emit r.c.onBtnSampleStart();
            QVERIFY(kind == "lost" ? r.waitFor(SampleDataUpload) : r.in(SampleAwaitStop));
        } else if (then == "link loss" && kind != "lost") {
            if (kind == "held")
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression("link lost; acquisition stopped"));
            r.unit->CloseConnection();
        }
        const int lost = then == "link loss" ? (kind == "lost" ? 2 : 1) : kind == "lost";
        QVERIFY(r.until([&] {
            return r.wire.count(r.tag + '+') == connections + lost && r.told.size() == told.size()
                && !r.c.StopOwed(which != 'T')
                && (kind == "lost" ? !r.c.StopOwed() : r.lastConnection().count(r.stop) >= 3);
        }));

        const bool restarted = kind == "lost" && then == "start";
        QCOMPARE(r.units.IsRunning(r.unit), kind == "refused" || restarted);
        QCOMPARE(r.units.IsRunning(r.other), restarted);
        if (lost)
            QCOMPARE(r.lastConnection().value(0), r.stop);
        QVERIFY2(r.wire.count(r.stop) <= asked.elapsed() / RetryMs + 2 * (1 + connections + lost),
                 qPrintable(r.wire.join(' ')));
        if (then == "start" && !restarted)
            QVERIFY(r.wire.mid(r.wire.lastIndexOf("T2") + 1).filter(QRegularExpression("^(R1|T1)")).isEmpty());
        QStringList expected;
        for (QChar t : told)
            expected << r.name
                    + (t == 'd'       ? "未确认停止，可能仍在工作！"
                           : t == 's' ? "未确认停止，采集未开始！"
                                      : "连接中断，采集已停止！");
        expected.sort();
        r.told.sort();
        QCOMPARE(r.told, expected);
        QCOMPARE(r.idleAndGreen, QStringList());
        QCOMPARE(r.text(),
                 kind != "lost"  ? StatusTexts::stopsOwed(which == 'T', true, which == 'R', true)
                     : restarted ? StatusTexts::wifi(-1)
                                 : StatusTexts::online());
    }

    // An owed stop refused on reconnect stays owed: after a second loss of
    // the link it goes first again, and is taken once the unit accepts it.
    void refusedOnReconnectThenSecondLoss()
    {
        StopRig r(hosts(), 'T');
        QVERIFY(r.online() && r.started());
        r.watching = true;
        QTest::ignoreMessage(QtWarningMsg, "Transmitter link lost; acquisition stopped");
        r.unit->SetRefusedCommand(SendCommand::Stop, true);
        r.unit->CloseConnection();
        QVERIFY(r.until([&] { return r.told.contains("发射机未确认停止，可能仍在工作！"); }));
        QVERIFY(r.units.IsRunning(r.unit));
        r.unit->SetRefusedCommand(SendCommand::Stop, false);
        r.unit->CloseConnection();
        QVERIFY(r.until([&] { return r.wire.count("T+") == 3 && !r.c.StopOwed() && r.told.size() == 2; }));
        QVERIFY(r.lastConnection() == QStringList{"T5"} && !r.units.IsRunning(r.unit));
        QVERIFY(r.told.contains("发射机连接中断，采集已停止！") && r.idleAndGreen.isEmpty());
        QCOMPARE(r.text(), StatusTexts::sendLost());
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
        QVERIFY(r.uploads.isEmpty() && done.isEmpty() && r.in(SampleWaitParam));
    }
};

QTEST_MAIN(TestCollectorStops)
#include "tst_collectorstops.moc"
