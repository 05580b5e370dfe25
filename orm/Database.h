#pragma once

#include "orm/ConnectionSettings.h"
#include "orm/Status.h"

#include <QSqlDatabase>

namespace orm {

// One connection per thread for the default settings. SQLite connections must
// not be shared between threads, so a pool thread that fetches gets its own.
class Database
{
public:
    static void setSettings(const ConnectionSettings& settings);
    static ConnectionSettings settings();

    // The calling thread's connection, opened on first use. A connection
    // that could not be opened is returned closed, with the reason in status.
    // Between dropAll and the next setSettings there is none: a call made
    // after a project was closed must not open its file again.
    static QSqlDatabase connection(Status* status = nullptr);

    // Closes and removes the connections of every thread and forgets the
    // settings. No other thread may be using its connection meanwhile.
    static void dropAll();
};

} // namespace orm
