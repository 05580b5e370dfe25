#pragma once

#include <QMargins>
#include <QPoint>

// What only the widget tree of a frameless window can tell its native
// handling: how wide the resize borders are and where its caption lies.
class NativeWindowTester
{
public:
    virtual ~NativeWindowTester() = default;

    // Resize border on each side, in device-independent pixels.
    virtual QMargins draggableMargins() const = 0;
    // How far a maximised window reaches past the work area on each side.
    virtual QMargins maximizedMargins() const = 0;
    // Whether pos, in window coordinates, lies on the draggable caption.
    virtual bool hitTest(const QPoint& pos) const = 0;
};
