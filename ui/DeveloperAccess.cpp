#include "ui/DeveloperAccess.h"

bool DeveloperAccess::click()
{
    if (++m_clicks != UnlockClicks)
        return false;
    m_clicks = 0;
    return true;
}

QString DeveloperAccess::passwordFor(const QDate& date)
{
    const int code = ((date.year() % 100) * 371 + date.month() * 97 + date.day() * 13) % 10000;
    return QStringLiteral("%1").arg(code, 4, 10, QLatin1Char('0'));
}

bool DeveloperAccess::accepts(const QString& entered, const QDate& today)
{
    return today.isValid() && today.year() <= LastYear && entered == passwordFor(today);
}
