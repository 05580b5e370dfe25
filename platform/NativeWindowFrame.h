#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPoint>

class QScreen;
class QWindow;

// What the window system does for a window whose style it was given: it asks
// the window where the pointer is (a hit-test message) and carries out the
// answer. A drag on the caption starts a system move, a press on a resize
// border a system resize, a double click on the caption maximises or
// restores; over a border the pointer takes the matching resize shape. A
// change of the window's screen or of its DPI is reported in a message too.
class NativeWindowFrame : public QObject
{
    Q_OBJECT

public:
    // The window's frame, made on first use; it lives as long as the window.
    static NativeWindowFrame* attach(QWindow* window);
    static NativeWindowFrame* find(const QWindow* window);

    quint32 style() const { return windowStyle; }
    void setStyle(quint32 style) { windowStyle = style; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit NativeWindowFrame(QWindow* window);

    int hitTest(const QPoint& globalPos) const;
    bool canResize() const;
    bool pressed(const QPoint& globalPos);
    bool dragged(const QPoint& globalPos);
    bool doubleClicked(const QPoint& globalPos);
    void hovered(const QPoint& globalPos);
    void showCursor(Qt::Edges edges, const QPoint& globalPos);
    void watchScreen(QScreen* screen);
    void sendDpiChanged();

    QWindow* window;
    quint32 windowStyle = 0;
    bool resizeCursorShown = false;
    bool captionPressed = false;
    QPoint captionPress;
    QMetaObject::Connection dpiConnection;
};
