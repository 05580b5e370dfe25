#include "ui/FramelessHelper.h"

#include "ui/NativeWindowHelper.h"
#include "ui/NativeWindowTester.h"

#include <QEvent>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <QWindow>

class FramelessHelperPrivate : public NativeWindowTester
{
public:
    explicit FramelessHelperPrivate(QWidget* window)
        : window(window)
    {
    }

    QMargins draggableMargins() const override { return draggable; }
    QMargins maximizedMargins() const override { return maximizedReach; }
    bool hitTest(const QPoint& pos) const override;

    double scaleFactor() const { return nativeHelper ? nativeHelper->scaleFactor() : 1.0; }

    QWidget* window;
    // Dies with the window handle's QWindow, which is replaced when the
    // widget's native window is recreated.
    QPointer<NativeWindowHelper> nativeHelper;
    QMargins draggable;
    QMargins maximizedReach;
    int titleBarHeight = 0;
    QSet<QWidget*> captionWidgets;
    QSet<QWidget*> excludedWidgets;
    bool maximized = false;
};

// The position comes in the window's own coordinates, which the title bar is
// measured in: a screen Qt scales scales both alike.
bool FramelessHelperPrivate::hitTest(const QPoint& pos) const
{
    if (titleBarHeight <= 0 || !window || pos.y() >= titleBarHeight)
        return false;
    // childAt finds the deepest visible widget under the point.
    QWidget* widget = window->childAt(pos);
    for (; widget && widget != window; widget = widget->parentWidget()) {
        if (captionWidgets.contains(widget))
            return true;
        if (excludedWidgets.contains(widget) || excludedWidgets.contains(widget->parentWidget()))
            return false;
    }
    return true;
}

FramelessHelper::FramelessHelper(QWidget* parent)
    : QObject(parent)
    , d(std::make_unique<FramelessHelperPrivate>(parent))
{
    if (!parent)
        return;
    parent->installEventFilter(this);
    // A window shown before it was given a helper sends no further
    // WinIdChange until its handle is recreated.
    if (parent->windowHandle() && parent->windowHandle()->handle())
        attachNativeHelper();
}

// The native helper lives on with the window and must not ask a tester that
// is gone.
FramelessHelper::~FramelessHelper()
{
    if (d->nativeHelper)
        d->nativeHelper->setTester(nullptr);
}

void FramelessHelper::setDraggableMargins(int left, int top, int right, int bottom)
{
    d->draggable = QMargins(left, top, right, bottom);
}

void FramelessHelper::setDraggableMargins(const QMargins& margins)
{
    d->draggable = margins;
}

QMargins FramelessHelper::draggableMargins() const
{
    return d->draggable;
}

void FramelessHelper::setMaximizedMargins(int left, int top, int right, int bottom)
{
    d->maximizedReach = QMargins(left, top, right, bottom);
}

void FramelessHelper::setMaximizedMargins(const QMargins& margins)
{
    d->maximizedReach = margins;
}

QMargins FramelessHelper::maximizedMargins() const
{
    return d->maximizedReach;
}

int FramelessHelper::titleBarHeight() const
{
    return d->titleBarHeight;
}

double FramelessHelper::scaleFactor() const
{
    return d->scaleFactor();
}

bool FramelessHelper::isMaximized() const
{
    return d->maximized;
}

void FramelessHelper::addCaptionWidget(QWidget* widget)
{
    d->captionWidgets.insert(widget);
}

void FramelessHelper::removeCaptionWidget(QWidget* widget)
{
    d->captionWidgets.remove(widget);
}

void FramelessHelper::addExcludedWidget(QWidget* widget)
{
    d->excludedWidgets.insert(widget);
}

void FramelessHelper::removeExcludedWidget(QWidget* widget)
{
    d->excludedWidgets.remove(widget);
}

void FramelessHelper::setTitleBarHeight(int value)
{
    if (value == d->titleBarHeight)
        return;
    d->titleBarHeight = value;
    emit titleBarHeightChanged(value);
}

void FramelessHelper::triggerMinimizeButtonAction()
{
    if (d->window)
        d->window->showMinimized();
}

void FramelessHelper::triggerMaximizeButtonAction()
{
    if (!d->window)
        return;
    if (d->window->windowState() & Qt::WindowMaximized)
        d->window->showNormal();
    else
        d->window->showMaximized();
}

void FramelessHelper::triggerCloseButtonAction()
{
    if (d->window)
        d->window->close();
}

void FramelessHelper::attachNativeHelper()
{
    QWindow* handle = d->window->windowHandle();
    if (!handle || (d->nativeHelper && d->nativeHelper->parent() == handle))
        return;
    const double previous = d->scaleFactor();
    d->nativeHelper = new NativeWindowHelper(handle, d.get());
    connect(d->nativeHelper, &NativeWindowHelper::scaleFactorChanged, this, &FramelessHelper::scaleFactorChanged);
    if (!qFuzzyCompare(d->nativeHelper->scaleFactor(), previous))
        emit scaleFactorChanged(d->nativeHelper->scaleFactor());
}

bool FramelessHelper::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != d->window)
        return false;
    if (event->type() == QEvent::WindowStateChange) {
        const bool maximized = d->window->windowState() & Qt::WindowMaximized;
        if (maximized != d->maximized) {
            d->maximized = maximized;
            emit maximizedChanged(maximized);
        }
    } else if (event->type() == QEvent::WinIdChange) {
        attachNativeHelper();
    }
    return false;
}
