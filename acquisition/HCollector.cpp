#include "acquisition/HCollector.h"

#include "acquisition/HTransition.h"

#include <QAbstractTransition>
#include <QSignalTransition>
#include <QState>
#include <QTimer>

HCollector::HCollector(QObject* parent)
    : QObject(parent)
    , machine(new QStateMachine(this))
{
}

HCollector::~HCollector() = default;

QState* HCollector::addState(const QString& name, QState* parent, QState* state)
{
    if (name.isEmpty())
        return nullptr;
    if (state)
        state->setParent(parent);
    else
        state = new QState(parent);
    state->setObjectName(name);
    states[name] = state;
    entryFuncs[name] = nullptr;
    exitFuncs[name] = nullptr;
    connect(state, &QState::entered, this, &HCollector::onStateEntry);
    connect(state, &QState::exited, this, &HCollector::onStateExit);
    if (!parent)
        machine->addState(state);
    return state;
}

void HCollector::addChildState(const QString& name, const QString& parentName, bool initial, QState* state)
{
    QState* parentState = states.value(parentName);
    if (!parentState)
        return;
    QState* child = addState(name, parentState, state);
    if (initial && child)
        parentState->setInitialState(child);
}

bool HCollector::setStateEntryFunc(const QString& name, StateFunc fn)
{
    if (!states.value(name))
        return false;
    entryFuncs[name] = fn;
    return true;
}

bool HCollector::setStateExitFunc(const QString& name, StateFunc fn)
{
    if (!states.value(name))
        return false;
    exitFuncs[name] = fn;
    return true;
}

bool HCollector::setStateEntryMethod(const QString& name, QObject* object, const QString& signature)
{
    return setStateMethod({&entryFuncs, &entryObjects, &entryMethods}, name, object, signature);
}

bool HCollector::setStateExitMethod(const QString& name, QObject* object, const QString& signature)
{
    return setStateMethod({&exitFuncs, &exitObjects, &exitMethods}, name, object, signature);
}

bool HCollector::setStateMethod(const Handlers& handlers, const QString& name, QObject* object,
                                const QString& signature)
{
    if (!states.value(name) || !object)
        return false;
    const QMetaObject* meta = object->metaObject();
    const int index = meta->indexOfMethod(signature.toUtf8().constData());
    if (index < 0)
        return false;
    (*handlers.objects)[name] = object;
    (*handlers.methods)[name] = meta->method(index);
    return true;
}

bool HCollector::addTransition(const QString& source, const QString& target, QAbstractTransition* transition)
{
    QState* sourceState = states.value(source);
    QState* targetState = states.value(target);
    if (!sourceState || !targetState || !transition)
        return false;
    const QString name = QStringLiteral("%1:%2").arg(source, target);
    transition->setObjectName(name);
    transition->setTargetState(targetState);
    sourceState->addTransition(transition);
    transitions[name] = transition;
    return true;
}

bool HCollector::addGuardTransition(const QString& source, const QString& target, GuardFunc guard)
{
    if (!guard)
        return false;
    auto* transition = new HTransition;
    transition->setFunc(guard);
    transition->setParent(this);
    return addTransition(source, target, transition);
}

bool HCollector::addMethodTransition(const QString& source, const QString& target, QObject* object,
                                     const QString& signature)
{
    if (!object || signature.isEmpty())
        return false;
    auto* transition = new HTransition;
    transition->setMethod(object, signature);
    transition->setParent(this);
    return addTransition(source, target, transition);
}

void HCollector::addTimeoutTransition(const QString& source, const QString& target, int ms)
{
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    // A coarse timer may fire up to 5 % early: the stay must be the full time.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(ms);
    stateTimers[source] = timer;
    auto* transition = new QSignalTransition(timer, &QTimer::timeout);
    transition->setParent(this);
    addTransition(source, target, transition);
}

QState* HCollector::state(const QString& name) const
{
    return states.value(name);
}

bool HCollector::isActive(const QString& name) const
{
    const QState* s = states.value(name);
    return s && s->active();
}

bool HCollector::WorkInit(QString initState)
{
    QState* s = states.value(initState);
    if (!s)
        return false;
    machine->setInitialState(s);
    return true;
}

void HCollector::WorkStart()
{
    machine->start();
}

void HCollector::onStateEvent(QEvent* event, QStateMachine::EventPriority priority)
{
    machine->postEvent(event, priority);
}

void HCollector::onStateEntry()
{
    onStateChange(true);
}

void HCollector::onStateExit()
{
    onStateChange(false);
}

// A state's time-out runs only while the state is active.
void HCollector::onStateChange(bool entered)
{
    auto* s = qobject_cast<QState*>(sender());
    if (!s || s->objectName().isEmpty())
        return;
    const QString name = s->objectName();
    if (QTimer* timer = stateTimers.value(name))
        entered ? timer->start() : timer->stop();
    runHandlers(entered ? Handlers{&entryFuncs, &entryObjects, &entryMethods}
                        : Handlers{&exitFuncs, &exitObjects, &exitMethods},
                name);
}

void HCollector::runHandlers(const Handlers& handlers, const QString& name)
{
    if (StateFunc fn = handlers.funcs->value(name))
        fn(this);
    QObject* object = handlers.objects->value(name);
    const QMetaMethod method = handlers.methods->value(name);
    if (object && method.isValid())
        method.invoke(object, Qt::AutoConnection);
}
