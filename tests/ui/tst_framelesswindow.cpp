#include "platform/NativeWindowSystem.h"
#include "tests/support/TestEnvironment.h"
#include "ui/FramelessHelper.h"

#include <QAbstractEventDispatcher>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QWindow>
#include <QtTest>

Q_DECLARE_METATYPE(QMargins)

namespace {

// A 400 x 300 frameless window at (100, 50): a 40-pixel title bar holding
// a group whose right label counts as caption, a bare stretch and a close
// button.
class TitledWindow : public QWidget
{
public:
    TitledWindow()
    {
        setWindowFlags(Qt::FramelessWindowHint);
        setGeometry(100, 50, 400, 300);
        auto* group = new QWidget(this);
        group->setGeometry(0, 0, 160, 40);
        (new QLabel(QStringLiteral("ZOLVA"), group))->setGeometry(10, 0, 60, 40);
        auto* captionLabel = new QLabel(QStringLiteral("title"), group);
        captionLabel->setGeometry(90, 0, 60, 40);
        auto* closeButton = new QPushButton(QStringLiteral("r"), this);
        closeButton->setGeometry(360, 0, 40, 40);

        helper = new FramelessHelper(this);
        helper->setDraggableMargins(3, 3, 3, 3);
        helper->setTitleBarHeight(40);
        helper->addExcludedWidget(closeButton);
        helper->addExcludedWidget(group);
        helper->addCaptionWidget(captionLabel);
    }

    bool showExposed()
    {
        show();
        return QTest::qWaitForWindowExposed(this, TestTimeoutMs());
    }

    using QWidget::create;
    using QWidget::destroy;

    FramelessHelper* helper;
};

NativeMessage messageTo(const QWidget& window, NativeMessageId id, const QPoint& pos = {}, const void* data = nullptr)
{
    NativeMessage message;
    message.window = window.winId();
    message.message = id;
    message.lParam = reinterpret_cast<qintptr>(data);
    const QPoint global = window.mapToGlobal(pos);
    message.pt = {global.x(), global.y()};
    return message;
}

bool send(NativeMessage message, long* result)
{
    *result = -1;
    return NativeWindowSystem::sendMessage(message, result);
}

// 0 when the message is left to the system.
int hitAt(const QWidget& window, const QPoint& pos)
{
    long result = 0;
    return send(messageTo(window, NativeMessageId::NcHitTest, pos), &result) ? int(result) : 0;
}

QRect rect(const NativeRect& r)
{
    return QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom));
}

}

class TestFramelessWindow : public QObject
{
    Q_OBJECT

private slots:
    void hitTestNamesBordersAndCaption_data()
    {
        QTest::addColumn<QMargins>("margins");
        QTest::addColumn<Qt::Orientations>("resizable");
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("code");
        const QMargins m(3, 3, 3, 3);
        const Qt::Orientations both = Qt::Horizontal | Qt::Vertical;
        QTest::newRow("top left") << m << both << QPoint(3, 3) << int(HitTopLeft);
        QTest::newRow("top right") << m << both << QPoint(397, 0) << int(HitTopRight);
        QTest::newRow("bottom left") << m << both << QPoint(0, 299) << int(HitBottomLeft);
        QTest::newRow("bottom right") << m << both << QPoint(399, 297) << int(HitBottomRight);
        QTest::newRow("top") << m << both << QPoint(200, 3) << int(HitTop);
        QTest::newRow("left") << m << both << QPoint(3, 150) << int(HitLeft);
        QTest::newRow("right") << m << both << QPoint(397, 150) << int(HitRight);
        QTest::newRow("inside right") << m << both << QPoint(396, 150) << int(HitClient);
        QTest::newRow("bottom") << m << both << QPoint(200, 297) << int(HitBottom);
        QTest::newRow("bare title bar") << m << both << QPoint(200, 20) << int(HitCaption);
        QTest::newRow("excluded button") << m << both << QPoint(380, 20) << int(HitClient);
        QTest::newRow("excluded group") << m << both << QPoint(40, 20) << int(HitClient);
        QTest::newRow("caption in excluded group") << m << both << QPoint(120, 20) << int(HitCaption);
        QTest::newRow("fixed size corner") << m << Qt::Orientations() << QPoint(399, 299) << int(HitClient);
        QTest::newRow("only wide: top") << m << Qt::Orientations(Qt::Horizontal) << QPoint(200, 1) << int(HitClient);
        QTest::newRow("only wide: left") << m << Qt::Orientations(Qt::Horizontal) << QPoint(1, 150) << int(HitLeft);
        QTest::newRow("zero margins: system border") << QMargins() << both << QPoint(4, 150) << int(HitLeft);
        QTest::newRow("zero top: system border") << QMargins(3, 0, 3, 3) << both << QPoint(200, 4) << int(HitTop);
    }

