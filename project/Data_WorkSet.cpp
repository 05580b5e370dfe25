#include "project/Data_WorkSet.h"

void Data_WorkSet::ormRegister(orm::ClassDef<Data_WorkSet>& def)
{
    def.setName(QStringLiteral("Data_WorkSet"));
    def.id(&Data_WorkSet::ID, QStringLiteral("ID"));
    def.data(&Data_WorkSet::WorkConfig, QStringLiteral("WorkConfig"));
    def.data(&Data_WorkSet::SendCoil_Len, QStringLiteral("SendCoil_Len"));
    def.data(&Data_WorkSet::SendCoil_Width, QStringLiteral("SendCoil_Width"));
    def.data(&Data_WorkSet::SendCoil_Turns, QStringLiteral("SendCoil_Turns"));
    def.data(&Data_WorkSet::RecvCoil_Size, QStringLiteral("RecvCoil_Size"));
    def.data(&Data_WorkSet::RecvCoil_Gain, QStringLiteral("RecvCoil_Gain"));
}
