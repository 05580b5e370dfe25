#pragma once

#include <QtGlobal>

// The window system's own vocabulary: handles, window messages and the
// structures some of them point to. Message numbers, hit-test codes and
// style bits keep the values desktop window systems document, so the code
// handling them reads the same on every platform.

using NativeHandle = quintptr;

enum class NativeMessageId : quint32 {
    GetMinMaxInfo = 0x0024,
    NcCalcSize = 0x0083,
    NcHitTest = 0x0084,
    NcActivate = 0x0086,
    NcLButtonDblClk = 0x00A3,
    DpiChanged = 0x02E0
};

// Where a point lies on a window: its client area, its caption, or one of
// its resize borders.
enum NativeHitCode : int {
    HitClient = 1,
    HitCaption = 2,
    HitLeft = 10,
    HitRight = 11,
    HitTop = 12,
    HitTopLeft = 13,
    HitTopRight = 14,
    HitBottom = 15,
    HitBottomLeft = 16,
    HitBottomRight = 17
};

namespace NativeStyle {
constexpr quint32 Popup = 0x80000000u;
constexpr quint32 Caption = 0x00C00000u;
constexpr quint32 SysMenu = 0x00080000u;
constexpr quint32 ThickFrame = 0x00040000u; // resizable at its borders
constexpr quint32 MinimizeBox = 0x00020000u;
constexpr quint32 MaximizeBox = 0x00010000u;
}

// Flags of NativeWindowSystem::setWindowPos.
namespace NativePos {
constexpr quint32 NoSize = 0x0001;
constexpr quint32 NoMove = 0x0002;
constexpr quint32 NoZOrder = 0x0004;
constexpr quint32 NoActivate = 0x0010;
constexpr quint32 FrameChanged = 0x0020;
constexpr quint32 NoOwnerZOrder = 0x0200;
}

enum NativeShowCommand : int { ShowNormal = 1, ShowMinimized = 2, ShowMaximized = 3 };

enum NativeMetric : int { MetricFrameWidth = 32, MetricFrameHeight = 33 };

struct NativePoint
{
    int x = 0;
    int y = 0;
};

// Right and bottom are exclusive.
struct NativeRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// NcCalcSize with wParam true points lParam here; rects[0] is the proposed
// window rectangle in, the client rectangle out.
struct NativeCalcSizeParams
{
    NativeRect rects[3];
};

// GetMinMaxInfo points lParam here.
struct NativeMinMaxInfo
{
    NativePoint reserved;
    NativePoint maxSize;
    NativePoint maxPosition;
    NativePoint minTrackSize;
    NativePoint maxTrackSize;
};

// One message to a window. pt is the cursor position, in screen coordinates,
// when the message was made. DpiChanged carries the new DPI in both words of
// wParam and points lParam at the suggested NativeRect.
struct NativeMessage
{
    NativeHandle window = 0;
    NativeMessageId message = NativeMessageId::NcHitTest;
    quintptr wParam = 0;
    qintptr lParam = 0;
    NativePoint pt;
};
