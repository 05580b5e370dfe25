#pragma once

#include <QString>

// Signal quality of the computer's connected wireless interface, 0 to 100,
// or -1 when there is none (no wireless hardware, not associated, or the
// system does not say).
class WifiQuality
{
public:
    // The path is where Linux reports its wireless interfaces; tests give
    // their own file. Where it does not exist there is no quality to show.
    explicit WifiQuality(const QString& wirelessPath = QStringLiteral("/proc/net/wireless"));

    int query() const;

    // Linux link quality is on the driver's scale, which is out of 70 for
    // almost every driver (the mac80211 convention).
    static int fromLinkQuality(double link);

private:
    QString wirelessPath;
};
