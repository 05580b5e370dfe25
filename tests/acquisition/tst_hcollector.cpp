#include "acquisition/HCollector.h"
#include "tests/support/TestEnvironment.h"

#include <QSignalTransition>
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
    bool in(const char* state) const { return isActive(QString::fromLatin1(state)); }

signals:
    void go();

private:
    Q_INVOKABLE void enterP() { journal << QStringLiteral("+P"); }
    Q_INVOKABLE void leaveP() { journal << QStringLiteral("-P"); }
    Q_INVOKABLE void enterA() { journal << QStringLiteral("+A"); }
    Q_INVOKABLE void leaveA() { journal << QStringLiteral("-A"); }
};

} // namespace

class TestHCollector : public QObject
{
    Q_OBJECT

private slots:
    // The collector stops on a refused binding, so every unknown name must be refused.
    void unknownNamesAreRefused()
    {
        Machine m{"A"};
        QVERIFY(!m.addState(QString()));
        QVERIFY(!m.WorkInit(QStringLiteral("Nowhere")));
        QVERIFY(!m.setStateEntryMethod(QStringLiteral("Nowhere"), &m, QStringLiteral("enterA()")));
        QVERIFY(!m.setStateEntryMethod(QStringLiteral("A"), &m, QStringLiteral("noSuchMethod()")));
    }

    void entryAndExitRunParentFirstInAndChildFirstOut()
    {
        Machine m{"P", "B"};
        m.addChildState(QStringLiteral("A"), QStringLiteral("P"), true);
        for (const QString state : {"P", "A"}) {
            QVERIFY(m.setStateEntryMethod(state, &m, QStringLiteral("enter%1()").arg(state)));
            QVERIFY(m.setStateExitMethod(state, &m, QStringLiteral("leave%1()").arg(state)));
        }
        QVERIFY(m.setStateEntryFunc(QStringLiteral("B"), [](HCollector*) { journal << QStringLiteral("func+B"); }));
        QVERIFY(m.addTransition(QStringLiteral("P"), QStringLiteral("B"), new QSignalTransition(&m, SIGNAL(go()))));
        QVERIFY(m.WorkInit(QStringLiteral("P")));
        m.WorkStart();
        QTRY_VERIFY_WITH_TIMEOUT(m.in("A"), TestTimeoutMs());
        emit m.go();
        QTRY_VERIFY_WITH_TIMEOUT(m.in("B"), TestTimeoutMs());
        QCOMPARE(journal, (QStringList{"+P", "+A", "-A", "-P", "func+B"}));
    }
};

QTEST_GUILESS_MAIN(TestHCollector)
#include "tst_hcollector.moc"
