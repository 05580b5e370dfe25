#include "ui/BuildTime.h"

#include <QLocale>

QDateTime BuildTime::compiled()
{
    return parse(__DATE__, __TIME__);
}

QDateTime BuildTime::parse(const char* date, const char* time)
{
    QString text = QString::fromLatin1(date);
    text.replace(QStringLiteral("  "), QStringLiteral(" 0"));
    text += QString::fromLatin1(time);
    return QLocale(QLocale::English).toDateTime(text, QStringLiteral("MMM dd yyyyhh:mm:ss"));
}
