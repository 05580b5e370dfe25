#include "WindowTest.h"
#include "acquisition/StatusTexts.h"
#include "orm/Database.h"
#include "project/DataModel_Index.h"
#include "tests/support/HeldProjectFile.h"
#include "tests/support/TestEnvironment.h"
#include "tools/simunits/SimUnitPair.h"
#include "ui/DeveloperAccess.h"
#include "ui/TransmitCurves.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>
#include <QTextDocumentFragment>
#include <QUrl>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>

#include <cmath>
#include <csignal>
#include <memory>

#include <sys/resource.h>

namespace {

// Opening a project connects at once: to these units of the file's own.
const QString TransmitterAddress = TestLoopback::Address(TestLoopback::MainWindowTests, 1);
const QString ReceiverAddress = TestLoopback::Address(TestLoopback::MainWindowTests, 2);
const QString OpenFailed = QStringLiteral("错误: 打开或创建工程文件失败，请重试！");
// Faults of an export besides another program's holds.
enum ExportFault { SampleRemoved = HeldProjectFile::Exclusive + 1, DiskFull };

} // namespace

class tst_MainWindow : public WindowTest
{
    Q_OBJECT

    QStringList m_asked;
    QString m_password;

    QString writeFile(const QString& name, const QByteArray& content = QByteArray()) const
    {
        QFile file(path(name));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() ? file.fileName() : QString();
    }

    static QByteArray readFile(const QString& name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString config() const { return QString::fromUtf8(readFile(path(QStringLiteral("config.ini")))); }

    // A drag entering the window and, when the window takes it, the drop.
    bool drop(const QMimeData& data)
    {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_window.get(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        return enter.isAccepted() && QApplication::sendEvent(m_window.get(), &drop);
    }

    bool dropFile(const QString& path)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        return drop(data);
    }

    QString pagesShown() const
    {
        auto* tabs = widget<QTabBar>("tabBar");
        QStringList state{QStringLiteral("tab%1").arg(tabs->currentIndex())};
        for (int tab : {1, 2}) {
            if (tabs->isTabEnabled(tab))
                state << QStringLiteral("page%1").arg(tab);
        }
        for (const char* name : {"pushButton_Project_New", "pushButton_Project_Open", "pushButton_Project_Close",
                                 "pushButton_Export_USF"}) {
            if (!widget(name)->isHidden())
                state << QString::fromLatin1(name).section(QLatin1Char('_'), -1);
        }
        if (widget("RecentProject")->isEnabled())
            state << QStringLiteral("recent");
        if (m_window->acceptDrops())
            state << QStringLiteral("drops");
        return state.join(QLatin1Char(' '));
    }

private slots:
    void init()
    {
        QVERIFY(setUp(TransmitterAddress, ReceiverAddress));
        m_asked.clear();
        DialogHook::setInputAnswer([this](const DialogHook::InputRequest& request) {
            m_asked << request.title + " " + request.label;
            return QVariant(m_password);
        });
    }

    void cleanup() { tearDown(); }

    void pageStateAndDrops()
    {
        const QString closed = QStringLiteral("tab0 New Open recent drops");
        const QString open = QStringLiteral("tab1 page1 page2 Close");
        makeWindow();
        QCOMPARE(pagesShown(), closed);
        QMimeData text;
        text.setText(QStringLiteral("no files"));
        QVERIFY(!drop(text));
        QVERIFY(dropFile(writeFile(QStringLiteral("notes.txt"))));
        QCOMPARE(m_shown, QStringList{QStringLiteral("错误: 请拖入正确的工程文件")});

        m_nextFile = path(QStringLiteral("site"));
        widget<QPushButton>("pushButton_Project_New")->click();
        const QString made = path(QStringLiteral("site.ZOLVA"));
        QCOMPARE(pagesShown(), open);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("ZOLVA系统 -- ") + made);
        widget<QPushButton>("pushButton_Project_Close")->click();
        QCOMPARE(pagesShown(), closed);

        // A dropped project file is recognised whatever the case of its suffix.
        const QString lower = path(QStringLiteral("site.zolva"));
        QVERIFY(QFile::rename(made, lower));
        QVERIFY(dropFile(lower));
        QCOMPARE(m_shown.size(), 1);
        QCOMPARE(pagesShown(), open);
        QCOMPARE(widget<QListWidget>("RecentProject")->item(0)->text(), lower);
    }

