#pragma once

#include "platform/NativeWindowTypes.h"

#include <QByteArray>
#include <QMargins>
#include <qnamespace.h>

#include <functional>

class QWindow;

// The window functions a frameless window needs from the system, on Qt's
// own windows: style, placement, work area, frame metrics and the messages
// the system sends a window. A window whose style is set here is given a
// frame that turns pointer input into those messages and carries out their
// default handling: its caption moves it, its borders resize it, a double
// click on its caption maximises or restores it.
class NativeWindowSystem
{
public:
    // The event type under which messages reach native event filters.
    static const QByteArray& messageEventType();

    // Runs the message through the application's native event filters: true
    // when one of them handled it, its answer in *result. Otherwise the
    // sender carries out the default handling.
    static bool sendMessage(NativeMessage& message, long* result);

    static quint32 windowStyle(NativeHandle window);
    // The previous style; 0 when there is no such window.
    static quint32 setWindowStyle(NativeHandle window, quint32 style);
    // x, y, width and height are the window's outer rectangle; flags are
    // NativePos values.
    static bool setWindowPos(NativeHandle window, int x, int y, int width, int height, quint32 flags);
    static bool extendFrameIntoClientArea(NativeHandle window, const QMargins& margins);
    static bool isCompositionEnabled();
    // *showCommand is a NativeShowCommand.
    static bool windowPlacement(NativeHandle window, int* showCommand);
    // The work area of the screen nearest to the window.
    static bool monitorWorkArea(NativeHandle window, NativeRect* workArea);
    static int systemMetric(int metric);
    static NativePoint cursorPos();

    // Starts the window system's interactive move (no edges) or resize at
    // the edges given; false when the window system does not offer it. The
    // hook stands in for Qt's; an empty one gives Qt's back.
    using MoveResizeHook = std::function<bool(QWindow* window, Qt::Edges edges)>;
    static bool startMoveResize(QWindow* window, Qt::Edges edges);
    static void setMoveResizeHook(MoveResizeHook hook);
};
