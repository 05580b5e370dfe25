#pragma once

#include <QDate>
#include <QString>

// The hidden switch behind the logo: seven clicks in a row ask for a
// password that changes with the date. Every other click turns developer
// mode off.
class DeveloperAccess
{
public:
    static constexpr int UnlockClicks = 7;
    // The switch works only while the year is below this one.
    static constexpr int LastYear = 2026;

    // Counts a click; true on the click that asks for the password, which
    // starts the count again.
    bool click();

    static QString passwordFor(const QDate& date);
    static bool accepts(const QString& entered, const QDate& today);

private:
    int m_clicks = 0;
};
