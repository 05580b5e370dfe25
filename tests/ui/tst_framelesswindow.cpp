#include "platform/NativeWindowSystem.h"
#include "ui/FramelessHelper.h"

#include <QAbstractEventDispatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <QtTest>

Q_DECLARE_METATYPE(QMargins)

namespace {

// A 400 x 300 frameless window at (100, 50): a 40-pixel title bar holding a
// bare stretch, a close button and a group whose label counts as caption,
// over a 260-pixel body.
class TitledWindow : public QWidget
{
public:
    TitledWindow()
    {
        setWindowFlags(Qt::FramelessWindowHint);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        // The test sets the window's size limits itself.
        layout->setSizeConstraint(QLayout::SetNoConstraint);
        titleBar = new QWidget(this);
        titleBar->setFixedHeight(40);
        auto* bar = new QHBoxLayout(titleBar);
        bar->setContentsMargins(0, 0, 0, 0);
        group = new QWidget(titleBar);
        groupLabel = new QLabel(QStringLiteral("ZOLVA"), group);
        auto* groupLayout = new QHBoxLayout(group);
        groupLayout->addWidget(groupLabel);
        captionLabel = new QLabel(QStringLiteral("title"), group);
        groupLayout->addWidget(captionLabel);
        bar->addWidget(group);
        bar->addStretch();
        closeButton = new QPushButton(QStringLiteral("r"), titleBar);
        bar->addWidget(closeButton);
        layout->addWidget(titleBar);
        layout->addWidget(new QWidget(this), 1);
        setGeometry(100, 50, 400, 300);

        helper = new FramelessHelper(this);
        helper->setDraggableMargins(3, 3, 3, 3);
        helper->setTitleBarHeight(40);
        helper->addExcludedWidget(closeButton);
        helper->addExcludedWidget(group);
        helper->addCaptionWidget(captionLabel);
    }

    using QWidget::create;
    using QWidget::destroy;

    QPoint centreOf(QWidget* child) const { return child->mapTo(this, child->rect().center()); }

    QWidget* titleBar;
    QWidget* group;
    QLabel* groupLabel;
    QLabel* captionLabel;
    QPushButton* closeButton;
    FramelessHelper* helper;
};

bool send(NativeMessage& message, long* result)
{
    *result = -1;
    return NativeWindowSystem::sendMessage(message, result);
}

NativeMessage messageTo(const QWidget& window, NativeMessageId id, const QPoint& pos = {})
{
    NativeMessage message;
    message.window = window.winId();
    message.message = id;
    const QPoint global = window.mapToGlobal(pos);
    message.pt = {global.x(), global.y()};
    return message;
}

// 0 when the message is left to the system.
int hitAt(const QWidget& window, const QPoint& pos)
{
    NativeMessage message = messageTo(window, NativeMessageId::NcHitTest, pos);
    long result = 0;
    return send(message, &result) ? int(result) : 0;
}

}

class TestFramelessWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { NativeWindowSystem::setMoveResizeHook({}); }

    void hitTestNamesBordersAndCaption_data()
    {
        QTest::addColumn<QMargins>("margins");
        QTest::addColumn<int>("titleBar");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QSize>("maximum");
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("code");
        const QMargins m(3, 3, 3, 3);
        const QSize any(0, 0);
        const QSize unbounded(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        const QSize fixed(400, 300);
        QTest::newRow("top left") << m << 40 << any << unbounded << QPoint(3, 3) << int(HitTopLeft);
        QTest::newRow("top right") << m << 40 << any << unbounded << QPoint(397, 0) << int(HitTopRight);
        QTest::newRow("bottom left") << m << 40 << any << unbounded << QPoint(0, 299) << int(HitBottomLeft);
        QTest::newRow("bottom right") << m << 40 << any << unbounded << QPoint(399, 297) << int(HitBottomRight);
        QTest::newRow("top") << m << 40 << any << unbounded << QPoint(200, 3) << int(HitTop);
        QTest::newRow("left") << m << 40 << any << unbounded << QPoint(3, 150) << int(HitLeft);
        QTest::newRow("right") << m << 40 << any << unbounded << QPoint(397, 150) << int(HitRight);
        QTest::newRow("inside right") << m << 40 << any << unbounded << QPoint(396, 150) << int(HitClient);
        QTest::newRow("bottom") << m << 40 << any << unbounded << QPoint(200, 297) << int(HitBottom);
        QTest::newRow("bare title bar") << m << 40 << any << unbounded << QPoint(200, 20) << int(HitCaption);
        QTest::newRow("below title bar") << m << 40 << any << unbounded << QPoint(200, 40) << int(HitClient);
        QTest::newRow("no title bar") << m << 0 << any << unbounded << QPoint(200, 20) << int(HitClient);
        QTest::newRow("fixed size top") << m << 40 << fixed << fixed << QPoint(200, 1) << int(HitClient);
        QTest::newRow("fixed size corner") << m << 40 << fixed << fixed << QPoint(399, 299) << int(HitClient);
        QTest::newRow("only wide: top") << m << 40 << QSize(0, 300) << QSize(QWIDGETSIZE_MAX, 300) << QPoint(200, 1)
                                        << int(HitClient);
        QTest::newRow("only wide: left") << m << 40 << QSize(0, 300) << QSize(QWIDGETSIZE_MAX, 300) << QPoint(1, 150)
                                         << int(HitLeft);
        QTest::newRow("zero margins: system border")
            << QMargins() << 40 << any << unbounded << QPoint(4, 150) << int(HitLeft);
        QTest::newRow("zero top: system border")
            << QMargins(3, 0, 3, 3) << 40 << any << unbounded << QPoint(200, 4) << int(HitTop);
    }

    void hitTestNamesBordersAndCaption()
    {
        QFETCH(QMargins, margins);
        QFETCH(int, titleBar);
        QFETCH(QSize, minimum);
        QFETCH(QSize, maximum);
        QFETCH(QPoint, pos);
        QFETCH(int, code);
        TitledWindow window;
        window.setMinimumSize(minimum);
        window.setMaximumSize(maximum);
        window.helper->setDraggableMargins(margins);
        window.helper->setTitleBarHeight(titleBar);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.size(), QSize(400, 300));
        QCOMPARE(hitAt(window, pos), code);
    }

    void titleBarWidgetsDecideCaption()
    {
        TitledWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(hitAt(window, window.centreOf(window.closeButton)), int(HitClient));
        QCOMPARE(hitAt(window, window.centreOf(window.groupLabel)), int(HitClient));
        QCOMPARE(hitAt(window, window.centreOf(window.captionLabel)), int(HitCaption));
        window.helper->removeExcludedWidget(window.closeButton);
        QCOMPARE(hitAt(window, window.centreOf(window.closeButton)), int(HitCaption));
    }

    void messagesFollowWindowState()
    {
        TitledWindow window;
        window.setMinimumSize(200, 150);
        window.setMaximumSize(700, 500);
        window.helper->setMaximizedMargins(8, 6, 4, 2);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect work = window.screen()->availableGeometry();
        long result = 0;

        NativeMinMaxInfo info;
        NativeMessage minMax = messageTo(window, NativeMessageId::GetMinMaxInfo);
        minMax.lParam = reinterpret_cast<qintptr>(&info);
        QVERIFY(send(minMax, &result));
        QCOMPARE(result, 0);
        QCOMPARE(QPoint(info.maxPosition.x, info.maxPosition.y), QPoint(-8, -6));
        QCOMPARE(QSize(info.maxSize.x, info.maxSize.y), work.size() + QSize(12, 8));
        QCOMPARE(QSize(info.minTrackSize.x, info.minTrackSize.y), QSize(200, 150));
        QCOMPARE(QSize(info.maxTrackSize.x, info.maxTrackSize.y), QSize(700, 500));

        NativeCalcSizeParams params;
        params.rects[0] = {100, 50, 500, 350};
        NativeMessage calc = messageTo(window, NativeMessageId::NcCalcSize);
        calc.lParam = reinterpret_cast<qintptr>(&params);
        QVERIFY(!send(calc, &result));
        calc.wParam = 1;
        QVERIFY(send(calc, &result));
        QCOMPARE(result, 0);
        QCOMPARE(QRect(QPoint(params.rects[0].left, params.rects[0].top),
                       QPoint(params.rects[0].right, params.rects[0].bottom)),
                 QRect(QPoint(100, 50), QPoint(500, 350)));

        window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        window.showMaximized();
        QTRY_VERIFY(window.isMaximized());
        QVERIFY(send(calc, &result));
        QCOMPARE(QRect(QPoint(params.rects[0].left, params.rects[0].top),
                       QPoint(params.rects[0].right, params.rects[0].bottom)),
                 QRect(work.topLeft() - QPoint(8, 6), work.bottomRight() + QPoint(1 + 4, 1 + 2)));

        NativeMessage activate = messageTo(window, NativeMessageId::NcActivate);
        QVERIFY(!send(activate, &result));
        NativeMessage stranger = messageTo(window, NativeMessageId::NcHitTest);
        stranger.window = window.winId() + 1000;
        QVERIFY(!send(stranger, &result));
        // Every native event of the application reaches the filter; one of
        // another type must not be read as a window message.
        NativeMessage hit = messageTo(window, NativeMessageId::NcHitTest, QPoint(200, 20));
        auto* dispatcher = QAbstractEventDispatcher::instance();
        QVERIFY(dispatcher->filterNativeEvent(NativeWindowSystem::messageEventType(), &hit, &result));
        QVERIFY(!dispatcher->filterNativeEvent(QByteArrayLiteral("xcb_generic_event_t"), &hit, &result));
    }

    void dpiChangeScalesOnce()
    {
        TitledWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy spy(window.helper, &FramelessHelper::scaleFactorChanged);
        auto dpiChange = [&](int dpi, const QRect& suggested) {
            NativeRect rect{suggested.left(), suggested.top(), suggested.right() + 1, suggested.bottom() + 1};
            NativeMessage message = messageTo(window, NativeMessageId::DpiChanged);
            message.wParam = quintptr(dpi) | quintptr(dpi) << 16;
            message.lParam = reinterpret_cast<qintptr>(&rect);
            long result = 0;
            return send(message, &result);
        };
        QVERIFY(!dpiChange(120, window.geometry()));
        QCOMPARE(spy.count(), 0);
        QVERIFY(!dpiChange(144, QRect(150, 60, 600, 450)));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toDouble(), 2.0);
        QCOMPARE(window.helper->scaleFactor(), 2.0);
        QTRY_COMPARE(window.geometry(), QRect(150, 60, 600, 450));
        // Borders and the title bar follow the scale.
        QCOMPARE(hitAt(window, QPoint(6, 200)), int(HitLeft));
        QCOMPARE(hitAt(window, QPoint(300, 79)), int(HitCaption));
        QCOMPARE(hitAt(window, QPoint(300, 80)), int(HitClient));
        QVERIFY(!dpiChange(96, window.geometry()));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(window.helper->scaleFactor(), 1.0);
    }

    void pointerMovesResizesAndMaximises()
    {
        QList<Qt::Edges> started;
        NativeWindowSystem::setMoveResizeHook([&](QWindow*, Qt::Edges edges) {
            started.append(edges);
            return true;
        });
        TitledWindow window;
        QSignalSpy maximized(window.helper, &FramelessHelper::maximizedChanged);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWindow* handle = window.windowHandle();

        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(200, 20));
        QTest::mouseMove(handle, QPoint(230, 20));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(230, 20));
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(399, 150));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(399, 150));
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(1, 298));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(1, 298));
        QCOMPARE(started, (QList<Qt::Edges>{{}, Qt::RightEdge, Qt::LeftEdge | Qt::BottomEdge}));

        started.clear();
        QSignalSpy clicked(window.closeButton, &QPushButton::clicked);
        QTest::mouseClick(handle, Qt::LeftButton, {}, window.centreOf(window.closeButton));
        QTest::mouseClick(handle, Qt::LeftButton, {}, QPoint(200, 200));
        QCOMPARE(started, QList<Qt::Edges>());
        QCOMPARE(clicked.count(), 1);

        QTest::mouseDClick(handle, Qt::LeftButton, {}, QPoint(200, 20));
        QTRY_VERIFY(window.helper->isMaximized());
        QCOMPARE(maximized.count(), 1);
        // A maximised window keeps its size.
        started.clear();
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(window.width() - 1, 150));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(window.width() - 1, 150));
        QCOMPARE(started, QList<Qt::Edges>());
        QTest::mouseDClick(handle, Qt::LeftButton, {}, QPoint(200, 20));
        QTRY_VERIFY(!window.helper->isMaximized());
        QCOMPARE(maximized.count(), 2);
        QTRY_COMPARE(window.geometry(), QRect(100, 50, 400, 300));

        window.setFixedSize(400, 300);
        QTest::mouseDClick(handle, Qt::LeftButton, {}, QPoint(200, 20));
        QTest::qWait(0);
        QVERIFY(!window.isMaximized());
    }

    // The native helper dies with the window's QWindow, which a recreated
    // native window replaces, and outlives a FramelessHelper deleted first.
    void nativeHandlingFollowsTheWindow()
    {
        TitledWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
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