    void refusedProjects()
    {
        const QString readOnly = writeFile(QStringLiteral("readonly.ZOLVA"));
        QVERIFY(QFile::setPermissions(readOnly, QFileDevice::ReadOwner));
        const QString vanishing = writeFile(QStringLiteral("vanishing.ZOLVA"));
        QSettings(QStringLiteral("config.ini"), QSettings::IniFormat)
            .setValue(QStringLiteral("ProjList/List1"), vanishing);
        makeWindow();
        auto* recent = widget<QListWidget>("RecentProject");
        QCOMPARE(recent->count(), 1);

        QVERIFY(QMetaObject::invokeMethod(m_window.get(), "openProject", Q_ARG(QString, readOnly)));
        QCOMPARE(m_shown, QStringList{QStringLiteral("错误: 工程文件属性为 *只读* ，请修改")});
        const QString broken = writeFile(QStringLiteral("broken.ZOLVA"), QByteArray(4096, 'x'));
        QVERIFY(QMetaObject::invokeMethod(m_window.get(), "openProject", Q_ARG(QString, broken)));
        QCOMPARE(m_shown.last(), OpenFailed);
        QCOMPARE(recent->count(), 1);

        // A recent entry whose file has gone is not made again as an empty project.
        QVERIFY(QFile::remove(vanishing));
        emit recent->itemDoubleClicked(recent->item(0));
        QCOMPARE(m_shown, (QStringList{m_shown.first(), OpenFailed, OpenFailed}));
        QVERIFY(!QFile::exists(vanishing));
        QCOMPARE(recent->count(), 0);
        QVERIFY(!widget<QTabBar>("tabBar")->isTabEnabled(1));
    }

