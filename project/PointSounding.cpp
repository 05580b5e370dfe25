#include "project/PointSounding.h"

#include "orm/Dao.h"
#include "project/CurveProcessing.h"
#include "project/Data_Point.h"
#include "project/Data_Sample.h"

#include <QDebug>

namespace {

// Everything the curves, the current and the turn-off time are made of,
// without the channel widths and the note.
const QStringList kSoundingColumns{QStringLiteral("StartTime"),     QStringLiteral("DATA_RECV"),
                                   QStringLiteral("DATA_RECV_POS"), QStringLiteral("DATA_SEND"),
                                   QStringLiteral("DATA_SOFF"),     QStringLiteral("SendFs"),
                                   QStringLiteral("SampleOffFs")};

// A sample that cannot be read is left out, as the point's own methods do.
bool fetched(Data_Sample& sample, const QStringList& columns)
{
    const orm::Status status = orm::fetchById(sample, columns);
    if (!status.isOk())
        qWarning() << "PointSounding: sample" << sample.ID << "left out, not read:" << status.error().text();
    return status.isOk();
}

void takeFirst(PointSounding& sounding, const Data_Sample& first)
{
    sounding.sendFs = first.SendFs;
    sounding.start = QDateTime::fromMSecsSinceEpoch(first.StartTime);
}

} // namespace

PointSounding PointSounding::read(Data_Point& point, bool divideByCurrent)
{
    PointSounding sounding;
    const int mode = point.sampleMode();
    const QVector<std::shared_ptr<Data_Sample>>& samples = point.list_Data_Sample;

    QList<QVector<double>> curves;
    QList<QVector<double>> curveTimes;
    QList<st_RecvData_VRX2208> spreadRecords;
    double sendI = 0.0;
    double offTime = 0.0;
    bool firstTaken = false;
    for (int k = 0; k < samples.size(); ++k) {
        if (!samples.at(k) || samples.at(k)->USE == 0)
            continue;
        Data_Sample row(samples.at(k)->ID);
        if (!fetched(row, kSoundingColumns))
            continue;
        if (k == 0) {
            takeFirst(sounding, row);
            firstTaken = true;
        }
        sendI += row.GetSendI();
        offTime += row.GetOffTime();

        QVector<double> values;
        QVector<double> times;
        row.GetRecvData(&values, &times, mode, divideByCurrent);
        // The spread is always that of the undivided curves processed as a
        // sounding: the same curves unless the point is otherwise.
        st_RecvData_VRX2208 spread;
        if (mode == 0 && !divideByCurrent) {
            spread.values = values;
        } else {
            QVector<double> spreadTimes;
            row.GetRecvData(&spread.values, &spreadTimes, 0, false);
        }
        curves.append(values);
        curveTimes.append(times);
        spreadRecords.append(spread);
    }
    if (!curves.isEmpty()) {
        sounding.sendI = sendI / curves.size();
        sounding.offTime = offTime / curves.size();
    }

    if (!firstTaken && !samples.isEmpty() && samples.first()) {
        Data_Sample first(samples.first()->ID);
        if (fetched(first, {QStringLiteral("StartTime"), QStringLiteral("SendFs")}))
            takeFirst(sounding, first);
    }

    CurveProcessing::meanCurve(curves, curveTimes, &sounding.values, &sounding.times);
    // Processing keeps a curve's length whether it is divided or not, so
    // the spread is cut to the averaged curve's length as GetRSD cuts it.
    sounding.spread = CurveProcessing::errorCurve(spreadRecords);
    sounding.spread.resize(sounding.values.size());
    return sounding;
}
