#pragma once

#include "orm/ClassDef.h"
#include "project/ProjectRecords.h"

#include <QString>

// The project row: one per file, ID 1.
class Data_Project
{
public:
    Data_Project();
    explicit Data_Project(const int& id);
    virtual ~Data_Project() = default;

    // WorkConfig through CreateTime.
    st_ProjectConfig getProjectConfig() const;
    void setProjectConfig(st_ProjectConfig* config);

    static void ormRegister(orm::ClassDef<Data_Project>& def);

    int ID = 0;
    int WorkConfig = 0;
    double LineNoStart = 0.0;
    double LineNoSetp = 0.0;
    double PointNoStart = 0.0;
    double PointNoStep = 10.0;
    double SendCoil_Len = 0.8862;
    double SendCoil_Width = 0.8862;
    double SendCoil_Turns = 32.0;
    double RecvCoil_Size = 15.024;
    double RecvCoil_Gain = 11.0;
    double OffTime = 0.0;
    double PointLen_D = 0.0;
    double PointLen_R = 0.0;
    double CreateTime = 0.0; // whole seconds since the epoch, set on construction
    QString NOTE;
    QString CalibrateNo;
    QString SSID;
};