    void hitTestNamesBordersAndCaption()
    {
        QFETCH(QMargins, margins);
        QFETCH(Qt::Orientations, resizable);
        QFETCH(QPoint, pos);
        TitledWindow window;
        if (!resizable.testFlag(Qt::Horizontal))
            window.setFixedWidth(400);
        if (!resizable.testFlag(Qt::Vertical))
            window.setFixedHeight(300);
        window.helper->setDraggableMargins(margins);
        QVERIFY(window.showExposed());
        QCOMPARE(window.size(), QSize(400, 300));
        QTEST(hitAt(window, pos), "code");
    }

    // Pointer input on the window itself: the caption moves it once dragged,
    // each border resizes its own edges, controls and the body start
    // nothing, and a double click on the caption maximises and restores.
    void pointerMovesResizesAndMaximises()
    {
        QList<Qt::Edges> started;
        NativeWindowSystem::setMoveResizeHook([&](QWindow*, Qt::Edges edges) {
            started.append(edges);
            return true;
        });
        const auto unhook = qScopeGuard([] { NativeWindowSystem::setMoveResizeHook({}); });
        TitledWindow window;
        QSignalSpy maximized(window.helper, &FramelessHelper::maximizedChanged);
        QVERIFY(window.showExposed());
        QWindow* handle = window.windowHandle();
        const QPoint caption(200, window.helper->titleBarHeight() / 2);

        QTest::mousePress(handle, Qt::LeftButton, {}, caption);
        QTest::mouseMove(handle, caption + QPoint(30, 0));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, caption + QPoint(30, 0));
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(399, 150));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(399, 150));
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(1, 298));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(1, 298));
        QCOMPARE(started, (QList<Qt::Edges>{{}, Qt::RightEdge, Qt::LeftEdge | Qt::BottomEdge}));

        started.clear();
        auto* closeButton = window.findChild<QPushButton*>();
        QSignalSpy clicked(closeButton, &QPushButton::clicked);
        QTest::mouseClick(handle, Qt::LeftButton, {}, closeButton->geometry().center());
        QTest::mouseClick(handle, Qt::LeftButton, {}, QPoint(200, 200));
        QCOMPARE(started, QList<Qt::Edges>());
        QCOMPARE(clicked.count(), 1);

        QTest::mouseDClick(handle, Qt::LeftButton, {}, caption);
        QTRY_VERIFY_WITH_TIMEOUT(window.helper->isMaximized(), TestTimeoutMs());
        QCOMPARE(maximized.count(), 1);
        // A maximised window keeps its size.
        started.clear();
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(window.width() - 1, 150));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(window.width() - 1, 150));
        QCOMPARE(started, QList<Qt::Edges>());
        QTest::mouseDClick(handle, Qt::LeftButton, {}, caption);
        QTRY_VERIFY_WITH_TIMEOUT(!window.helper->isMaximized(), TestTimeoutMs());
        QCOMPARE(maximized.count(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(window.geometry(), QRect(100, 50, 400, 300), TestTimeoutMs());

        // A window of fixed size keeps it.
        window.setFixedSize(400, 300);
        QTest::mouseDClick(handle, Qt::LeftButton, {}, caption);
        QCoreApplication::processEvents();
        QVERIFY(!window.isMaximized());
    }

    void messagesFollowWindowState()
    {
        TitledWindow window;
        window.setMinimumSize(200, 150);
        window.setMaximumSize(700, 500);
        window.helper->setMaximizedMargins(8, 6, 4, 2);
        QVERIFY(window.showExposed());
        const QRect work = window.screen()->availableGeometry();
        long result = 0;

        NativeMinMaxInfo info;
        QVERIFY(send(messageTo(window, NativeMessageId::GetMinMaxInfo, {}, &info), &result));
        QCOMPARE(result, 0);
        QCOMPARE(QPoint(info.maxPosition.x, info.maxPosition.y), QPoint(-8, -6));
        QCOMPARE(QSize(info.maxSize.x, info.maxSize.y), work.size() + QSize(12, 8));
        QCOMPARE(QSize(info.minTrackSize.x, info.minTrackSize.y), QSize(200, 150));
        QCOMPARE(QSize(info.maxTrackSize.x, info.maxTrackSize.y), QSize(700, 500));

        NativeCalcSizeParams params;
        params.rects[0] = {100, 50, 500, 350};
        NativeMessage calc = messageTo(window, NativeMessageId::NcCalcSize, {}, &params);
        QVERIFY(!send(calc, &result));
        calc.wParam = 1;
        QVERIFY(send(calc, &result));
        QCOMPARE(result, 0);
        QCOMPARE(rect(params.rects[0]), QRect(QPoint(100, 50), QPoint(500, 350)));
        // The system maximises on a double click on the caption, unless the size is fixed.
        const NativeMessage doubleClick = messageTo(window, NativeMessageId::NcLButtonDblClk);
        QVERIFY(!send(doubleClick, &result));
        window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        QSignalSpy maximized(window.helper, &FramelessHelper::maximizedChanged);
        window.showMaximized();
        QTRY_VERIFY_WITH_TIMEOUT(window.helper->isMaximized(), TestTimeoutMs());
        QCOMPARE(maximized.count(), 1);
        QVERIFY(send(calc, &result));
        QCOMPARE(rect(params.rects[0]), QRect(work.topLeft() - QPoint(8, 6), work.bottomRight() + QPoint(5, 3)));

        QVERIFY(!send(messageTo(window, NativeMessageId::NcActivate), &result));
        NativeMessage stranger = messageTo(window, NativeMessageId::NcHitTest);
        stranger.window += 1000;
        QVERIFY(!send(stranger, &result));
        // Every native event of the application reaches the filter; one of
        // another type must not be read as a window message.
        NativeMessage hit = messageTo(window, NativeMessageId::NcHitTest, QPoint(200, 20));
        auto* dispatcher = QAbstractEventDispatcher::instance();
        QVERIFY(dispatcher->filterNativeEvent(NativeWindowSystem::messageEventType(), &hit, &result));
        QVERIFY(!dispatcher->filterNativeEvent(QByteArrayLiteral("xcb_generic_event_t"), &hit, &result));
        window.setFixedSize(400, 300);
        QVERIFY(send(doubleClick, &result));
    }

    void dpiChangeScalesOnce()
    {
        TitledWindow window;
        QVERIFY(window.showExposed());
        QSignalSpy spy(window.helper, &FramelessHelper::scaleFactorChanged);
        auto dpiChange = [&](int dpi, const QRect& suggested) {
            const NativeRect r{suggested.left(), suggested.top(), suggested.right() + 1, suggested.bottom() + 1};
            NativeMessage message = messageTo(window, NativeMessageId::DpiChanged, {}, &r);
            message.wParam = quintptr(dpi) | quintptr(dpi) << 16;
            long result = 0;
            return send(message, &result);
        };
        QVERIFY(!dpiChange(120, window.geometry()));
        QCOMPARE(spy.count(), 0);
        QVERIFY(!dpiChange(144, QRect(150, 60, 600, 450)));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toDouble(), 2.0);
        QTRY_COMPARE_WITH_TIMEOUT(window.geometry(), QRect(150, 60, 600, 450), TestTimeoutMs());
        // Qt leaves this scale to the window: the borders follow it, while
        // the caption stays the title bar the window draws.
        QCOMPARE(hitAt(window, QPoint(6, 200)), int(HitLeft));
        QCOMPARE(hitAt(window, QPoint(7, 200)), int(HitClient));
        QCOMPARE(hitAt(window, QPoint(300, 39)), int(HitCaption));
        QCOMPARE(hitAt(window, QPoint(300, 40)), int(HitClient));
        QVERIFY(!dpiChange(96, window.geometry()));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(window.helper->scaleFactor(), 1.0);
    }

    // The native helper dies with the window's QWindow, which a recreated
    // native window replaces, and outlives a FramelessHelper deleted first.
    void nativeHandlingFollowsTheWindow()
    {
        TitledWindow window;
        QVERIFY(window.showExposed());
        const NativeHandle first = window.winId();
        window.destroy();
        window.create();
        window.show();
        QVERIFY(window.winId() != first);
        QCOMPARE(hitAt(window, QPoint(200, 20)), int(HitCaption));
        QCOMPARE(hitAt(window, QPoint(200, 200)), int(HitClient));
        QCOMPARE(window.helper->scaleFactor(), 1.0);

        delete window.helper;
        QCOMPARE(hitAt(window, QPoint(200, 200)), int(HitCaption));
        QCOMPARE(hitAt(window, QPoint(1, 150)), int(HitLeft));
    }
};

QTEST_MAIN(TestFramelessWindow)
#include "tst_framelesswindow.moc"
