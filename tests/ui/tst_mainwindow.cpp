#include "acquisition/ZOLVA_Collector.h"
#include "platform/DialogHook.h"
#include "tests/support/TestEnvironment.h"
#include "tools/simunits/SimUnitPair.h"
#include "ui/MainWindow.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

// Opening a project connects at once: to these units of the file's own.
const QString TransmitterAddress = TestLoopback::Address(TestLoopback::MainWindowTests, 1);
const QString ReceiverAddress = TestLoopback::Address(TestLoopback::MainWindowTests, 2);

} // namespace

// The window in a working directory of its own whose "config.ini" names
// loopback units; every message and question is answered here.
class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pageState();
    void refusedProjects();
    void dragAndDrop();
    void pointNumberSurvivesFocusChanges();
    void onlyTitleBarCloseWritesConfig();
    void developerMode_data();
    void developerMode();

private:
    QString writeFile(const QString& name) const;
    void makeWindow();
    QString config() const;
    QString pagesShown() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_shown;
    QStringList m_asked;
    QString m_password;
    QString m_nextFile;
};

void tst_MainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    QSettings config(QStringLiteral("config.ini"), QSettings::IniFormat);
    config.setValue(QStringLiteral("SysConf/SendIP"), TransmitterAddress);
    config.setValue(QStringLiteral("SysConf/RecvIP"), ReceiverAddress);
    config.sync();
    m_shown.clear();
    m_asked.clear();
    DialogHook::setMessageAnswer(
        [this](const DialogHook::Message& message) { m_shown << message.title + ": " + message.text; });
    DialogHook::setQuestionAnswer([](const DialogHook::Message&) { return true; });
    DialogHook::setFileAnswer([this](const DialogHook::FileRequest&) { return m_nextFile; });
    DialogHook::setInputAnswer([this](const DialogHook::InputRequest& request) {
        m_asked << request.title + " " + request.label;
        return QVariant(m_password);
    });
}

void tst_MainWindow::cleanup()
{
    m_window.reset();
    DialogHook::setMessageAnswer({});
    DialogHook::setQuestionAnswer({});
    DialogHook::setInputAnswer({});
    DialogHook::setFileAnswer({});
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

QString tst_MainWindow::writeFile(const QString& name) const
{
    QFile file(m_dir->filePath(name));
    file.open(QIODevice::WriteOnly);
    return file.fileName();
}

void tst_MainWindow::makeWindow()
{
    m_window = std::make_unique<MainWindow>();
    m_window->setDateSource([] { return QDate(2026, 12, 6); });
}

QString tst_MainWindow::config() const
{
    QFile file(m_dir->filePath(QStringLiteral("config.ini")));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

QString tst_MainWindow::pagesShown() const
{
    auto* tabs = m_window->findChild<QTabBar*>(QStringLiteral("tabBar"));
    QStringList state{QStringLiteral("tab%1").arg(tabs->currentIndex())};
    for (int tab : {1, 2}) {
        if (tabs->isTabEnabled(tab))
            state << QStringLiteral("page%1").arg(tab);
    }
    for (const char* name :
         {"pushButton_Project_New", "pushButton_Project_Open", "pushButton_Project_Close", "pushButton_Export_USF"}) {
        if (!m_window->findChild<QWidget*>(QString::fromLatin1(name))->isHidden())
            state << QString::fromLatin1(name).section(QLatin1Char('_'), -1);
    }
    if (m_window->findChild<QListWidget*>(QStringLiteral("RecentProject"))->isEnabled())
        state << QStringLiteral("recent");
    if (m_window->acceptDrops())
        state << QStringLiteral("drops");
    return state.join(QLatin1Char(' '));
}

void tst_MainWindow::pageState()
{
    const QString closed = QStringLiteral("tab0 New Open recent drops");
    const QString open = QStringLiteral("tab1 page1 page2 Close");
    makeWindow();
    QCOMPARE(pagesShown(), closed);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("ZOLVA Program"));

    m_nextFile = m_dir->filePath(QStringLiteral("site"));
    m_window->findChild<QPushButton*>(QStringLiteral("pushButton_Project_New"))->click();
    const QString made = m_dir->filePath(QStringLiteral("site.ZOLVA"));
    QCOMPARE(pagesShown(), open);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("ZOLVA系统 -- ") + made);
    m_window->findChild<QPushButton*>(QStringLiteral("pushButton_Project_Close"))->click();
    QCOMPARE(pagesShown(), closed);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("ZOLVA系统"));

    // A dropped project file is recognised whatever the case of its suffix.
    const QString lower = m_dir->filePath(QStringLiteral("site.zolva"));
    QVERIFY(QFile::rename(made, lower));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(lower)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window.get(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window.get(), &drop);
    QCOMPARE(m_shown, QStringList());
    QCOMPARE(pagesShown(), open);
    QVERIFY(m_window->findChild<QWidget*>(QStringLiteral("btn_DeviceCon"))->isHidden());
    auto* recent = m_window->findChild<QListWidget*>(QStringLiteral("RecentProject"));
    QCOMPARE(recent->count(), 1);
    QCOMPARE(recent->item(0)->text(), lower);
}

