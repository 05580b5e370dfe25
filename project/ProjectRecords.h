#pragma once

#include <QByteArray>
#include <QMetaType>

// The project's configuration as stored in the project row, passed by value
// between the data model and the settings page.
struct st_ProjectConfig
{
    int WorkConfig = 0;
    double LineNoStart = 0.0;
    double LineNoSetp = 0.0; // the stored column keeps this spelling
    double PointNoStart = 0.0;
    double PointNoStep = 0.0;
    double SendCoil_Len = 0.0;
    double SendCoil_Width = 0.0;
    double SendCoil_Turns = 0.0;
    double RecvCoil_Size = 0.0;
    double RecvCoil_Gain = 0.0;
    double OffTime = 0.0;
    double PointLen_D = 0.0;
    double PointLen_R = 0.0;
    double CreateTime = 0.0;
};

// The transmit side of one stored sample; the waveforms stay vector BLOBs.
struct st_SampleData_Send
{
    double SendFs = 0.0;
    double SampleSendFs = 0.0;
    QByteArray DATA_SEND;
    double SampleOffFs = 0.0;
    QByteArray DATA_SOFF;
};

Q_DECLARE_METATYPE(st_ProjectConfig)
Q_DECLARE_METATYPE(st_SampleData_Send)
