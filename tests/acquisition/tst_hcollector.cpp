#include "acquisition/HCollector.h"
#include "acquisition/HTransition.h"
#include "tests/support/TestEnvironment.h"

#include <QSignalTransition>
#include <QState>
#include <QTimer>
#include <QtTest>

namespace {

QStringList journal;

void entryA(HCollector*)
{
    journal << QStringLiteral("func+A");
}
void exitA(HCollector*)
{
    journal << QStringLiteral("func-A");
}
bool isUserEvent(QEvent* e)
{
    return e->type() == QEvent::User;
}

// A machine owner whose handlers and guards are reached only by signature.
class Machine : public HCollector
{
    Q_OBJECT

public:
    explicit Machine(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            addState(QString::fromLatin1(name));
    }
    bool on(const char* source, const char* target, const char* signal)
    {
        return addTransition(QString::fromLatin1(source), QString::fromLatin1(target),
                             new QSignalTransition(this, signal));
    }
    bool start(const char* initial)
    {
        const bool known = WorkInit(QString::fromLatin1(initial));
        WorkStart();
        return known && QTest::qWaitFor([&] { return in(initial); }, TestTimeoutMs());
    }
    bool in(const char* state) const { return isActive(QString::fromLatin1(state)); }
    void post(int offset)
    {
        onStateEvent(new QEvent(QEvent::Type(QEvent::User + offset)));
        QCoreApplication::processEvents();
    }

signals:
    void go();
    void back();

private:
    Q_INVOKABLE void enterP() { journal << QStringLiteral("+P"); }
    Q_INVOKABLE void leaveP() { journal << QStringLiteral("-P"); }
    Q_INVOKABLE void enterA() { journal << QStringLiteral("+A"); }
    Q_INVOKABLE void leaveA() { journal << QStringLiteral("-A"); }
    Q_INVOKABLE bool second(QEvent* e) { return e->type() == QEvent::User + 1; }
};

}

class TestHCollector : public QObject
{
    Q_OBJECT

private slots:
    void unknownNamesAreRefusedAndChangeNothing()
    {
        Machine m{"A"};
        QVERIFY(!m.addState(QString()));
        QVERIFY(!m.WorkInit(QStringLiteral("Nowhere")));
        QVERIFY(!m.setStateEntryFunc(QStringLiteral("Nowhere"), entryA));
        QVERIFY(!m.setStateEntryMethod(QStringLiteral("A"), &m, QStringLiteral("noSuchMethod()")));
        // Signatures are taken as written, not normalised.
        QVERIFY(!m.setStateEntryMethod(QStringLiteral("A"), &m, QStringLiteral("enterA( )")));

        QVERIFY(!m.addGuardTransition(QStringLiteral("A"), QStringLiteral("Nowhere"), isUserEvent));
        const auto orphans = m.findChildren<HTransition*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(orphans.size() == 1 && !orphans.first()->sourceState());
        QVERIFY(m.state(QStringLiteral("A"))->transitions().isEmpty());
    }

    void entryAndExitRunParentFirstInAndChildFirstOut()
    {
        Machine m{"P", "B"};
        m.addChildState(QStringLiteral("A"), QStringLiteral("P"), true);
        for (const char* name : {"P", "A"}) {
            const QString state = QString::fromLatin1(name);
            QVERIFY(m.setStateEntryMethod(state, &m, QStringLiteral("enter%1()").arg(state)));
            QVERIFY(m.setStateExitMethod(state, &m, QStringLiteral("leave%1()").arg(state)));
        }
        QVERIFY(m.setStateEntryFunc(QStringLiteral("A"), entryA) && m.setStateExitFunc(QStringLiteral("A"), exitA));
        QVERIFY(m.on("P", "B", SIGNAL(go())));
        QVERIFY(m.state(QStringLiteral("P"))->findChild<QSignalTransition*>(QStringLiteral("P:B")));

        QVERIFY(m.start("P") && m.in("A"));
        emit m.go();
        QTRY_VERIFY_WITH_TIMEOUT(m.in("B"), TestTimeoutMs());
        QCOMPARE(journal, (QStringList{"+P", "func+A", "+A", "func-A", "-A", "-P"}));
    }

    void guardsDecideOnEveryEvent()
    {
        Machine m{"S", "ByFunc", "ByMethod", "Never"};
        QVERIFY(m.addMethodTransition(QStringLiteral("S"), QStringLiteral("Never"), &m,
                                      QStringLiteral("noSuchGuard(QEvent*)")));
        QVERIFY(m.addMethodTransition(QStringLiteral("S"), QStringLiteral("ByMethod"), &m,
                                      QStringLiteral("second(QEvent*)")));
        QVERIFY(m.addGuardTransition(QStringLiteral("ByMethod"), QStringLiteral("ByFunc"), isUserEvent));
        QVERIFY(m.start("S"));

        m.post(0);
        QVERIFY(m.in("S"));
        m.post(1);
        QVERIFY(m.in("ByMethod"));
        m.post(1);
        QVERIFY(m.in("ByMethod"));
        m.post(0);
        QVERIFY(m.in("ByFunc"));
    }

    void timeoutFiresOnlyAfterAFullStay()
    {
        Machine m{"Wait", "Elsewhere", "Late"};
        m.addTimeoutTransition(QStringLiteral("Wait"), QStringLiteral("Late"), 150);
        m.on("Wait", "Elsewhere", SIGNAL(go()));
        m.on("Elsewhere", "Wait", SIGNAL(back()));
        auto* timer = m.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(m.start("Wait") && timer->isActive());
        emit m.go();
        QVERIFY(m.in("Elsewhere") && !timer->isActive());

        QElapsedTimer clock;
        emit m.back();
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(m.in("Late"), TestTimeoutMs());
        QVERIFY(clock.elapsed() >= 150);
    }
};

QTEST_GUILESS_MAIN(TestHCollector)
#include "tst_hcollector.moc"
