#pragma once

#include "devlink/RecvRecords.h"
#include "orm/ClassDef.h"
#include "project/ProjectRecords.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <memory>

class Data_Point;

// One stored acquisition record. The curve methods read only the object's
// fields; the caller fetches the columns they need first.
class Data_Sample
{
public:
    Data_Sample() = default;
    explicit Data_Sample(const int& id)
        : ID(id)
    {
    }
    virtual ~Data_Sample() = default;

    st_SampleData_Send GetSendData() const;
    // Transmitter current in A, bounded into [1e-5, 9999].
    double GetSendI() const;
    void revDataDivI(QVector<double>* data) const;
    // Turn-off time in µs.
    double GetOffTime() const;
    void GetRecvData_RAW(QVector<double>* values, QVector<double>* times, bool divideByCurrent) const;
    void GetRecvData(QVector<double>* values, QVector<double>* times, int sampleMode, bool divideByCurrent) const;
    st_RecvData_VRX2208 GetRecvData_Vrx2208_RAW(bool divideByCurrent) const;
    st_RecvData_VRX2208 GetRecvData_Vrx2208(bool divideByCurrent, int sampleMode) const;
    // Empties the five curve columns, as the tree loads a sample; the other
    // fields stay as read.
    void releaseCurves();

    static void ormRegister(orm::ClassDef<Data_Sample>& def);

    int ID = 0;
    qint64 StartTime = 0; // ms since the epoch
    int DeviceType = 1;
    int TYPE = 0; // 1 gated, 2 full waveform
    int PERIOD = 0;
    QByteArray DATA_RECV;
    QByteArray DATA_RECV_POS;
    QByteArray DATA_RECV_LEN;
    QByteArray DATA_SEND;
    QByteArray DATA_SOFF;
    double SendFs = 0.0;
    double SampleSendFs = 0.0;
    double SampleOffFs = 0.0;
    double RecvFs = 1.0;
    int USE = 0;
    QString NOTE;
    std::shared_ptr<Data_Point> Data_PointID;

private:
    // A receiver record of this sample without curves; widths are not
    // read back.
    st_RecvData_VRX2208 record() const;
};
