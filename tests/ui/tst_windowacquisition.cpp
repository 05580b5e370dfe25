#include "WindowTest.h"
#include "tests/support/TestEnvironment.h"
#include "tools/simunits/SimReceiverUnit.h"
#include "tools/simunits/SimTransmitterUnit.h"
#include "tools/simunits/SimUnitPair.h"
#include "ui/DeveloperAccess.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

const QString TransmitterAddress = TestLoopback::Address(TestLoopback::WindowAcquisitionTests, 1);
const QString ReceiverAddress = TestLoopback::Address(TestLoopback::WindowAcquisitionTests, 2);

// Unit commands: the receiver's stop, the transmitter's configuration and stop.
constexpr quint32 RecvStop = 2;
constexpr quint32 SendConfig = 1;
constexpr quint32 SendStop = 5;

} // namespace

// The window against simulated units while an acquisition is in hand: what
// closing, disconnecting and quitting do to it, refusals told to the
// operator, and the panel's keys.
class tst_WindowAcquisition : public WindowTest
{
    Q_OBJECT

    QStringList m_asked;
    bool m_answer = true;
    // Each unit's commands as they stood when its link closed.
    QList<quint32> m_recvAtClose;
    QList<quint32> m_sendAtClose;
    int m_closed = 0;

    bool startUnits(double timeScale)
    {
        if (!listenUnits(TransmitterAddress, ReceiverAddress, timeScale))
            return false;
        connect(m_units->Receiver(), &SimFrameServer::clientDisconnected, this, [this] {
            m_recvAtClose = m_units->Receiver()->ReceivedCommands();
            ++m_closed;
        });
        connect(m_units->Transmitter(), &SimFrameServer::clientDisconnected, this, [this] {
            m_sendAtClose = m_units->Transmitter()->ReceivedCommands();
            ++m_closed;
        });
        return true;
    }

    // A new project, connected to the units and idle.
    bool openConnected()
    {
        makeWindow();
        m_window->show();
        if (!QTest::qWaitForWindowActive(m_window.get(), TestTimeoutMs()))
            return false;
        m_nextFile = path(QStringLiteral("site"));
        widget<QPushButton>("pushButton_Project_New")->click();
        return waitForStatus(ZOLVA_Collector::IDLE);
    }

