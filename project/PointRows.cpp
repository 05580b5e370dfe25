#include "project/PointRows.h"

#include "orm/Dao.h"
#include "project/CurveProcessing.h"
#include "project/Data_Point.h"
#include "project/Data_Sample.h"

#include <algorithm>
#include <climits>

const QStringList& PointRows::curveColumns()
{
    static const QStringList columns{QStringLiteral("DATA_RECV"), QStringLiteral("DATA_RECV_POS"),
                                     QStringLiteral("DATA_SEND"), QStringLiteral("SampleOffFs"),
                                     QStringLiteral("DATA_SOFF")};
    return columns;
}

const QStringList& PointRows::shownColumns()
{
    static const QStringList columns = curveColumns()
        + QStringList{QStringLiteral("StartTime"), QStringLiteral("TYPE"),         QStringLiteral("PERIOD"),
                      QStringLiteral("SendFs"),    QStringLiteral("SampleSendFs"), QStringLiteral("RecvFs")};
    return columns;
}

QVector<int> PointRows::usedSamples(const Data_Point& point)
{
    QVector<int> ids;
    for (const std::shared_ptr<Data_Sample>& sample : point.list_Data_Sample) {
        if (sample && sample->USE != 0)
            ids.append(sample->ID);
    }
    return ids;
}

orm::Status PointRows::read(int pointId, const QVector<int>& ids, const QStringList& columns, PointRows* rows,
                            const QSqlDatabase& db)
{
    rows->pointId = pointId;
    return orm::fetchByIds(ids, rows->samples, columns, db);
}

QList<st_SampleData_Send> PointRows::sends() const
{
    QList<st_SampleData_Send> list;
    for (const std::shared_ptr<Data_Sample>& sample : samples)
        list.append(sample->GetSendData());
    return list;
}

QList<st_RecvData_VRX2208> PointRows::recvs(bool divideByCurrent) const
{
    QList<st_RecvData_VRX2208> list;
    for (const std::shared_ptr<Data_Sample>& sample : samples)
        list.append(sample->GetRecvData_Vrx2208_RAW(divideByCurrent));
    return list;
}

double PointRows::meanSendI() const
{
    double sum = 0.0;
    for (const std::shared_ptr<Data_Sample>& sample : samples)
        sum += sample->GetSendI();
    return samples.isEmpty() ? 0.0 : sum / samples.size();
}

double PointRows::meanOffTime() const
{
    double sum = 0.0;
    for (const std::shared_ptr<Data_Sample>& sample : samples)
        sum += sample->GetOffTime();
    return samples.isEmpty() ? 0.0 : sum / samples.size();
}

int PointRows::period() const
{
    double total = 0.0;
    for (const std::shared_ptr<Data_Sample>& sample : samples)
        total += sample->PERIOD;
    // Periods read from a damaged file may add up beyond an int.
    return static_cast<int>(std::clamp(total, double(INT_MIN), double(INT_MAX)));
}

void PointRows::meanCurve(int sampleMode, bool divideByCurrent, QVector<double>* values, QVector<double>* times) const
{
    QList<QVector<double>> curves;
    QList<QVector<double>> curveTimes;
    for (const std::shared_ptr<Data_Sample>& sample : samples) {
        QVector<double> v;
        QVector<double> t;
        sample->GetRecvData(&v, &t, sampleMode, divideByCurrent);
        curves.append(v);
        curveTimes.append(t);
    }
    CurveProcessing::meanCurve(curves, curveTimes, values, times);
}
