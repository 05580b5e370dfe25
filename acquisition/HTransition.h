#pragma once

#include <QAbstractTransition>
#include <QMetaMethod>
#include <QPointer>

// A transition that fires on any event the machine processes, decided by a
// guard: either a plain function or a method of some object looked up by its
// signature. Without a usable guard it never fires.
class HTransition : public QAbstractTransition
{
    Q_OBJECT

public:
    using GuardFunc = bool (*)(QEvent*);

    explicit HTransition(QState* sourceState = nullptr);

    void setFunc(GuardFunc fn);
    void setMethod(QObject* receiver, const QString& signature);

protected:
    bool eventTest(QEvent* e) override;
    void onTransition(QEvent* e) override;

private:
    GuardFunc guardFunc = nullptr;
    QMetaMethod guardMethod;
    QPointer<QObject> guardReceiver;
};
