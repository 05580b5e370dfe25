#include "orm/SqlTypes.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>

namespace orm {

namespace {

struct TypeTable
{
    QMutex mutex;
    QHash<QString, QString> types{
        {QStringLiteral("int"), QStringLiteral("INTEGER")},
        {QStringLiteral("long long"), QStringLiteral("INTEGER")},
        {QStringLiteral("double"), QStringLiteral("REAL")},
        {QStringLiteral("QString"), QStringLiteral("TEXT")},
        {QStringLiteral("QByteArray"), QStringLiteral("BLOB")},
    };
};

TypeTable& table()
{
    static TypeTable t;
    return t;
}

} // namespace

void SqlTypes::set(const QString& typeName, const QString& sqlType)
{
    QMutexLocker lock(&table().mutex);
    table().types.insert(typeName, sqlType);
}

QString SqlTypes::get(const QString& typeName)
{
    QMutexLocker lock(&table().mutex);
    return table().types.value(typeName);
}

} // namespace orm
