#pragma once

#include <QVector>

namespace orm {

class ClassInfo;

// Every class registered with the mapper, in order of registration.
class Registry
{
public:
    static QVector<const ClassInfo*> classes();
    static void add(const ClassInfo* info);
};

} // namespace orm
