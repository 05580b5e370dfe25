#include "acquisition/StatusTexts.h"

#include <QCoreApplication>

namespace {

QString colour(bool linked)
{
    return linked ? QStringLiteral("green") : QStringLiteral("red");
}

QString translated(const char* text)
{
    return QCoreApplication::translate("ZOLVA_Collector", text);
}

}

namespace StatusTexts {

QString disconnected()
{
    return QStringLiteral("<p style='color:red;'>未连接</p>");
}

QString initialising()
{
    return QStringLiteral("<p style='color:red;'>初始化连接</p>");
}

QString invalidAddress()
{
    return QStringLiteral("<p style='color:red;'>IP不合规</p>");
}

QString retrying()
{
    return QStringLiteral("<p style='color:red;'>重试</p>");
}

QString online()
{
    return QStringLiteral("<p style='color:green;'>已连接</p>");
}

QString channelsRefused()
{
    return QStringLiteral("<p style='color:red;'>接收机拒绝时间道</p>");
}

QString paramsRefused()
{
    return QStringLiteral("<p style='color:red;'>采集参数无效</p>");
}

QString recvParamsRefused()
{
    return QStringLiteral("<p style='color:red;'>接收机拒绝参数</p>");
}

QString sendParamsRefused()
{
    return QStringLiteral("<p style='color:red;'>发射机拒绝参数</p>");
}

QString startRefused()
{
    return QStringLiteral("<p style='color:red;'>发射机拒绝启动</p>");
}

QString recvSilent()
{
    return QStringLiteral("<p style='color:red;'>接收机无应答</p>");
}

QString sendSilent()
{
    return QStringLiteral("<p style='color:red;'>发射机无应答</p>");
}

QString recvLost()
{
    return QStringLiteral("<p style='color:red;'>接收机连接中断</p>");
}

QString sendLost()
{
    return QStringLiteral("<p style='color:red;'>发射机连接中断</p>");
}

QString linksLost(bool send, bool recv)
{
    if (send && recv)
        return QStringLiteral("<p style='color:red;'>发射机和接收机连接中断</p>");
    return send ? sendLost() : recvLost();
}

QString stopsOwed(bool sendOwed, bool sendDoubted, bool recvOwed, bool recvDoubted)
{
    const auto line = [](bool owed, bool doubted, const QString& unit) {
        if (!owed)
            return QString();
        return doubted ? translated("<p style='color:red;'>%1未确认停止</p>").arg(unit)
                       : translated("<p style='color:orange;'>等待%1停止</p>").arg(unit);
    };
    return line(sendOwed, sendDoubted, QStringLiteral("发射机"))
        + line(recvOwed, recvDoubted, QStringLiteral("接收机"));
}

QString connecting(bool sendLinked, bool recvLinked)
{
    return translated("正在连接 <span style='color:%1;'>发 </span><span style='color:%2;'>收</span>")
        .arg(colour(sendLinked), colour(recvLinked));
}

QString linkUpdate(bool sendLinked, bool recvLinked)
{
    return translated("状态更新 <span style='color:%1;'>发 </span><span style='color:%2;'>收</span>")
        .arg(colour(sendLinked), colour(recvLinked));
}

QString wifi(int quality)
{
    if (quality < 0)
        return QStringLiteral("已连接");
    if (quality < 80)
        return translated("<span style='color:green;'>已连接 📶弱 %1</span>").arg(quality);
    if (quality < 90)
        return translated("<span style='color:green;'>已连接 📶中 %1</span>").arg(quality);
    return translated("<span style='color:green;'>已连接 📶强 %1</span>").arg(quality);
}

QString unitSilent(bool transmitter, bool receiver)
{
    QString text;
    if (transmitter)
        text += QStringLiteral("<p style='color:red;'>发射机无数据</p>");
    if (receiver)
        text += QStringLiteral("<p style='color:red;'>接收机无数据</p>");
    return text;
}

QString unpairedDropped(int count)
{
    if (count <= 0)
        return QString();
    return translated("<p style='color:red;'>丢弃记录 %1</p>").arg(count);
}

}