    QString config() const
    {
        QFile file(path(QStringLiteral("config.ini")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
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
        m_answer = true;
        m_closed = 0;
        DialogHook::setQuestionAnswer([this](const DialogHook::Message& m) {
            m_asked << m.title + ": " + m.text;
            return m_answer;
        });
    }

    void cleanup() { tearDown(); }

    void endingAnAcquisitionAsksFirst_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("state");
        for (const char* action : {"close", "disconnect", "quit"}) {
            for (const char* state : {"idle", "configuring", "sampling", "unsaved"})
                QTest::addRow("%s while %s", action, state) << action << state;
        }
    }

    // No leaves everything as it was; Yes stops a running acquisition at the
    // units before their links close, or discards an unsaved one. With
    // nothing in hand no one is asked. A unit that answers nothing is asked
    // its stop until the window lets go, and told of.
    void endingAnAcquisitionAsksFirst()
    {
        QFETCH(QString, action);
        QFETCH(QString, state);
        const bool running = state == "configuring" || state == "sampling";
        // Quiet units finish no record while the test runs.
        QVERIFY(startUnits(state == "unsaved" ? 0.01 : 1e3));
        if (state == "configuring")
            m_units->Transmitter()->SetNoReply(true);
        QVERIFY(openConnected());
        widget<ZOLVA_Collector>("m_ZOLVA_Collector")->SetStopTiming(300, 900);
        enter("ParamRepeat", QStringLiteral("1"));
        if (state != "idle") {
            widget<QPushButton>("pushButton_Start")->click();
            const int wanted = state == "configuring" ? ZOLVA_Collector::SETPARAM
                : state == "sampling"                 ? ZOLVA_Collector::SAMPLING
                                                      : ZOLVA_Collector::UPLOAD;
            QVERIFY(waitForStatus(wanted));
            if (state == "configuring")
                QTRY_VERIFY_WITH_TIMEOUT(m_units->Transmitter()->ReceivedCommands().contains(SendConfig),
                                         TestTimeoutMs());
        }
        const int before = status();
        const QString configBefore = config();
        const char* button = action == "close" ? "pushButton_Project_Close"
            : action == "disconnect"           ? "btn_DeviceClose"
                                               : "pushButton_Close";
        const QString title = action == "close" ? QStringLiteral("关闭工程")
            : action == "disconnect"            ? QStringLiteral("断开连接")
                                                : QStringLiteral("退出程序");
        const QString asked = title + ": "
            + (running ? QStringLiteral("请确认停止当前采集并%1！") : QStringLiteral("请确认取消保存并%1！"))
                  .arg(title);

        if (state != "idle") {
            m_answer = false;
            widget<QPushButton>(button)->click();
            QCOMPARE(m_asked, QStringList{asked});
            QCOMPARE(status(), before);
            QVERIFY(m_window->isVisible());
            QCOMPARE(widget<QTabBar>("tabBar")->currentIndex(), 1);
            QVERIFY(widget("btn_DeviceCon")->isHidden());
            QCOMPARE(config(), configBefore);
            m_asked.clear();
            m_answer = true;
        }

        widget<QPushButton>(button)->click();
        QCOMPARE(m_asked, state == "idle" ? QStringList() : QStringList{asked});
        QCOMPARE(points(), 0);
        if (action == "close") {
            QCOMPARE(widget<QTabBar>("tabBar")->currentIndex(), 0);
            QCOMPARE(widget<QTreeWidget>("DataModel")->topLevelItemCount(), 0);
        } else if (action == "disconnect") {
            QCOMPARE(widget<QTabBar>("tabBar")->currentIndex(), 1);
            QVERIFY(!widget("btn_DeviceCon")->isHidden());
        } else {
            QVERIFY(!m_window->isVisible());
            QVERIFY(config().contains(QStringLiteral("SendIP=") + TransmitterAddress));
            // The program ends: the window and its links go at once.
            m_window.reset();
        }
        if (action != "quit")
            QCOMPARE(status(), int(ZOLVA_Collector::DISCONN));
        QTRY_COMPARE_WITH_TIMEOUT(m_closed, 2, TestTimeoutMs());
        // A stop answered later than its retry is asked again.
        QCOMPARE(m_recvAtClose.contains(RecvStop), running);
        if (state == "configuring")
            QVERIFY(m_sendAtClose.count(SendStop) >= 2);
        else
            QCOMPARE(m_sendAtClose.contains(SendStop), running);
        // Links the operator closed were not lost.
        QCoreApplication::processEvents();
        QCOMPARE(m_shown,
                 state == "configuring" ? QStringList{"警告: 发射机未确认停止，可能仍在工作！"} : QStringList());
    }

    // The acquisition goes on while the question waits; one that finishes
    // meanwhile is discarded, with no stops for units that have stopped.
    void acquisitionFinishingWhileAskedIsDiscarded()
    {
        QVERIFY(startUnits(1e3));
        QVERIFY(openConnected());
        enter("ParamRepeat", QStringLiteral("1"));
        widget<QPushButton>("pushButton_Start")->click();
        QVERIFY(waitForStatus(ZOLVA_Collector::SAMPLING));
        DialogHook::setQuestionAnswer([this](const DialogHook::Message& m) {
            m_asked << m.text;
            m_units->Transmitter()->SendRecord();
            m_units->Receiver()->SendRecord();
            return waitForStatus(ZOLVA_Collector::UPLOAD);
        });
        widget<QPushButton>("btn_DeviceClose")->click();
        QCOMPARE(m_asked, QStringList{QStringLiteral("请确认停止当前采集并断开连接！")});
        QCOMPARE(status(), int(ZOLVA_Collector::DISCONN));
        QTRY_COMPARE_WITH_TIMEOUT(m_closed, 2, TestTimeoutMs());
        QVERIFY(!m_recvAtClose.contains(RecvStop) && !m_sendAtClose.contains(SendStop));

        // The data model holds nothing left to store.
        QVERIFY(QMetaObject::invokeMethod(widget<QObject>("DataModel"), "dataSave", Q_ARG(bool, true)));
        QCOMPARE(points(), 0);
    }

    void refusalIsSaidAloud_data()
    {
        QTest::addColumn<char>("unit");   // the refusing one; 0: the parameters are refused
        QTest::addColumn<int>("command"); // negative: the unit's link closes on that request
        QTest::addColumn<bool>("storedLine");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("shown");
        QTest::newRow("receiver, time channels") << 'R' << 1001 << false << "<p style='color:red;'>接收机拒绝时间道</p>"
                                                 << "警告: 接收机拒绝了 25 Hz 的时间道，采集已停止！";
        QTest::newRow("transmitter, start") << 'T' << 2 << false << "<p style='color:red;'>发射机拒绝启动</p>"
                                            << "警告: 发射机拒绝启动，采集已停止！";
        QTest::newRow("transmitter, start, stored line")
            << 'T' << 2 << true << "<p style='color:red;'>发射机拒绝启动</p>"
            << "警告: 发射机拒绝启动，采集已停止！";
        QTest::newRow("transmitter, link lost") << 'T' << -2 << false << "<p style='color:red;'>发射机连接中断</p>"
                                                << "警告: 发射机连接中断，采集已停止！";
        QTest::newRow("receiver, link lost, stored line")
            << 'R' << -2 << true << "<p style='color:red;'>接收机连接中断</p>"
            << "警告: 接收机连接中断，采集已停止！";
        QTest::newRow("unusable parameters") << '\0' << 0 << false << "<p style='color:red;'>采集参数无效</p>"
                                             << "警告: 采集参数无效（频率 0 Hz，叠加 25 次，重复 2 次），采集未开始！";
    }

    // The acquisition stops as before, but with one warning and the status
    // telling why, and the panel idle for the next start: the frequency and
    // mode selectors as free as before it, locked on a line already stored.
    void refusalIsSaidAloud()
    {
        QFETCH(char, unit);
        QFETCH(int, command);
        QFETCH(bool, storedLine);
        QFETCH(QString, shown);
        QVERIFY(startUnits(0.01));
        QVERIFY(openConnected());
        auto* collector = widget<QObject>("m_ZOLVA_Collector");
        if (storedLine) {
            enter("ParamRepeat", QStringLiteral("1"));
            widget<QPushButton>("pushButton_Start")->click();
            QVERIFY(waitForStatus(ZOLVA_Collector::UPLOAD));
            widget<QPushButton>("pushButton_SaveOK")->click();
            QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
            QCOMPARE(points(), 1);
        }
        collector->setProperty("ParamPeriod", 25);
        collector->setProperty("ParamRepeat", 2);
        if (unit) {
            SimFieldUnit* refusing =
                unit == 'T' ? static_cast<SimFieldUnit*>(m_units->Transmitter()) : m_units->Receiver();
            if (command < 0)
                refusing->SetCloseAfterRequests(-command);
            else
                refusing->SetRefusedCommand(quint32(command), true);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("; acquisition stopped$")));
        } else {
            collector->setProperty("ParamFs", 0.0);
            QTest::ignoreMessage(QtWarningMsg, "Acquisition not started: base frequency 0 Hz, 25 periods, 2 repeats");
        }
        widget<QPushButton>("pushButton_Start")->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_shown, QStringList{shown}, TestTimeoutMs());
        // A lost link is made again first.
        QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
        // Once the units took their stops.
        QFETCH(QString, status);
        QTRY_COMPARE_WITH_TIMEOUT(widget<QLabel>("StatusConnect")->text(), status, TestTimeoutMs());
        QVERIFY(!widget("pushButton_Start")->isHidden() && widget("pushButton_Start")->isEnabled());
        QVERIFY(widget("pushButton_Stop")->isHidden());
        QVERIFY(widget("LineNo")->isEnabled() && widget("PointNo")->isEnabled());
        QCOMPARE(widget("ParamFs")->isEnabled(), !storedLine);
        QCOMPARE(widget("ContinueMode")->isEnabled(), !storedLine);
        QCOMPARE(points(), int(storedLine));
    }

    // Space from a field starts with what was typed there; after a start by
    // key or mouse the focus is where save and discard reach their buttons,
    // and the arrow keys leave the pages alone.
    void keysWorkWhereTheHandsAre()
    {
        QVERIFY(startUnits(0.01));
        QVERIFY(openConnected());
        auto* tabs = widget<QTabBar>("tabBar");
        const auto focusAfterStart = [tabs]() -> QWidget* {
            QWidget* focus = QApplication::focusWidget();
            if (!focus || focus == tabs || qobject_cast<QLineEdit*>(focus))
                return nullptr;
            QTest::keyClick(focus, Qt::Key_Right);
            return tabs->currentIndex() == 1 ? focus : nullptr;
        };

        auto* repeat = widget<QLineEdit>("ParamRepeat");
        repeat->setFocus();
        repeat->selectAll();
        QTest::keyClicks(repeat, QStringLiteral("3"));
        QTest::keyClick(repeat, Qt::Key_Space);
        QVERIFY(waitForStatus(ZOLVA_Collector::UPLOAD));
        QCOMPARE(widget<QObject>("m_ZOLVA_Collector")->property("ParamRepeat").toInt(), 3);
        QWidget* focus = focusAfterStart();
        QVERIFY(focus);
        QTest::keyClick(focus, Qt::Key_S);
        QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
        QCOMPARE(points(), 1);
        QCOMPARE(widget<QTreeWidget>("DataModel")->topLevelItem(0)->child(0)->childCount(), 3);

        QTest::mouseClick(widget("pushButton_Start"), Qt::LeftButton);
        QVERIFY(waitForStatus(ZOLVA_Collector::UPLOAD));
        focus = focusAfterStart();
        QVERIFY(focus);
        QTest::keyClick(focus, Qt::Key_C);
        QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
        QCOMPARE(m_asked, QStringList{QStringLiteral("停止采集: 请确认取消保存！")});
        QCOMPARE(points(), 1);
    }

    // A stray click on the logo hides the mode selector: the towed mode
    // chosen for a new line goes with it, a towed line keeps its own.
    void leavingDeveloperModeKeepsNoHiddenTowedChoice()
    {
        const QDate today(2026, 12, 6);
        DialogHook::setInputAnswer(
            [today](const DialogHook::InputRequest&) { return QVariant(DeveloperAccess::passwordFor(today)); });
        QVERIFY(startUnits(0.01));
        QVERIFY(openConnected());
        auto* logo = widget<QPushButton>("btn_Logo");
        auto* mode = widget<QComboBox>("ContinueMode");
        const auto towed = [this] {
            return widget<QObject>("m_ZOLVA_Collector")->property("ContinueMode").toInt() == ZOLVA_Collector::Continue;
        };
        for (bool lineStored : {false, true}) {
            for (int i = 0; i < DeveloperAccess::UnlockClicks; ++i)
                logo->click();
            QVERIFY(mode->isEnabled());
            mode->setCurrentIndex(1);
            if (lineStored) {
                widget<QPushButton>("pushButton_Start")->click();
                QTRY_VERIFY_WITH_TIMEOUT(points() >= 1, TestTimeoutMs());
                widget<QPushButton>("pushButton_Stop")->click();
                QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
                QVERIFY(!mode->isEnabled());
            }
            QVERIFY(towed() && widget("PointNo")->isHidden());
            logo->click();
            QVERIFY(mode->isHidden());
            QCOMPARE(towed(), lineStored);
            QCOMPARE(widget("PointNo")->isHidden(), lineStored);
        }
    }
};

QTEST_MAIN(tst_WindowAcquisition)
#include "tst_windowacquisition.moc"