    // Root writes whatever the file's permissions, so writing is made to
    // fail in ways that hold for root too: a link where the journal goes,
    // which SQLite does not follow, stands for a folder that forbids it.
    void unwritableProjectsAreRefused_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no journal") << false << QStringLiteral("错误: 工程文件属性为 *只读* ，请修改");
        QTest::newRow("locked") << true << QStringLiteral("错误: 工程文件被其他程序占用，请关闭后重试");
    }

    void unwritableProjectsAreRefused()
    {
        QFETCH(bool, locked);
        QFETCH(QString, shown);
        const QString file = path(QStringLiteral("field.ZOLVA"));
        {
            DataModel_Index model;
            QVERIFY(model.openProject(file));
            model.closeProject();
        }
        const QString other = QStringLiteral("other program");
        const auto release = qScopeGuard([&] { QSqlDatabase::removeDatabase(other); });
        if (locked) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), other);
            db.setDatabaseName(file);
            QVERIFY(db.open() && QSqlQuery(db).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        } else {
            QVERIFY(QFile::link(path(QStringLiteral("gone/journal")), file + QStringLiteral("-journal")));
        }
        const QByteArray before = readFile(file);
        makeWindow();
        QSignalSpy connects(widget<QAbstractButton>("btn_DeviceCon"), &QAbstractButton::clicked);

        QElapsedTimer took;
        took.start();
        QVERIFY(QMetaObject::invokeMethod(m_window.get(), "openProject", Q_ARG(QString, file)));
        // Not even one wait of the driver's 5 s for a lock.
        QVERIFY2(took.elapsed() < 5000, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(m_shown, QStringList{shown});
        QCOMPARE(pagesShown(), QStringLiteral("tab0 New Open recent drops"));
        QCOMPARE(connects.count(), 0);
        QCOMPARE(widget<QListWidget>("RecentProject")->count(), 0);
        QCOMPARE(widget<DataModel_Index>("DataModel")->topLevelItemCount(), 0);
        QVERIFY(!orm::Database::connection().isValid());
        QVERIFY(readFile(file) == before);
    }

    void exportNotReadWholeFails_data()
    {
        QTest::addColumn<int>("fault"); // a hold of the file, or one of the two below
        QTest::addColumn<QString>("shown");
        QTest::newRow("read lock") << int(HeldProjectFile::Read) << "导出成功";
        QTest::newRow("write lock") << int(HeldProjectFile::Write) << "导出成功";
        QTest::newRow("exclusive lock") << int(HeldProjectFile::Exclusive) << "导出失败，工程文件被其他程序占用";
        QTest::newRow("sample removed") << int(SampleRemoved) << "导出失败，可能是工程文件损坏";
        QTest::newRow("disk full") << int(DiskFull) << "导出失败，导出文件不能写入";
    }

    // 60 points of 5 samples: an export that the project file or the disk
    // fails is told with its cause and leaves the file that was there as
    // it was, with nothing beside it. Readers kept out, it gives up at the
    // first point instead of waiting for each sample.
    void exportNotReadWholeFails()
    {
        QFETCH(int, fault);
        QFETCH(QString, shown);
        const QString project = path(QStringLiteral("survey.ZOLVA"));
        {
            DataModel_Index maker;
            QVERIFY(maker.openProject(project));
            QSqlQuery make(orm::Database::connection());
            QVERIFY(make.exec("INSERT INTO Data_Line (NAME, TYPE, USE) VALUES (7, 0, 1)"));
            QVERIFY(make.exec("INSERT INTO Data_Point (NAME, TYPE, USE, Data_LineID) WITH RECURSIVE k(j) AS "
                              "(SELECT 0 UNION ALL SELECT j + 1 FROM k WHERE j < 59) SELECT j, 0, 1, 1 FROM k"));
            QVERIFY(
                make.exec("INSERT INTO Data_Sample (USE, StartTime, DATA_RECV, DATA_RECV_POS, Data_PointID) "
                          "WITH RECURSIVE k(j) AS (SELECT 0 UNION ALL SELECT j + 1 FROM k WHERE j < 4) SELECT 1, "
                          "1700000000000, X'3F50624DD2F1A9FC', X'4059000000000000', Data_Point.ID FROM Data_Point, k"));
            maker.closeProject();
        }
        makeWindow();
        QVERIFY(QMetaObject::invokeMethod(m_window.get(), "openProject", Q_ARG(QString, project)));
        const QByteArray before("an export of yesterday");
        m_nextFile = writeFile(QStringLiteral("survey.usf"), before);
        std::unique_ptr<HeldProjectFile> held;
        if (fault <= HeldProjectFile::Exclusive)
            held = std::make_unique<HeldProjectFile>(project, HeldProjectFile::Hold(fault));
        else if (fault == SampleRemoved)
            QVERIFY(QSqlQuery(orm::Database::connection()).exec("DELETE FROM Data_Sample WHERE ID = 150"));
        QVERIFY(!held || held->held);
        // Files grow no larger than 4 kB, as on a disk that fills.
        rlimit limit{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &limit) == 0);
        const rlim_t unlimited = limit.rlim_cur;
        limit.rlim_cur = fault == DiskFull ? 4096 : unlimited;
        const auto oversize = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
        QElapsedTimer took;
        took.start();
        const bool invoked = QMetaObject::invokeMethod(m_window.get(), "on_pushButton_Export_USF_clicked");
        const qint64 ms = took.elapsed();
        limit.rlim_cur = unlimited;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
        std::signal(SIGXFSZ, oversize);
        QVERIFY(invoked);
        // Not a wait for each of 300 samples, nor for each of 60 points.
        QVERIFY2(ms < 3000, qPrintable(QString::number(ms)));
        QCOMPARE(m_shown, QStringList{"导出USF: " + shown});
        const QByteArray after = readFile(m_nextFile);
        QVERIFY(shown == "导出成功" ? after.count("/SOUNDING_NAME:") == 60 : after == before);
        QCOMPARE(QDir(m_dir->dir.path()).entryList({QStringLiteral("survey.usf*")}), QStringList{"survey.usf"});
    }

    void pointNumberSurvivesFocusChanges()
    {
        // The acquisition panel takes entries only while the units are connected.
        SimUnitPair units;
        QVERIFY(units.Listen(QHostAddress(TransmitterAddress), QHostAddress(ReceiverAddress)));
        makeWindow();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get(), TestTimeoutMs()));
        m_nextFile = path(QStringLiteral("points.ZOLVA"));
        widget<QPushButton>("pushButton_Project_New")->click();
        auto* point = widget<QLineEdit>("PointNo");
        QTRY_VERIFY_WITH_TIMEOUT(point->isEnabled(), TestTimeoutMs());
        // Leaving the line number would ask for that line's next point instead.
        auto* other = widget<QLineEdit>("ParamPeriod");
        point->setFocus();
        point->selectAll();
        QTest::keyClicks(point, QStringLiteral("123456.7"));
        other->setFocus();
        QCOMPARE(point->text(), QStringLiteral("123456.7"));
        point->setFocus();
        other->setFocus();
        QCOMPARE(widget<QObject>("DataModel")->property("PointNo").toDouble(), 123456.7);
        QCOMPARE(point->text(), QStringLiteral("123456.7"));
    }

    void onlyTitleBarCloseWritesConfig()
    {
        const QString before = config();
        makeWindow();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get(), TestTimeoutMs()));
        const QString moved = TestLoopback::Address(TestLoopback::MainWindowTests, 3);
        widget<QObject>("m_ZOLVA_Collector")->setProperty("DeviceIP_Send", moved);
        m_window->close();
        QCOMPARE(config(), before);

        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get(), TestTimeoutMs()));
        QTest::mouseClick(widget("pushButton_Close"), Qt::LeftButton);
        QVERIFY(!m_window->isVisible());
        QVERIFY2(config().contains("SendIP=" + moved) && config().contains("RecvIP=" + ReceiverAddress),
                 qPrintable(config()));
    }

    // Without a "config.ini" the units are looked for at their field
    // addresses, and nothing connects before a project is opened.
    void fieldAddressesWithoutConfig()
    {
        QVERIFY(QFile::remove(path(QStringLiteral("config.ini"))));
        makeWindow();
        auto* collector = widget<QObject>("m_ZOLVA_Collector");
        QCOMPARE(collector->property("SampleStatus").toInt(), int(ZOLVA_Collector::DISCONN));
        QCOMPARE(collector->property("DeviceIP_Send").toString(), QStringLiteral("192.168.0.9"));
        QCOMPARE(collector->property("DeviceIP_Recv").toString(), QStringLiteral("192.168.0.10"));
        QCOMPARE(widget<QLineEdit>("DeviceIP_Send")->text(), QStringLiteral("192.168.0.9"));
        QCOMPARE(widget<QLineEdit>("DeviceIP_Recv")->text(), QStringLiteral("192.168.0.10"));
    }

    // Only developer mode straightens the start of the turn-off curve.
    void turnOffCurveIsStraightenedInDeveloperModeOnly()
    {
        QVector<double> data(500);
        for (int i = 0; i < data.size(); ++i)
            data[i] = 100.0 * std::exp(-i / 40.0);
        TransmitCurves::Curve shifted;
        QVERIFY(TransmitCurves::offCurve(2000000.0, data, &shifted));
        const QVector<double> straightened = TransmitCurves::fitEarlyDecay(shifted.x, shifted.y);
        makeWindow();
        m_password = DeveloperAccess::passwordFor(QDate(2026, 12, 6));
        // Off at start, on after seven clicks, off again at the next.
        for (int clicks : {0, DeveloperAccess::UnlockClicks, 1}) {
            for (int i = 0; i < clicks; ++i)
                widget<QPushButton>("btn_Logo")->click();
            const bool developer = clicks > 1;
            QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onGraph_Off", Q_ARG(double, 2000000.0),
                                              Q_ARG(QVector<double>, data)));
            const QwtPlotItemList curves = widget<QwtPlot>("graph_Off")->itemList(QwtPlotItem::Rtti_PlotCurve);
            QCOMPARE(curves.size(), 1);
            const auto* curve = static_cast<const QwtPlotCurve*>(curves.first());
            QVector<double> y;
            for (size_t i = 0; i < curve->dataSize(); ++i)
                y.append(curve->sample(int(i)).y());
            QVERIFY2(y == (developer ? straightened : shifted.y), developer ? "developer" : "operator");
        }
    }

    // Every seventh click asks; any other click, or a refused password, turns it off.
    void developerMode()
    {
        QDate today(2026, 12, 6);
        makeWindow();
        m_window->setDateSource([&today] { return today; });
        const auto clickLogo = [this](int clicks, const QString& password) {
            m_password = password;
            for (int i = 0; i < clicks; ++i)
                widget<QPushButton>("btn_Logo")->click();
            return !widget("groupBox_StartTime")->isHidden() && !widget("ContinueMode")->isHidden();
        };
        const QString right = DeveloperAccess::passwordFor(today);
        QVERIFY(!clickLogo(6, right));
        QVERIFY(m_asked.isEmpty());
        QVERIFY(clickLogo(1, right));
        QCOMPARE(m_asked, QStringList{QStringLiteral("开发者模式 请输入密码:")});
        QVERIFY(!clickLogo(1, right));
        QVERIFY(clickLogo(6, right));
        QCOMPARE(m_asked.size(), 2);
        QVERIFY(!clickLogo(7, QStringLiteral("0000")));
        today = QDate(2027, 1, 2);
        QVERIFY(!clickLogo(7, DeveloperAccess::passwordFor(today)));
        QCOMPARE(m_asked.size(), 4);
        // No project is open, so the export stays hidden.
        QVERIFY(widget("pushButton_Export_USF")->isHidden());
    }

    // Every link status, the widest with a count of towed records dropped
    // below, shows whole on the acquisition page of the narrowest window,
    // clear of the buttons around it.
    void linkStatusWithDropsFitsTheSmallestWindow()
    {
        makeWindow();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get(), TestTimeoutMs()));
        // The offscreen screen is 600 px high, a scale no field laptop has,
        // at which the smallest window squeezes every panel's rows: only its
        // width is taken, and the height of a window of 800.
        m_window->resize(m_window->minimumSize().width(), 800);
        widget<QStackedWidget>("stackedWidget")->setCurrentIndex(1);
        QStringList cut;
        // The layouts settle one level per pass of the event loop.
        const auto fits = [&](QLabel* label, const QString& text) {
            QTRY_VERIFY_WITH_TIMEOUT(label->text() == text, TestTimeoutMs());
            // A label that wraps takes the width it is given.
            const QSize needed =
                label->wordWrap() ? QSize(label->width(), label->heightForWidth(label->width())) : label->sizeHint();
            const bool clear = QTest::qWaitFor(
                [&] {
                    for (const QWidget* other : label->parentWidget()->findChildren<QWidget*>()) {
                        if (other != label && other->isVisible() && other->geometry().intersects(label->geometry()))
                            return false;
                    }
                    return needed.width() <= label->width() && needed.height() <= label->height();
                },
                TestTimeoutMs());
            if (!clear)
                cut << QStringLiteral("%1: needs %2x%3, has %4x%5")
                           .arg(QTextDocumentFragment::fromHtml(text).toPlainText().simplified())
                           .arg(needed.width())
                           .arg(needed.height())
                           .arg(label->width())
                           .arg(label->height());
        };
        auto* collector = widget<QObject>("m_ZOLVA_Collector");
        auto* status = widget<QLabel>("StatusConnect");
        const QStringList texts{StatusTexts::wifi(100),
                                StatusTexts::unitSilent(true, false),
                                StatusTexts::unitSilent(false, true),
                                StatusTexts::paramsRefused(),
                                StatusTexts::recvParamsRefused(),
                                StatusTexts::channelsRefused(),
                                StatusTexts::recvLost(),
                                StatusTexts::sendLost(),
                                StatusTexts::invalidAddress(),
                                StatusTexts::connecting(true, false),
                                StatusTexts::linkUpdate(false, true)};
        for (const QString& text : texts) {
            for (const QString& drops : {QString(), StatusTexts::unpairedDropped(99999)}) {
                collector->setProperty("StatusConnect", text + drops);
                fits(status, text + drops);
            }
        }
        // Towed records waiting for the project file have a row of their
        // own, and so has a selection that could not be read.
        auto* model = widget<DataModel_Index>("DataModel");
        auto* stored = widget<QLabel>("StoreStatus");
        const QString waiting = QStringLiteral("<p style='color:red;'>工程文件已不存在或为只读，1000 条待存</p>");
        const QString lost = QStringLiteral("<p style='color:red;'>未存记录 99999</p>");
        const QString unread =
            QStringLiteral("<p style='color:red;'>工程文件被其他程序占用，所选数据未能读取，稍后重试</p>");
        const QString longest = texts.first() + StatusTexts::unpairedDropped(99999);
        collector->setProperty("StatusConnect", longest);
        for (const QString& text : {waiting, lost, waiting + lost, unread, waiting + lost + unread}) {
            emit model->storeStatusChanged(text);
            fits(stored, text);
            fits(status, longest);
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
