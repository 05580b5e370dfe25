#include "ui/NativeWindowFilter.h"

#include "platform/NativeWindowSystem.h"
#include "ui/NativeWindowHelper.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QWindow>

namespace {

struct Registry
{
    QHash<NativeHandle, NativeWindowHelper*> helpers;
    QHash<QWindow*, NativeHandle> windowHandles;
    QHash<NativeWindowHelper*, NativeHandle> helperHandles;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

// Lives until the process ends; installed again should the application
// object be replaced.
void installOnApplication()
{
    static NativeWindowFilter* const filter = new NativeWindowFilter;
    static QPointer<QCoreApplication> installedOn;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || installedOn == app)
        return;
    app->installNativeEventFilter(filter);
    installedOn = app;
}

}

void NativeWindowFilter::deliver(QWindow* window, NativeWindowHelper* target)
{
    Registry& r = registry();
    if (!target) {
        const auto entry = r.windowHandles.constFind(window);
        if (entry == r.windowHandles.cend())
            return;
        if (NativeWindowHelper* helper = r.helpers.take(*entry))
            r.helperHandles.remove(helper);
        r.windowHandles.erase(entry);
        return;
    }

    const NativeHandle handle = window->handle() ? window->winId() : 0;
    const auto previous = r.helperHandles.constFind(target);
    const bool known = previous != r.helperHandles.cend();
    if ((known && *previous == handle) || (!handle && !known))
        return;
    if (known && r.helpers.value(*previous) == target)
        r.helpers.remove(*previous);
    if (handle)
        r.helpers.insert(handle, target);
    r.helperHandles.insert(target, handle);
    r.windowHandles.insert(window, handle);
    installOnApplication();
}

// Every native event of the application passes here; only window messages
// may be read as one.
bool NativeWindowFilter::nativeEventFilter(const QByteArray& eventType, void* message, long* result)
{
    if (!message || eventType != NativeWindowSystem::messageEventType())
        return false;
    auto* windowMessage = static_cast<NativeMessage*>(message);
    NativeWindowHelper* helper = registry().helpers.value(windowMessage->window);
    return helper && helper->nativeMessage(windowMessage, result);
}
