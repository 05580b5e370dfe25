#pragma once

#include <QAbstractNativeEventFilter>

class NativeWindowHelper;
class QWindow;

// Routes the window messages of the whole application to the
// NativeWindowHelper of the window each is addressed to. One instance,
// installed on the application at the first registration.
class NativeWindowFilter : public QAbstractNativeEventFilter
{
public:
    // A target registers the window under its current native handle; null
    // unregisters it.
    static void deliver(QWindow* window, NativeWindowHelper* target);

    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override;
};
