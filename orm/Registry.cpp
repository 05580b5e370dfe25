#include "orm/Registry.h"

#include <QMutex>
#include <QMutexLocker>

namespace orm {

namespace {

struct ClassList
{
    QMutex mutex;
    QVector<const ClassInfo*> classes;
};

ClassList& list()
{
    static ClassList l;
    return l;
}

} // namespace

QVector<const ClassInfo*> Registry::classes()
{
    QMutexLocker lock(&list().mutex);
    return list().classes;
}

void Registry::add(const ClassInfo* info)
{
    QMutexLocker lock(&list().mutex);
    if (!list().classes.contains(info))
        list().classes.append(info);
}

} // namespace orm
