#include "acquisition/HCollector.h"
#include "tests/support/TestEnvironment.h"

#include <QSignalTransition>
#include <QState>
#include <QTimer>
#include <QtTest>

namespace {

QStringList journal;

// A machine owner whose handlers are reached only by signature.
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

signals:
    void go();
    void back();

private:
    Q_INVOKABLE void enterP() { journal << QStringLiteral("+P"); }
    Q_INVOKABLE void leaveP() { journal << QStringLiteral("-P"); }
    Q_INVOKABLE void enterA() { journal << QStringLiteral("+A"); }
    Q_INVOKABLE void leaveA() { journal << QStringLiteral("-A"); }
};

}

class TestHCollector : public QObject
{
    Q_OBJECT

private slots:
    // The collector stops on a refused binding, so every unknown name must be refused.
    void unknownNamesAreRefusedAndChangeNothing()
    {
        Machine m{"A"};
        QVERIFY(!m.addState(QString()) && !m.WorkInit(QStringLiteral("Nowhere")));
        QVERIFY(!m.setStateEntryFunc(QStringLiteral("Nowhere"), [](HCollector*) {}));
        QVERIFY(!m.setStateEntryMethod(QStringLiteral("A"), &m, QStringLiteral("noSuchMethod()")));
        // Signatures are taken as written, not normalised.
        QVERIFY(!m.setStateEntryMethod(QStringLiteral("A"), &m, QStringLiteral("enterA( )")));
        QVERIFY(!m.addGuardTransition(QStringLiteral("A"), QStringLiteral("Nowhere"), [](QEvent*) { return true; }));
        QVERIFY(m.state(QStringLiteral("A"))->transitions().isEmpty());
    }

    void entryAndExitRunParentFirstInAndChildFirstOut()
    {
        Machine m{"P", "B"};
        m.addChildState(QStringLiteral("A"), QStringLiteral("P"), true);
        for (const QString state : {"P", "A"}) {
            QVERIFY(m.setStateEntryMethod(state, &m, QStringLiteral("enter%1()").arg(state)));
            QVERIFY(m.setStateExitMethod(state, &m, QStringLiteral("leave%1()").arg(state)));
        }
        QVERIFY(m.setStateEntryFunc(QStringLiteral("A"), [](HCollector*) { journal << QStringLiteral("func+A"); }));
        QVERIFY(m.setStateExitFunc(QStringLiteral("A"), [](HCollector*) { journal << QStringLiteral("func-A"); }));
        QVERIFY(m.on("P", "B", SIGNAL(go())));
        QVERIFY(m.start("P") && m.in("A"));
        emit m.go();
        QTRY_VERIFY_WITH_TIMEOUT(m.in("B"), TestTimeoutMs());
        QCOMPARE(journal, (QStringList{"+P", "func+A", "+A", "func-A", "-A", "-P"}));
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
