#include "ui/NativeWindowHelper.h"

#include "platform/NativeWindowSystem.h"
#include "ui/NativeWindowFilter.h"
#include "ui/NativeWindowTester.h"

#include <QPlatformSurfaceEvent>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <cmath>

namespace {

// The new DPI above which a screen counts as doubled.
constexpr int DoubledDpi = 143;

QMargins scaled(const QMargins& margins, double factor)
{
    return QMargins(int(std::lround(margins.left() * factor)), int(std::lround(margins.top() * factor)),
                    int(std::lround(margins.right() * factor)), int(std::lround(margins.bottom() * factor)));
}

}

class NativeWindowHelperPrivate
{
public:
    NativeWindowHelperPrivate(NativeWindowHelper* q, QWindow* window, NativeWindowTester* tester)
        : q(q)
        , window(window)
        , tester(tester)
    {
    }
    virtual ~NativeWindowHelperPrivate() = default;

    NativeHandle handle() const { return window->handle() ? window->winId() : 0; }
    double marginScale() const;
    QMargins draggableMargins() const;
    QMargins maximizedMargins() const;
    QRect availableGeometry() const;
    bool isMaximized() const;
    bool resizableHorizontally() const { return window->minimumWidth() < window->maximumWidth(); }
    bool resizableVertically() const { return window->minimumHeight() < window->maximumHeight(); }
    void updateWindowStyle();
    void forgetHandle();
    int hitTest(const NativePoint& cursor) const;
    bool nativeMessage(NativeMessage* message, long* result);

    NativeWindowHelper* q;
    QWindow* window;
    NativeWindowTester* tester;
    NativeHandle lastHandle = 0;
    double scaleFactor = 1.0;
};

// Positions reach the hit test in Qt's coordinates, which a screen Qt scales
// itself already counts in device-independent pixels: only the part of the
// system's scale that Qt leaves to the window applies to the margins.
double NativeWindowHelperPrivate::marginScale() const
{
    return scaleFactor / window->devicePixelRatio();
}

QMargins NativeWindowHelperPrivate::draggableMargins() const
{
    return tester ? scaled(tester->draggableMargins(), marginScale()) : QMargins();
}

QMargins NativeWindowHelperPrivate::maximizedMargins() const
{
    return tester ? scaled(tester->maximizedMargins(), marginScale()) : QMargins();
}

QRect NativeWindowHelperPrivate::availableGeometry() const
{
    NativeRect work;
    if (NativeWindowSystem::monitorWorkArea(handle(), &work))
        return QRect(QPoint(work.left, work.top), QPoint(work.right - 1, work.bottom - 1));
    return window->screen() ? window->screen()->availableGeometry() : QRect();
}

bool NativeWindowHelperPrivate::isMaximized() const
{
    int showCommand = 0;
    const NativeHandle h = handle();
    return h && NativeWindowSystem::windowPlacement(h, &showCommand) && showCommand == ShowMaximized;
}

// The style keeps the system's resize borders, caption and boxes, so it
// still moves, resizes, snaps and animates a window that draws its own.
void NativeWindowHelperPrivate::updateWindowStyle()
{
    const NativeHandle h = handle();
    if (!h || h == lastHandle)
        return;
    lastHandle = h;
    NativeWindowFilter::deliver(window, q);

    const Qt::WindowFlags flags = window->flags();
    quint32 bits = NativeStyle::Popup | NativeStyle::Caption | NativeStyle::SysMenu | NativeStyle::ThickFrame
        | NativeStyle::MinimizeBox | NativeStyle::MaximizeBox;
    if (flags & Qt::CustomizeWindowHint) {
        bits = NativeStyle::Popup | NativeStyle::ThickFrame | NativeStyle::Caption;
        if (flags & Qt::WindowSystemMenuHint)
            bits |= NativeStyle::SysMenu;
        if (flags & Qt::WindowMinimizeButtonHint)
            bits |= NativeStyle::MinimizeBox;
        if (flags & Qt::WindowMaximizeButtonHint)
            bits |= NativeStyle::MaximizeBox;
    }
    const quint32 replaced = NativeStyle::Caption | NativeStyle::SysMenu | NativeStyle::ThickFrame
        | NativeStyle::MinimizeBox | NativeStyle::MaximizeBox;
    NativeWindowSystem::setWindowStyle(h, (NativeWindowSystem::windowStyle(h) & ~replaced) | bits);
    NativeWindowSystem::setWindowPos(h, 0, 0, 0, 0,
                                     NativePos::NoSize | NativePos::NoMove | NativePos::NoZOrder
                                         | NativePos::FrameChanged | NativePos::NoOwnerZOrder);
    NativeWindowSystem::extendFrameIntoClientArea(h, QMargins(1, 1, 1, 1));
}

// A destroyed handle may be given to another window: it must not route here.
void NativeWindowHelperPrivate::forgetHandle()
{
    NativeWindowFilter::deliver(window, nullptr);
    lastHandle = 0;
}

