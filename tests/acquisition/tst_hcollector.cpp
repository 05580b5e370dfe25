#include "acquisition/HCollector.h"
#include "acquisition/HTransition.h"

#include <QAbstractTransition>
#include <QSignalSpy>
#include <QSignalTransition>
#include <QState>
#include <QTimer>
#include <QtTest>

namespace {

QStringList journal;

void entryA(HCollector*) { journal << QStringLiteral("func+A"); }
void exitA(HCollector*) { journal << QStringLiteral("func-A"); }
bool isUserEvent(QEvent* e) { return e->type() == QEvent::User; }

// A machine owner whose handlers and guards are reached only by signature.
class Machine : public HCollector
{
    Q_OBJECT

public:
    bool allow = false;

signals:
    void go();
    void back();

private:
    Q_INVOKABLE void enterParent() { journal << QStringLiteral("+P"); }
    Q_INVOKABLE void leaveParent() { journal << QStringLiteral("-P"); }
    Q_INVOKABLE void enterA() { journal << QStringLiteral("+A"); }
    Q_INVOKABLE void leaveA() { journal << QStringLiteral("-A"); }
    Q_INVOKABLE bool allowed(QEvent* e) { return e->type() == QEvent::User && allow; }
};

QEvent* userEvent()
{
    return new QEvent(QEvent::User);
}

}

class TestHCollector : public QObject
{
    Q_OBJECT

private slots:
    void init() { journal.clear(); }

    void unknownNamesAreRefusedAndChangeNothing()
    {
        Machine m;
        QVERIFY(!m.addState(QString()));
        QVERIFY(m.addState(QStringLiteral("A")));
        QVERIFY(!m.WorkInit(QStringLiteral("Nowhere")));
        QVERIFY(!m.setStateEntryFunc(QStringLiteral("Nowhere"), entryA));
        QVERIFY(!m.setStateEntryMethod(QStringLiteral("A"), &m, QStringLiteral("noSuchMethod()")));
        // Signatures are taken as written, not normalised.
        QVERIFY(!m.setStateEntryMethod(QStringLiteral("A"), &m, QStringLiteral("enterA( )")));

        QVERIFY(!m.addGuardTransition(QStringLiteral("A"), QStringLiteral("Nowhere"), isUserEvent));
        const auto orphans = m.findChildren<HTransition*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(orphans.size(), 1);
        QVERIFY(!orphans.first()->sourceState());
        QVERIFY(m.state(QStringLiteral("A"))->transitions().isEmpty());
    }

    void entryAndExitRunParentFirstInAndChildFirstOut()
    {
        Machine m;
        m.addState(QStringLiteral("P"));
        m.addChildState(QStringLiteral("A"), QStringLiteral("P"), true);
        m.addState(QStringLiteral("B"));
        QVERIFY(m.setStateEntryMethod(QStringLiteral("P"), &m, QStringLiteral("enterParent()")));
        QVERIFY(m.setStateExitMethod(QStringLiteral("P"), &m, QStringLiteral("leaveParent()")));
        QVERIFY(m.setStateEntryFunc(QStringLiteral("A"), entryA));
        QVERIFY(m.setStateExitFunc(QStringLiteral("A"), exitA));
        QVERIFY(m.setStateEntryMethod(QStringLiteral("A"), &m, QStringLiteral("enterA()")));
        QVERIFY(m.setStateExitMethod(QStringLiteral("A"), &m, QStringLiteral("leaveA()")));
        QVERIFY(m.addTransition(QStringLiteral("P"), QStringLiteral("B"), new QSignalTransition(&m, SIGNAL(go()))));
        QCOMPARE(m.transition(QStringLiteral("P:B"))->objectName(), QStringLiteral("P:B"));
        QVERIFY(m.WorkInit(QStringLiteral("P")));

        m.WorkStart();
        QTRY_VERIFY_WITH_TIMEOUT(m.isActive(QStringLiteral("A")), 2000);
        emit m.go();
        QTRY_VERIFY_WITH_TIMEOUT(m.isActive(QStringLiteral("B")), 2000);
        QCOMPARE(journal, (QStringList{"+P", "func+A", "+A", "func-A", "-A", "-P"}));
    }

    void guardsDecideOnEveryEvent()
    {
        Machine m;
        for (const char* name : {"S", "ByFunc", "ByMethod", "Never"})
            m.addState(QString::fromLatin1(name));
        QVERIFY(m.addMethodTransition(QStringLiteral("S"), QStringLiteral("Never"), &m,
                                      QStringLiteral("noSuchGuard(QEvent*)")));
        QVERIFY(m.addMethodTransition(QStringLiteral("S"), QStringLiteral("ByMethod"), &m,
                                      QStringLiteral("allowed(QEvent*)")));
        QVERIFY(m.addGuardTransition(QStringLiteral("ByMethod"), QStringLiteral("ByFunc"), isUserEvent));
        QVERIFY(m.WorkInit(QStringLiteral("S")));
        m.WorkStart();
        QTRY_VERIFY_WITH_TIMEOUT(m.isActive(QStringLiteral("S")), 2000);

        m.onStateEvent(userEvent());
        m.onStateEvent(new QEvent(QEvent::Type(QEvent::User + 1)));
        QCoreApplication::processEvents();
        QVERIFY(m.isActive(QStringLiteral("S")));

        m.allow = true;
        m.onStateEvent(new QEvent(QEvent::Type(QEvent::User + 1)), QStateMachine::HighPriority);
        QCoreApplication::processEvents();
        QVERIFY(m.isActive(QStringLiteral("S")));
        m.onStateEvent(userEvent());
        QTRY_VERIFY_WITH_TIMEOUT(m.isActive(QStringLiteral("ByMethod")), 2000);
        m.onStateEvent(userEvent());
        QTRY_VERIFY_WITH_TIMEOUT(m.isActive(QStringLiteral("ByFunc")), 2000);
    }

    void timeoutFiresOnlyAfterAFullStay()
    {
        Machine m;
        m.addState(QStringLiteral("Wait"));
        m.addState(QStringLiteral("Elsewhere"));
        m.addState(QStringLiteral("Late"));
        m.addTimeoutTransition(QStringLiteral("Wait"), QStringLiteral("Late"), 150);
        m.addTransition(QStringLiteral("Wait"), QStringLiteral("Elsewhere"), new QSignalTransition(&m, SIGNAL(go())));
        m.addTransition(QStringLiteral("Elsewhere"), QStringLiteral("Wait"), new QSignalTransition(&m, SIGNAL(back())));
        QVERIFY(m.WorkInit(QStringLiteral("Wait")));
        auto* timer = m.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(timer);

        m.WorkStart();
        QTRY_VERIFY_WITH_TIMEOUT(m.isActive(QStringLiteral("Wait")), 2000);
        QVERIFY(timer->isActive());
        emit m.go();
        QVERIFY(m.isActive(QStringLiteral("Elsewhere")));
        QVERIFY(!timer->isActive());

        QElapsedTimer clock;
        emit m.back();
        clock.start();
        QVERIFY(timer->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(m.isActive(QStringLiteral("Late")), 2000);
        QVERIFY(clock.elapsed() >= 140);
    }
};

QTEST_GUILESS_MAIN(TestHCollector)
#include "tst_hcollector.moc"
