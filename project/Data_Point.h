#pragma once

#include "devlink/RecvRecords.h"
#include "orm/ClassDef.h"
#include "project/ProjectRecords.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVector>

#include <memory>

class Data_Line;
class Data_Sample;

// A station of a line; owns its samples. In memory the samples carry only
// ID, USE, PERIOD, SendFs and StartTime: the methods fetch what else they need, sample
// by sample, on the calling thread's connection, and combine the used
// samples (USE non-zero). Not safe for use by two threads at once.
class Data_Point
{
public:
    Data_Point() = default;
    explicit Data_Point(const int& id)
        : ID(id)
    {
    }
    virtual ~Data_Point() = default;

    int GetSampleSize() const;
    QList<st_SampleData_Send> GetSendData();
    double GetSendI();
    double GetSendFs();
    double GetOffTime();
    QList<st_RecvData_VRX2208> GetRecvData_Vrx2208_RAW(bool divideByCurrent);
    QList<st_RecvData_VRX2208> GetRecvData_Vrx2208(bool divideByCurrent, int sampleMode);
    QDateTime GetStartTime();
    int GetPeriod();
    // One processed curve per used sample; afterwards the samples are
    // reloaded without their curves.
    void p_getRecvData(QList<QVector<double>>* values, QList<QVector<double>>* times, bool divideByCurrent);
    // Element-wise mean of the used samples' processed curves.
    void GetRecvData(QVector<double>* values, QVector<double>* times, bool divideByCurrent);
    // Spread in percent per channel of the averaged curve.
    QVector<double> GetRSD();
    // TYPE, reset to 0 first when it is none of 0..2 (read from a damaged
    // file).
    int checkedType();
    // 1 for a self-check point, else 0; an unknown TYPE is reset to 0.
    int sampleMode();

    static void ormRegister(orm::ClassDef<Data_Point>& def);

    int ID = 0;
    double NAME = -1.0; // point number; on a timed line the running index
    int USE = 0;
    QString NOTE;
    int TYPE = 0; // 0 TEM sounding, 1 self-check
    std::shared_ptr<Data_Line> Data_LineID;
    QVector<std::shared_ptr<Data_Sample>> list_Data_Sample;

private:
    QVector<std::shared_ptr<Data_Sample>> usedSamples() const;
};
