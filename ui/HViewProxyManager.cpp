#include "ui/HViewProxyManager.h"

#include "ui/HViewProxyObject.h"

HViewProxyManager::HViewProxyManager(QObject* parent)
    : QObject(parent)
{
}

HViewProxyManager::~HViewProxyManager()
{
    qDeleteAll(m_proxies);
}

bool HViewProxyManager::addObject(QObject* object)
{
    if (!object)
        return false;
    const QString name = object->objectName();
    if (name.isEmpty())
        return false;

    m_objects.remove(name);
    delete m_proxies.take(name);

    m_objects.insert(name, object);
    auto* proxy = new HViewProxyObject(nullptr);
    proxy->setObject(object);
    m_proxies.insert(name, proxy);

    connect(object, SIGNAL(destroyed(QObject*)), this, SLOT(onObjectDestroyed(QObject*)), Qt::UniqueConnection);
    return true;
}

bool HViewProxyManager::bind(const QString& objectName, const QString& property, QWidget* widget, const QString& format)
{
    HViewProxyObject* proxy = m_proxies.value(objectName);
    if (!proxy || property.isEmpty() || !widget)
        return false;
    return proxy->bind(property, widget, format);
}

void HViewProxyManager::onObjectDestroyed(QObject* object)
{
    if (!object)
        return;
    for (auto it = m_objects.cbegin(); it != m_objects.cend(); ++it) {
        if (it.value() == object) {
            const QString name = it.key();
            m_objects.remove(name);
            delete m_proxies.take(name);
            return;
        }
    }
}
