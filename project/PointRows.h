#pragma once

#include "devlink/RecvRecords.h"
#include "orm/Status.h"
#include "project/ProjectRecords.h"

#include <QList>
#include <QSqlDatabase>
#include <QStringList>
#include <QVector>

#include <memory>

class Data_Point;
class Data_Sample;

// The rows of a point's used samples, read from the file in one statement:
// all of them or none, so that nothing is drawn or told from the samples
// that happened to be readable while another program held the file. A
// plain value; the point's own sample objects are left as they are.
class PointRows
{
public:
    // What a line profile takes of each sample, and what showing the point
    // itself takes besides.
    static const QStringList& curveColumns();
    static const QStringList& shownColumns();

    // The used samples of the point, as the tree holds them.
    static QVector<int> usedSamples(const Data_Point& point);

    // Reads `columns` of the samples `ids`, in that order, on the given
    // connection (the calling thread's when none is given).
    static orm::Status read(int pointId, const QVector<int>& ids, const QStringList& columns, PointRows* rows,
                            const QSqlDatabase& db = QSqlDatabase());

    // Each a sample's Data_Sample value, in order.
    QList<st_SampleData_Send> sends() const;
    QList<st_RecvData_VRX2208> recvs(bool divideByCurrent) const;
    // Means over the samples, 0 without one.
    double meanSendI() const;
    double meanOffTime() const;
    int period() const;
    // The samples' processed curves averaged, as a point's GetRecvData.
    void meanCurve(int sampleMode, bool divideByCurrent, QVector<double>* values, QVector<double>* times) const;

    int pointId = 0;
    QVector<std::shared_ptr<Data_Sample>> samples;
};