void tst_MainWindow::refusedProjects()
{
    const QString readOnly = writeFile(QStringLiteral("readonly.ZOLVA"));
    QVERIFY(QFile::setPermissions(readOnly, QFileDevice::ReadOwner));
    const QString vanishing = writeFile(QStringLiteral("vanishing.ZOLVA"));
    {
        QSettings config(QStringLiteral("config.ini"), QSettings::IniFormat);
        config.setValue(QStringLiteral("ProjList/List1"), vanishing);
    }
    makeWindow();
    auto* recent = m_window->findChild<QListWidget*>(QStringLiteral("RecentProject"));
    QCOMPARE(recent->count(), 1);

    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "openProject", Q_ARG(QString, readOnly)));
    QCOMPARE(m_shown, QStringList{QStringLiteral("错误: 工程文件属性为 *只读* ，请修改")});

    QFile broken(m_dir->filePath(QStringLiteral("broken.ZOLVA")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(4096, 'x'));
    broken.close();
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "openProject", Q_ARG(QString, broken.fileName())));
    QCOMPARE(m_shown.last(), QStringLiteral("错误: 打开或创建工程文件失败，请重试！"));
    QCOMPARE(recent->count(), 1);

    // A recent entry whose file has gone is not made again as an empty project.
    QVERIFY(QFile::remove(vanishing));
    emit recent->itemDoubleClicked(recent->item(0));
    QCOMPARE(m_shown.last(), QStringLiteral("错误: 打开或创建工程文件失败，请重试！"));
    QVERIFY(!QFile::exists(vanishing));
    QCOMPARE(recent->count(), 0);
    QVERIFY(!m_window->findChild<QTabBar*>(QStringLiteral("tabBar"))->isTabEnabled(1));
}

void tst_MainWindow::dragAndDrop()
{
    makeWindow();
    QMimeData text;
    text.setText(QStringLiteral("no files"));
    QDragEnterEvent plain(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window.get(), &plain);
    QVERIFY(!plain.isAccepted());

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(writeFile(QStringLiteral("notes.txt")))});
    QDragEnterEvent withUrls(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window.get(), &withUrls);
    QVERIFY(withUrls.isAccepted());

    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window.get(), &drop);
    QCOMPARE(m_shown, QStringList{QStringLiteral("错误: 请拖入正确的工程文件")});
}

