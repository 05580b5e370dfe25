#include "WindowTest.h"
#include "project/DataModel_Index.h"
#include "tests/support/HeldProjectFile.h"
#include "tests/support/StallMeter.h"
#include "tests/support/TestEnvironment.h"
#include "tools/simunits/SimReceiverUnit.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

const QString TransmitterAddress = TestLoopback::Address(TestLoopback::WindowBacklogTests, 1);
const QString ReceiverAddress = TestLoopback::Address(TestLoopback::WindowBacklogTests, 2);

// A towed pair of two gates.
ZOLVA_Data towedPair(int n)
{
    ZOLVA_Data data;
    data.ContinueMode = 1;
    data.ParamFs = 12.5f;
    data.ParamPeriod = 5;
    st_RecvData_VRX2208 recv;
    recv.StartTime = 1772330400000 + 400 * n;
    recv.times = recv.widths = recv.values = {100.0, 200.0};
    data.sends = {st_TEMSendData()};
    data.recvs = {recv};
    return data;
}

} // namespace

// What the window does with towed pairs still waiting for a held project
// file when the operator closes the project, quits or disconnects, and how
// it shows boxes raised by two parts at once.
class tst_WindowBacklog : public WindowTest
{
    Q_OBJECT

    // Samples in the file, read beside the program.
    int storedPairs() const
    {
        int count = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
            db.setDatabaseName(path(QStringLiteral("site.ZOLVA")));
            QSqlQuery q(db);
            if (db.open() && q.exec(QStringLiteral("SELECT COUNT(*) FROM Data_Sample")) && q.next())
                count = q.value(0).toInt();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("reader"));
        return count;
    }

    bool projectOpen() const { return !widget("pushButton_Project_Close")->isHidden(); }