int NativeWindowHelperPrivate::hitTest(const NativePoint& cursor) const
{
    QMargins m = draggableMargins();
    if (m.left() < 1)
        m.setLeft(NativeWindowSystem::systemMetric(MetricFrameWidth));
    if (m.right() < 1)
        m.setRight(NativeWindowSystem::systemMetric(MetricFrameWidth));
    if (m.top() < 1)
        m.setTop(NativeWindowSystem::systemMetric(MetricFrameHeight));
    if (m.bottom() < 1)
        m.setBottom(NativeWindowSystem::systemMetric(MetricFrameHeight));

    const QPoint p = window->mapFromGlobal(QPoint(cursor.x, cursor.y));
    const int w = window->width();
    const int h = window->height();
    enum { Left = 1, Top = 2, Right = 4, Bottom = 8 };
    const int edges = (p.x() <= m.left() ? Left : 0) | (p.y() <= m.top() ? Top : 0)
        | (p.x() + m.right() > w - 1 ? Right : 0) | (p.y() + m.bottom() > h - 1 ? Bottom : 0);
    const bool horizontal = resizableHorizontally();
    const bool vertical = resizableVertically();
    const bool both = horizontal && vertical;

    switch (edges) {
    case Top:
        return vertical ? HitTop : HitClient;
    case Left:
        return horizontal ? HitLeft : HitClient;
    case Right:
        return horizontal ? HitRight : HitClient;
    case Bottom:
        return vertical ? HitBottom : HitClient;
    case Top | Left:
        return both ? HitTopLeft : HitClient;
    case Top | Right:
        return both ? HitTopRight : HitClient;
    case Bottom | Left:
        return both ? HitBottomLeft : HitClient;
    case Bottom | Right:
        return both ? HitBottomRight : HitClient;
    default:
        return !tester || tester->hitTest(p) ? HitCaption : HitClient;
    }
}

bool NativeWindowHelperPrivate::nativeMessage(NativeMessage* message, long* result)
{
    switch (message->message) {
    case NativeMessageId::NcHitTest:
        *result = hitTest(message->pt);
        return true;
    case NativeMessageId::NcActivate:
        // Without composition the system would paint its frame over ours.
        if (NativeWindowSystem::isCompositionEnabled())
            return false;
        *result = 1;
        return true;
    case NativeMessageId::NcCalcSize: {
        auto* params = reinterpret_cast<NativeCalcSizeParams*>(message->lParam);
        if (!message->wParam || !params)
            return false;
        if (isMaximized()) {
            const QRect work = availableGeometry();
            const QMargins m = maximizedMargins();
            params->rects[0] = {work.left() - m.left(), work.top() - m.top(), work.right() + 1 + m.right(),
                                work.bottom() + 1 + m.bottom()};
        }
        *result = 0;
        return true;
    }
    case NativeMessageId::GetMinMaxInfo: {
        auto* info = reinterpret_cast<NativeMinMaxInfo*>(message->lParam);
        if (!info)
            return false;
        const QRect work = availableGeometry();
        const QMargins m = maximizedMargins();
        info->maxPosition = {-m.left(), -m.top()};
        info->maxSize = {work.width() + m.left() + m.right(), work.height() + m.top() + m.bottom()};
        info->minTrackSize = {window->minimumWidth(), window->minimumHeight()};
        info->maxTrackSize = {window->maximumWidth(), window->maximumHeight()};
        *result = 0;
        return true;
    }
    case NativeMessageId::NcLButtonDblClk:
        if (resizableHorizontally() && resizableVertically())
            return false;
        *result = 0;
        return true;
    case NativeMessageId::DpiChanged: {
        const auto* suggested = reinterpret_cast<const NativeRect*>(message->lParam);
        if (!suggested)
            return false;
        const NativeRect rect = *suggested;
        const int dpi = int((message->wParam >> 16) & 0xFFFF);
        const double factor = dpi > DoubledDpi ? 2.0 : 1.0;
        if (!qFuzzyCompare(factor, scaleFactor)) {
            scaleFactor = factor;
            const QPointer<NativeWindowHelper> alive(q);
            emit q->scaleFactorChanged(factor);
            if (!alive)
                return false;
        }
        NativeWindowSystem::setWindowPos(handle(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                         NativePos::NoZOrder | NativePos::NoActivate);
        return false;
    }
    default:
        return false;
    }
}

NativeWindowHelper::NativeWindowHelper(QWindow* window, NativeWindowTester* tester)
    : QObject(window)
    , d(std::make_unique<NativeWindowHelperPrivate>(this, window, tester))
{
    if (const QScreen* screen = window->screen())
        d->scaleFactor = screen->devicePixelRatio();
    if (window->flags() & Qt::FramelessWindowHint) {
        window->installEventFilter(this);
        d->updateWindowStyle();
    }
}

NativeWindowHelper::NativeWindowHelper(QWindow* window)
    : NativeWindowHelper(window, nullptr)
{
}

NativeWindowHelper::~NativeWindowHelper()
{
    NativeWindowFilter::deliver(d->window, nullptr);
}

double NativeWindowHelper::scaleFactor() const
{
    return d->scaleFactor;
}

void NativeWindowHelper::setTester(NativeWindowTester* tester)
{
    d->tester = tester;
}

bool NativeWindowHelper::nativeMessage(NativeMessage* message, long* result)
{
    return d->nativeMessage(message, result);
}

bool NativeWindowHelper::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != d->window)
        return false;
    switch (event->type()) {
    case QEvent::WinIdChange:
    case QEvent::Show:
        d->updateWindowStyle();
        break;
    case QEvent::PlatformSurface:
        if (static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() == QPlatformSurfaceEvent::SurfaceCreated)
            d->updateWindowStyle();
        else
            d->forgetHandle();
        break;
    default:
        break;
    }
    return false;
}
