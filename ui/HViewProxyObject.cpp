#include "ui/HViewProxyObject.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaEnum>
#include <QPushButton>

namespace {

// QMetaType ids of the setter argument kinds.
constexpr int KindBool = QMetaType::Bool;
constexpr int KindInt = QMetaType::Int;
constexpr int KindDouble = QMetaType::Double;
constexpr int KindString = QMetaType::QString;

QString formatted(const QString& format, int value)
{
    return QString::asprintf(format.toUtf8().constData(), value);
}

QString formatted(const QString& format, double value)
{
    return QString::asprintf(format.toUtf8().constData(), value);
}

} // namespace

HViewProxyObject::HViewProxyObject(QObject* parent)
    : QObject(parent)
{
}

HViewProxyObject::~HViewProxyObject()
{
    clear();
}

void HViewProxyObject::setObject(QObject* object)
{
    if (object == m_object)
        return;
    clear();
    m_object = object;
    if (!object)
        return;
    m_metaObject = object->metaObject();

    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfMethod("onPropertyChanged()"));
    for (int i = m_metaObject->propertyOffset(); i < m_metaObject->propertyCount(); ++i) {
        const QMetaProperty property = m_metaObject->property(i);
        const QString name = QString::fromLatin1(property.name());
        const QMetaMethod notify = property.notifySignal();
        const QString notifyName = notify.isValid() ? QString::fromLatin1(notify.name()) : QString();

        m_properties.insert(name, property);
        if (notifyName.isEmpty())
            continue;
        m_notifies.insert(notifyName, name);
        if (slot.isValid())
            connect(object, notify, this, slot);
    }
}

bool HViewProxyObject::bind(const QString& property, QWidget* widget, const QString& format)
{
    if (property.isEmpty() || !widget)
        return false;

    const QMetaProperty metaProperty = m_properties.value(property);
    bool bound = false;
    if (metaProperty.isEnumType()) {
        bound = bindEnum(property, widget);
    } else {
        switch (metaProperty.type()) {
        case QVariant::Bool:
            bound = bindBool(property, widget);
            break;
        case QVariant::Int:
            bound = bindInt(property, widget, format);
            break;
        case QVariant::Double:
            bound = bindDouble(property, widget, format);
            break;
        case QVariant::String:
            bound = bindString(property, widget);
            break;
        default:
            return false;
        }
    }
    if (!bound)
        return false;

    m_bindings.insert(property, widget);
    m_formats.insert(widget, format);
    return true;
}

void HViewProxyObject::clear()
{
    m_object = nullptr;
    m_metaObject = nullptr;
    m_properties.clear();
    m_bindings.clear();
    m_notifies.clear();
    m_setters.clear();
    m_argumentKinds.clear();
}

void HViewProxyObject::onPropertyChanged()
{
    const int signalIndex = senderSignalIndex();
    if (signalIndex < 0 || !m_object || !m_metaObject)
        return;

    const QString signalName = QString::fromLatin1(m_metaObject->method(signalIndex).name());
    const QString property = m_notifies.value(signalName);
    const QVariant value = propertyValue(property);

    const QList<QPointer<QWidget>> widgets = m_bindings.values(property);
    for (const QPointer<QWidget>& widget : widgets) {
        if (!widget || value.isNull())
            continue;
        const QMetaMethod setter = m_setters.value(widget);
        if (!setter.isValid() || !m_argumentKinds.contains(widget))
            continue;
        const QString format = m_formats.value(widget);

        switch (m_argumentKinds.value(widget)) {
        case KindBool:
            setter.invoke(widget, Qt::AutoConnection, Q_ARG(bool, value.toBool()));
            break;
        case KindInt:
            setter.invoke(widget, Qt::AutoConnection, Q_ARG(int, value.toInt()));
            break;
        case KindDouble:
            setter.invoke(widget, Qt::AutoConnection, Q_ARG(double, value.toDouble()));
            break;
        case KindString: {
            QString text;
            if (format.isEmpty())
                text = value.toString();
            else if (value.userType() == QMetaType::Int)
                text = formatted(format, value.toInt());
            else if (value.userType() == QMetaType::Double)
                text = formatted(format, value.toDouble());
            else
                text = value.toString();
            setter.invoke(widget, Qt::AutoConnection, Q_ARG(QString, text));
            break;
        }
        default:
            break;
        }
    }
}