private slots:
    void init() { QVERIFY(setUp(TransmitterAddress, ReceiverAddress)); }
    void cleanup() { tearDown(); }

    void endingWithPairsWaiting_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("choice"); // -1: no question
        for (const char* action : {"close", "quit"}) {
            QTest::addRow("%s, wait for the file", action) << action << 0;
            QTest::addRow("%s, discard", action) << action << 1;
        }
        QTest::newRow("close, called off") << "close" << 2;
        QTest::newRow("disconnect keeps them") << "disconnect" << -1;
    }

    // Closing and quitting name the pairs waiting and their cause, and
    // either wait for the file, the window staying live meanwhile and the
    // action following once every pair is stored, or discard them; the
    // last button calls the action off. Disconnecting keeps them waiting.
    void endingWithPairsWaiting()
    {
        QFETCH(QString, action);
        QFETCH(int, choice);
        constexpr int pairs = 20;
        QStringList asked;
        DialogHook::setChoiceAnswer([&](const DialogHook::Message& m) {
            asked << m.title + ": " + m.text + " [" + m.buttons.join('|') + "]";
            return choice;
        });
        makeWindow();
        m_window->show();
        m_nextFile = path(QStringLiteral("site"));
        widget<QPushButton>("pushButton_Project_New")->click();
        QVERIFY(projectOpen());
        auto* model = widget<DataModel_Index>("DataModel");
        auto held = std::make_unique<HeldProjectFile>(path(QStringLiteral("site.ZOLVA")), HeldProjectFile::Write);
        QVERIFY(held->held);
        for (int n = 0; n < pairs; ++n) {
            model->dataUpload(towedPair(n));
            model->dataSave(true);
        }
        QCOMPARE(model->towedWaiting(), pairs);

        // Written into "config.ini" only by the title-bar close.
        const QString moved = TestLoopback::Address(TestLoopback::WindowBacklogTests, 3);
        widget<QObject>("m_ZOLVA_Collector")->setProperty("DeviceIP_Send", moved);

        // The longest the window keeps away from its event loop, from the
        // press until every pair is stored.
        StallMeter meter;
        meter.start();
        const char* button = action == "close" ? "pushButton_Project_Close"
            : action == "disconnect"           ? "btn_DeviceClose"
                                               : "pushButton_Close";
        widget<QPushButton>(button)->click();
        const QString title = action == "close" ? QStringLiteral("关闭工程") : QStringLiteral("退出程序");
        QCOMPARE(asked,
                 choice < 0 ? QStringList()
                            : QStringList{QStringLiteral("%1: %2 条拖曳记录等待写入工程文件,工程文件被其他程序"
                                                         "占用。\n等待写入后%1，还是放弃这些记录立即%1？ "
                                                         "[等待写入|放弃记录|取消]")
                                              .arg(title)
                                              .arg(pairs)});
        const bool ended = choice == 1;
        QCOMPARE(action == "quit" ? !m_window->isVisible() : !projectOpen(), ended);
        QCOMPARE(model->towedWaiting(), choice == 1 ? 0 : pairs);

        held.reset();
        const bool followed = choice == 0;
        if (choice != 1)
            QVERIFY(QTest::qWaitFor([&] { return model->towedWaiting() == 0; }, 4 * TestTimeoutMs()));
        if (followed)
            QTRY_VERIFY_WITH_TIMEOUT(action == "quit" ? !m_window->isVisible() : !projectOpen(), TestTimeoutMs());
        QVERIFY(QTest::qWaitFor([&] { return meter.tickCount() > 0; }, TestTimeoutMs()));
        const qint64 stall = meter.longest();
        qInfo("longest stall of the window with %d pairs waiting: %lld ms", pairs, stall);
        QVERIFY2(stall < 1000, qPrintable(QString::number(stall)));
        QCOMPARE(storedPairs(), choice == 1 ? 0 : pairs);
        if (!followed && !ended)
            QVERIFY(projectOpen() && m_window->isVisible());
        if (action == "quit" && (followed || ended)) {
            QFile config(path(QStringLiteral("config.ini")));
            QVERIFY(config.open(QIODevice::ReadOnly));
            QVERIFY(config.readAll().contains("SendIP=" + moved.toLatin1()));
        }
        QTRY_COMPARE_WITH_TIMEOUT(
            m_shown,
            QStringList{QStringLiteral("警告: 数据添加失败,工程文件被其他程序占用\n记录暂存于内存（最多 "
                                       "64 MB），工程文件可写入后按顺序补存")},
            TestTimeoutMs());
    }

    // The storage box is still open when the receiver's link is lost: the
    // link-loss box waits for it, and follows.
    void twoWarningsRaisedAtOnceByTwoParts()
    {
        QVERIFY(listenUnits(TransmitterAddress, ReceiverAddress, 0.05));
        QVERIFY(showWindow(QDate(2026, 12, 6)));
        m_nextFile = path(QStringLiteral("site"));
        widget<QPushButton>("pushButton_Project_New")->click();
        QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
        for (int i = 0; i < DeveloperAccess::UnlockClicks; ++i)
            widget<QPushButton>("btn_Logo")->click();
        widget<QComboBox>("ContinueMode")->setCurrentIndex(1);
        auto* model = widget<DataModel_Index>("DataModel");
        std::unique_ptr<HeldProjectFile> held;
        connect(model, &DataModel_Index::onSaveOver, this, [&] {
            if (!held)
                held = std::make_unique<HeldProjectFile>(path(QStringLiteral("site.ZOLVA")), HeldProjectFile::Write);
        });
        int open = 0, deepest = 0;
        DialogHook::setMessageAnswer([&](const DialogHook::Message& m) {
            m_shown << m.title + ": " + m.text.section('\n', 0, 0);
            deepest = std::max(deepest, ++open);
            if (m_shown.size() == 1) {
                m_units->Receiver()->CloseConnection();
                QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
                QCoreApplication::processEvents();
            }
            --open;
        });
        widget<QPushButton>("pushButton_Start")->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_shown.size(), 2, 2 * TestTimeoutMs());
        QCOMPARE(m_shown,
                 (QStringList{QStringLiteral("警告: 数据添加失败,工程文件被其他程序占用"),
                              QStringLiteral("警告: 接收机连接中断，采集已停止！")}));
        QCOMPARE(deepest, 1);
        held.reset();
        QVERIFY(QTest::qWaitFor([&] { return model->towedWaiting() == 0; }, TestTimeoutMs()));
    }
};

QTEST_MAIN(tst_WindowBacklog)
#include "tst_windowbacklog.moc"
