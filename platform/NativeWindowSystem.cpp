#include "platform/NativeWindowSystem.h"

#include "platform/NativeWindowFrame.h"

#include <QAbstractEventDispatcher>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace {

// The width of the sizing border the system gives framed windows.
constexpr int FrameMetric = 4;

NativeWindowSystem::MoveResizeHook& moveResizeHook()
{
    static NativeWindowSystem::MoveResizeHook hook;
    return hook;
}

// Only windows that already have a native handle: looking one up must not
// create it.
QWindow* windowFor(NativeHandle handle)
{
    if (!handle || !qGuiApp)
        return nullptr;
    const QWindowList windows = QGuiApplication::allWindows();
    for (QWindow* window : windows) {
        if (window->handle() && window->winId() == handle)
            return window;
    }
    return nullptr;
}

}

const QByteArray& NativeWindowSystem::messageEventType()
{
    static const QByteArray type = QByteArrayLiteral("zolva_native_window_message");
    return type;
}

bool NativeWindowSystem::sendMessage(NativeMessage& message, long* result)
{
    QCoreApplication* app = QCoreApplication::instance();
    QAbstractEventDispatcher* dispatcher = app ? QAbstractEventDispatcher::instance(app->thread()) : nullptr;
    return dispatcher && dispatcher->filterNativeEvent(messageEventType(), &message, result);
}

quint32 NativeWindowSystem::windowStyle(NativeHandle handle)
{
    QWindow* window = windowFor(handle);
    if (!window)
        return 0;
    if (const NativeWindowFrame* frame = NativeWindowFrame::find(window))
        return frame->style();
    if (window->flags() & Qt::FramelessWindowHint)
        return NativeStyle::Popup;
    return NativeStyle::Caption | NativeStyle::SysMenu | NativeStyle::ThickFrame | NativeStyle::MinimizeBox
        | NativeStyle::MaximizeBox;
}

quint32 NativeWindowSystem::setWindowStyle(NativeHandle handle, quint32 style)
{
    QWindow* window = windowFor(handle);
    if (!window)
        return 0;
    const quint32 previous = windowStyle(handle);
    NativeWindowFrame::attach(window)->setStyle(style);
    return previous;
}

// A frame change needs nothing here: the window manager draws frames from
// the window's own hints, and a styled window has none.
bool NativeWindowSystem::setWindowPos(NativeHandle handle, int x, int y, int width, int height, quint32 flags)
{
    QWindow* window = windowFor(handle);
    if (!window)
        return false;
    QRect geometry = window->frameGeometry();
    if (!(flags & NativePos::NoMove))
        geometry.moveTopLeft(QPoint(x, y));
    if (!(flags & NativePos::NoSize))
        geometry.setSize(QSize(width, height));
    // Asking again for the geometry a window has makes some window managers
    // take a maximised window out of its maximised state.
    if (geometry != window->frameGeometry())
        window->setGeometry(geometry.marginsRemoved(window->frameMargins()));
    return true;
}

// A window styled here carries no system frame or shadow that could reach
// into its client area, so there is nothing to extend.
bool NativeWindowSystem::extendFrameIntoClientArea(NativeHandle handle, const QMargins&)
{
    return windowFor(handle) != nullptr;
}

// The window system here never paints a frame over a window's client area
// when it is activated, which is what composition guarantees elsewhere.
bool NativeWindowSystem::isCompositionEnabled()
{
    return true;
}

bool NativeWindowSystem::windowPlacement(NativeHandle handle, int* showCommand)
{
    const QWindow* window = windowFor(handle);
    if (!window)
        return false;
    const Qt::WindowStates states = window->windowStates();
    *showCommand = states & Qt::WindowMinimized ? ShowMinimized
        : states & Qt::WindowMaximized          ? ShowMaximized
                                                : ShowNormal;
    return true;
}

bool NativeWindowSystem::monitorWorkArea(NativeHandle handle, NativeRect* workArea)
{
    const QWindow* window = windowFor(handle);
    const QScreen* screen = window ? window->screen() : nullptr;
    if (!screen)
        return false;
    const QRect area = screen->availableGeometry();
    *workArea = {area.left(), area.top(), area.right() + 1, area.bottom() + 1};
    return true;
}

int NativeWindowSystem::systemMetric(int metric)
{
    switch (metric) {
    case MetricFrameWidth:
    case MetricFrameHeight:
        return FrameMetric;
    default:
        return 0;
    }
}

NativePoint NativeWindowSystem::cursorPos()
{
    const QPoint pos = QCursor::pos();
    return {pos.x(), pos.y()};
}

bool NativeWindowSystem::startMoveResize(QWindow* window, Qt::Edges edges)
{
    if (moveResizeHook())
        return moveResizeHook()(window, edges);
    return edges ? window->startSystemResize(edges) : window->startSystemMove();
}

void NativeWindowSystem::setMoveResizeHook(MoveResizeHook hook)
{
    moveResizeHook() = std::move(hook);
}
