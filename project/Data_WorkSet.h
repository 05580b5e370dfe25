#pragma once

#include "orm/ClassDef.h"

// The work-set row, written with a new project and never read back.
class Data_WorkSet
{
public:
    Data_WorkSet() = default;
    virtual ~Data_WorkSet() = default;

    static void ormRegister(orm::ClassDef<Data_WorkSet>& def);

    int ID = 0;
    int WorkConfig = 0;
    double SendCoil_Len = 0.8862;
    double SendCoil_Width = 0.8862;
    double SendCoil_Turns = 32.0;
    double RecvCoil_Size = 15.024;
    double RecvCoil_Gain = 11.0;
};
