#include "WindowTest.h"
#include "acquisition/StopDebt.h"
#include "devlink/RecvPayloads.h"
#include "devlink/SendPayloads.h"
#include "tests/support/TestEnvironment.h"
#include "tools/simunits/SimReceiverUnit.h"
#include "tools/simunits/SimTransmitterUnit.h"
#include "tools/simunits/SimUnitPair.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QString TransmitterAddress = TestLoopback::Address(TestLoopback::WindowStopTests, 1);
const QString ReceiverAddress = TestLoopback::Address(TestLoopback::WindowStopTests, 2);

// Slow enough for a build with sanitizers, whose units answer as slowly as
// the window runs.
constexpr int RetryMs = 250;
constexpr int WaitMs = 1200;

} // namespace

// The window lets go of the units, by 断开, 关闭工程 or 退出, only once they
// took the stops owed to them or its bound passed, showing that it waits,
// and tells of a unit that may still record; and Esc stops in every mode.
class tst_WindowStops : public WindowTest
{
    Q_OBJECT

    QStringList m_asked;

    bool openConnected()
    {
        makeWindow();
        m_window->show();
        if (!QTest::qWaitForWindowActive(m_window.get(), TestTimeoutMs()))
            return false;
        m_nextFile = path(QStringLiteral("site"));
        widget<QPushButton>("pushButton_Project_New")->click();
        widget<ZOLVA_Collector>("m_ZOLVA_Collector")->SetStopTiming(RetryMs, WaitMs);
        return waitForStatus(ZOLVA_Collector::IDLE);
    }

    int points() const
    {
        const auto* tree = widget<QTreeWidget>("DataModel");
        return tree->topLevelItemCount() == 0 ? 0 : tree->topLevelItem(0)->childCount();
    }

private slots:
    void init()
    {
        QVERIFY(setUp(TransmitterAddress, ReceiverAddress));
        m_asked.clear();
        DialogHook::setQuestionAnswer([this](const DialogHook::Message& m) {
            m_asked << m.title + ": " + m.text;
            return true;
        });
    }

    void cleanup() { tearDown(); }

