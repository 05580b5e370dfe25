#pragma once

#include <QMap>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QMultiMap>
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// Keeps the widgets bound to the properties of one object in step with it,
// both ways: notify signals push values into widgets, user edits are written
// back with setProperty.
class HViewProxyObject : public QObject
{
    Q_OBJECT

public:
    explicit HViewProxyObject(QObject* parent = nullptr);
    ~HViewProxyObject() override;

    void setObject(QObject* object);
    bool bind(const QString& property, QWidget* widget, const QString& format);
    void clear();

public slots:
    void onPropertyChanged();

private:
    bool bindEnum(const QString& property, QWidget* widget);
    bool bindBool(const QString& property, QWidget* widget);
    bool bindInt(const QString& property, QWidget* widget, const QString& format);
    bool bindDouble(const QString& property, QWidget* widget, const QString& format);
    bool bindString(const QString& property, QWidget* widget);

    using TextParser = QVariant (*)(const QString&);
    static bool isTextWidget(const QWidget* widget);
    void bindText(const QString& property, QWidget* widget, const QString& text, TextParser parse);
    QVariant propertyValue(const QString& property) const;
    void recordSetter(QWidget* widget, const char* signature, int argumentKind);
    void writeBack(const QString& property, const QVariant& value);

    QPointer<QObject> m_object;
    const QMetaObject* m_metaObject = nullptr;
    QMap<QString, QMetaProperty> m_properties;
    // Widgets may die before the proxy; a destroyed one reads back as null.
    QMultiMap<QString, QPointer<QWidget>> m_bindings;
    QMap<QString, QString> m_notifies;
    QMap<QWidget*, QMetaMethod> m_setters;
    QMap<QWidget*, int> m_argumentKinds;
    QMap<QWidget*, QString> m_formats;
};
