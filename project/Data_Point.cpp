#include "project/Data_Point.h"

#include "orm/Dao.h"
#include "project/CurveProcessing.h"
#include "project/Data_Line.h"
#include "project/Data_Sample.h"

namespace {
[[maybe_unused]] const bool registered = (orm::ClassDef<Data_Point>::instance(), true);
} // namespace

Data_Point::Data_Point() = default;

Data_Point::Data_Point(const int& id)
    : ID(id)
{
}

Data_Point::~Data_Point() = default;

int Data_Point::sampleMode()
{
    if (TYPE == 1)
        return 1;
    if (static_cast<quint32>(TYPE) > 2)
        TYPE = 0;
    return 0;
}

QVector<std::shared_ptr<Data_Sample>> Data_Point::usedSamples() const
{
    QVector<std::shared_ptr<Data_Sample>> used;
    for (const std::shared_ptr<Data_Sample>& sample : list_Data_Sample) {
        if (sample && sample->USE != 0)
            used.append(sample);
    }
    return used;
}

int Data_Point::GetSampleSize() const
{
    return list_Data_Sample.size();
}

QList<st_SampleData_Send> Data_Point::GetSendData()
{
    QList<st_SampleData_Send> sends;
    for (const std::shared_ptr<Data_Sample>& sample : usedSamples()) {
        orm::fetchById(*sample);
        sends.append(sample->GetSendData());
    }
    return sends;
}

double Data_Point::GetSendI()
{
    const QVector<std::shared_ptr<Data_Sample>> used = usedSamples();
    if (used.isEmpty())
        return 0.0;
    double sum = 0.0;
    for (const std::shared_ptr<Data_Sample>& sample : used) {
        orm::fetchById(*sample, {QStringLiteral("DATA_SEND")});
        sum += sample->GetSendI();
    }
    return sum / used.size();
}

double Data_Point::GetSendFs()
{
    if (list_Data_Sample.isEmpty() || !list_Data_Sample.first())
        return 0.0;
    Data_Sample& first = *list_Data_Sample.first();
    orm::fetchById(first, {QStringLiteral("SendFs")});
    return first.SendFs;
}

double Data_Point::GetOffTime()
{
    const QVector<std::shared_ptr<Data_Sample>> used = usedSamples();
    if (used.isEmpty())
        return 0.0;
    double sum = 0.0;
    for (const std::shared_ptr<Data_Sample>& sample : used) {
        orm::fetchById(*sample, {QStringLiteral("SampleOffFs"), QStringLiteral("DATA_SOFF")});
        sum += sample->GetOffTime();
    }
    return sum / used.size();
}

QList<st_RecvData_VRX2208> Data_Point::GetRecvData_Vrx2208_RAW(bool divideByCurrent)
{
    QList<st_RecvData_VRX2208> records;
    for (const std::shared_ptr<Data_Sample>& sample : usedSamples()) {
        orm::fetchById(*sample);
        records.append(sample->GetRecvData_Vrx2208_RAW(divideByCurrent));
    }
    return records;
}

QList<st_RecvData_VRX2208> Data_Point::GetRecvData_Vrx2208(bool divideByCurrent, int sampleMode)
{
    QList<st_RecvData_VRX2208> records;
    for (const std::shared_ptr<Data_Sample>& sample : usedSamples()) {
        orm::fetchById(*sample);
        records.append(sample->GetRecvData_Vrx2208(divideByCurrent, sampleMode));
    }
    return records;
}

QDateTime Data_Point::GetStartTime()
{
    if (list_Data_Sample.isEmpty() || !list_Data_Sample.first())
        return QDateTime();
    Data_Sample& first = *list_Data_Sample.first();
    orm::fetchById(first, {QStringLiteral("StartTime")});
    return QDateTime::fromMSecsSinceEpoch(first.StartTime);
}

int Data_Point::GetPeriod()
{
    int sum = 0;
    for (const std::shared_ptr<Data_Sample>& sample : usedSamples()) {
        orm::fetchById(*sample, {QStringLiteral("PERIOD")});
        sum += sample->PERIOD;
    }
    return sum;
}

void Data_Point::p_getRecvData(QList<QVector<double>>* values, QList<QVector<double>>* times,
                               bool divideByCurrent)
{
    if (!values || !times)
        return;
    values->clear();
    times->clear();
    const int mode = sampleMode();
    if (list_Data_Sample.isEmpty())
        return;
    for (const std::shared_ptr<Data_Sample>& sample : usedSamples()) {
        orm::fetchById(*sample);
        QVector<double> v;
        QVector<double> t;
        sample->GetRecvData(&v, &t, mode, divideByCurrent);
        values->append(v);
        times->append(t);
    }

    // Drop the curves again so that a line profile over hundreds of points
    // does not keep every waveform of the line in memory.
    list_Data_Sample.clear();
    orm::fetchByQuery(orm::Query{QStringLiteral("WHERE Data_Sample.Data_PointID = ? ORDER BY ID"),
                                 {ID}},
                      list_Data_Sample,
                      {QStringLiteral("USE"), QStringLiteral("PERIOD"), QStringLiteral("SendFs"),
                       QStringLiteral("Data_PointID")});
}

void Data_Point::GetRecvData(QVector<double>* values, QVector<double>* times, bool divideByCurrent)
{
    if (!values || !times)
        return;
    values->clear();
    times->clear();
    QList<QVector<double>> curves;
    QList<QVector<double>> curveTimes;
    p_getRecvData(&curves, &curveTimes, divideByCurrent);
    if (curves.size() != curveTimes.size() || curves.isEmpty())
        return;

    // Curves of different lengths are averaged over the shortest; empty
    // ones take no part.
    int first = -1;
    int count = 0;
    int m = 0;
    for (int k = 0; k < curves.size(); ++k) {
        if (curves.at(k).isEmpty())
            continue;
        if (first < 0) {
            first = k;
            m = curves.at(k).size();
        }
        m = qMin(m, curves.at(k).size());
        ++count;
    }
    if (first < 0)
        return;
    m = qMin(m, curveTimes.at(first).size());

    QVector<double> sum(m, 0.0);
    for (const QVector<double>& curve : qAsConst(curves)) {
        if (curve.isEmpty())
            continue;
        for (int i = 0; i < m; ++i)
            sum[i] += curve.at(i);
    }
    for (double& x : sum)
        x /= count;
    *values = sum;
    *times = curveTimes.at(first).mid(0, m);
}

QVector<double> Data_Point::GetRSD()
{
    // Always the spread of the curves processed as a sounding.
    QVector<double> rsd = CurveProcessing::errorCurve(GetRecvData_Vrx2208(false, 0));
    QVector<double> values;
    QVector<double> times;
    GetRecvData(&values, &times, false);
    if (rsd.size() != values.size())
        rsd.resize(values.size());
    return rsd;
}

void Data_Point::ormRegister(orm::ClassDef<Data_Point>& def)
{
    def.setName(QStringLiteral("Data_Point"));
    def.id(&Data_Point::ID, QStringLiteral("ID")).properties.insert(QStringLiteral("INDEX"), 1);
    def.data(&Data_Point::NAME, QStringLiteral("NAME"));
    def.data(&Data_Point::USE, QStringLiteral("USE"));
    def.data(&Data_Point::NOTE, QStringLiteral("NOTE"));
    def.data(&Data_Point::TYPE, QStringLiteral("TYPE"));
    def.manyToOne(&Data_Point::Data_LineID, QStringLiteral("Data_LineID"));
    def.oneToMany(&Data_Point::list_Data_Sample, QStringLiteral("list_Data_Sample"),
                  QStringLiteral("Data_PointID"));
}