    void lettingGoWaitsForOwedStops_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("action");
        QTest::addColumn<char>("which");
        int row = 0;
        for (const char* kind : {"held", "lost", "refused", "unanswered"}) {
            for (const char* action : {"断开", "关闭工程", "退出"})
                QTest::addRow("%s, then %s", kind, action) << kind << action << (row++ % 2 ? 'R' : 'T');
        }
    }

    // 停止 meets the fault of one unit: it carries stops out without
    // answering, a stop held behind a second start; its link closes before
    // it reads the stop; it refuses; it carries it out without answering.
    // Then the operator lets go of the units: the window waits, live, while
    // the stop is asked again, and lets go once the unit took it, else after
    // the bound, telling that the unit may still record.
    void lettingGoWaitsForOwedStops()
    {
        QFETCH(QString, kind);
        QFETCH(QString, action);
        QFETCH(char, which);
        QVERIFY(listenUnits(TransmitterAddress, ReceiverAddress, 1e3));
        SimFieldUnit* faulty = which == 'T' ? static_cast<SimFieldUnit*>(m_units->Transmitter()) : m_units->Receiver();
        SimFieldUnit* other = which == 'T' ? static_cast<SimFieldUnit*>(m_units->Receiver()) : m_units->Transmitter();
        const QString unit = which == 'T' ? QStringLiteral("发射机") : QStringLiteral("接收机");
        QVERIFY(openConnected());
        auto* collector = widget<ZOLVA_Collector>("m_ZOLVA_Collector");
        auto* label = widget<QLabel>("StatusConnect");

        // The panel never shows idle and green while the faulty unit has not
        // answered a stop it carried out.
        bool watching = false;
        bool confirmed = false;
        const bool answers = kind == "lost";
        QStringList idleAndGreen;
        const auto look = [&] {
            if (watching && status() == ZOLVA_Collector::IDLE && label->text().contains(QLatin1String("green"))
                && !confirmed)
                idleAndGreen << label->text();
        };
        connect(collector, &ZOLVA_Collector::statusConnectChanged, this, look, Qt::QueuedConnection);
        connect(collector, &ZOLVA_Collector::onSampleStatusChanged, this, look, Qt::QueuedConnection);
        connect(faulty, &SimFieldUnit::stopRequested, this, [&] { confirmed = confirmed || answers; });
        // The window stays live while it waits, and shows whom it waits for.
        QStringList notes;
        const auto noteShown = [&] {
            if (auto* note = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()))
                notes << note->labelText();
        };
        connect(collector, &ZOLVA_Collector::stopsChanged, this, noteShown);
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] {
            ++ticks;
            noteShown();
        });
        tick.start(20);

        widget<QPushButton>("pushButton_Start")->click();
        QVERIFY(waitForStatus(ZOLVA_Collector::SAMPLING));
        QVERIFY(m_units->IsRunning(faulty) && m_units->IsRunning(other));
        const quint32 command = which == 'T' ? quint32(SendCommand::Stop) : quint32(RecvCommand::Stop);
        if (kind == "held" || kind == "unanswered")
            faulty->SetUnansweredCommand(command, true);
        else if (kind == "refused")
            faulty->SetRefusedCommand(command, true);
        else
            faulty->SetCloseOnCommand(command, 1);
        watching = true;
        widget<QPushButton>("pushButton_Stop")->click();
        QStringList asked{QStringLiteral("停止采集: 请确认停止当前采集！")};
        if (kind == "held") {
            widget<QPushButton>("pushButton_Start")->click();
            QCOMPARE(status(), int(ZOLVA_Collector::SETPARAM));
        }

        const char* button = action == "断开" ? "btn_DeviceClose"
            : action == "关闭工程"            ? "pushButton_Project_Close"
                                              : "pushButton_Close";
        const QString title = action == "断开" ? QStringLiteral("断开连接")
            : action == "关闭工程"             ? QStringLiteral("关闭工程")
                                               : QStringLiteral("退出程序");
        QElapsedTimer clock;
        clock.start();
        const int ticksBefore = ticks;
        widget<QPushButton>(button)->click();
        const qint64 waited = clock.elapsed();
        if (kind == "held")
            asked << title + QStringLiteral(": 请确认停止当前采集并%1！").arg(title);
        QCOMPARE(m_asked, asked);

        // Let go of: the unit's own record, and what the window said.
        QCOMPARE(m_units->IsRunning(faulty), kind == "refused");
        QVERIFY(!m_units->IsRunning(other));
        QVERIFY(!notes.isEmpty());
        for (const QString& note : qAsConst(notes))
            QVERIFY2(note.startsWith(QStringLiteral("等待")) && note.contains(unit), qPrintable(note));
        if (kind == "lost") {
            QVERIFY(waited < WaitMs);
            QCOMPARE(m_shown, QStringList());
        } else {
            // A timer of 20 ms went on firing: the window stayed live.
            QVERIFY2(ticks - ticksBefore >= WaitMs / 40, qPrintable(QString::number(ticks - ticksBefore)));
            QVERIFY(waited >= WaitMs * 9 / 10);
            QCOMPARE(m_shown,
                     QStringList{QStringLiteral("警告: ") + unit + QStringLiteral("未确认停止，可能仍在工作！")});
            QVERIFY(faulty->ReceivedCommands().count(command) >= 2);
        }
        if (action == "断开") {
            QVERIFY(!widget("btn_DeviceCon")->isHidden());
            QCOMPARE(status(), int(ZOLVA_Collector::DISCONN));
        } else if (action == "关闭工程") {
            QCOMPARE(widget<QTabBar>("tabBar")->currentIndex(), 0);
        } else {
            QVERIFY(!m_window->isVisible());
        }
        QCoreApplication::processEvents();
        QCOMPARE(idleAndGreen, QStringList());
        // Nothing more is told once the units are let go of.
        m_window.reset();
        QCOMPARE(m_shown.size(), kind == "lost" ? 0 : 1);
    }

    // A project whose newest line is towed opens in the towed mode: Esc
    // stops that line's acquisition as it did the first one's.
    void escStopsATowedLineOpenedAgain()
    {
        QVERIFY(listenUnits(TransmitterAddress, ReceiverAddress, 0.04));
        QVERIFY(openConnected());
        widget<ZOLVA_Collector>("m_ZOLVA_Collector")->SetStopTiming(StopDebt::RetryMs, ZOLVA_Collector::StopWaitMs);
        auto* mode = widget<QComboBox>("ContinueMode");
        mode->setCurrentIndex(1);
        for (int round = 0; round < 2; ++round) {
            widget<QPushButton>("pushButton_Start")->click();
            QTRY_VERIFY_WITH_TIMEOUT(points() >= 1 + round, TestTimeoutMs());
            QCOMPARE(widget<QPushButton>("pushButton_Stop")->text(), QStringLiteral("停止采集"));
            m_asked.clear();
            QTest::keyClick(widget("Form_SampleControl"), Qt::Key_Escape);
            QTRY_COMPARE_WITH_TIMEOUT(m_asked, QStringList{QStringLiteral("停止采集: 请确认停止当前采集！")},
                                      TestTimeoutMs());
            QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
            QTRY_VERIFY_WITH_TIMEOUT(!m_units->IsRunning(), TestTimeoutMs());
            if (round == 1)
                break;
            widget<QPushButton>("pushButton_Project_Close")->click();
            mode->setCurrentIndex(0);
            m_nextFile = path(QStringLiteral("site.ZOLVA"));
            widget<QPushButton>("pushButton_Project_Open")->click();
            QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
            QCOMPARE(mode->currentIndex(), 1);
        }
        QCOMPARE(m_shown, QStringList());
    }
};

QTEST_MAIN(tst_WindowStops)
#include "tst_windowstops.moc"
