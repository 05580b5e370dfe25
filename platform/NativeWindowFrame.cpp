#include "platform/NativeWindowFrame.h"

#include "platform/NativeWindowSystem.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

Qt::Edges edgesOf(int hitCode)
{
    switch (hitCode) {
    case HitLeft:
        return Qt::LeftEdge;
    case HitRight:
        return Qt::RightEdge;
    case HitTop:
        return Qt::TopEdge;
    case HitBottom:
        return Qt::BottomEdge;
    case HitTopLeft:
        return Qt::TopEdge | Qt::LeftEdge;
    case HitTopRight:
        return Qt::TopEdge | Qt::RightEdge;
    case HitBottomLeft:
        return Qt::BottomEdge | Qt::LeftEdge;
    case HitBottomRight:
        return Qt::BottomEdge | Qt::RightEdge;
    default:
        return {};
    }
}

Qt::CursorShape resizeShape(Qt::Edges edges)
{
    if (edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge))
        return Qt::SizeFDiagCursor;
    if (edges == (Qt::TopEdge | Qt::RightEdge) || edges == (Qt::BottomEdge | Qt::LeftEdge))
        return Qt::SizeBDiagCursor;
    return edges & (Qt::LeftEdge | Qt::RightEdge) ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

// A widget's window goes through its widget, which keeps the geometry to
// restore; the window alone loses it to the widget's own resizing.
void toggleMaximized(QWindow* window)
{
    const bool maximized = window->windowStates() & Qt::WindowMaximized;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget* widget : widgets) {
        if (widget->windowHandle() == window) {
            if (maximized)
                widget->showNormal();
            else
                widget->showMaximized();
            return;
        }
    }
    if (maximized)
        window->showNormal();
    else
        window->showMaximized();
}

}

NativeWindowFrame::NativeWindowFrame(QWindow* window)
    : QObject(window)
    , window(window)
{
    window->installEventFilter(this);
    connect(window, &QWindow::screenChanged, this, [this](QScreen* screen) {
        watchScreen(screen);
        sendDpiChanged();
    });
    watchScreen(window->screen());
}

NativeWindowFrame* NativeWindowFrame::attach(QWindow* window)
{
    if (NativeWindowFrame* frame = find(window))
        return frame;
    return new NativeWindowFrame(window);
}

NativeWindowFrame* NativeWindowFrame::find(const QWindow* window)
{
    return window->findChild<NativeWindowFrame*>(QString(), Qt::FindDirectChildrenOnly);
}

// Without an answer the whole window is client area: it has no system frame.
int NativeWindowFrame::hitTest(const QPoint& globalPos) const
{
    NativeMessage message;
    message.window = window->winId();
    message.message = NativeMessageId::NcHitTest;
    message.pt = {globalPos.x(), globalPos.y()};
    long result = HitClient;
    if (!NativeWindowSystem::sendMessage(message, &result))
        return HitClient;
    return int(result);
}

// A maximised window keeps its size, as framed windows do.
bool NativeWindowFrame::canResize() const
{
    return (windowStyle & NativeStyle::ThickFrame) && !(window->windowStates() & Qt::WindowMaximized);
}

// A caption press becomes a move only once the pointer travels: a window
// manager that took the pointer at once would swallow the second press of a
// double click.
bool NativeWindowFrame::pressed(const QPoint& globalPos)
{
    captionPressed = false;
    const int code = hitTest(globalPos);
    if (code == HitCaption) {
        captionPress = globalPos;
        captionPressed = true;
        return true;
    }
    const Qt::Edges edges = edgesOf(code);
    return edges && canResize() && NativeWindowSystem::startMoveResize(window, edges);
}

bool NativeWindowFrame::dragged(const QPoint& globalPos)
{
    if ((globalPos - captionPress).manhattanLength() < QApplication::startDragDistance())
        return true;
    captionPressed = false;
    NativeWindowSystem::startMoveResize(window, {});
    return true;
}

bool NativeWindowFrame::doubleClicked(const QPoint& globalPos)
{
    const int code = hitTest(globalPos);
    if (code == HitClient)
        return false;
    NativeMessage message;
    message.window = window->winId();
    message.message = NativeMessageId::NcLButtonDblClk;
    message.wParam = quintptr(code);
    message.pt = {globalPos.x(), globalPos.y()};
    long result = 0;
    if (!NativeWindowSystem::sendMessage(message, &result) && code == HitCaption
        && (windowStyle & NativeStyle::MaximizeBox))
        toggleMaximized(window);
    return true;
}

// Applied once the move has reached the widgets: one the pointer enters sets
// its own shape, which must not win over a border's.
void NativeWindowFrame::hovered(const QPoint& globalPos)
{
    const Qt::Edges edges = canResize() ? edgesOf(hitTest(globalPos)) : Qt::Edges();
    if (!edges && !resizeCursorShown)
        return;
    resizeCursorShown = bool(edges);
    QMetaObject::invokeMethod(
        this, [this, edges, globalPos] { showCursor(edges, globalPos); }, Qt::QueuedConnection);
}

// Off the borders the pointer takes back the shape of the widget under it.
void NativeWindowFrame::showCursor(Qt::Edges edges, const QPoint& globalPos)
{
    if (edges) {
        window->setCursor(resizeShape(edges));
        return;
    }
    for (const QWidget* widget = QApplication::widgetAt(globalPos); widget; widget = widget->parentWidget()) {
        if (widget->testAttribute(Qt::WA_SetCursor)) {
            window->setCursor(widget->cursor());
            return;
        }
    }
    window->unsetCursor();
}

bool NativeWindowFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        return mouse->button() == Qt::LeftButton && pressed(mouse->globalPos());
    }
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        return mouse->button() == Qt::LeftButton && doubleClicked(mouse->globalPos());
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !captionPressed)
            return false;
        captionPressed = false;
        return true;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (captionPressed && (mouse->buttons() & Qt::LeftButton))
            return dragged(mouse->globalPos());
        if (mouse->buttons() == Qt::NoButton)
            hovered(mouse->globalPos());
        return false;
    }
    default:
        return false;
    }
}

void NativeWindowFrame::watchScreen(QScreen* screen)
{
    disconnect(dpiConnection);
    if (screen)
        dpiConnection = connect(screen, &QScreen::logicalDotsPerInchChanged, this, &NativeWindowFrame::sendDpiChanged);
}

// The DPI the system gives the screen, whatever part of it Qt scales itself;
// the suggested rectangle keeps the window where and as large as it is.
void NativeWindowFrame::sendDpiChanged()
{
    const QScreen* screen = window->screen();
    if (!screen || !window->handle())
        return;
    const quintptr dpi = quintptr(qBound(1, qRound(screen->logicalDotsPerInch() * screen->devicePixelRatio()), 0xFFFF));
    const QRect geometry = window->frameGeometry();
    NativeRect suggested{geometry.left(), geometry.top(), geometry.right() + 1, geometry.bottom() + 1};
    NativeMessage message;
    message.window = window->winId();
    message.message = NativeMessageId::DpiChanged;
    message.wParam = dpi | dpi << 16;
    message.lParam = reinterpret_cast<qintptr>(&suggested);
    message.pt = NativeWindowSystem::cursorPos();
    long result = 0;
    NativeWindowSystem::sendMessage(message, &result);
}
