#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// Whether a project file takes writes, found out as it is opened and told
// by every write that fails. A file can look writable and not be (another
// owner's, on a read-only medium, in a folder that forbids SQLite's
// journal), another program can hold it locked, or the disk can be full;
// every acquisition stored into it would then be lost.
class ProjectFileAccess
{
public:
    enum Access {
        Writable,
        ReadOnly,
        Locked,
        Full,
        // Not found out: no open connection, or a failure that says nothing
        // about writing, such as a damaged file.
        Unknown
    };

    // Begins a write transaction, changes a page so that the journal is
    // made, and rolls back: file and folder are left as they were. Waits at
    // most lockWaitMs for another program's lock, and leaves the
    // connection's own wait as it was.
    static Access probe(QSqlDatabase database, int lockWaitMs);

    // What the error of a failed statement tells; Writable for no error.
    static Access accessAfter(const QSqlError& error);

    // Why a write failed, in words for the operator; a failure that tells
    // nothing about writing is taken for damage.
    static QString cause(Access access);
};
