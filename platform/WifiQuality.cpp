#include "platform/WifiQuality.h"

#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <cmath>

WifiQuality::WifiQuality(const QString& wirelessPath)
    : wirelessPath(wirelessPath)
{
}

int WifiQuality::fromLinkQuality(double link)
{
    if (!std::isfinite(link))
        return -1;
    const double scaled = std::round(link * 100.0 / 70.0);
    return int(std::clamp(scaled, 0.0, 100.0));
}

// "wlan0: 0000   54.  -56.  -256 ..." after two header lines; the dot marks a
// fresh value. An interface that is not associated reports quality 0.
int WifiQuality::query() const
{
    QFile file(wirelessPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QStringList fields = line.mid(colon + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 2)
            continue;
        QString link = fields.at(1);
        if (link.endsWith(QLatin1Char('.')))
            link.chop(1);
        bool ok = false;
        const double value = link.toDouble(&ok);
        if (ok && value > 0)
            return fromLinkQuality(value);
    }
    return -1;
}
