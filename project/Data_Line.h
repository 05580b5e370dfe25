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

    // Line profile of points from..to, as LineSnapshot builds it, on the
    // calling thread's connection. Only for the thread that owns the line;
    // a pool thread works on a LineSnapshot instead.
    void GetRecvData(QVector<QVector<double>>* datas, QVector<double>* times, QVector<double>* names, bool transpose,
                     int from, int to, bool divideByCurrent);

    static void ormRegister(orm::ClassDef<Data_Line>& def);

    int ID = 0;
    double NAME = -1.0; // line number
    int TYPE = 0;       // 0 ordinary, 1 timed line of the continuous mode
    int USE = 0;
    QString NOTE;
    QVector<std::shared_ptr<Data_Point>> list_Data_Point;
};
