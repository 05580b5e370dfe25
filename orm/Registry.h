#pragma once

#include <QVector>

namespace orm {

class ClassInfo;

// Every class registered with the mapper, in order of registration. A class
// registers on its first use (its table created, a row read or written), so
// a program lists its classes by creating their tables first.
class Registry
{
public:
    static QVector<const ClassInfo*> classes();
    static void add(const ClassInfo* info);
};

} // namespace orm
