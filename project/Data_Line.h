#pragma once

#include "orm/ClassDef.h"

#include <QString>
#include <QVector>

#include <memory>

class Data_Point;

// A survey line; owns its points.
class Data_Line
{
public:
    Data_Line() = default;
    explicit Data_Line(const int& id)
        : ID(id)
    {
    }
    virtual ~Data_Line() = default;

    static void ormRegister(orm::ClassDef<Data_Line>& def);

    int ID = 0;
    double NAME = -1.0; // line number
    int TYPE = 0;       // 0 ordinary, 1 timed line of the continuous mode
    int USE = 0;
    QString NOTE;
    QVector<std::shared_ptr<Data_Point>> list_Data_Point;
};
