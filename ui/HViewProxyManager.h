#pragma once

#include <QMap>
#include <QObject>
#include <QString>

class HViewProxyObject;
class QWidget;

// Registry of the model objects whose properties are bound to widgets, keyed
// by objectName.
class HViewProxyManager : public QObject
{
    Q_OBJECT

public:
    explicit HViewProxyManager(QObject* parent = nullptr);
    ~HViewProxyManager() override;

    bool addObject(QObject* object);
    bool bind(const QString& objectName, const QString& property, QWidget* widget, const QString& format = QString());

public slots:
    void onObjectDestroyed(QObject* object);

private:
    QMap<QString, QObject*> m_objects;
    QMap<QString, HViewProxyObject*> m_proxies;
};
