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
constexpr int kCannotOpen = 14;

ProjectFileAccess::Access accessAfter(const QSqlQuery& failed)
{
    const QSqlError error = failed.lastError();
    qWarning() << "ProjectFileAccess: write probe failed at" << failed.lastQuery() << error.text();
    switch (error.nativeErrorCode().toInt() & 0xff) {
    case kBusy:
    case kLocked:
        return ProjectFileAccess::Locked;
    case kReadOnly:
    case kPermission:
    // The journal cannot be made next to the file.
    case kCannotOpen:
        return ProjectFileAccess::ReadOnly;
    default:
        return ProjectFileAccess::Unknown;
    }
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

ProjectFileAccess::Access ProjectFileAccess::probe(QSqlDatabase database, int lockWaitMs)
{
    if (!database.isOpen())
        return Unknown;
    QSqlQuery query(database);
    if (!query.exec(QStringLiteral("PRAGMA busy_timeout")) || !query.next())
        return accessAfter(query);
    const int ownWaitMs = query.value(0).toInt();
    if (!query.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(lockWaitMs)))
        return accessAfter(query);

    Access access = Writable;
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        access = accessAfter(query);
    } else {
        // BEGIN alone takes the lock but makes no journal, and a read-only
        // connection passes it.
        if (!rewritePage(query))
            access = accessAfter(query);
        if (!query.exec(QStringLiteral("ROLLBACK")))
            qWarning() << "ProjectFileAccess: write probe not rolled back:" << query.lastError().text();
    }
    if (!query.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(ownWaitMs)))
        qWarning() << "ProjectFileAccess: lock wait not restored:" << query.lastError().text();
    return access;
}
