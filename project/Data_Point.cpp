#include "project/Data_Point.h"

#include "orm/Dao.h"
#include "project/CurveProcessing.h"
#include "project/Data_Line.h"
#include "project/Data_Sample.h"

#include <QDebug>

#include <algorithm>
#include <climits>
#include <utility>

namespace {

using Samples = QVector<std::shared_ptr<Data_Sample>>;

// Reads `columns` of one sample (every column when empty). A sample that
// cannot be read must not be computed from whatever its fields held before.
bool fetched(Data_Sample& sample, const QStringList& columns = {})
{
    const orm::Status status = orm::fetchById(sample, columns);
    if (!status.isOk())
        qWarning() << "Data_Point: sample" << sample.ID << "left out, not read:" << status.error().text();
    return status.isOk();
}

// The sum of what `value` reads from each sample after fetching `columns`,
// and the number of samples that could be read.
template <class F>
std::pair<double, int> sumOver(const Samples& samples, const QStringList& columns, F value)
{
    double sum = 0.0;
    int count = 0;
    for (const std::shared_ptr<Data_Sample>& sample : samples) {
        if (!fetched(*sample, columns))
            continue;
        sum += value(*sample);
        ++count;
    }
    return {sum, count};
}

template <class F>
double meanOver(const Samples& samples, const QStringList& columns, F value)
{
    const std::pair<double, int> total = sumOver(samples, columns, value);
    return total.second == 0 ? 0.0 : total.first / total.second;
}

// One result per sample, each made from the whole fetched row.
template <class F>
auto eachRow(const Samples& samples, F make)
{
    QList<decltype(make(*samples.first()))> results;
    for (const std::shared_ptr<Data_Sample>& sample : samples) {
        if (fetched(*sample))
            results.append(make(*sample));
    }
    return results;
}

// The first sample, used or not, after fetching `column`; nullptr without
// one or when it cannot be read.
const Data_Sample* firstFetched(const Samples& samples, const QString& column)
{
    if (samples.isEmpty() || !samples.first() || !fetched(*samples.first(), {column}))
        return nullptr;
    return samples.first().get();
}

} // namespace

int Data_Point::checkedType()
{
    if (static_cast<quint32>(TYPE) > 2)
        TYPE = 0;
    return TYPE;
}

int Data_Point::sampleMode()
{
    return checkedType() == 1 ? 1 : 0;
}

Samples Data_Point::usedSamples() const
{
    Samples used;
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
    return eachRow(usedSamples(), [](const Data_Sample& s) { return s.GetSendData(); });
}

double Data_Point::GetSendI()
{
    return meanOver(usedSamples(), {QStringLiteral("DATA_SEND")}, [](const Data_Sample& s) { return s.GetSendI(); });
}

double Data_Point::GetSendFs()
{
    const Data_Sample* first = firstFetched(list_Data_Sample, QStringLiteral("SendFs"));
    return first ? first->SendFs : 0.0;
}

double Data_Point::GetOffTime()
{
    return meanOver(usedSamples(), {QStringLiteral("SampleOffFs"), QStringLiteral("DATA_SOFF")},
                    [](const Data_Sample& s) { return s.GetOffTime(); });
}

QList<st_RecvData_VRX2208> Data_Point::GetRecvData_Vrx2208_RAW(bool divideByCurrent)
{
    return eachRow(usedSamples(),
                   [divideByCurrent](const Data_Sample& s) { return s.GetRecvData_Vrx2208_RAW(divideByCurrent); });
}

QList<st_RecvData_VRX2208> Data_Point::GetRecvData_Vrx2208(bool divideByCurrent, int sampleMode)
{
    return eachRow(usedSamples(), [divideByCurrent, sampleMode](const Data_Sample& s) {
        return s.GetRecvData_Vrx2208(divideByCurrent, sampleMode);
    });
}

QDateTime Data_Point::GetStartTime()
{
    const Data_Sample* first = firstFetched(list_Data_Sample, QStringLiteral("StartTime"));
    return first ? QDateTime::fromMSecsSinceEpoch(first->StartTime) : QDateTime();
}

int Data_Point::GetPeriod()
{
    const double total =
        sumOver(usedSamples(), {QStringLiteral("PERIOD")}, [](const Data_Sample& s) { return s.PERIOD; }).first;
    // Periods read from a damaged file may add up beyond an int.
    return static_cast<int>(std::clamp(total, double(INT_MIN), double(INT_MAX)));
}

void Data_Point::p_getRecvData(QList<QVector<double>>* values, QList<QVector<double>>* times, bool divideByCurrent)
{
    if (!values || !times)
        return;
    values->clear();
    times->clear();
    const int mode = sampleMode();
    if (list_Data_Sample.isEmpty())
        return;
    for (const std::shared_ptr<Data_Sample>& sample : usedSamples()) {
        if (!fetched(*sample))
            continue;
        QVector<double> v;
        QVector<double> t;
        sample->GetRecvData(&v, &t, mode, divideByCurrent);
        values->append(v);
        times->append(t);
    }

    // Drop the curves again so that a line profile over hundreds of points
    // does not keep every waveform of the line in memory. A failed reload
    // keeps the samples as they are rather than leave the point empty.
    Samples reloaded;
    const orm::Status status =
        orm::fetchByQuery(orm::Query{QStringLiteral("WHERE Data_Sample.Data_PointID = ? ORDER BY ID"), {ID}}, reloaded,
                          {QStringLiteral("USE"), QStringLiteral("PERIOD"), QStringLiteral("SendFs"),
                           QStringLiteral("StartTime"), QStringLiteral("Data_PointID")});
    if (status.isOk())
        list_Data_Sample = reloaded;
    else
        qWarning() << "Data_Point: samples of point" << ID << "kept, not reloaded:" << status.error().text();
}

void Data_Point::GetRecvData(QVector<double>* values, QVector<double>* times, bool divideByCurrent)
{
    if (!values || !times)
        return;
    QList<QVector<double>> curves;
    QList<QVector<double>> curveTimes;
    p_getRecvData(&curves, &curveTimes, divideByCurrent);
    CurveProcessing::meanCurve(curves, curveTimes, values, times);
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
    def.oneToMany(&Data_Point::list_Data_Sample, QStringLiteral("list_Data_Sample"), QStringLiteral("Data_PointID"));
}