bool HViewProxyObject::bindEnum(const QString& property, QWidget* widget)
{
    auto* combo = qobject_cast<QComboBox*>(widget);
    if (!combo)
        return false;
    recordSetter(widget, "setCurrentIndex(int)", KindInt);

    const QMetaEnum metaEnum = m_properties.value(property).enumerator();
    for (int i = 0; i < metaEnum.keyCount(); ++i)
        combo->addItem(QString::fromUtf8(metaEnum.key(i)));
    combo->setCurrentIndex(propertyValue(property).toInt());

    // Index -1 is no choice of the operator: clear() emits it.
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, property](int index) {
        if (index >= 0)
            writeBack(property, index);
    });
    return true;
}

bool HViewProxyObject::bindBool(const QString& property, QWidget* widget)
{
    QAbstractButton* button = qobject_cast<QCheckBox*>(widget);
    if (!button)
        button = qobject_cast<QPushButton*>(widget);
    if (!button)
        return false;
    recordSetter(widget, "setChecked(bool)", KindBool);

    button->setChecked(propertyValue(property).toBool());
    connect(button, &QAbstractButton::toggled, this, [this, property](bool on) { writeBack(property, on); });
    return true;
}

bool HViewProxyObject::bindInt(const QString& property, QWidget* widget, const QString& format)
{
    if (!isTextWidget(widget))
        return false;
    const int value = propertyValue(property).toInt();
    bindText(property, widget, format.isEmpty() ? QString::number(value, 10) : formatted(format, value),
             [](const QString& text) { return QVariant(text.toInt(nullptr, 10)); });
    return true;
}

bool HViewProxyObject::bindDouble(const QString& property, QWidget* widget, const QString& format)
{
    auto* combo = qobject_cast<QComboBox*>(widget);
    if (!combo && !isTextWidget(widget))
        return false;

    const double value = propertyValue(property).toDouble();
    if (combo) {
        recordSetter(widget, "setCurrentText(const QString &)", KindString);
        combo->setCurrentText(formatted(format, value));
        connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, property, combo](int index) {
            if (index >= 0)
                writeBack(property, combo->itemText(index).toDouble());
        });
        return true;
    }
    bindText(property, widget, format.isEmpty() ? QString::number(value, 'g', 6) : formatted(format, value),
             [](const QString& text) { return QVariant(text.toDouble()); });
    return true;
}

bool HViewProxyObject::bindString(const QString& property, QWidget* widget)
{
    if (!isTextWidget(widget))
        return false;
    bindText(property, widget, propertyValue(property).toString(), [](const QString& text) { return QVariant(text); });
    return true;
}

bool HViewProxyObject::isTextWidget(const QWidget* widget)
{
    return qobject_cast<const QLabel*>(widget) || qobject_cast<const QLineEdit*>(widget);
}

// Labels only show the value; line edits also write back once editing is
// finished, and only text the operator changed: focus leaving an untouched
// field would otherwise store the value rounded to its display format.
void HViewProxyObject::bindText(const QString& property, QWidget* widget, const QString& text, TextParser parse)
{
    recordSetter(widget, "setText(const QString &)", KindString);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
        return;
    }
    auto* edit = qobject_cast<QLineEdit*>(widget);
    edit->setText(text);
    connect(edit, &QLineEdit::editingFinished, this, [this, property, edit, parse] {
        if (!edit->isModified())
            return;
        edit->setModified(false);
        writeBack(property, parse(edit->text()));
    });
}

QVariant HViewProxyObject::propertyValue(const QString& property) const
{
    return m_object->property(property.toUtf8().constData());
}

void HViewProxyObject::recordSetter(QWidget* widget, const char* signature, int argumentKind)
{
    const QMetaObject* widgetMeta = widget->metaObject();
    const QByteArray normalized = QMetaObject::normalizedSignature(signature);
    m_setters.insert(widget, widgetMeta->method(widgetMeta->indexOfMethod(normalized.constData())));
    m_argumentKinds.insert(widget, argumentKind);
}

void HViewProxyObject::writeBack(const QString& property, const QVariant& value)
{
    if (m_object)
        m_object->setProperty(property.toUtf8().constData(), value);
}
