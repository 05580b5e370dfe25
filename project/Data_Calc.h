#pragma once

#include "devlink/RecvRecords.h"
#include "devlink/SendRecords.h"
#include "project/ProjectRecords.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

// Turns receiver records and transmitter waveforms into plot commands. Its
// only memory is the process-wide history of continuous acquisitions, which
// feeds the waterfall of the current-line graph. GUI thread only.
class Data_Calc : public QObject
{
    Q_OBJECT

public:
    // Sets the process-wide curve settings and loads the time-channel table.
    explicit Data_Calc(QObject* parent = nullptr);
    ~Data_Calc() override;

    // One row per sample index up to the shortest curve, one column per
    // curve; magnitudes bounded for the colour scale, an exact 0 kept.
    static QVector<QVector<double>> historyMatrix(const QList<QVector<double>>& curves);

signals:
    void graphAxisScale_Log(bool xLog, bool yLog);
    void graphClear();
    void newGraphData(QString name, QVector<double> x, QVector<double> y, double alpha);
    void setGraphTitle(QString title, bool show);
    // Base frequency in Hz and one period of the transmit current.
    void newGraph_Send(double frequency, QVector<double> wave);
    // Sample rate in Hz of the turn-off samples.
    void newGraph_Off(double sampleRate, QVector<double> wave);
    void newGraph_Line(QVector<QVector<double>> matrix, QVector<double> xList, QVector<double> yList, int cursor);
    void newGraph_Error(QVector<double> x, QVector<double> y, bool fromSeveral);

public slots:
    void onData_Send(st_SampleData_Send sendData);
    void onShowData_Recvs(QString name, QList<st_RecvData_VRX2208> recvList, double offtime, int sampleMode = 0);
    void onData_SendsByte(QList<st_SampleData_Send> sendList);
    void onData_Recvs(QList<st_RecvData_VRX2208> datas, double offTime, int sampleMode = 0, int continueMode = 0);
    void onData_SendsVec(QList<st_TEMSendData> sends);

private:
    void appendHistory(const QVector<double>& values, const QVector<double>& times, qint64 receiveTime);
};
