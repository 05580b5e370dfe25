#include "project/Data_Sample.h"

#include "project/CurveProcessing.h"
#include "project/Data_Point.h"
#include "project/TransmitWaveform.h"
#include "project/VectorBlob.h"

#include <cmath>

st_SampleData_Send Data_Sample::GetSendData() const
{
    st_SampleData_Send send;
    send.SendFs = SendFs;
    send.SampleSendFs = SampleSendFs;
    send.DATA_SEND = DATA_SEND;
    send.SampleOffFs = SampleOffFs;
    send.DATA_SOFF = DATA_SOFF;
    return send;
}

double Data_Sample::GetSendI() const
{
    const QVector<double> v = bytesToVector(DATA_SEND);
    const int n = v.size();
    const int q = n / 4;
    const int e = n / 8;
    const int h = n / 2;
    if (q == 0)
        return 1e-5;
    double sum = 0.0;
    for (int i = e; i < q; ++i)
        sum += std::abs(v.at(i) - v.at(i + h)) * 0.5;
    double current = 0.0;
    if (e == 0)
        current = sum > 0 ? 9999.0 : 1e-5;
    else
        current = sum / e;
    if (current > 9999.0)
        return 9999.0;
    if (!(current > 1e-5))
        return 1e-5;
    return current;
}

void Data_Sample::revDataDivI(QVector<double>* data) const
{
    if (!data)
        return;
    const double current = GetSendI();
    for (double& x : *data)
        x /= current;
}

double Data_Sample::GetOffTime() const
{
    QVector<double> wave = bytesToVector(DATA_SOFF);
    return TransmitWaveform::turnOffTime(SampleOffFs, wave);
}

void Data_Sample::GetRecvData_RAW(QVector<double>* values, QVector<double>* times, bool divideByCurrent) const
{
    if (!values || !times)
        return;
    values->clear();
    times->clear();
    *values = bytesToVector(DATA_RECV);
    if (divideByCurrent)
        revDataDivI(values);
    *times = bytesToVector(DATA_RECV_POS);
    // A damaged row must not make later steps read past either curve.
    const int n = qMin(values->size(), times->size());
    values->resize(n);
    times->resize(n);
}

void Data_Sample::GetRecvData(QVector<double>* values, QVector<double>* times, int sampleMode,
                              bool divideByCurrent) const
{
    if (!values || !times)
        return;
    GetRecvData_RAW(values, times, divideByCurrent);
    CurveProcessing::processCurve(*values, *times, GetOffTime(), sampleMode);
}

st_RecvData_VRX2208 Data_Sample::record() const
{
    st_RecvData_VRX2208 rec;
    rec.TYPE = TYPE;
    rec.SendFs = SendFs;
    rec.RecvFs = RecvFs;
    rec.StartTime = StartTime;
    return rec;
}

st_RecvData_VRX2208 Data_Sample::GetRecvData_Vrx2208_RAW(bool divideByCurrent) const
{
    st_RecvData_VRX2208 rec = record();
    GetRecvData_RAW(&rec.values, &rec.times, divideByCurrent);
    return rec;
}

st_RecvData_VRX2208 Data_Sample::GetRecvData_Vrx2208(bool divideByCurrent, int sampleMode) const
{
    st_RecvData_VRX2208 rec = record();
    GetRecvData(&rec.values, &rec.times, sampleMode, divideByCurrent);
    return rec;
}

void Data_Sample::releaseCurves()
{
    DATA_RECV = QByteArray();
    DATA_RECV_POS = QByteArray();
    DATA_RECV_LEN = QByteArray();
    DATA_SEND = QByteArray();
    DATA_SOFF = QByteArray();
}

void Data_Sample::ormRegister(orm::ClassDef<Data_Sample>& def)
{
    def.setName(QStringLiteral("Data_Sample"));
    def.id(&Data_Sample::ID, QStringLiteral("ID")).properties.insert(QStringLiteral("INDEX"), 1);
    def.data(&Data_Sample::StartTime, QStringLiteral("StartTime"));
    def.data(&Data_Sample::DeviceType, QStringLiteral("DeviceType"));
    def.data(&Data_Sample::TYPE, QStringLiteral("TYPE"));
    def.data(&Data_Sample::PERIOD, QStringLiteral("PERIOD"));
    def.data(&Data_Sample::DATA_RECV, QStringLiteral("DATA_RECV"));
    def.data(&Data_Sample::DATA_RECV_POS, QStringLiteral("DATA_RECV_POS"));
    def.data(&Data_Sample::DATA_RECV_LEN, QStringLiteral("DATA_RECV_LEN"));
    def.data(&Data_Sample::DATA_SEND, QStringLiteral("DATA_SEND"));
    def.data(&Data_Sample::DATA_SOFF, QStringLiteral("DATA_SOFF"));
    def.data(&Data_Sample::SendFs, QStringLiteral("SendFs"));
    def.data(&Data_Sample::SampleSendFs, QStringLiteral("SampleSendFs"));
    def.data(&Data_Sample::SampleOffFs, QStringLiteral("SampleOffFs"));
    def.data(&Data_Sample::RecvFs, QStringLiteral("RecvFs"));
    def.data(&Data_Sample::USE, QStringLiteral("USE"));
    def.data(&Data_Sample::NOTE, QStringLiteral("NOTE"));
    def.manyToOne(&Data_Sample::Data_PointID, QStringLiteral("Data_PointID"));
}
