#include "project/ProjectFileAccess.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtDebug>

namespace {

// SQLite's primary result codes, which the driver reports as the native
// error code.
constexpr int kPermission = 3;
constexpr int kBusy = 5;
constexpr int kLocked = 6;
constexpr int kReadOnly = 8;
constexpr int kFull = 13;
constexpr int kCannotOpen = 14;

ProjectFileAccess::Access probeFailed(const QSqlQuery& failed)
{
    qWarning() << "ProjectFileAccess: write probe failed at" << failed.lastQuery() << failed.lastError().text();
    return ProjectFileAccess::accessAfter(failed.lastError());
}

// Changes a page to what it holds already.
bool rewritePage(QSqlQuery& query)
{
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return false;
    const int version = query.value(0).toInt();
    return query.exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
}

} // namespace

ProjectFileAccess::Access ProjectFileAccess::accessAfter(const QSqlError& error)
{
    if (error.type() == QSqlError::NoError)
        return Writable;
    switch (error.nativeErrorCode().toInt() & 0xff) {
    case kBusy:
    case kLocked:
        return Locked;
    // A file removed or moved while open is read-only to SQLite.
    case kReadOnly:
    case kPermission:
    // The journal cannot be made next to the file.
    case kCannotOpen:
        return ReadOnly;
    case kFull:
        return Full;
    default:
        return Unknown;
    }
}

QString ProjectFileAccess::cause(Access access)
{
    switch (access) {
    case Locked:
        return QStringLiteral("工程文件被其他程序占用");
    case Full:
        return QStringLiteral("磁盘已满");
    case ReadOnly:
        return QStringLiteral("工程文件已不存在或为只读");
    default:
        return QStringLiteral("可能是工程文件损坏");
    }
}

ProjectFileAccess::Access ProjectFileAccess::probe(QSqlDatabase database, int lockWaitMs)
{
    if (!database.isOpen())
        return Unknown;
    QSqlQuery query(database);
    if (!query.exec(QStringLiteral("PRAGMA busy_timeout")) || !query.next())
        return probeFailed(query);
    const int ownWaitMs = query.value(0).toInt();
    if (!query.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(lockWaitMs)))
        return probeFailed(query);

    Access access = Writable;
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        access = probeFailed(query);
    } else {
        // BEGIN alone takes the lock but makes no journal, and a read-only
        // connection passes it.
        if (!rewritePage(query))
            access = probeFailed(query);
        if (!query.exec(QStringLiteral("ROLLBACK")))
            qWarning() << "ProjectFileAccess: write probe not rolled back:" << query.lastError().text();
    }
    if (!query.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(ownWaitMs)))
        qWarning() << "ProjectFileAccess: lock wait not restored:" << query.lastError().text();
    return access;
}
