#pragma once

#include <QObject>

#include <memory>

class NativeWindowHelperPrivate;
struct NativeMessage;
class NativeWindowTester;
class QWindow;

// Gives a frameless top-level window the behaviour of a framed one: the
// system still resizes, moves, maximises and snaps it, on the borders and
// caption its tester names. Lives as a child of the window it serves.
class NativeWindowHelper : public QObject
{
    Q_OBJECT

public:
    NativeWindowHelper(QWindow* window, NativeWindowTester* tester);
    explicit NativeWindowHelper(QWindow* window);
    ~NativeWindowHelper() override;

    double scaleFactor() const;
    // A tester that goes away before the window hands itself back here;
    // without one the resize borders are the system's and all else is caption.
    void setTester(NativeWindowTester* tester);

signals:
    void scaleFactorChanged(double factor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class NativeWindowFilter;

    // True when the message is handled, its answer in *result; false leaves
    // it to the system.
    bool nativeMessage(NativeMessage* message, long* result);

    std::unique_ptr<NativeWindowHelperPrivate> d;
};
