#include "project/Data_Line.h"

#include "project/Data_Point.h"
#include "project/LineSnapshot.h"

void Data_Line::GetRecvData(QVector<QVector<double>>* datas, QVector<double>* times, QVector<double>* names,
                            bool transpose, int from, int to, bool divideByCurrent)
{
    if (!datas || !times || !names)
        return;
    LineSnapshot(*this, from, to).GetRecvData(datas, times, names, transpose, divideByCurrent);
}

void Data_Line::ormRegister(orm::ClassDef<Data_Line>& def)
{
    def.setName(QStringLiteral("Data_Line"));
    def.id(&Data_Line::ID, QStringLiteral("ID")).properties.insert(QStringLiteral("INDEX"), 1);
    def.data(&Data_Line::NAME, QStringLiteral("NAME"));
    def.data(&Data_Line::TYPE, QStringLiteral("TYPE"));
    def.data(&Data_Line::USE, QStringLiteral("USE"));
    def.data(&Data_Line::NOTE, QStringLiteral("NOTE"));
    def.oneToMany(&Data_Line::list_Data_Point, QStringLiteral("list_Data_Point"), QStringLiteral("Data_LineID"));
}
