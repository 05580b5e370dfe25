#pragma once

#include <QString>

namespace orm {

// Settings of the default connection; every thread opens its own connection
// with them.
struct ConnectionSettings
{
    QString driverName = QStringLiteral("QSQLITE");
    QString databaseName;
    QString hostName;
    QString userName;
    QString password;
};

} // namespace orm
