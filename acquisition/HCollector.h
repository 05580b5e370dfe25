#pragma once

#include <QMap>
#include <QMetaMethod>
#include <QObject>
#include <QPointer>
#include <QStateMachine>
#include <QString>

class QAbstractTransition;
class QState;
class QTimer;

// Base of a state machine built by state name: states, their entry and exit
// handlers (plain functions or methods found by signature) and the
// transitions between them are registered and looked up by name.
class HCollector : public QObject
{
    Q_OBJECT

public:
    using StateFunc = void (*)(HCollector*);
    using GuardFunc = bool (*)(QEvent*);

    explicit HCollector(QObject* parent = nullptr);
    ~HCollector() override;

    QState* addState(const QString& name, QState* parent = nullptr, QState* state = nullptr);
    void addChildState(const QString& name, const QString& parentName, bool initial, QState* state = nullptr);

    bool setStateEntryFunc(const QString& name, StateFunc fn);
    bool setStateExitFunc(const QString& name, StateFunc fn);
    bool setStateEntryMethod(const QString& name, QObject* object, const QString& signature);
    bool setStateExitMethod(const QString& name, QObject* object, const QString& signature);

    bool addTransition(const QString& source, const QString& target, QAbstractTransition* transition);
    bool addGuardTransition(const QString& source, const QString& target, GuardFunc guard);
    bool addMethodTransition(const QString& source, const QString& target, QObject* object, const QString& signature);
    void addTimeoutTransition(const QString& source, const QString& target, int ms);

    // Null for a name never registered.
    QState* state(const QString& name) const;
    bool isActive(const QString& name) const;

public slots:
    bool WorkInit(QString initState);
    void WorkStart();
    void onStateEvent(QEvent* event, QStateMachine::EventPriority priority = QStateMachine::NormalPriority);

private slots:
    void onStateEntry();
    void onStateExit();

private:
    struct Handlers
    {
        QMap<QString, StateFunc>* funcs;
        QMap<QString, QPointer<QObject>>* objects;
        QMap<QString, QMetaMethod>* methods;
    };
    void onStateChange(bool entered);
    bool setStateMethod(const Handlers& handlers, const QString& name, QObject* object, const QString& signature);
    void runHandlers(const Handlers& handlers, const QString& name);

    QStateMachine* machine;
    QMap<QString, QState*> states;
    QMap<QString, StateFunc> entryFuncs;
    QMap<QString, QPointer<QObject>> entryObjects;
    QMap<QString, QMetaMethod> entryMethods;
    QMap<QString, StateFunc> exitFuncs;
    QMap<QString, QPointer<QObject>> exitObjects;
    QMap<QString, QMetaMethod> exitMethods;
    QMap<QString, QAbstractTransition*> transitions;
    QMap<QString, QTimer*> stateTimers;
};
