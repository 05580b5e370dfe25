#include "WindowTest.h"
#include "platform/NativeWindowSystem.h"
#include "tests/support/TestEnvironment.h"

#include <QMouseEvent>
#include <QSet>
#include <QStackedWidget>
#include <QTest>

namespace {

// Nothing here opens a project, so nothing connects to these.
const QString TransmitterAddress = TestLoopback::Address(TestLoopback::MainWindowTests, 203);
const QString ReceiverAddress = TestLoopback::Address(TestLoopback::MainWindowTests, 204);

// The presses that reach a widget, each once however far it propagates.
struct PressCounter : QObject
{
    QSet<ulong> pressed;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched->isWidgetType() && event->type() == QEvent::MouseButtonPress)
            pressed.insert(static_cast<QMouseEvent*>(event)->timestamp());
        return false;
    }
};

} // namespace

// Where the main window can be dragged and where it takes clicks, in the
// coordinates it draws in. CTest runs this once as the screen is and once on
// a screen that Qt scales by two.
class tst_WindowCaption : public WindowTest
{
    Q_OBJECT

    // The frame's answer for a point of the window, as the system asks it.
    int hitAt(const QPoint& pos) const
    {
        NativeMessage message;
        message.window = m_window->winId();
        message.message = NativeMessageId::NcHitTest;
        const QPoint global = m_window->mapToGlobal(pos);
        message.pt = {global.x(), global.y()};
        long result = 0;
        return NativeWindowSystem::sendMessage(message, &result) ? int(result) : 0;
    }

    QPoint inWindow(const char* name, const QPoint& pos) const { return widget(name)->mapTo(m_window.get(), pos); }

private slots:
    void initTestCase()
    {
        // Makes sure the scaled run is scaled.
        QCOMPARE(qApp->devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble());
    }

    void init()
    {
        QVERIFY(setUp(TransmitterAddress, ReceiverAddress));
        makeWindow();
        m_window->resize(m_window->minimumSize());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get(), TestTimeoutMs()));
    }

    void cleanup()
    {
        NativeWindowSystem::setMoveResizeHook({});
        tearDown();
    }

    void titleBarIsCaptionPagesAreClient_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("minimum size") << QSize();
        QTest::newRow("1920x1080") << QSize(1920, 1080);
    }

    void titleBarIsCaptionPagesAreClient()
    {
        QFETCH(QSize, size);
        const QSize wanted = size.isValid() ? size : m_window->minimumSize();
        m_window->resize(wanted);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->size(), wanted, TestTimeoutMs());
        // The pages take any height beyond what the bar asks for.
        QWidget* bar = widget("widget_title");
        QVERIFY2(bar->height() <= bar->sizeHint().height(), qPrintable(QString::number(bar->height())));
        const int barBottom = bar->height() - 1;
        // The bar's bare background and its name label drag the window; its
        // controls do not.
        const QPoint name = inWindow("label_ZOLVA", widget("label_ZOLVA")->rect().center());
        for (const QPoint& pos : {name, QPoint(name.x(), barBottom), QPoint(name.x(), 4)})
            QVERIFY2(hitAt(pos) == HitCaption, qPrintable(QStringLiteral("(%1, %2)").arg(pos.x()).arg(pos.y())));
        // The resize border keeps its 3 px in the window's own pixels.
        QCOMPARE(hitAt(QPoint(name.x(), 3)), int(HitTop));
        for (const char* control : {"btn_Logo", "tabBar", "pushButton_Min", "pushButton_Close"})
            QVERIFY2(hitAt(inWindow(control, widget(control)->rect().center())) == HitClient, control);

        // Every page begins right below the bar, and its first row is client
        // from one resize border to the other.
        auto* pages = widget<QStackedWidget>("stackedWidget");
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            const int top = pages->currentWidget()->mapTo(m_window.get(), QPoint(0, 0)).y();
            QCOMPARE(top, barBottom + 1);
            for (int x = 4; x < m_window->width() - 4; x += 5)
                QVERIFY2(hitAt(QPoint(x, top)) == HitClient,
                         qPrintable(QStringLiteral("page %1 x %2").arg(page).arg(x)));
        }
    }

    // A press on the first row of a page reaches the widget there: the frame
    // neither takes it nor starts a move.
    void firstRowTakesPresses()
    {
        PressCounter widgetPresses;
        qApp->installEventFilter(&widgetPresses);
        int moves = 0;
        NativeWindowSystem::setMoveResizeHook([&moves](QWindow*, Qt::Edges) { return ++moves, true; });
        auto* pages = widget<QStackedWidget>("stackedWidget");
        int presses = 0;
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            const int top = pages->currentWidget()->mapTo(m_window.get(), QPoint(0, 0)).y();
            for (int x = 20; x < m_window->width() - 20; x += 40, ++presses)
                QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(x, top));
        }
        QCOMPARE(widgetPresses.pressed.size(), presses);
        QCOMPARE(moves, 0);
    }
};

QTEST_MAIN(tst_WindowCaption)
#include "tst_windowcaption.moc"
