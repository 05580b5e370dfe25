#include "acquisition/HTransition.h"

HTransition::HTransition(QState* sourceState)
    : QAbstractTransition(sourceState)
{
}

void HTransition::setFunc(GuardFunc fn)
{
    guardFunc = fn;
}

void HTransition::setMethod(QObject* receiver, const QString& signature)
{
    if (!receiver || signature.isEmpty())
        return;
    const QMetaObject* meta = receiver->metaObject();
    const int index = meta->indexOfMethod(signature.toUtf8().constData());
    if (index < 0)
        return;
    guardMethod = meta->method(index);
    guardReceiver = receiver;
}

bool HTransition::eventTest(QEvent* e)
{
    if (guardFunc)
        return guardFunc(e);
    if (!guardReceiver)
        return false;
    bool result = false;
    guardMethod.invoke(guardReceiver, Qt::AutoConnection, Q_RETURN_ARG(bool, result), Q_ARG(QEvent*, e));
    return result;
}

void HTransition::onTransition(QEvent*)
{
}