void tst_MainWindow::pointNumberSurvivesFocusChanges()
{
    // The acquisition panel takes entries only while the units are connected.
    SimUnitPair units;
    QVERIFY(units.Listen(QHostAddress(TransmitterAddress), QHostAddress(ReceiverAddress)));
    makeWindow();
    m_window->findChild<ZOLVA_Collector*>(QStringLiteral("m_ZOLVA_Collector"))->SetWifiQuery([] { return -1; });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_nextFile = m_dir->filePath(QStringLiteral("points.ZOLVA"));
    m_window->findChild<QPushButton*>(QStringLiteral("pushButton_Project_New"))->click();
    auto* model = m_window->findChild<QObject*>(QStringLiteral("DataModel"));
    auto* point = m_window->findChild<QLineEdit*>(QStringLiteral("PointNo"));
    QTRY_VERIFY_WITH_TIMEOUT(point->isEnabled(), TestTimeoutMs());
    // Leaving the line number would ask for that line's next point instead.
    auto* other = m_window->findChild<QLineEdit*>(QStringLiteral("ParamPeriod"));

    for (const QString& typed : {QStringLiteral("123456.7"), QStringLiteral("1234567"), QStringLiteral("-99999.5")}) {
        point->setFocus();
        point->selectAll();
        QTest::keyClicks(point, typed);
        other->setFocus();
        QCOMPARE(point->text(), typed);
        point->setFocus();
        other->setFocus();
        QCOMPARE(model->property("PointNo").toDouble(), typed.toDouble());
        QCOMPARE(point->text(), typed);
    }
}

void tst_MainWindow::onlyTitleBarCloseWritesConfig()
{
    const QString before = config();
    makeWindow();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    auto* collector = m_window->findChild<QObject*>(QStringLiteral("m_ZOLVA_Collector"));
    QCOMPARE(collector->property("DeviceIP_Send").toString(), TransmitterAddress);
    collector->setProperty("DeviceIP_Send", TestLoopback::Address(TestLoopback::MainWindowTests, 3));

    m_window->close();
    QCOMPARE(config(), before);

    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("pushButton_Close")), Qt::LeftButton);
    QVERIFY(!m_window->isVisible());
    QSettings written(QStringLiteral("config.ini"), QSettings::IniFormat);
    QCOMPARE(written.value(QStringLiteral("SysConf/SendIP")).toString(),
             TestLoopback::Address(TestLoopback::MainWindowTests, 3));
    QCOMPARE(written.value(QStringLiteral("SysConf/RecvIP")).toString(), ReceiverAddress);
}

void tst_MainWindow::developerMode_data()
{
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("asked");
    QTest::addColumn<bool>("on");

    const QDate date(2026, 12, 6);
    const QString right = DeveloperAccess::passwordFor(date);
    QTest::newRow("six clicks") << 6 << date << right << 0 << false;
    QTest::newRow("seventh asks") << 7 << date << right << 1 << true;
    QTest::newRow("wrong password") << 7 << date << QStringLiteral("0000") << 1 << false;
    QTest::newRow("cancelled") << 7 << date << QString() << 1 << false;
    QTest::newRow("from 2027 on") << 7 << QDate(2027, 1, 2) << DeveloperAccess::passwordFor(QDate(2027, 1, 2)) << 1
                                  << false;
    QTest::newRow("next click turns off") << 8 << date << right << 1 << false;
    QTest::newRow("fourteen clicks") << 14 << date << right << 2 << true;
}

void tst_MainWindow::developerMode()
{
    QFETCH(int, clicks);
    QFETCH(QDate, today);
    QFETCH(QString, password);
    QFETCH(int, asked);
    QFETCH(bool, on);

    m_password = password;
    makeWindow();
    m_window->setDateSource([today] { return today; });
    auto* logo = m_window->findChild<QPushButton*>(QStringLiteral("btn_Logo"));
    for (int i = 0; i < clicks; ++i)
        logo->click();

    QCOMPARE(m_asked.size(), asked);
    if (asked > 0)
        QCOMPARE(m_asked.first(), QStringLiteral("开发者模式 请输入密码:"));
    QCOMPARE(!m_window->findChild<QWidget*>(QStringLiteral("groupBox_StartTime"))->isHidden(), on);
    QCOMPARE(!m_window->findChild<QWidget*>(QStringLiteral("ContinueMode"))->isHidden(), on);
    // No project is open, so the export stays hidden.
    QVERIFY(m_window->findChild<QWidget*>(QStringLiteral("pushButton_Export_USF"))->isHidden());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
