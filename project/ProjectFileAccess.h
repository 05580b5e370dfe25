#pragma once

#include <QSqlDatabase>

// Whether a project file takes writes, found out as it is opened. A file
// can look writable and not be (another owner's, on a read-only medium, in
// a folder that forbids SQLite's journal), or another program can hold it
// locked; every acquisition stored into it would then be lost.
class ProjectFileAccess
{
public:
    enum Access {
        Writable,
        ReadOnly,
        Locked,
        // Not found out: no open connection, or a failure that says nothing
        // about writing, such as a damaged file.
        Unknown
    };

    // Begins a write transaction, changes a page so that the journal is
    // made, and rolls back: file and folder are left as they were. Waits at
    // most lockWaitMs for another program's lock, and leaves the
    // connection's own wait as it was.
    static Access probe(QSqlDatabase database, int lockWaitMs);
};
