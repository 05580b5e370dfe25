#pragma once

#include "devlink/RecvRecords.h"
#include "devlink/SendRecords.h"

#include <QList>
#include <QMetaType>
#include <QtGlobal>

// One acquisition: the records of both units gathered for it, oldest first,
// with the parameters they were taken with. Line and point are left zero
// here; whoever stores the acquisition fills them.
struct ZOLVA_Data
{
    double LineNo = 0.0;
    double PointNo = 0.0;
    quint8 SampleMode = 0;   // 1: self-check
    quint8 ContinueMode = 0; // 1: continuous
    float ParamFs = 0.0f;    // base frequency in Hz
    qint32 ParamPeriod = 0;  // periods per record
    qint32 ParamRepeat = 0;  // records in this acquisition
    QList<st_TEMSendData> sends;
    QList<st_RecvData_VRX2208> recvs;
};

Q_DECLARE_METATYPE(ZOLVA_Data)
