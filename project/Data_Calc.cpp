#include "project/Data_Calc.h"

#include "project/CurveProcessing.h"
#include "project/TimeChannel.h"
#include "project/TransmitWaveform.h"
#include "project/TreeLabels.h"
#include "project/VectorBlob.h"

#include <cmath>

namespace {

// The waterfall keeps the latest curves of continuous acquisitions, of any
// line; changing project or line does not clear it.
constexpr int kHistoryLength = 30;

struct ContinuousHistory
{
    QVector<double> times; // receive time of each curve, ms since the epoch
    QList<QVector<double>> curves;
    QVector<QVector<double>> matrix;
};

ContinuousHistory& history()
{
    static ContinuousHistory h;
    return h;
}

} // namespace

Data_Calc::Data_Calc(QObject* parent)
    : QObject(parent)
{
    CurveProcessing::startTime = 80;
    TimeChannel::load(QStringLiteral(":/etc/time.ini"));
    CurveProcessing::smoothingEnabled = true;
}

Data_Calc::~Data_Calc() = default;

QVector<QVector<double>> Data_Calc::historyMatrix(const QList<QVector<double>>& curves)
{
    if (curves.isEmpty())
        return {};
    int m = curves.first().size();
    for (const QVector<double>& curve : curves)
        m = qMin(m, curve.size());
    QVector<QVector<double>> matrix(m, QVector<double>(curves.size()));
    for (int j = 0; j < curves.size(); ++j) {
        const QVector<double>& curve = curves.at(j);
        for (int k = 0; k < m; ++k) {
            double e = std::abs(curve.at(k));
            if (e > 2.6)
                e = 2.6;
            else if (e > 0 && e < 1e-9)
                e = 1e-9;
            matrix[k][j] = e;
        }
    }
    return matrix;
}

void Data_Calc::onData_Send(st_SampleData_Send sendData)
{
    emit newGraph_Send(sendData.SendFs, bytesToVector(sendData.DATA_SEND));
    emit newGraph_Off(sendData.SampleOffFs, bytesToVector(sendData.DATA_SOFF));
}

void Data_Calc::onShowData_Recvs(QString name, QList<st_RecvData_VRX2208> recvList, double offtime, int sampleMode)
{
    if (recvList.isEmpty())
        return;
    emit graphClear();
    emit graphAxisScale_Log(sampleMode == 0, sampleMode == 0);

    // A single record is its own mean: it is drawn once, and its spread is
    // taken of the unprocessed curve (all zeros).
    const bool several = recvList.size() > 1;
    QList<st_RecvData_VRX2208> shown;
    for (int i = 0; i < recvList.size(); ++i) {
        st_RecvData_VRX2208 rec = recvList.at(i);
        if (several) {
            CurveProcessing::processCurve(rec.values, rec.times, offtime, sampleMode);
            emit newGraphData(QStringLiteral("采样%1").arg(i + 1), rec.times, rec.values, 0.3);
        }
        shown.append(rec);
    }

    QVector<double> mean = CurveProcessing::meanReceiverCurve(recvList);
    QVector<double> times = recvList.first().times;
    CurveProcessing::processCurve(mean, times, offtime, sampleMode);
    emit newGraphData(name, times, mean, 1.0);
    emit setGraphTitle(name, true);

    emit newGraph_Error(shown.first().times, CurveProcessing::errorCurve(shown), several);
}

void Data_Calc::onData_SendsByte(QList<st_SampleData_Send> sendList)
{
    if (sendList.isEmpty())
        return;
    QList<QVector<double>> waves;
    for (const st_SampleData_Send& send : qAsConst(sendList))
        waves.append(bytesToVector(send.DATA_SEND));
    emit newGraph_Send(sendList.first().SendFs, TransmitWaveform::meanWave(waves));

    const QVector<double> off = TransmitWaveform::meanTurnOffWave(sendList);
    if (!off.isEmpty())
        emit newGraph_Off(sendList.first().SampleOffFs, off);
}

void Data_Calc::onData_Recvs(QList<st_RecvData_VRX2208> datas, double offTime, int sampleMode, int continueMode)
{
    if (datas.isEmpty())
        return;
    st_RecvData_VRX2208 rec = datas.last();
    emit graphClear();
    emit graphAxisScale_Log(sampleMode == 0, sampleMode == 0);
    CurveProcessing::processCurve(rec.values, rec.times, offTime, sampleMode);

    const bool continuous = continueMode == 1;
    const qint64 received = datas.first().StartTime;
    const QString title = continuous ? TreeLabels::timedPoint(received) : QStringLiteral("当前采集");
    emit newGraphData(QStringLiteral("0"), rec.times, rec.values, 1.0);
    emit setGraphTitle(title, true);
    if (continuous)
        appendHistory(rec.values, rec.times, received);
}

void Data_Calc::onData_SendsVec(QList<st_TEMSendData> sends)
{
    if (sends.isEmpty())
        return;
    QList<QVector<double>> sendWaves;
    QList<QVector<double>> offWaves;
    for (const st_TEMSendData& send : qAsConst(sends)) {
        sendWaves.append(send.SendWave);
        offWaves.append(send.OffWave);
    }
    emit newGraph_Send(sends.first().SendFs, TransmitWaveform::meanWave(sendWaves));
    emit newGraph_Off(sends.first().SampleOffFs, TransmitWaveform::meanWave(offWaves));
}

void Data_Calc::appendHistory(const QVector<double>& values, const QVector<double>& times, qint64 receiveTime)
{
    if (values.isEmpty())
        return;
    ContinuousHistory& h = history();
    h.times.append(double(receiveTime));
    h.curves.append(values);
    while (h.times.size() > kHistoryLength)
        h.times.removeFirst();
    while (h.curves.size() > kHistoryLength)
        h.curves.removeFirst();
    h.matrix = historyMatrix(h.curves);
    emit newGraph_Line(h.matrix, h.times, times.mid(0, h.matrix.size()), -1);
}
