#include "platform/NativeWindowSystem.h"
#include "tests/support/TestEnvironment.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <QtTest>

namespace {

// Plays the window's own message handling: a 3-pixel left border and a
// 20-pixel caption; a double click on the caption may be kept from the system.
class BorderAndCaption : public QAbstractNativeEventFilter
{
public:
    BorderAndCaption() { QCoreApplication::instance()->installNativeEventFilter(this); }
    ~BorderAndCaption() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override
    {
        if (eventType != NativeWindowSystem::messageEventType())
            return false;
        const auto* msg = static_cast<NativeMessage*>(message);
        if (msg->message == NativeMessageId::NcLButtonDblClk && keepDoubleClick) {
            *result = 0;
            return true;
        }
        if (msg->message != NativeMessageId::NcHitTest)
            return false;
        const QPoint pos = window->mapFromGlobal(QPoint(msg->pt.x, msg->pt.y));
        *result = pos.x() < 3 ? HitLeft : pos.y() < 20 ? HitCaption : HitClient;
        return true;
    }

    QWindow* window = nullptr;
    bool keepDoubleClick = false;
};

// A frameless 400 x 300 window at (100, 50), shown.
bool showFrameless(QWidget& widget)
{
    widget.setWindowFlags(Qt::FramelessWindowHint);
    widget.setGeometry(100, 50, 400, 300);
    widget.show();
    return QTest::qWaitForWindowExposed(&widget, TestTimeoutMs());
}

}

class TestNativeWindowSystem : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { NativeWindowSystem::setMoveResizeHook({}); }

    void windowFunctionsActOnQtWindows()
    {
        QWidget widget;
        QVERIFY(showFrameless(widget));
        const NativeHandle handle = widget.winId();

        QCOMPARE(NativeWindowSystem::windowStyle(handle), NativeStyle::Popup);
        QCOMPARE(NativeWindowSystem::setWindowStyle(handle, NativeStyle::Popup | NativeStyle::Caption),
                 NativeStyle::Popup);
        QCOMPARE(NativeWindowSystem::windowStyle(handle), NativeStyle::Popup | NativeStyle::Caption);

        QVERIFY(NativeWindowSystem::setWindowPos(handle, 0, 0, 0, 0, NativePos::NoMove | NativePos::NoSize));
        QCOMPARE(widget.geometry(), QRect(100, 50, 400, 300));
        QVERIFY(NativeWindowSystem::setWindowPos(handle, 120, 70, 0, 0, NativePos::NoSize));
        QTRY_COMPARE_WITH_TIMEOUT(widget.geometry(), QRect(120, 70, 400, 300), TestTimeoutMs());
        QVERIFY(NativeWindowSystem::setWindowPos(handle, 0, 0, 500, 350, NativePos::NoMove));
        QTRY_COMPARE_WITH_TIMEOUT(widget.geometry(), QRect(120, 70, 500, 350), TestTimeoutMs());
    }

    void pointerInputFollowsStyleAndAnswers_data()
    {
        QTest::addColumn<quint32>("style");
        QTest::addColumn<bool>("keepDoubleClick");
        QTest::addColumn<QList<Qt::Edges>>("started");
        QTest::addColumn<bool>("maximised");
        const quint32 full =
            NativeStyle::Popup | NativeStyle::Caption | NativeStyle::ThickFrame | NativeStyle::MaximizeBox;
        const Qt::Edges move;
        QTest::newRow("framed") << full << false << QList<Qt::Edges>{Qt::LeftEdge, move} << true;
        QTest::newRow("double click kept") << full << true << QList<Qt::Edges>{Qt::LeftEdge, move} << false;
        QTest::newRow("no resize border")
            << (full & ~NativeStyle::ThickFrame) << false << QList<Qt::Edges>{move} << true;
        QTest::newRow("no maximise box") << (full & ~NativeStyle::MaximizeBox) << false
                                         << QList<Qt::Edges>{Qt::LeftEdge, move} << false;
    }

    // A press on the border; on the caption a click, then a press that moves
    // less than the drag distance and one that moves more; a click on the
    // client area; a double click on the caption.
    void pointerInputFollowsStyleAndAnswers()
    {
        QFETCH(quint32, style);
        QFETCH(bool, keepDoubleClick);
        QFETCH(QList<Qt::Edges>, started);
        QFETCH(bool, maximised);
        QList<Qt::Edges> calls;
        NativeWindowSystem::setMoveResizeHook([&](QWindow*, Qt::Edges edges) {
            calls.append(edges);
            return true;
        });
        QWidget widget;
        QVERIFY(showFrameless(widget));
        BorderAndCaption answers;
        answers.window = widget.windowHandle();
        answers.keepDoubleClick = keepDoubleClick;
        NativeWindowSystem::setWindowStyle(widget.winId(), style);

        QWindow* window = widget.windowHandle();
        const int slop = QApplication::startDragDistance();
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(1, 150));
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(200, 10));
        for (const int distance : {slop - 1, slop}) {
            QTest::mousePress(window, Qt::LeftButton, {}, QPoint(200, 10));
            QTest::mouseMove(window, QPoint(200 + distance, 10));
            QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(200 + distance, 10));
        }
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(200, 150));
        QTest::mouseDClick(window, Qt::LeftButton, {}, QPoint(200, 10));
        QCOMPARE(calls, started);
        QTRY_COMPARE_WITH_TIMEOUT(widget.isMaximized(), maximised, TestTimeoutMs());
    }

    void bordersShowResizeShapes()
    {
        QWidget widget;
        auto* link = new QWidget(&widget);
        link->setGeometry(0, 100, 100, 100);
        link->setCursor(Qt::PointingHandCursor);
        QVERIFY(showFrameless(widget));
        BorderAndCaption answers;
        answers.window = widget.windowHandle();
        NativeWindowSystem::setWindowStyle(widget.winId(), NativeStyle::Popup | NativeStyle::ThickFrame);
        QWindow* window = widget.windowHandle();
        auto hover = [window](const QPoint& pos) {
            QTest::mouseMove(window, pos);
            QCoreApplication::processEvents();
            return window->cursor().shape();
        };

        QCOMPARE(hover(QPoint(1, 50)), Qt::SizeHorCursor);
        QCOMPARE(hover(QPoint(50, 50)), Qt::ArrowCursor);
        QCOMPARE(hover(QPoint(1, 150)), Qt::SizeHorCursor);
        QCOMPARE(hover(QPoint(50, 150)), Qt::PointingHandCursor);

        widget.showMaximized();
        QTRY_VERIFY_WITH_TIMEOUT(widget.isMaximized(), TestTimeoutMs());
        QCOMPARE(hover(QPoint(1, 150)), Qt::PointingHandCursor);
    }
};

QTEST_MAIN(TestNativeWindowSystem)
#include "tst_nativewindowsystem.moc"
