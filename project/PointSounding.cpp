#include "project/PointSounding.h"

#include "project/CurveProcessing.h"
#include "project/Data_Point.h"
#include "project/Data_Sample.h"
#include "project/PointRows.h"

orm::Status PointSounding::read(Data_Point& point, bool divideByCurrent, PointSounding* sounding)
{
    *sounding = PointSounding();
    PointRows rows;
    const orm::Status status =
        PointRows::read(point.ID, PointRows::usedSamples(point), PointRows::curveColumns(), &rows);
    if (!status.isOk())
        return status;

    // Start and frequency of the first sample, used or not, as the tree
    // loaded them.
    if (const std::shared_ptr<Data_Sample> first = point.list_Data_Sample.value(0)) {
        sounding->sendFs = first->SendFs;
        sounding->start = QDateTime::fromMSecsSinceEpoch(first->StartTime);
    }
    sounding->sendI = rows.meanSendI();
    sounding->offTime = rows.meanOffTime();

    const int mode = point.sampleMode();
    QList<QVector<double>> curves;
    QList<QVector<double>> curveTimes;
    QList<st_RecvData_VRX2208> spreadRecords;
    for (const std::shared_ptr<Data_Sample>& row : qAsConst(rows.samples)) {
        QVector<double> values;
        QVector<double> times;
        row->GetRecvData(&values, &times, mode, divideByCurrent);
        // The spread is always that of the undivided curves processed as a
        // sounding: the same curves unless the point is otherwise.
        st_RecvData_VRX2208 spread;
        if (mode == 0 && !divideByCurrent) {
            spread.values = values;
        } else {
            QVector<double> spreadTimes;
            row->GetRecvData(&spread.values, &spreadTimes, 0, false);
        }
        curves.append(values);
        curveTimes.append(times);
        spreadRecords.append(spread);
    }

    CurveProcessing::meanCurve(curves, curveTimes, &sounding->values, &sounding->times);
    // Processing keeps a curve's length whether it is divided or not, so
    // the spread is cut to the averaged curve's length as GetRSD cuts it.
    sounding->spread = CurveProcessing::errorCurve(spreadRecords);
    sounding->spread.resize(sounding->values.size());
    return status;
}
