#include "project/Data_Project.h"

#include <QDateTime>

Data_Project::Data_Project()
    : CreateTime(static_cast<double>(QDateTime::currentSecsSinceEpoch()))
{
}

Data_Project::Data_Project(const int& id)
    : Data_Project()
{
    ID = id;
}

st_ProjectConfig Data_Project::getProjectConfig() const
{
    st_ProjectConfig c;
    c.WorkConfig = WorkConfig;
    c.LineNoStart = LineNoStart;
    c.LineNoSetp = LineNoSetp;
    c.PointNoStart = PointNoStart;
    c.PointNoStep = PointNoStep;
    c.SendCoil_Len = SendCoil_Len;
    c.SendCoil_Width = SendCoil_Width;
    c.SendCoil_Turns = SendCoil_Turns;
    c.RecvCoil_Size = RecvCoil_Size;
    c.RecvCoil_Gain = RecvCoil_Gain;
    c.OffTime = OffTime;
    c.PointLen_D = PointLen_D;
    c.PointLen_R = PointLen_R;
    c.CreateTime = CreateTime;
    return c;
}

void Data_Project::setProjectConfig(st_ProjectConfig* config)
{
    if (!config)
        return;
    WorkConfig = config->WorkConfig;
    LineNoStart = config->LineNoStart;
    LineNoSetp = config->LineNoSetp;
    PointNoStart = config->PointNoStart;
    PointNoStep = config->PointNoStep;
    SendCoil_Len = config->SendCoil_Len;
    SendCoil_Width = config->SendCoil_Width;
    SendCoil_Turns = config->SendCoil_Turns;
    RecvCoil_Size = config->RecvCoil_Size;
    RecvCoil_Gain = config->RecvCoil_Gain;
    OffTime = config->OffTime;
    PointLen_D = config->PointLen_D;
    PointLen_R = config->PointLen_R;
    CreateTime = config->CreateTime;
}

void Data_Project::ormRegister(orm::ClassDef<Data_Project>& def)
{
    def.setName(QStringLiteral("Data_Project"));
    def.id(&Data_Project::ID, QStringLiteral("ID"));
    def.data(&Data_Project::WorkConfig, QStringLiteral("WorkConfig"));
    def.data(&Data_Project::LineNoStart, QStringLiteral("LineNoStart"));
    def.data(&Data_Project::LineNoSetp, QStringLiteral("LineNoSetp"));
    def.data(&Data_Project::PointNoStart, QStringLiteral("PointNoStart"));
    def.data(&Data_Project::PointNoStep, QStringLiteral("PointNoStep"));
    def.data(&Data_Project::SendCoil_Len, QStringLiteral("SendCoil_Len"));
    def.data(&Data_Project::SendCoil_Width, QStringLiteral("SendCoil_Width"));
    def.data(&Data_Project::SendCoil_Turns, QStringLiteral("SendCoil_Turns"));
    def.data(&Data_Project::RecvCoil_Size, QStringLiteral("RecvCoil_Size"));
    def.data(&Data_Project::RecvCoil_Gain, QStringLiteral("RecvCoil_Gain"));
    def.data(&Data_Project::OffTime, QStringLiteral("OffTime"));
    def.data(&Data_Project::PointLen_D, QStringLiteral("PointLen_D"));
    def.data(&Data_Project::PointLen_R, QStringLiteral("PointLen_R"));
    def.data(&Data_Project::CreateTime, QStringLiteral("CreateTime"));
    def.data(&Data_Project::NOTE, QStringLiteral("NOTE"));
    def.data(&Data_Project::CalibrateNo, QStringLiteral("CalibrateNo"));
    def.data(&Data_Project::SSID, QStringLiteral("SSID"));
}
