#include "TestClasses.h"

#include "orm/Dao.h"
#include "orm/Database.h"

#include <QSqlDatabase>
#include <QTemporaryDir>

#include <memory>
#include <QThread>
#include <QtTest>

// One connection per thread for the default settings, all dropped at once.
class tst_Connections : public QObject
{
    Q_OBJECT

private slots:
    void eachThreadHasItsOwnConnection();
    void dropAllRemovesEveryConnection();

private:
    template <class F>
    static void runOnOtherThread(F work)
    {
        std::unique_ptr<QThread> thread(QThread::create(work));
        thread->start();
        QVERIFY(thread->wait(10000));
    }

    QTemporaryDir m_dir;
};

void tst_Connections::eachThreadHasItsOwnConnection()
{
    orm::ConnectionSettings settings;
    settings.databaseName = m_dir.filePath(QStringLiteral("threads.db"));
    orm::Database::setSettings(settings);
    QVERIFY(orm::createTable<Shelf>().isOk());
    Shelf shelf;
    shelf.Label = QStringLiteral("main");
    QVERIFY(orm::insert(shelf).isOk());

    const QString mine = orm::Database::connection().connectionName();
    QCOMPARE(orm::Database::connection().connectionName(), mine);

    QString theirs;
    QString label;
    runOnOtherThread([&] {
        theirs = orm::Database::connection().connectionName();
        Shelf read;
        read.ID = 1;
        if (orm::fetchById(read).isOk())
            label = read.Label;
    });
    QVERIFY(!theirs.isEmpty());
    QVERIFY(theirs != mine);
    QCOMPARE(label, QStringLiteral("main"));
    QVERIFY(QSqlDatabase::connectionNames().contains(theirs));
    orm::Database::dropAll();
}

void tst_Connections::dropAllRemovesEveryConnection()
{
    orm::ConnectionSettings settings;
    settings.databaseName = m_dir.filePath(QStringLiteral("drop.db"));
    orm::Database::setSettings(settings);
    const QString before = orm::Database::connection().connectionName();
    QString pooled;
    runOnOtherThread([&] { pooled = orm::Database::connection().connectionName(); });

    orm::Database::dropAll();
    QVERIFY(!QSqlDatabase::connectionNames().contains(before));
    QVERIFY(!QSqlDatabase::connectionNames().contains(pooled));

    // The next call opens a fresh connection, on the new settings.
    settings.databaseName = m_dir.filePath(QStringLiteral("other.db"));
    orm::Database::setSettings(settings);
    {
        const QSqlDatabase next = orm::Database::connection();
        QVERIFY(next.isOpen());
        QVERIFY(next.connectionName() != before);
        QCOMPARE(next.databaseName(), settings.databaseName);
    }
    orm::Database::dropAll();
    orm::Database::dropAll();
}

QTEST_GUILESS_MAIN(tst_Connections)
#include "tst_connections.moc"
