#include "WindowTest.h"
#include "devlink/RecvPayloads.h"
#include "devlink/SendPayloads.h"
#include "tools/simunits/SimReceiverUnit.h"
#include "tools/simunits/SimTransmitterUnit.h"

#include <QApplication>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QString TransmitterAddress = TestLoopback::Address(TestLoopback::WindowStopTests, 1);
const QString ReceiverAddress = TestLoopback::Address(TestLoopback::WindowStopTests, 2);
// Slow enough for a build with sanitizers, whose units answer as slowly as
// the window runs.
constexpr int WaitMs = 1200;

} // namespace

// The window lets go of the units, by 断开, 关闭工程 or 退出, only once they
// took the stops owed to them or its bound passed, showing that it waits,
// and tells of a unit that may still record.
class tst_WindowStops : public WindowTest
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(setUp(TransmitterAddress, ReceiverAddress)); }
    void cleanup() { tearDown(); }

    void lettingGoWaitsForOwedStops_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("button");
        QTest::addColumn<char>("which");
        int row = 0;
        for (const char* kind : {"held", "lost", "refused", "unanswered"}) {
            for (const char* button : {"btn_DeviceClose", "pushButton_Project_Close", "pushButton_Close"})
                QTest::addRow("%s, then %s", kind, button) << kind << button << (row++ % 2 ? 'R' : 'T');
        }
    }

    // 停止 meets the fault of one unit: it carries stops out without
    // answering, a second start held behind; its link closes before it
    // reads the stop; it refuses; it carries it out without answering. The
    // window then lets go: it waits, live, while the stop is asked again,
    // and lets go once the unit took it, else after its bound, telling that
    // the unit may still record; the panel is never idle and green meanwhile.
    void lettingGoWaitsForOwedStops()
    {
        QFETCH(QString, kind);
        QFETCH(QString, button);
        QFETCH(char, which);
        QVERIFY(listenUnits(TransmitterAddress, ReceiverAddress, 1e3));
        SimFieldUnit* unit = which == 'T' ? static_cast<SimFieldUnit*>(m_units->Transmitter()) : m_units->Receiver();
        const QString name = which == 'T' ? "发射机" : "接收机";
        makeWindow();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get(), TestTimeoutMs()));
        m_nextFile = path("site");
        widget<QPushButton>("pushButton_Project_New")->click();
        auto* collector = widget<ZOLVA_Collector>("m_ZOLVA_Collector");
        collector->SetStopTiming(250, WaitMs);
        QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
        widget<QPushButton>("pushButton_Start")->click();
        QVERIFY(waitForStatus(ZOLVA_Collector::SAMPLING));

        bool watching = true, confirmed = false;
        QStringList idleAndGreen, notes;
        const auto look = [&] {
            if (watching && !confirmed && status() == ZOLVA_Collector::IDLE
                && widget<QLabel>("StatusConnect")->text().contains("green"))
                idleAndGreen << widget<QLabel>("StatusConnect")->text();
            if (auto* note = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()))
                notes << note->labelText();
        };
        connect(collector, &ZOLVA_Collector::stopsChanged, this, look);
        connect(collector, &ZOLVA_Collector::statusConnectChanged, this, look, Qt::QueuedConnection);
        connect(unit, &SimFieldUnit::stopRequested, this, [&] { confirmed = kind == "lost"; });
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] {
            ++ticks;
            look();
        });
        tick.start(20);

        const quint32 command = which == 'T' ? quint32(SendCommand::Stop) : quint32(RecvCommand::Stop);
        if (kind == "refused")
            unit->SetRefusedCommand(command, true);
        else if (kind == "lost")
            unit->SetCloseOnCommand(command, 1);
        else
            unit->SetUnansweredCommand(command, true);
        widget<QPushButton>("pushButton_Stop")->click();
        if (kind == "held")
            widget<QPushButton>("pushButton_Start")->click();
        QElapsedTimer clock;
        clock.start();
        widget<QPushButton>(qPrintable(button))->click();
        const qint64 waited = clock.elapsed();
        QVERIFY(button == "pushButton_Close" ? !m_window->isVisible() : status() == ZOLVA_Collector::DISCONN);

        // Let go of: the units' own records, and what the window said.
        QCOMPARE(m_units->IsRunning(unit), kind == "refused");
        QVERIFY(!m_units->IsRunning(which == 'T' ? static_cast<SimFieldUnit*>(m_units->Receiver())
                                                 : m_units->Transmitter()));
        QVERIFY(!notes.isEmpty());
        for (const QString& note : qAsConst(notes))
            QVERIFY2(note.startsWith("等待") && note.contains(name), qPrintable(note));
        QCOMPARE(m_shown, kind == "lost" ? QStringList() : QStringList{"警告: " + name + "未确认停止，可能仍在工作！"});
        // A timer of 20 ms went on firing: the window stayed live.
        QVERIFY(kind == "lost" ? waited < WaitMs : waited >= WaitMs * 9 / 10 && ticks >= WaitMs / 40);
        QVERIFY(kind == "lost" || unit->ReceivedCommands().count(command) >= 2);
        QCoreApplication::processEvents();
        QCOMPARE(idleAndGreen, QStringList());
        watching = false;
    }
};

QTEST_MAIN(tst_WindowStops)
#include "tst_windowstops.moc"
