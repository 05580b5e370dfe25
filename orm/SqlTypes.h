#pragma once

#include <QString>

namespace orm {

// Table of SQL column types by C++ type name ("int", "long long", "double",
// "QString", "QByteArray"), read when tables are created and when the
// schema update asks for a member's type.
class SqlTypes
{
public:
    static void set(const QString& typeName, const QString& sqlType);
    // Empty for a type name that has no entry.
    static QString get(const QString& typeName);
};

} // namespace orm
