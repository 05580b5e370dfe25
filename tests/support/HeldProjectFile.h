#pragma once

#include "tests/support/TestEnvironment.h"

#include <QSqlDatabase>
#include <QSqlQuery>

// Another program holding a project file, through a connection of its own:
// a read transaction (a viewer showing a table), a write lock, or the
// exclusive lock of a writer that writes the file now. While any is held a
// writer cannot commit: its store writes its rows and the journal, then
// waits at the commit with its transaction open. Only the exclusive lock
// keeps readers out as well.
class HeldProjectFile
{
public:
    enum Hold { Read, Write, Exclusive };

    HeldProjectFile(const QString& path, Hold hold)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        // The writer may be committing when the lock is asked for.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(TestTimeoutMs()));
        QSqlQuery take(db);
        held = db.open()
            && (hold == Read
                    ? db.transaction() && take.exec(QStringLiteral("SELECT COUNT(*) FROM Data_Sample")) && take.next()
                    : take.exec(hold == Write ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN EXCLUSIVE")));
    }
    ~HeldProjectFile() { release(); }

    void release()
    {
        if (!QSqlDatabase::contains(name))
            return;
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.rollback();
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

    bool held = false;

private:
    const QString name = QStringLiteral("held project file");
};
