#include "orm/Database.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSqlError>
#include <QStringList>
#include <QThread>

namespace orm {

namespace {

struct Connections
{
    QMutex mutex;
    ConnectionSettings settings;
    QStringList names;      // every connection made since the last drop
    quint64 generation = 0; // raised by every drop
    quint64 counter = 0;
    bool open = false; // from setSettings until the next drop
};

Connections& shared()
{
    static Connections c;
    return c;
}

// Only the name is kept per thread: a held QSqlDatabase copy would keep the
// connection in use when another thread drops it.
struct ThreadConnection
{
    QString name;
    quint64 generation = 0;
};

thread_local ThreadConnection current;

bool matches(const QSqlDatabase& db, const ConnectionSettings& s)
{
    return db.driverName() == s.driverName && db.databaseName() == s.databaseName && db.hostName() == s.hostName
        && db.userName() == s.userName && db.password() == s.password;
}

} // namespace

void Database::setSettings(const ConnectionSettings& settings)
{
    QMutexLocker lock(&shared().mutex);
    shared().settings = settings;
    shared().open = true;
}

ConnectionSettings Database::settings()
{
    QMutexLocker lock(&shared().mutex);
    return shared().settings;
}

QSqlDatabase Database::connection(Status* status)
{
    ConnectionSettings s;
    {
        QMutexLocker lock(&shared().mutex);
        if (!shared().open) {
            if (status)
                *status = Status::failed(
                    QSqlError(QStringLiteral("no database open"), QString(), QSqlError::ConnectionError));
            return QSqlDatabase();
        }
        s = shared().settings;
        if (current.generation != shared().generation)
            current = ThreadConnection{};
        current.generation = shared().generation;
    }

    if (!current.name.isEmpty()) {
        QSqlDatabase db = QSqlDatabase::database(current.name, false);
        if (db.isValid() && matches(db, s) && (db.isOpen() || db.open())) {
            if (status)
                *status = Status();
            return db;
        }
    }

    QString name;
    {
        QMutexLocker lock(&shared().mutex);
        name = QStringLiteral("orm_%1_%2")
                   .arg(reinterpret_cast<quintptr>(QThread::currentThread()))
                   .arg(++shared().counter);
        shared().names.append(name);
    }
    current.name = name;

    QSqlDatabase db = QSqlDatabase::addDatabase(s.driverName, name);
    db.setDatabaseName(s.databaseName);
    db.setHostName(s.hostName);
    db.setUserName(s.userName);
    db.setPassword(s.password);
    const bool opened = db.open();
    if (status)
        *status = opened ? Status() : Status::failed(db.lastError());
    return db;
}

void Database::dropAll()
{
    QStringList names;
    {
        QMutexLocker lock(&shared().mutex);
        names.swap(shared().names);
        ++shared().generation;
        shared().open = false;
    }
    for (const QString& name : qAsConst(names))
        QSqlDatabase::removeDatabase(name);
}

} // namespace orm
